#include "system/icon_file_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <span>

#include "system/icon_files.h"
#include "tests/support/fake_file_system.h"

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>

#include <atomic>
#include <stdexcept>

#include "system/win32_file_system_api.h"
#endif

namespace purrbox::testing {
namespace {

enum class LinkKind { Junction, DirectorySymlink, FileSymlink };

// Where a test arranges and inspects files directly, beside the FileSystemApi
// through which the code under test reaches them. Paths are absolute.
class FileSystemBackend {
public:
    virtual ~FileSystemBackend() = default;
    virtual FileSystemApi& api() = 0;
    // The folder Application Data is at, without a trailing backslash.
    virtual std::string appDataFolder() const = 0;
    // Replaces what the Application Data query answers.
    virtual void answerAppData(const std::string& text) = 0;

    virtual void makeFolder(const std::string& path) = 0;
    virtual void putFile(const std::string& path, const Bytes& bytes) = 0;
    virtual void setReadOnly(const std::string& path) = 0;
    virtual void remove(const std::string& path) = 0;
    // False when this system cannot make that kind of link.
    virtual bool makeLink(const std::string& path, const std::string& target, LinkKind kind) = 0;

    virtual bool exists(const std::string& path) = 0;
    virtual bool isFolder(const std::string& path) = 0;
    virtual std::optional<Bytes> fileBytes(const std::string& path) = 0;
    // Sorted, without "." and "..".
    virtual std::vector<std::string> names(const std::string& folder) = 0;
};

class FakeBackend final : public FileSystemBackend {
public:
    FileSystemApi& api() override { return fs; }
    std::string appDataFolder() const override { return AppData; }
    void answerAppData(const std::string& text) override { fs.appData = text; }

    void makeFolder(const std::string& path) override { fs.makeFolder(path); }
    void putFile(const std::string& path, const Bytes& bytes) override { fs.putFile(path, bytes); }
    void setReadOnly(const std::string& path) override { fs.setReadOnly(path); }
    void remove(const std::string& path) override { fs.remove(path); }
    bool makeLink(const std::string& path, const std::string& target, LinkKind kind) override
    {
        fs.makeLink(path, target, kind != LinkKind::FileSymlink);
        return true;
    }

    bool exists(const std::string& path) override { return fs.exists(path); }
    bool isFolder(const std::string& path) override { return fs.isFolder(path); }
    std::optional<Bytes> fileBytes(const std::string& path) override { return fs.fileBytes(path); }
    std::vector<std::string> names(const std::string& folder) override { return fs.names(folder); }

    static constexpr const char* AppData = "C:\\Users\\me\\AppData\\Roaming";
    FakeFileSystem fs;
};

#ifdef _WIN32
// Real files through the real calls, in a scratch folder under the temporary
// folder that stands in for Application Data and is removed afterwards.
class ScratchBackend final : public FileSystemBackend {
public:
    ScratchBackend()
    {
        static std::atomic<int> counter{0};
        char temp[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathA(sizeof temp, temp);
        if (length == 0 || length > MAX_PATH) throw std::runtime_error("no temporary folder");
        root_ = std::string(temp) + "purrbox-icon-tests-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        if (!CreateDirectoryA(root_.c_str(), nullptr)) throw std::runtime_error("cannot create " + root_);
        appData_ = root_ + "\\Roaming";
        makeFolder(appData_);
        api_.answer = appData_;
    }

    ~ScratchBackend() override { removeTree(root_); }

    FileSystemApi& api() override { return api_; }
    std::string appDataFolder() const override { return appData_; }
    void answerAppData(const std::string& text) override { api_.answer = text; }

    void makeFolder(const std::string& path) override
    {
        for (std::size_t cut = path.find('\\', 3); cut != std::string::npos; cut = path.find('\\', cut + 1))
            CreateDirectoryA(path.substr(0, cut).c_str(), nullptr);
        CreateDirectoryA(path.c_str(), nullptr);
    }

    void putFile(const std::string& path, const Bytes& bytes) override
    {
        const HANDLE file =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
        DWORD written = 0;
        const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        if (!ok || written != bytes.size()) throw std::runtime_error("cannot write " + path);
    }

    void setReadOnly(const std::string& path) override { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY); }

    void remove(const std::string& path) override
    {
        if (!DeleteFileA(path.c_str())) RemoveDirectoryA(path.c_str());
    }

    bool makeLink(const std::string& path, const std::string& target, LinkKind kind) override
    {
        bool made = false;
        switch (kind) {
        case LinkKind::Junction: made = makeJunction(path, target); break;
        case LinkKind::DirectorySymlink:
            made = CreateSymbolicLinkA(path.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2) != 0;
            break;
        case LinkKind::FileSymlink: made = CreateSymbolicLinkA(path.c_str(), target.c_str(), 0x2) != 0; break;
        }
        // Some systems report success without making a link; trust only the attribute.
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (made && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
        if (attributes != INVALID_FILE_ATTRIBUTES) remove(path);
        return false;
    }

    bool exists(const std::string& path) override { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    bool isFolder(const std::string& path) override
    {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::optional<Bytes> fileBytes(const std::string& path) override
    {
        if (!exists(path) || isFolder(path)) return std::nullopt;
        const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return std::nullopt;
        Bytes bytes;
        unsigned char chunk[65536];
        DWORD read = 0;
        while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.insert(bytes.end(), chunk, chunk + read);
        CloseHandle(file);
        return bytes;
    }

    std::vector<std::string> names(const std::string& folder) override
    {
        std::vector<std::string> result;
        for (const auto& [name, attributes] : list(folder)) result.push_back(name);
        std::sort(result.begin(), result.end());
        return result;
    }

private:
    // Answers the Application Data query with the scratch folder; the rest is real.
    class RedirectedAppData final : public FileSystemApi {
    public:
        bool shGetSpecialFolderPath(char* path, int folder, bool create) override
        {
            if (folder != CsidlAppData || create || answer.size() >= MaxPath) return false;
            std::copy(answer.c_str(), answer.c_str() + answer.size() + 1, path);
            return true;
        }
        bool createDirectory(const char* path) override { return real.createDirectory(path); }
        FindHandle findFirstFile(const char* pattern, FoundEntry* found) override
        {
            return real.findFirstFile(pattern, found);
        }
        bool findNextFile(FindHandle search, FoundEntry* found) override { return real.findNextFile(search, found); }
        bool findClose(FindHandle search) override { return real.findClose(search); }
        FileHandle createFile(const char* path, std::uint32_t access, std::uint32_t shareMode,
                              std::uint32_t disposition, std::uint32_t flagsAndAttributes) override
        {
            return real.createFile(path, access, shareMode, disposition, flagsAndAttributes);
        }
        bool writeFile(FileHandle file, const void* data, std::uint32_t size, std::uint32_t* written) override
        {
            return real.writeFile(file, data, size, written);
        }
        bool closeHandle(FileHandle file) override { return real.closeHandle(file); }
        bool deleteFile(const char* path) override { return real.deleteFile(path); }
        bool removeDirectory(const char* path) override { return real.removeDirectory(path); }

        std::string answer;
        Win32FileSystemApi real;
    };

    static std::vector<std::pair<std::string, DWORD>> list(const std::string& folder)
    {
        std::vector<std::pair<std::string, DWORD>> entries;
        WIN32_FIND_DATAA data{};
        const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) return entries;
        do {
            const std::string name = data.cFileName;
            if (name != "." && name != "..") entries.emplace_back(name, data.dwFileAttributes);
        } while (FindNextFileA(search, &data));
        FindClose(search);
        return entries;
    }

    // Never follows a link, so a test that planted one cannot make the
    // clean-up reach outside the scratch folder.
    static void removeTree(const std::string& folder)
    {
        for (const auto& [name, attributes] : list(folder)) {
            const std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
            const bool directory = attributes & FILE_ATTRIBUTE_DIRECTORY;
            if (directory && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) removeTree(path);
            if (directory)
                RemoveDirectoryA(path.c_str());
            else
                DeleteFileA(path.c_str());
        }
        RemoveDirectoryA(folder.c_str());
    }

    static bool makeJunction(const std::string& path, const std::string& target)
    {
        if (!CreateDirectoryA(path.c_str(), nullptr)) return false;
        const HANDLE link = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (link == INVALID_HANDLE_VALUE) return false;
        // A mount-point reparse buffer: tag, data length, reserved, then the
        // offsets and lengths of the NT and the printed target, then both texts.
        const std::wstring substitute = L"\\??\\" + std::wstring(target.begin(), target.end());
        const std::wstring print(target.begin(), target.end());
        std::vector<WORD> words = {
            0, 0, 0, 0,
            0, static_cast<WORD>(substitute.size() * 2),
            static_cast<WORD>((substitute.size() + 1) * 2), static_cast<WORD>(print.size() * 2)};
        words.insert(words.end(), substitute.begin(), substitute.end());
        words.push_back(0);
        words.insert(words.end(), print.begin(), print.end());
        words.push_back(0);
        const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
        std::memcpy(words.data(), &tag, sizeof tag);
        words[2] = static_cast<WORD>((words.size() - 4) * 2);
        DWORD returned = 0;
        const BOOL ok = DeviceIoControl(link, FSCTL_SET_REPARSE_POINT, words.data(),
                                        static_cast<DWORD>(words.size() * 2), nullptr, 0, &returned, nullptr);
        CloseHandle(link);
        return ok != FALSE;
    }

    std::string root_;
    std::string appData_;
    RedirectedAppData api_;
};
#endif

struct FakeBackendFactory {
    static std::unique_ptr<FileSystemBackend> make() { return std::make_unique<FakeBackend>(); }
};
#ifdef _WIN32
struct ScratchBackendFactory {
    static std::unique_ptr<FileSystemBackend> make() { return std::make_unique<ScratchBackend>(); }
};
using Backends = ::testing::Types<FakeBackendFactory, ScratchBackendFactory>;
#else
using Backends = ::testing::Types<FakeBackendFactory>;
#endif

class BackendNames {
public:
    template <class T>
    static std::string GetName(int)
    {
        return std::is_same_v<T, FakeBackendFactory> ? "FakeFiles" : "RealFiles";
    }
};

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

TYPED_TEST_SUITE(IconFileSetTest, Backends, BackendNames);

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
        EXPECT_EQ(functionsOf(calls), (std::vector<std::string>{
                                          "SHGetSpecialFolderPath", "CreateDirectory", "CreateDirectory",
                                          "FindFirstFile", "CreateFile", "WriteFile", "CloseHandle",
                                          "FindFirstFile", "CreateFile", "WriteFile", "CloseHandle"}));
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls[0].folder, 0x1A);
        EXPECT_FALSE(calls[0].create) << "Application Data is never created";
        EXPECT_EQ(pathsOf(this->recorder->callsOf("CreateDirectory")),
                  (std::vector<std::string>{this->makerFolder(), this->iconFolder()}));
        EXPECT_EQ(pathsOf(this->recorder->callsOf("FindFirstFile")),
                  (std::vector<std::string>{this->iconFolder() + "empty.dll", this->iconFolder() + "full.dll"}));
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

    // The folder's own entry is looked at first (a link would only be unlinked),
    // then everything is listed, the search closed, and the deletions run.
    const auto& calls = this->recorder->calls();
    const std::string folderItself = this->iconFolder().substr(0, this->iconFolder().size() - 1);
    ASSERT_GE(calls.size(), mark + 3);
    EXPECT_EQ(calls[mark].function, "FindFirstFile");
    EXPECT_EQ(calls[mark].path, folderItself);
    EXPECT_EQ(calls[mark + 1].function, "FindClose");
    const std::size_t listAt = mark + 2;
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
              (std::vector<std::string>{"FindFirstFile", "FindFirstFile", "RemoveDirectory"}));
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
const std::string FakeMakerFolder = std::string(FakeBackend::AppData) + "\\brenoka\\";
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
