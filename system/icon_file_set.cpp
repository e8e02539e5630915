#include "system/icon_file_set.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "system/icon_files.h"

namespace purrbox {
namespace {

constexpr std::string_view MakerFolderName = "brenoka\\";
constexpr std::string_view IconFolderName = "miaoIco\\";

// The component reports nothing, so every platform outcome ends here: a step
// that fails leaves the disk as it is and the next step goes on.
template <class Outcome>
void ignoreOutcome(const Outcome&)
{
}

// Owns a search and closes it exactly once.
class Search {
public:
    Search(FileSystemApi& api, const std::string& pattern, FoundEntry* first)
        : api_(&api), handle_(api.findFirstFile(pattern.c_str(), first))
    {
    }
    ~Search() { close(); }
    Search(Search&& other) noexcept
        : api_(other.api_), handle_(std::exchange(other.handle_, InvalidFindHandle))
    {
    }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
    Search& operator=(Search&&) = delete;

    explicit operator bool() const { return handle_ != InvalidFindHandle; }
    bool next(FoundEntry* found) { return api_->findNextFile(handle_, found); }

    void close()
    {
        if (handle_ != InvalidFindHandle) ignoreOutcome(api_->findClose(handle_));
        handle_ = InvalidFindHandle;
    }

private:
    FileSystemApi* api_;
    FindHandle handle_;
};

// Owns an open file and closes it exactly once.
class OpenFile {
public:
    OpenFile(FileSystemApi& api, FileHandle handle) : api_(&api), handle_(handle) {}
    ~OpenFile()
    {
        if (handle_ != InvalidFileHandle) ignoreOutcome(api_->closeHandle(handle_));
    }
    OpenFile(OpenFile&& other) noexcept : api_(other.api_), handle_(std::exchange(other.handle_, InvalidFileHandle))
    {
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    OpenFile& operator=(OpenFile&&) = delete;

    explicit operator bool() const { return handle_ != InvalidFileHandle; }
    FileHandle get() const { return handle_; }

private:
    FileSystemApi* api_;
    FileHandle handle_;
};

// Application Data with a trailing backslash; the empty text when it is
// unknown, which leaves every path relative to the current directory.
std::string applicationDataBase(FileSystemApi& api)
{
    std::array<char, MaxPath> buffer{};
    if (!api.shGetSpecialFolderPath(buffer.data(), CsidlAppData, false)) return {};
    std::string base(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
    if (!base.empty() && base.back() != '\\') base += '\\';
    return base;
}

// The attributes of the entry at a path: the entry itself, never what a link
// there points at; nothing when no entry of that name is found.
std::optional<std::uint32_t> lookUp(FileSystemApi& api, const std::string& path)
{
    FoundEntry found;
    if (!Search(api, path, &found)) return std::nullopt;
    return found.attributes;
}

// Junctions and symbolic links alike carry the reparse-point attribute.
bool isLink(std::uint32_t attributes) { return (attributes & FileAttributeReparsePoint) != 0; }

bool isPlainFolder(std::optional<std::uint32_t> attributes)
{
    return attributes && (*attributes & FileAttributeDirectory) != 0 && !isLink(*attributes);
}

// A link goes by the call that removes its own name, never its target's content.
void removeLink(FileSystemApi& api, const std::string& path, std::uint32_t attributes)
{
    ignoreOutcome((attributes & FileAttributeDirectory) != 0 ? api.removeDirectory(path.c_str())
                                                             : api.deleteFile(path.c_str()));
}

// A folder's own name, for a look-up: FindFirstFileA finds no name that ends with a backslash.
std::string entryName(const std::string& folder) { return folder.substr(0, folder.size() - 1); }

// One level of the icon folder, made when missing. It is passed through only
// when the look-up after any creation shows a plain folder: a link there,
// planted before the install or in the moment since the first look-up, would
// turn every create and write below it into an elevated one wherever it points.
bool makeLevel(FileSystemApi& api, const std::string& folder)
{
    std::optional<std::uint32_t> attributes = lookUp(api, entryName(folder));
    if (!attributes) {
        // Fails harmlessly when a name appeared since the look-up: CreateDirectoryA
        // never goes through an entry at the name it is given.
        ignoreOutcome(api.createDirectory(folder.c_str()));
        attributes = lookUp(api, entryName(folder));
    }
    return isPlainFolder(attributes);
}

void writeNewFile(FileSystemApi& api, const std::string& path, std::span<const unsigned char> bytes)
{
    // CREATE_NEW, never CREATE_ALWAYS: this runs elevated in a folder any
    // unelevated program of the user can write to, so a name that appeared
    // since the look-up (a planted link above all) must make the create fail
    // rather than truncate whatever it points at.
    OpenFile file(api, api.createFile(path.c_str(), GenericWrite, 0, CreateNew, FileAttributeNormal));
    if (!file) return;
    std::uint32_t written = 0;
    // A part-written file stays and counts as present from then on.
    ignoreOutcome(api.writeFile(file.get(), bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written));
}

struct ListedEntry {
    std::string path;
    std::uint32_t attributes;
};

// The folder's entries except the dot-names, read to the end; the search is
// closed before the caller deletes anything, as deleting under an open search
// may skip or repeat entries.
std::vector<ListedEntry> listFolder(FileSystemApi& api, const std::string& folder)
{
    std::vector<ListedEntry> entries;
    FoundEntry found;
    Search search(api, folder + "*.*", &found);
    if (!search) return entries;
    do {
        if (found.name.empty() || found.name.front() == '.') continue;
        entries.push_back({folder + found.name, found.attributes});
    } while (search.next(&found));
    return entries;
}

// Deletes what it can; a read-only or locked entry stays, and so does its folder.
void emptyFolder(FileSystemApi& api, const std::string& folder)
{
    for (const ListedEntry& entry : listFolder(api, folder)) {
        const bool directory = (entry.attributes & FileAttributeDirectory) != 0;
        if (isLink(entry.attributes)) {
            // A junction or symbolic link goes as a link: descending into one
            // planted here would turn this elevated delete on whatever folder
            // it points at.
            removeLink(api, entry.path, entry.attributes);
        } else if (directory) {
            emptyFolder(api, entry.path + '\\');
            ignoreOutcome(api.removeDirectory(entry.path.c_str()));
        } else {
            ignoreOutcome(api.deleteFile(entry.path.c_str()));
        }
    }
}

}  // namespace

void IconFileSet::installIconFiles()
{
    const std::string base = applicationDataBase(api_);
    // Recorded whole before anything can stop the install, so that a later
    // delete never takes brenoka\ itself for the icon folder.
    folder_ = base + std::string(MakerFolderName) + std::string(IconFolderName);
    for (const std::string& level : {base + std::string(MakerFolderName), *folder_})
        if (!makeLevel(api_, level)) return;

    for (const IconFile* file : {&emptyIconFile(), &fullIconFile()}) {
        const std::string path = *folder_ + std::string(file->name);
        if (!lookUp(api_, path)) writeNewFile(api_, path, file->bytes);
    }
}

void IconFileSet::deleteIconFolder()
{
    if (!folder_ || folder_->empty()) return;
    // Either level may have been swapped for a link since the install, or
    // planted before it: then only that link goes, never what it points at.
    const std::string makerFolder = folder_->substr(0, folder_->size() - IconFolderName.size());
    for (const std::string& level : {makerFolder, *folder_}) {
        const std::optional<std::uint32_t> attributes = lookUp(api_, entryName(level));
        if (attributes && isLink(*attributes)) {
            removeLink(api_, entryName(level), *attributes);
            return;
        }
        // Nothing of this program's to delete below a missing level or a file.
        if (!isPlainFolder(attributes)) return;
    }
    emptyFolder(api_, *folder_);
    // Fails, harmlessly, while anything is left inside; brenoka\ always stays.
    ignoreOutcome(api_.removeDirectory(folder_->c_str()));
}

void IconFileSet::releaseIconFolder() { folder_.reset(); }

}  // namespace purrbox
