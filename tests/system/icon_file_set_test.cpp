#include "system/icon_file_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <span>

#include "system/icon_files.h"
#include "tests/support/typed_names.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/file_system_backend.h"

namespace purrbox::testing {
namespace {

struct FakeBackendFactory {
    static constexpr const char* Name = "FakeFiles";
    static std::unique_ptr<FileSystemBackend> make() { return std::make_unique<FakeFileSystemBackend>(); }
};
#ifdef _WIN32
struct ScratchBackendFactory {
    static constexpr const char* Name = "RealFiles";
    static std::unique_ptr<FileSystemBackend> make() { return makeScratchFileSystemBackend(); }
};
using Backends = ::testing::Types<FakeBackendFactory, ScratchBackendFactory>;
#else
using Backends = ::testing::Types<FakeBackendFactory>;
#endif


Bytes bytesOf(std::span<const unsigned char> bytes) { return Bytes(bytes.begin(), bytes.end()); }
Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

const IconFile* const CarriedFiles[] = {&emptyIconFile(), &fullIconFile()};

void expectHandlesUsedCleanly(const RecordingFileSystemApi& recorder)
{
    EXPECT_EQ(recorder.unclosedHandles(), 0) << "every search and file handle is closed";
    EXPECT_EQ(recorder.strayCloses(), 0) << "no handle is closed twice or closed unopened";
    EXPECT_EQ(recorder.deletionsDuringSearch(), 0) << "nothing is deleted while a search is open";
}

std::vector<std::string> functionsOf(const std::vector<FileSystemCall>& calls, std::size_t from = 0)
{
    std::vector<std::string> functions;
    for (std::size_t i = from; i < calls.size(); ++i) functions.push_back(calls[i].function);
    return functions;
}

std::vector<std::string> pathsOf(const std::vector<FileSystemCall>& calls)
{
    std::vector<std::string> paths;
    for (const FileSystemCall& call : calls) paths.push_back(call.path);
    return paths;
}

// The same behaviour against the in-memory file system and, on Windows,
// against real files through the real calls. Every test also proves that the
// component closed each handle exactly once and deleted nothing under an open search.
template <class Factory>
class IconFileSetTest : public ::testing::Test {
protected:
    void TearDown() override { expectHandlesUsedCleanly(*recorder); }

    // A new profile, as on a machine the program never ran on.
    void fresh()
    {
        expectHandlesUsedCleanly(*recorder);
        set.reset();
        recorder.reset();
        backend = Factory::make();
        recorder = std::make_unique<RecordingFileSystemApi>(backend->api());
        set = std::make_unique<IconFileSet>(*recorder);
    }

    std::string base() const { return backend->appDataFolder() + "\\"; }
    std::string makerFolder() const { return base() + "brenoka\\"; }
    std::string iconFolder() const { return base() + "brenoka\\miaoIco\\"; }

    void expectCarriedFilesInstalled()
    {
        EXPECT_EQ(backend->names(iconFolder()), (std::vector<std::string>{"empty.dll", "full.dll"}));
        for (const IconFile* file : CarriedFiles) {
            const auto bytes = backend->fileBytes(iconFolder() + std::string(file->name));
            ASSERT_TRUE(bytes.has_value()) << file->name;
            EXPECT_EQ(bytes->size(), 136606u) << file->name;
            EXPECT_TRUE(*bytes == bytesOf(file->bytes)) << file->name << " differs from the carried block";
        }
    }

    std::unique_ptr<FileSystemBackend> backend = Factory::make();
    std::unique_ptr<RecordingFileSystemApi> recorder = std::make_unique<RecordingFileSystemApi>(backend->api());
    std::unique_ptr<IconFileSet> set = std::make_unique<IconFileSet>(*recorder);
};

TYPED_TEST_SUITE(IconFileSetTest, Backends, NamedByParameter);

TYPED_TEST(IconFileSetTest, FirstInstallMakesBothFoldersAndWritesEachFileInOneWrite)
{
    for (const bool trailingBackslash : {false, true}) {
        SCOPED_TRACE(trailingBackslash ? "Application Data ends with a backslash" : "without a trailing backslash");
        this->fresh();
        this->backend->answerAppData(this->backend->appDataFolder() + (trailingBackslash ? "\\" : ""));

        this->set->installIconFiles();

        EXPECT_EQ(this->set->recordedFolder(), this->iconFolder());
        EXPECT_TRUE(this->backend->isFolder(this->makerFolder()));
        EXPECT_EQ(this->backend->names(this->makerFolder()), std::vector<std::string>{"miaoIco"});
        this->expectCarriedFilesInstalled();

        const auto& calls = this->recorder->calls();
        // Each level is looked up, made, and looked up again before anything goes inside it.
        EXPECT_EQ(functionsOf(calls), (std::vector<std::string>{
                                          "SHGetSpecialFolderPath",
                                          "FindFirstFile", "CreateDirectory", "FindFirstFile", "FindClose",
                                          "FindFirstFile", "CreateDirectory", "FindFirstFile", "FindClose",
                                          "FindFirstFile", "CreateFile", "WriteFile", "CloseHandle",
                                          "FindFirstFile", "CreateFile", "WriteFile", "CloseHandle"}));
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls[0].folder, 0x1A);
        EXPECT_FALSE(calls[0].create) << "Application Data is never created";
        EXPECT_EQ(pathsOf(this->recorder->callsOf("CreateDirectory")),
                  (std::vector<std::string>{this->makerFolder(), this->iconFolder()}));
        const std::string maker = this->base() + "brenoka";
        const std::string icons = maker + "\\miaoIco";
        EXPECT_EQ(pathsOf(this->recorder->callsOf("FindFirstFile")),
                  (std::vector<std::string>{maker, maker, icons, icons, this->iconFolder() + "empty.dll",
                                            this->iconFolder() + "full.dll"}));
        for (const FileSystemCall& create : this->recorder->callsOf("CreateFile")) {
            EXPECT_EQ(create.access, GenericWrite);
            EXPECT_EQ(create.shareMode, 0u);
            EXPECT_EQ(create.disposition, CreateNew);
            EXPECT_EQ(create.flagsAndAttributes, FileAttributeNormal);
        }
        EXPECT_EQ(pathsOf(this->recorder->callsOf("CreateFile")),
                  (std::vector<std::string>{this->iconFolder() + "empty.dll", this->iconFolder() + "full.dll"}));
        for (const FileSystemCall& write : this->recorder->callsOf("WriteFile")) EXPECT_EQ(write.size, 136606u);
    }
}

TYPED_TEST(IconFileSetTest, LaterInstallsWriteNothingAndRecordTheSameFolder)
{
    this->set->installIconFiles();
    const auto first = this->set->recordedFolder();
    const std::size_t mark = this->recorder->calls().size();

    this->set->installIconFiles();
    IconFileSet nextRun(*this->recorder);
    nextRun.installIconFiles();

    EXPECT_EQ(this->set->recordedFolder(), first);
    EXPECT_EQ(nextRun.recordedFolder(), first);
    EXPECT_TRUE(this->recorder->callsOf("CreateFile", mark).empty());
    EXPECT_TRUE(this->recorder->callsOf("WriteFile", mark).empty());
    this->expectCarriedFilesInstalled();
}

// Whatever stands at a file's name is left exactly as it is.
TYPED_TEST(IconFileSetTest, WritesOnlyTheNamesWithNoEntry)
{
    using Arrange = std::function<void(FileSystemBackend&, const std::string& icons)>;
    struct Case {
        const char* what;
        Arrange arrange;
        std::vector<std::string> written;
    };
    const auto installed = [](FileSystemBackend& b, const std::string&) { IconFileSet(b.api()).installIconFiles(); };
    const Case cases[] = {
        {"folders made, no files", [](FileSystemBackend& b, const std::string& icons) { b.makeFolder(icons); },
         {"empty.dll", "full.dll"}},
        {"empty.dll deleted by hand",
         [&](FileSystemBackend& b, const std::string& icons) {
             installed(b, icons);
             b.remove(icons + "empty.dll");
         },
         {"empty.dll"}},
        {"zero-length full.dll",
         [](FileSystemBackend& b, const std::string& icons) {
             b.makeFolder(icons);
             b.putFile(icons + "full.dll", {});
         },
         {"empty.dll"}},
        {"a folder named full.dll",
         [](FileSystemBackend& b, const std::string& icons) {
             b.makeFolder(icons + "full.dll");
             b.putFile(icons + "full.dll\\inside.txt", bytesOf("inside"));
         },
         {"empty.dll"}},
        {"empty.dll cut short by an earlier run",
         [](FileSystemBackend& b, const std::string& icons) {
             b.makeFolder(icons);
             b.putFile(icons + "empty.dll", bytesOf(emptyIconFile().bytes.first(1000)));
         },
         {"full.dll"}},
        {"both names taken by other content",
         [](FileSystemBackend& b, const std::string& icons) {
             b.makeFolder(icons);
             b.putFile(icons + "empty.dll", bytesOf("not an icon"));
             b.putFile(icons + "full.dll", bytesOf("nor this"));
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        this->fresh();
        const std::string icons = this->iconFolder();
        c.arrange(*this->backend, icons);
        struct Before {
            bool folder;
            std::optional<Bytes> bytes;
            std::vector<std::string> names;
        };
        std::map<std::string, Before> before;
        for (const IconFile* file : CarriedFiles) {
            const std::string path = icons + std::string(file->name);
            before[path] = {this->backend->isFolder(path), this->backend->fileBytes(path), this->backend->names(path)};
        }

        this->set->installIconFiles();

        std::vector<std::string> expectedCreates;
        for (const std::string& name : c.written) expectedCreates.push_back(icons + name);
        EXPECT_EQ(pathsOf(this->recorder->callsOf("CreateFile")), expectedCreates);
        for (const IconFile* file : CarriedFiles) {
            const std::string path = icons + std::string(file->name);
            if (std::find(c.written.begin(), c.written.end(), file->name) != c.written.end()) {
                EXPECT_TRUE(this->backend->fileBytes(path) == bytesOf(file->bytes)) << path;
            } else {
                EXPECT_EQ(this->backend->isFolder(path), before[path].folder) << path;
                EXPECT_TRUE(this->backend->fileBytes(path) == before[path].bytes) << path << " was changed";
                EXPECT_EQ(this->backend->names(path), before[path].names) << path;
            }
        }
    }
}

// Another program of the user may put something at the name after the
// look-up; the elevated write must then fail rather than write through it.
TYPED_TEST(IconFileSetTest, NameThatAppearsBeforeTheCreateIsNeverOverwritten)
{
    struct Case {
        const char* what;
        std::optional<LinkKind> link;  // else a plain file
    };
    const Case cases[] = {{"a file", std::nullopt}, {"a symbolic link to a file elsewhere", LinkKind::FileSymlink}};
    int ran = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        this->fresh();
        const std::string canary = this->base() + "canary.txt";
        this->backend->putFile(canary, bytesOf("canary"));
        const std::string planted = this->iconFolder() + "empty.dll";
        bool plantedOnce = false;
        bool linkMade = true;
        this->recorder->beforeCreateFile = [&](const std::string& path) {
            if (path != planted || std::exchange(plantedOnce, true)) return;
            if (c.link)
                linkMade = this->backend->makeLink(path, canary, *c.link);
            else
                this->backend->putFile(path, bytesOf("planted"));
        };

        this->set->installIconFiles();
        if (!linkMade) continue;
        ++ran;

        ASSERT_TRUE(plantedOnce);
        EXPECT_TRUE(this->backend->fileBytes(canary) == bytesOf("canary")) << "the link's target was written";
        if (!c.link) {
            EXPECT_TRUE(this->backend->fileBytes(planted) == bytesOf("planted")) << "the planted file was written";
        }
        EXPECT_TRUE(this->backend->exists(planted));
        const auto creates = this->recorder->callsOf("CreateFile");
        ASSERT_EQ(creates.size(), 2u);
        EXPECT_FALSE(creates[0].ok);
        EXPECT_TRUE(this->backend->fileBytes(this->iconFolder() + "full.dll") == bytesOf(fullIconFile().bytes));
    }
    if (ran < 2) std::cout << "[   NOTE   ] this system cannot make file symbolic links; only a file was planted\n";
}

TYPED_TEST(IconFileSetTest, RestoreBeforeAnyInstallMakesNoCallAtAll)
{
    // Left by an earlier run, which this run knows nothing of.
    this->backend->makeFolder(this->iconFolder());
    this->backend->putFile(this->iconFolder() + "empty.dll", bytesOf("earlier"));

    this->set->deleteIconFolder();

    EXPECT_TRUE(this->recorder->calls().empty());
    EXPECT_FALSE(this->set->recordedFolder().has_value());
    EXPECT_TRUE(this->backend->fileBytes(this->iconFolder() + "empty.dll") == bytesOf("earlier"));
}

TYPED_TEST(IconFileSetTest, DeleteRemovesTheIconFolderKeepsTheMakerFolderAndTheRecord)
{
    this->set->installIconFiles();
    const std::size_t mark = this->recorder->calls().size();

    this->set->deleteIconFolder();

    EXPECT_FALSE(this->backend->exists(this->iconFolder()));
    EXPECT_TRUE(this->backend->isFolder(this->makerFolder()));
    EXPECT_TRUE(this->backend->names(this->makerFolder()).empty());
    EXPECT_EQ(this->set->recordedFolder(), this->iconFolder());

    // Each level's own entry is looked at first (a link would only be unlinked),
    // then everything is listed, the search closed, and the deletions run.
    const auto& calls = this->recorder->calls();
    const std::string folderItself = this->iconFolder().substr(0, this->iconFolder().size() - 1);
    ASSERT_GE(calls.size(), mark + 5);
    EXPECT_EQ(functionsOf(calls, mark).at(0), "FindFirstFile");
    EXPECT_EQ(calls[mark].path, this->base() + "brenoka");
    EXPECT_EQ(calls[mark + 1].function, "FindClose");
    EXPECT_EQ(calls[mark + 2].function, "FindFirstFile");
    EXPECT_EQ(calls[mark + 2].path, folderItself);
    EXPECT_EQ(calls[mark + 3].function, "FindClose");
    const std::size_t listAt = mark + 4;
    const std::vector<std::string> functions = functionsOf(calls, listAt);
    const auto close = std::find(functions.begin(), functions.end(), "FindClose");
    ASSERT_NE(close, functions.end());
    const std::size_t closeAt = listAt + static_cast<std::size_t>(close - functions.begin());
    EXPECT_EQ(calls[listAt].path, this->iconFolder() + "*.*");
    std::vector<std::string> deleted;
    for (std::size_t i = closeAt + 1; i + 1 < calls.size(); ++i) {
        EXPECT_EQ(calls[i].function, "DeleteFile");
        deleted.push_back(calls[i].path);
    }
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(deleted, (std::vector<std::string>{this->iconFolder() + "empty.dll", this->iconFolder() + "full.dll"}));
    EXPECT_EQ(calls.back().function, "RemoveDirectory");
    EXPECT_EQ(calls.back().path, this->iconFolder());

    const std::size_t secondMark = calls.size();
    this->set->deleteIconFolder();
    EXPECT_EQ(functionsOf(this->recorder->calls(), secondMark),
              (std::vector<std::string>{"FindFirstFile", "FindClose", "FindFirstFile"}))
        << "the icon folder is gone: nothing is listed or removed";
    EXPECT_TRUE(this->backend->isFolder(this->makerFolder()));
    EXPECT_EQ(this->set->recordedFolder(), this->iconFolder());
}

TYPED_TEST(IconFileSetTest, DeleteKeepsDotNamesAndReadOnlyFilesAndTheFolderHoldingThem)
{
    struct Case {
        const char* what;
        std::function<void(FileSystemBackend&, const std::string& icons)> arrange;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {"a dot-file",
         [](FileSystemBackend& b, const std::string& icons) { b.putFile(icons + ".keep", bytesOf("k")); },
         {".keep"}},
        {"a dot-folder with content",
         [](FileSystemBackend& b, const std::string& icons) {
             b.makeFolder(icons + ".cache");
             b.putFile(icons + ".cache\\entry", bytesOf("e"));
         },
         {".cache"}},
        {"a read-only file",
         [](FileSystemBackend& b, const std::string& icons) {
             b.putFile(icons + "locked.txt", bytesOf("locked"));
             b.setReadOnly(icons + "locked.txt");
         },
         {"locked.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        this->fresh();
        this->set->installIconFiles();
        const std::string icons = this->iconFolder();
        this->backend->putFile(icons + "other.txt", bytesOf("other"));
        c.arrange(*this->backend, icons);

        this->set->deleteIconFolder();

        EXPECT_EQ(this->backend->names(icons), c.left);
        EXPECT_EQ(this->backend->names(icons + ".cache").size(), c.left.front() == ".cache" ? 1u : 0u)
            << "a dot-folder keeps its content";
    }
}

TYPED_TEST(IconFileSetTest, DeleteRemovesSubFoldersWithTheirContent)
{
    this->set->installIconFiles();
    const std::string icons = this->iconFolder();
    this->backend->makeFolder(icons + "sub\\deeper");
    this->backend->makeFolder(icons + "sub\\empty");
    this->backend->putFile(icons + "sub\\a.txt", bytesOf("a"));
    this->backend->putFile(icons + "sub\\deeper\\b.txt", bytesOf("b"));

    this->set->deleteIconFolder();

    EXPECT_FALSE(this->backend->exists(icons));
    EXPECT_TRUE(this->backend->names(this->makerFolder()).empty());
}

// A link planted in the folder must go as a link: following it would make the
// elevated restore delete whatever it points at.
TYPED_TEST(IconFileSetTest, DeleteRemovesLinksWithoutFollowingThem)
{
    struct Case {
        const char* what;
        LinkKind kind;
        const char* target;  // under the canary folder
    };
    const Case cases[] = {
        {"a junction", LinkKind::Junction, ""},
        {"a directory symbolic link", LinkKind::DirectorySymlink, ""},
        {"a file symbolic link", LinkKind::FileSymlink, "a.txt"},
    };
    int ran = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        this->fresh();
        const std::string canary = this->base() + "canary";
        this->backend->makeFolder(canary + "\\sub");
        const std::pair<std::string, std::string> canaryFiles[] = {
            {canary + "\\a.txt", "a"}, {canary + "\\b.txt", "b"}, {canary + "\\sub\\c.txt", "c"}};
        for (const auto& [path, text] : canaryFiles) this->backend->putFile(path, bytesOf(text));
        this->set->installIconFiles();
        const std::string link = this->iconFolder() + "link";
        const std::string target = *c.target ? canary + "\\" + c.target : canary;
        if (!this->backend->makeLink(link, target, c.kind)) continue;
        ++ran;

        this->set->deleteIconFolder();

        for (const auto& [path, text] : canaryFiles)
            EXPECT_TRUE(this->backend->fileBytes(path) == bytesOf(text)) << path << " was reached through the link";
        EXPECT_FALSE(this->backend->exists(link)) << "the link itself goes";
        EXPECT_FALSE(this->backend->exists(this->iconFolder()));
    }
    if (ran == 0) GTEST_SKIP() << "this system can make none of the three kinds of link";
    if (ran < 3) std::cout << "[   NOTE   ] only " << ran << " of 3 kinds of link could be made here\n";
}

// "Function path" for each call from the mark on; the path is left out where none is passed.
std::vector<std::string> callLines(const std::vector<FileSystemCall>& calls, std::size_t from)
{
    std::vector<std::string> lines;
    for (std::size_t i = from; i < calls.size(); ++i)
        lines.push_back(calls[i].path.empty() ? calls[i].function : calls[i].function + " " + calls[i].path);
    return lines;
}

// A link at either level of the icon folder or inside it, planted before the
// install or swapped in after it. Following one would make the elevated
// switch write, and the elevated restore delete, wherever it points; an
// unelevated program of the same user can plant any of them. Each case names
// the exact calls of both actions; the files outside must all survive.
TYPED_TEST(IconFileSetTest, NeitherActionEverGoesThroughALink)
{
    // In the calls, {b} is base\brenoka and {m} base\brenoka\miaoIco, without a trailing backslash.
    const std::vector<std::string> freshInstall = {
        "FindFirstFile {b}", "CreateDirectory {b}\\", "FindFirstFile {b}", "FindClose",
        "FindFirstFile {m}", "CreateDirectory {m}\\", "FindFirstFile {m}", "FindClose",
        "FindFirstFile {m}\\empty.dll", "CreateFile {m}\\empty.dll", "WriteFile", "CloseHandle",
        "FindFirstFile {m}\\full.dll", "CreateFile {m}\\full.dll", "WriteFile", "CloseHandle"};
    const std::vector<std::string> levelsFound = {"FindFirstFile {b}", "FindClose", "FindFirstFile {m}",
                                                  "FindClose"};
    const auto join = [](std::vector<std::string> head, const std::vector<std::string>& tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    struct Case {
        const char* what;
        const char* link;    // under the base
        LinkKind kind;
        const char* target;  // under the outside folder
        bool afterInstall;   // swapped in after an install that met no link
        std::vector<std::string> install;
        std::vector<std::string> restore;
        bool makerGone;  // the link was brenoka itself
    };
    const Case cases[] = {
        {"brenoka a junction to an outside folder", "brenoka", LinkKind::Junction, "", false,
         {"FindFirstFile {b}", "FindClose"},
         {"FindFirstFile {b}", "FindClose", "RemoveDirectory {b}"}, true},
        {"miaoIco a junction to an outside folder", "brenoka\\miaoIco", LinkKind::Junction, "miaoIco", false,
         levelsFound, join(levelsFound, {"RemoveDirectory {m}"}), false},
        {"inside miaoIco, empty.dll a link to an outside file", "brenoka\\miaoIco\\empty.dll",
         LinkKind::FileSymlink, "file.txt", false,
         join(levelsFound, {"FindFirstFile {m}\\empty.dll", "FindClose", "FindFirstFile {m}\\full.dll",
                            "CreateFile {m}\\full.dll", "WriteFile", "CloseHandle"}),
         join(levelsFound, {"FindFirstFile {m}\\*.*", "FindNextFile", "FindNextFile", "FindNextFile",
                            "FindNextFile", "FindClose", "DeleteFile {m}\\empty.dll", "DeleteFile {m}\\full.dll",
                            "RemoveDirectory {m}\\"}),
         false},
        {"inside miaoIco, a junction to an empty outside folder", "brenoka\\miaoIco\\sub", LinkKind::Junction,
         "empty", false, join(levelsFound, {freshInstall.begin() + 8, freshInstall.end()}),
         join(levelsFound, {"FindFirstFile {m}\\*.*", "FindNextFile", "FindNextFile", "FindNextFile",
                            "FindNextFile", "FindNextFile", "FindClose", "DeleteFile {m}\\empty.dll",
                            "DeleteFile {m}\\full.dll", "RemoveDirectory {m}\\sub", "RemoveDirectory {m}\\"}),
         false},
        {"inside miaoIco, a junction to a full outside folder", "brenoka\\miaoIco\\sub", LinkKind::Junction,
         "miaoIco", false, join(levelsFound, {freshInstall.begin() + 8, freshInstall.end()}),
         join(levelsFound, {"FindFirstFile {m}\\*.*", "FindNextFile", "FindNextFile", "FindNextFile",
                            "FindNextFile", "FindNextFile", "FindClose", "DeleteFile {m}\\empty.dll",
                            "DeleteFile {m}\\full.dll", "RemoveDirectory {m}\\sub", "RemoveDirectory {m}\\"}),
         false},
        {"brenoka swapped for a junction after the install", "brenoka", LinkKind::Junction, "", true, freshInstall,
         {"FindFirstFile {b}", "FindClose", "RemoveDirectory {b}"}, true},
        {"miaoIco swapped for a junction after the install", "brenoka\\miaoIco", LinkKind::Junction, "miaoIco",
         true, freshInstall, join(levelsFound, {"RemoveDirectory {m}"}), false},
    };
    int ran = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        this->fresh();
        FileSystemBackend& disk = *this->backend;
        const std::string maker = this->base() + "brenoka";
        const std::string icons = maker + "\\miaoIco";
        const std::string outside = this->base() + "outside";
        // The outside folder holds what the unmended program reached: a
        // miaoIco of its own with content, an empty folder and a file.
        disk.makeFolder(outside + "\\miaoIco\\sub");
        disk.makeFolder(outside + "\\empty");
        const std::pair<std::string, std::string> canaries[] = {{outside + "\\file.txt", "file"},
                                                                {outside + "\\miaoIco\\empty.dll", "not an icon"},
                                                                {outside + "\\miaoIco\\sub\\c.txt", "c"}};
        for (const auto& [path, text] : canaries) disk.putFile(path, bytesOf(text));
        const std::string link = this->base() + c.link;
        const std::string target = *c.target ? outside + "\\" + c.target : outside;
        bool linked = true;
        if (c.afterInstall) {
            this->set->installIconFiles();
            disk.remove(icons + "\\empty.dll");
            disk.remove(icons + "\\full.dll");
            disk.remove(icons);
            if (std::string(c.link) == "brenoka") disk.remove(maker);
            linked = disk.makeLink(link, target, c.kind);
        } else {
            if (std::string(c.link) != "brenoka") disk.makeFolder(link.substr(0, link.rfind('\\')));
            linked = disk.makeLink(link, target, c.kind);
            if (linked) this->set->installIconFiles();
        }
        if (!linked) continue;
        ++ran;
        const std::size_t mark = this->recorder->calls().size();
        this->set->deleteIconFolder();

        const auto expand = [&](std::vector<std::string> lines) {
            for (std::string& line : lines) {
                for (const auto& [token, path] : {std::pair{std::string("{b}"), maker}, {std::string("{m}"), icons}})
                    if (const std::size_t at = line.find(token); at != std::string::npos) line.replace(at, 3, path);
            }
            return lines;
        };
        const auto& calls = this->recorder->calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls[0].function, "SHGetSpecialFolderPath");
        const std::vector<std::string> installLines = callLines(calls, 1);
        EXPECT_EQ(std::vector<std::string>(installLines.begin(), installLines.begin() + std::ptrdiff_t(mark - 1)),
                  expand(c.install))
            << "the install's calls";
        EXPECT_EQ(callLines(calls, mark), expand(c.restore)) << "the restore's calls";

        for (const auto& [path, text] : canaries)
            EXPECT_TRUE(disk.fileBytes(path) == bytesOf(text)) << path << " was reached through the link";
        EXPECT_EQ(disk.names(outside), (std::vector<std::string>{"empty", "file.txt", "miaoIco"}));
        EXPECT_EQ(disk.names(outside + "\\miaoIco"), (std::vector<std::string>{"empty.dll", "sub"}))
            << "nothing was written into or deleted from the outside miaoIco";
        EXPECT_TRUE(disk.isFolder(outside + "\\empty"));
        EXPECT_FALSE(disk.exists(link)) << "the link itself goes";
        EXPECT_FALSE(disk.exists(icons));
        EXPECT_EQ(disk.exists(maker), !c.makerGone);
    }
    if (ran == 0) GTEST_SKIP() << "this system can make no link";
    if (ran < static_cast<int>(std::size(cases)))
        std::cout << "[   NOTE   ] only " << ran << " of " << std::size(cases) << " links could be made here\n";
}

TYPED_TEST(IconFileSetTest, ReleaseForgetsTheFolderAndTouchesNothing)
{
    this->set->installIconFiles();
    const std::size_t mark = this->recorder->calls().size();

    this->set->releaseIconFolder();
    EXPECT_FALSE(this->set->recordedFolder().has_value());
    this->set->deleteIconFolder();

    EXPECT_EQ(this->recorder->calls().size(), mark) << "no call after the release";
    this->expectCarriedFilesInstalled();
}

// What only the in-memory file system can stage.
const std::string FakeMakerFolder = std::string(FakeFileSystemBackend::AppData) + "\\brenoka\\";
const std::string FakeIconFolder = FakeMakerFolder + "miaoIco\\";

class IconFileSetFaults : public ::testing::Test {
protected:
    void TearDown() override { expectHandlesUsedCleanly(recorder); }

    FakeFileSystem fs;
    RecordingFileSystemApi recorder{fs};
    IconFileSet set{recorder};
};

TEST_F(IconFileSetFaults, ApplicationDataAnswerDecidesTheBase)
{
    struct Case {
        const char* what;
        std::optional<std::string> answer;
        std::string base;
    };
    const std::string longest = "C:\\" + std::string(MaxPath - 4, 'x');
    const Case cases[] = {
        {"unavailable: relative to the current directory", std::nullopt, ""},
        {"answered with the empty text", "", ""},
        {"a drive root", "D:\\", "D:\\"},
        {"filling the whole buffer", longest, longest + "\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeFileSystem files;
        files.currentDirectory = "C:\\elsewhere";
        files.makeFolder(files.currentDirectory);
        files.appData = c.answer;
        if (c.answer && !c.answer->empty()) files.makeFolder(*c.answer);
        RecordingFileSystemApi calls(files);
        IconFileSet icons(calls);

        icons.installIconFiles();

        const std::string folder = c.base + "brenoka\\miaoIco\\";
        EXPECT_EQ(icons.recordedFolder(), folder);
        EXPECT_EQ(pathsOf(calls.callsOf("CreateDirectory")), (std::vector<std::string>{c.base + "brenoka\\", folder}));
        EXPECT_EQ(pathsOf(calls.callsOf("CreateFile")),
                  (std::vector<std::string>{folder + "empty.dll", folder + "full.dll"}));
        const std::string onDisk = (c.base.empty() ? "C:\\elsewhere\\" : c.base) + "brenoka\\miaoIco\\";
        EXPECT_TRUE(files.fileBytes(onDisk + "empty.dll") == bytesOf(emptyIconFile().bytes));
        EXPECT_TRUE(files.fileBytes(onDisk + "full.dll") == bytesOf(fullIconFile().bytes));

        icons.deleteIconFolder();
        EXPECT_EQ(calls.callsOf("FindFirstFile").back().path, folder + "*.*");
        EXPECT_FALSE(files.exists(onDisk));
        EXPECT_TRUE(files.isFolder(onDisk + ".."));
        expectHandlesUsedCleanly(calls);
    }
}

// No failure is reported or stops the rest; what was written stays and
// counts as present next time, and only what is missing is tried again.
TEST(IconFileSetFailures, EachFailureLeavesTheRestDoneAndIsRetriedOnlyWhereNothingIsThere)
{
    const std::string icons = FakeIconFolder;
    struct Case {
        const char* what;
        std::function<void(FakeFileSystem&)> fault;
        std::optional<std::size_t> emptySize;  // after the failing install; nullopt: absent
        std::optional<std::size_t> fullSize;
        std::vector<std::string> writtenNextTime;
    };
    const Case cases[] = {
        {"the maker folder cannot be created",
         [&](FakeFileSystem& f) { f.refuseCreateDirectory.insert(FakeMakerFolder); }, std::nullopt, std::nullopt,
         {"empty.dll", "full.dll"}},
        {"the icon folder cannot be created", [&](FakeFileSystem& f) { f.refuseCreateDirectory.insert(icons); },
         std::nullopt, std::nullopt, {"empty.dll", "full.dll"}},
        {"empty.dll cannot be created", [&](FakeFileSystem& f) { f.refuseCreateFile.insert(icons + "empty.dll"); },
         std::nullopt, 136606, {"empty.dll"}},
        {"the disk fills after 1000 bytes of full.dll",
         [&](FakeFileSystem& f) { f.sizeLimit[icons + "full.dll"] = 1000; }, 136606, 1000, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeFileSystem files;
        c.fault(files);
        RecordingFileSystemApi calls(files);
        IconFileSet iconSet(calls);

        iconSet.installIconFiles();

        EXPECT_EQ(iconSet.recordedFolder(), icons);
        const std::pair<std::string, std::optional<std::size_t>> expected[] = {{"empty.dll", c.emptySize},
                                                                               {"full.dll", c.fullSize}};
        for (const auto& [name, size] : expected) {
            const auto bytes = files.fileBytes(icons + name);
            ASSERT_EQ(bytes.has_value(), size.has_value()) << name;
            if (!bytes) continue;
            EXPECT_EQ(bytes->size(), *size) << name;
            const auto carried = name == "empty.dll" ? emptyIconFile().bytes : fullIconFile().bytes;
            EXPECT_TRUE(std::equal(bytes->begin(), bytes->end(), carried.begin())) << name;
        }

        files.refuseCreateDirectory.clear();
        files.refuseCreateFile.clear();
        files.sizeLimit.clear();
        const std::size_t mark = calls.calls().size();
        iconSet.installIconFiles();
        std::vector<std::string> expectedCreates;
        for (const std::string& name : c.writtenNextTime) expectedCreates.push_back(icons + name);
        EXPECT_EQ(pathsOf(calls.callsOf("CreateFile", mark)), expectedCreates);
        if (c.fullSize) {
            EXPECT_EQ(files.fileBytes(icons + "full.dll")->size(), *c.fullSize) << "never rewritten";
        }
        expectHandlesUsedCleanly(calls);
    }
}

TEST_F(IconFileSetFaults, EntryThatCannotBeDeletedStaysWithItsFolder)
{
    set.installIconFiles();
    const std::string icons = FakeIconFolder;
    fs.putFile(icons + "in-use.txt", bytesOf("busy"));
    fs.makeFolder(icons + "held");
    fs.putFile(icons + "held\\inner.txt", bytesOf("inner"));
    fs.putFile(icons + "zzz.txt", bytesOf("after the failures"));
    fs.refuseDelete = {icons + "in-use.txt", icons + "held"};

    set.deleteIconFolder();

    EXPECT_EQ(fs.names(icons), (std::vector<std::string>{"held", "in-use.txt"}));
    EXPECT_TRUE(fs.names(icons + "held").empty()) << "a folder that cannot go is still emptied";
    EXPECT_EQ(set.recordedFolder(), icons);
}

// An icon folder swapped for a junction after the install goes as a link;
// the folder it points at keeps every file.
TEST_F(IconFileSetFaults, IconFolderSwappedForAJunctionIsRemovedAsALink)
{
    set.installIconFiles();
    fs.makeFolder("C:\\precious");
    fs.putFile("C:\\precious\\a.txt", bytesOf("a"));
    fs.putFile("C:\\precious\\empty.dll", bytesOf("not an icon"));
    fs.remove(FakeIconFolder + "empty.dll");
    fs.remove(FakeIconFolder + "full.dll");
    fs.remove(FakeIconFolder);
    fs.makeLink(FakeIconFolder.substr(0, FakeIconFolder.size() - 1), "C:\\precious", true);

    set.deleteIconFolder();

    EXPECT_TRUE(fs.fileBytes("C:\\precious\\a.txt") == bytesOf("a"));
    EXPECT_TRUE(fs.fileBytes("C:\\precious\\empty.dll") == bytesOf("not an icon"));
    EXPECT_FALSE(fs.exists(FakeIconFolder)) << "the link itself goes";
    EXPECT_TRUE(fs.isFolder(FakeMakerFolder));
}

// The link tests above can only fail if a path through a link reaches its
// target here as it does on Windows.
TEST(FakeFileSystemLinks, PathsThroughALinkReachItsTarget)
{
    FakeFileSystem fs;
    fs.makeFolder("C:\\target");
    fs.putFile("C:\\target\\a.txt", bytesOf("a"));
    fs.putFile("C:\\file.txt", bytesOf("file"));
    fs.makeFolder("C:\\box");
    fs.makeLink("C:\\box\\junction", "C:\\target", true);
    fs.makeLink("C:\\box\\file.lnk", "C:\\file.txt", false);

    FoundEntry found;
    const FindHandle search = fs.findFirstFile("C:\\box\\junction\\*.*", &found);
    ASSERT_NE(search, InvalidFindHandle);
    std::vector<std::string> listed{found.name};
    while (fs.findNextFile(search, &found)) listed.push_back(found.name);
    EXPECT_TRUE(fs.findClose(search));
    EXPECT_EQ(listed, (std::vector<std::string>{".", "..", "a.txt"}));

    EXPECT_TRUE(fs.deleteFile("C:\\box\\junction\\a.txt"));
    EXPECT_FALSE(fs.exists("C:\\target\\a.txt"));
    const FileHandle file = fs.createFile("C:\\box\\file.lnk", GenericWrite, 0, CreateAlways, FileAttributeNormal);
    ASSERT_NE(file, InvalidFileHandle);
    EXPECT_TRUE(fs.closeHandle(file));
    EXPECT_TRUE(fs.fileBytes("C:\\file.txt")->empty()) << "CREATE_ALWAYS truncates through a link";
    EXPECT_FALSE(fs.deleteFile("C:\\box\\junction")) << "a directory link needs RemoveDirectory";
    EXPECT_TRUE(fs.removeDirectory("C:\\box\\junction"));
    EXPECT_TRUE(fs.isFolder("C:\\target"));
}

}  // namespace
}  // namespace purrbox::testing
