// The icon folder's install and delete over an arbitrary tree on the file
// double: names, attributes, read-only files, links to files and folders
// outside and inside, nesting, and links swapped in after the install. Every
// call that creates, writes, deletes or removes passes a guard that works out
// where the call really lands, through whatever links lie on its path, and
// stops the run when that is outside the icon folder; the files outside are
// compared before and after.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "system/icon_file_set.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/forwarding_file_system_api.h"

namespace purrbox::fuzzing {
namespace {

using testing::Bytes;
using testing::FakeFileSystem;
using testing::ForwardingFileSystemApi;
using testing::RecordingFileSystemApi;

const std::string AppData = "C:\\Users\\me\\AppData\\Roaming";
const std::string MakerFolder = AppData + "\\brenoka";
const std::string IconFolder = MakerFolder + "\\miaoIco";
const std::string Documents = "C:\\Users\\me\\Documents";
const std::string OtherAppFolder = AppData + "\\other";
const std::string Secret = "C:\\Users\\me\\secret.txt";

// Where the files that must survive live; nothing in them is a link.
const std::string OutsideRoots[] = {Documents, OtherAppFolder, Secret};

// Link targets an attacker would pick, and a few harmless ones.
const std::string LinkTargets[] = {
    Documents,  Documents + "\\miaoIco", Documents + "\\empty", Documents + "\\notes.txt", OtherAppFolder,
    Secret,     AppData,                 MakerFolder,           "C:\\Users\\me\\nowhere",  IconFolder,
};

bool inside(const std::string& key, const std::string& folder) { return key.starts_with(folder + "\\"); }

bool isLinkNow(FakeFileSystem& fs, const std::string& key)
{
    FoundEntry entry;
    const FindHandle search = fs.findFirstFile(key.c_str(), &entry);
    if (search == InvalidFindHandle) return false;
    fs.findClose(search);
    return (entry.attributes & FileAttributeReparsePoint) != 0;
}

// Every link the run made, by the place it sits at, with its target.
using LinkMap = std::map<std::string, std::string>;

// The entry a call on this path reaches, as the file double resolves it:
// links on the way are followed, the last component's only when asked.
std::string landing(FakeFileSystem& fs, const LinkMap& links, const std::string& path, bool followLast)
{
    std::vector<std::string> parts;
    std::string part;
    for (const char c : path + "\\") {
        if (c != '\\' && c != '/') {
            part += c;
        } else if (!part.empty()) {
            parts.push_back(part);
            part.clear();
        }
    }
    std::string key;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        key = key.empty() ? parts[i] : key + "\\" + parts[i];
        if (i + 1 == parts.size() && !followLast) break;
        for (int hops = 0; hops < 32; ++hops) {
            const auto link = links.find(key);
            if (link == links.end()) break;
            if (!isLinkNow(fs, key)) break;  // a link since removed
            key = link->second;
        }
    }
    return key;
}

// Passes every call on; stops the run at any change that would land outside.
class OutsideWriteGuard final : public ForwardingFileSystemApi {
public:
    OutsideWriteGuard(FileSystemApi& inner, FakeFileSystem& fs, const LinkMap& links)
        : ForwardingFileSystemApi(inner), fs_(fs), links_(links)
    {
    }

    // Searches, writes and closes pass unchecked: only files that passed the
    // check at their creation are open.
    bool createDirectory(const char* path) override
    {
        const std::string key = landing(fs_, links_, path, false);
        check("CreateDirectory", path, key, key == MakerFolder || key == IconFolder);
        return ForwardingFileSystemApi::createDirectory(path);
    }
    FileHandle createFile(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t disposition,
                          std::uint32_t flagsAndAttributes) override
    {
        const std::string key = landing(fs_, links_, path, disposition != CreateNew);
        check("CreateFile", path, key, inside(key, IconFolder));
        return ForwardingFileSystemApi::createFile(path, access, shareMode, disposition, flagsAndAttributes);
    }
    bool deleteFile(const char* path) override
    {
        const std::string key = landing(fs_, links_, path, false);
        check("DeleteFile", path, key, inside(key, IconFolder));
        return ForwardingFileSystemApi::deleteFile(path);
    }
    bool removeDirectory(const char* path) override
    {
        const std::string key = landing(fs_, links_, path, false);
        // A link planted at brenoka goes as a link; the folder itself stays.
        const bool makerLink = key == MakerFolder && isLinkNow(fs_, key);
        check("RemoveDirectory", path, key, key == IconFolder || inside(key, IconFolder) || makerLink);
        return ForwardingFileSystemApi::removeDirectory(path);
    }

private:
    static void check(const char* function, const char* path, const std::string& key, bool allowed)
    {
        if (!allowed) std::fprintf(stderr, "%s(\"%s\") lands on %s\n", function, path, key.c_str());
        require(allowed, "no change lands outside the icon folder");
    }

    FakeFileSystem& fs_;
    const LinkMap& links_;
};

// Every entry under the outside roots: links as links, never followed, and
// files with their bytes.
using Snapshot = std::map<std::string, std::string>;

void snapshot(FakeFileSystem& fs, const std::string& path, Snapshot& into)
{
    if (!fs.exists(path)) return;
    if (isLinkNow(fs, path)) {
        into[path] = "link";
    } else if (fs.isFolder(path)) {
        into[path] = "folder";
        for (const std::string& name : fs.names(path)) snapshot(fs, path + "\\" + name, into);
    } else {
        const Bytes bytes = fs.fileBytes(path).value_or(Bytes{});
        into[path] = "file " + std::string(bytes.begin(), bytes.end());
    }
}

Snapshot outside(FakeFileSystem& fs)
{
    Snapshot result;
    for (const std::string& root : OutsideRoots) snapshot(fs, root, result);
    return result;
}

Bytes consumeContent(FuzzedDataProvider& input) { return input.ConsumeBytes<unsigned char>(input.ConsumeIntegralInRange<std::size_t>(0, 8)); }

void plantOutsideFiles(FakeFileSystem& fs, FuzzedDataProvider& input)
{
    fs.makeFolder(Documents + "\\miaoIco\\deeper");
    fs.makeFolder(Documents + "\\empty");
    fs.makeFolder(OtherAppFolder);
    fs.putFile(Documents + "\\notes.txt", consumeContent(input));
    fs.putFile(Documents + "\\miaoIco\\empty.dll", Bytes{'m', 'i', 'n', 'e'});
    fs.putFile(Documents + "\\miaoIco\\deeper\\photo.jpg", consumeContent(input));
    fs.putFile(OtherAppFolder + "\\settings.ini", consumeContent(input));
    fs.putFile(Secret, consumeContent(input));
}

// A name Windows would allow: none of its reserved characters, not only dots.
std::string consumeName(FuzzedDataProvider& input)
{
    std::string name;
    for (const char c : input.ConsumeRandomLengthString(12)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && std::string_view("\\/:*?\"<>|").find(c) == std::string_view::npos) name += c;
    }
    if (name.find_first_not_of('.') == std::string::npos) name += 'x';
    return name;
}

class Run {
public:
    explicit Run(FuzzedDataProvider& input) : input_(input) { plantOutsideFiles(fs_, input_); }

    void linkAt(const std::string& path, bool directory)
    {
        const std::string target = input_.PickValueInArray(LinkTargets);
        // A level behind a link already lies outside: planting there would
        // change the outside files themselves.
        if (landing(fs_, links_, path, false) != path) return;
        fs_.makeLink(path, target, directory);
        links_[landing(fs_, links_, path, false)] = target;
    }

    // Files, read-only files, folders and links, nested, in the real icon folder.
    void growTree()
    {
        if (landing(fs_, links_, IconFolder, true) != IconFolder || !fs_.isFolder(IconFolder)) return;
        std::vector<std::string> folders{IconFolder};
        const int entries = input_.ConsumeIntegralInRange(0, 24);
        for (int i = 0; i < entries && input_.remaining_bytes() > 0; ++i) {
            const std::string& parent = folders[input_.ConsumeIntegralInRange<std::size_t>(0, folders.size() - 1)];
            const std::string path = parent + "\\" + consumeName(input_);
            if (fs_.exists(path) || std::count(path.begin(), path.end(), '\\') > 14) continue;
            switch (input_.ConsumeIntegralInRange(0, 5)) {
            case 0: fs_.putFile(path, consumeContent(input_)); break;
            case 1:
                fs_.putFile(path, consumeContent(input_));
                fs_.setReadOnly(path);
                break;
            case 2:
            case 3:
                fs_.makeFolder(path);
                folders.push_back(path);
                break;
            case 4: linkAt(path, true); break;
            case 5: linkAt(path, false); break;
            }
        }
    }

    void check(const Snapshot& before, const IconFileSet& files, const RecordingFileSystemApi& recorder)
    {
        require(outside(fs_) == before, "every file and folder outside the icon folder is as it was");
        require(files.recordedFolder() == IconFolder + "\\", "the recorded folder is the icon folder");
        require(recorder.unclosedHandles() == 0 && recorder.strayCloses() == 0,
                "every search and file is closed exactly once");
        require(recorder.deletionsDuringSearch() == 0, "nothing is deleted while a search is open");
    }

    void go()
    {
        if (input_.ConsumeBool()) linkAt(MakerFolder, true);
        if (input_.ConsumeBool()) linkAt(IconFolder, true);
        const Snapshot before = outside(fs_);

        RecordingFileSystemApi recorder(fs_);
        OutsideWriteGuard guard(recorder, fs_, links_);
        IconFileSet files(guard);
        const int rounds = input_.ConsumeIntegralInRange(1, 3);
        for (int round = 0; round < rounds; ++round) {
            files.installIconFiles();
            growTree();
            // A level swapped for a link after the install.
            const int swap = input_.ConsumeIntegralInRange(0, 3);
            if (swap == 1) linkAt(IconFolder, true);
            if (swap == 2) linkAt(MakerFolder, true);
            files.deleteIconFolder();
            check(before, files, recorder);
        }
    }

private:
    FuzzedDataProvider& input_;
    FakeFileSystem fs_;
    LinkMap links_;
};

}  // namespace
}  // namespace purrbox::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    purrbox::fuzzing::Run(input).go();
    return 0;
}
