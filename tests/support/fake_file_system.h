// An in-memory file system that answers like Windows does, and a recorder to
// put in front of it (or of the real calls) that checks how handles are used.
//
// Paths are absolute ("C:\...") or relative to currentDirectory; "\" and "/"
// both separate, a trailing one is ignored, names are case-sensitive (Windows
// folds case; nothing here depends on it). Junctions and symbolic links are
// entries of their own carrying FILE_ATTRIBUTE_REPARSE_POINT: a path that
// passes through one continues in its target, so listing or deleting "inside"
// a link reaches the target's entries, while deleting the link's own name
// removes only the link.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "system/file_system_api.h"

namespace purrbox::testing {

using Bytes = std::vector<unsigned char>;

class FakeFileSystem final : public FileSystemApi {
public:
    // What SHGetSpecialFolderPathA(CSIDL_APPDATA) answers; nullopt makes it fail.
    std::optional<std::string> appData = "C:\\Users\\me\\AppData\\Roaming";
    std::string currentDirectory = "C:\\work";

    // Faults, by path as a test names it.
    std::set<std::string> refuseCreateDirectory;  // e.g. denied by the folder's ACL
    std::set<std::string> refuseCreateFile;
    std::set<std::string> refuseDelete;           // e.g. an entry another program holds open
    std::map<std::string, std::size_t> sizeLimit; // a file never grows past this: the disk is full

    FakeFileSystem()
    {
        makeFolder(currentDirectory);
        makeFolder(*appData);
    }

    // Arranging and inspecting, outside the calls under test.
    void makeFolder(const std::string& path)
    {
        std::string built;
        for (const std::string& part : components(path)) {
            built = built.empty() ? part : built + '\\' + part;
            Node& node = nodes_[resolve(built, true)];
            node.directory = true;
        }
    }
    void putFile(const std::string& path, Bytes bytes, std::uint32_t attributes = 0)
    {
        Node& node = nodes_[resolve(path, true)];
        node = Node{};
        node.bytes = std::move(bytes);
        node.attributes = attributes;
    }
    // A junction or directory symbolic link (directory = true) or a file
    // symbolic link; the target need not exist.
    void makeLink(const std::string& path, const std::string& target, bool directory)
    {
        Node& node = nodes_[resolve(path, false)];
        node = Node{};
        node.directory = directory;
        node.linkTarget = resolve(target, true);
    }
    void setReadOnly(const std::string& path) { nodes_.at(resolve(path, false)).attributes |= FileAttributeReadOnly; }
    void remove(const std::string& path) { nodes_.erase(resolve(path, false)); }

    bool exists(const std::string& path) const { return nodes_.count(resolve(path, false)) != 0; }
    bool isFolder(const std::string& path) const
    {
        const Node* node = find(resolve(path, true));
        return node && node->directory;
    }
    std::optional<Bytes> fileBytes(const std::string& path) const
    {
        const Node* node = find(resolve(path, true));
        if (!node || node->directory) return std::nullopt;
        return node->bytes;
    }
    // The names in a folder, without "." and "..".
    std::vector<std::string> names(const std::string& folder) const
    {
        std::vector<std::string> result;
        for (const std::string& child : children(resolve(folder, true))) result.push_back(lastComponent(child));
        return result;
    }

    // Every entry as it stands, to compare the whole disk before and after a run.
    struct EntryState {
        bool directory = false;
        std::uint32_t attributes = 0;
        Bytes bytes;
        std::optional<std::string> linkTarget;
        friend bool operator==(const EntryState&, const EntryState&) = default;
    };
    std::map<std::string, EntryState> snapshot() const
    {
        std::map<std::string, EntryState> entries;
        for (const auto& [key, node] : nodes_) entries[key] = {node.directory, node.attributes, node.bytes, node.linkTarget};
        return entries;
    }

    // FileSystemApi.
    bool shGetSpecialFolderPath(char* path, int folder, bool create) override
    {
        if (folder != CsidlAppData || create || !appData) return false;
        if (appData->size() >= MaxPath) throw std::logic_error("Application Data must fit in MAX_PATH");
        std::memcpy(path, appData->c_str(), appData->size() + 1);
        return true;
    }

    bool createDirectory(const char* path) override
    {
        const std::string key = resolve(path, false);
        if (refused(refuseCreateDirectory, key) || find(key) || !parentIsFolder(key)) return false;
        nodes_[key].directory = true;
        return true;
    }

    FindHandle findFirstFile(const char* pattern, FoundEntry* found) override
    {
        const std::string text(pattern);
        const std::size_t cut = text.find_last_of("\\/");
        const std::string folder = cut == std::string::npos ? "" : text.substr(0, cut);
        const std::string mask = cut == std::string::npos ? text : text.substr(cut + 1);

        std::vector<FoundEntry> entries;
        if (mask == "*" || mask == "*.*") {
            const std::string key = resolve(folder, true);
            const Node* node = find(key);
            if (!node || !node->directory) return InvalidFindHandle;
            if (key.find('\\') != std::string::npos) {
                entries.push_back({FileAttributeDirectory, "."});
                entries.push_back({FileAttributeDirectory, ".."});
            }
            for (const std::string& child : children(key))
                entries.push_back({attributesOf(nodes_.at(child)), lastComponent(child)});
        } else if (mask.find_first_of("*?") != std::string::npos) {
            throw std::logic_error("this double lists whole folders only: " + text);
        } else if (!mask.empty()) {
            // A plain name finds the entry itself; a link is not followed.
            const std::string key = resolve(text, false);
            if (const Node* node = find(key)) entries.push_back({attributesOf(*node), lastComponent(key)});
        }
        if (entries.empty()) return InvalidFindHandle;
        const auto handle = static_cast<FindHandle>(nextHandle_++);
        *found = entries.front();
        searches_[handle] = Listing{std::move(entries), 1};
        return handle;
    }

    bool findNextFile(FindHandle search, FoundEntry* found) override
    {
        const auto open = searches_.find(search);
        if (open == searches_.end() || open->second.next >= open->second.entries.size()) return false;
        *found = open->second.entries[open->second.next++];
        return true;
    }

    bool findClose(FindHandle search) override { return searches_.erase(search) != 0; }

    FileHandle createFile(const char* path, std::uint32_t access, std::uint32_t, std::uint32_t disposition,
                          std::uint32_t flagsAndAttributes) override
    {
        std::string key = resolve(path, false);
        if (refused(refuseCreateFile, key) || !parentIsFolder(key)) return InvalidFileHandle;
        if (disposition == CreateNew) {
            if (find(key)) return InvalidFileHandle;
        } else if (disposition == CreateAlways) {
            // Follows a link at the name and truncates what it points at.
            key = resolve(path, true);
            if (const Node* node = find(key); node && (node->directory || (node->attributes & FileAttributeReadOnly)))
                return InvalidFileHandle;
        } else {
            throw std::logic_error("this double creates files only");
        }
        Node& node = nodes_[key];
        node = Node{};
        node.attributes = flagsAndAttributes & FileAttributeReadOnly;
        const auto handle = static_cast<FileHandle>(nextHandle_++);
        files_[handle] = OpenedFile{key, (access & GenericWrite) != 0};
        return handle;
    }

    bool writeFile(FileHandle file, const void* data, std::uint32_t size, std::uint32_t* written) override
    {
        *written = 0;
        const auto open = files_.find(file);
        if (open == files_.end() || !open->second.writable) return false;
        Node* node = find(open->second.key);
        if (!node || node->directory) return false;
        std::size_t room = size;
        if (const auto limit = sizeLimit.find(open->second.key); limit != sizeLimit.end())
            room = limit->second > node->bytes.size() ? std::min<std::size_t>(size, limit->second - node->bytes.size())
                                                      : 0;
        const auto* bytes = static_cast<const unsigned char*>(data);
        node->bytes.insert(node->bytes.end(), bytes, bytes + room);
        *written = static_cast<std::uint32_t>(room);
        return room == size;
    }

    bool closeHandle(FileHandle file) override { return files_.erase(file) != 0; }

    bool deleteFile(const char* path) override
    {
        const std::string key = resolve(path, false);
        const Node* node = find(key);
        if (!node || node->directory || (node->attributes & FileAttributeReadOnly) || refused(refuseDelete, key))
            return false;
        nodes_.erase(key);
        return true;
    }

    bool removeDirectory(const char* path) override
    {
        const std::string key = resolve(path, false);
        const Node* node = find(key);
        if (!node || !node->directory || refused(refuseDelete, key)) return false;
        if (!node->linkTarget && !children(key).empty()) return false;
        nodes_.erase(key);
        return true;
    }

private:
    struct Node {
        bool directory = false;
        std::uint32_t attributes = 0;  // read-only, if set
        Bytes bytes;
        std::optional<std::string> linkTarget;
    };
    struct Listing {
        std::vector<FoundEntry> entries;
        std::size_t next = 0;
    };
    struct OpenedFile {
        std::string key;
        bool writable = false;
    };

    static std::uint32_t attributesOf(const Node& node)
    {
        std::uint32_t attributes = node.attributes | (node.directory ? FileAttributeDirectory : FileAttributeArchive);
        if (node.linkTarget) attributes |= FileAttributeReparsePoint;
        return attributes;
    }

    static std::string lastComponent(const std::string& key)
    {
        const std::size_t cut = key.rfind('\\');
        return cut == std::string::npos ? key : key.substr(cut + 1);
    }

    std::vector<std::string> components(const std::string& path) const
    {
        const bool absolute = path.size() >= 2 && path[1] == ':';
        const std::string full = absolute ? path : currentDirectory + '\\' + path;
        std::vector<std::string> parts;
        std::string part;
        for (std::size_t i = 0; i <= full.size(); ++i) {
            if (i < full.size() && full[i] != '\\' && full[i] != '/') {
                part += full[i];
                continue;
            }
            if (part == "..") {
                if (parts.size() > 1) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        }
        return parts;
    }

    // The entry a path names: every link on the way is followed, the last
    // component's only when followLast is set.
    std::string resolve(const std::string& path, bool followLast) const
    {
        const std::vector<std::string> parts = components(path);
        std::string key;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            key = key.empty() ? parts[i] : key + '\\' + parts[i];
            if (i + 1 == parts.size() && !followLast) break;
            for (int hops = 0; hops < 32; ++hops) {
                const Node* node = find(key);
                if (!node || !node->linkTarget) break;
                key = *node->linkTarget;
            }
        }
        return key;
    }

    const Node* find(const std::string& key) const
    {
        const auto found = nodes_.find(key);
        return found == nodes_.end() ? nullptr : &found->second;
    }
    Node* find(const std::string& key)
    {
        const auto found = nodes_.find(key);
        return found == nodes_.end() ? nullptr : &found->second;
    }

    bool parentIsFolder(const std::string& key) const
    {
        const std::size_t cut = key.rfind('\\');
        if (cut == std::string::npos) return false;
        const Node* parent = find(key.substr(0, cut));
        return parent && parent->directory && !parent->linkTarget;
    }

    std::vector<std::string> children(const std::string& key) const
    {
        std::vector<std::string> result;
        const std::string prefix = key + '\\';
        for (auto it = nodes_.lower_bound(prefix); it != nodes_.end() && it->first.starts_with(prefix); ++it)
            if (it->first.find('\\', prefix.size()) == std::string::npos) result.push_back(it->first);
        return result;
    }

    bool refused(const std::set<std::string>& paths, const std::string& key) const
    {
        return std::any_of(paths.begin(), paths.end(),
                           [&](const std::string& path) { return resolve(path, false) == key; });
    }

    std::map<std::string, Node> nodes_;
    std::map<FindHandle, Listing> searches_;
    std::map<FileHandle, OpenedFile> files_;
    std::uintptr_t nextHandle_ = 0x100;
};

struct FileSystemCall {
    std::string function;
    std::string path;                 // the path or pattern passed, if any
    std::uint32_t access = 0;         // CreateFileA
    std::uint32_t shareMode = 0;
    std::uint32_t disposition = 0;
    std::uint32_t flagsAndAttributes = 0;
    std::uint32_t size = 0;           // WriteFile: the bytes passed
    int folder = 0;                   // SHGetSpecialFolderPathA
    bool create = false;
    bool ok = false;
};

// Passes every call on and records it. Counts search and file handles closed
// other than exactly once, and deletions made while a search was open.
class RecordingFileSystemApi final : public FileSystemApi {
public:
    explicit RecordingFileSystemApi(FileSystemApi& inner) : inner_(inner) {}

    // Runs before each CreateFileA, with its path: lets a test plant an entry
    // between the look-up and the create.
    std::function<void(const std::string&)> beforeCreateFile;

    const std::vector<FileSystemCall>& calls() const { return calls_; }
    std::vector<FileSystemCall> callsOf(const std::string& function, std::size_t from = 0) const
    {
        std::vector<FileSystemCall> result;
        for (std::size_t i = from; i < calls_.size(); ++i)
            if (calls_[i].function == function) result.push_back(calls_[i]);
        return result;
    }

    int unclosedHandles() const
    {
        return static_cast<int>(std::count_if(opens_.begin(), opens_.end(), [](const Open& o) { return !o.closed; }));
    }
    int strayCloses() const { return strayCloses_; }
    int deletionsDuringSearch() const { return deletionsDuringSearch_; }

    bool shGetSpecialFolderPath(char* path, int folder, bool create) override
    {
        const bool ok = inner_.shGetSpecialFolderPath(path, folder, create);
        FileSystemCall call{"SHGetSpecialFolderPath", ""};
        call.folder = folder;
        call.create = create;
        call.ok = ok;
        calls_.push_back(call);
        return ok;
    }

    bool createDirectory(const char* path) override
    {
        return record("CreateDirectory", path, inner_.createDirectory(path));
    }

    FindHandle findFirstFile(const char* pattern, FoundEntry* found) override
    {
        const FindHandle handle = inner_.findFirstFile(pattern, found);
        if (handle != InvalidFindHandle) opens_.push_back({Open::Search, static_cast<std::uintptr_t>(handle), false});
        record("FindFirstFile", pattern, handle != InvalidFindHandle);
        return handle;
    }

    bool findNextFile(FindHandle search, FoundEntry* found) override
    {
        return record("FindNextFile", "", inner_.findNextFile(search, found));
    }

    bool findClose(FindHandle search) override
    {
        close(Open::Search, static_cast<std::uintptr_t>(search));
        return record("FindClose", "", inner_.findClose(search));
    }

    FileHandle createFile(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t disposition,
                          std::uint32_t flagsAndAttributes) override
    {
        if (beforeCreateFile) beforeCreateFile(path);
        const FileHandle handle = inner_.createFile(path, access, shareMode, disposition, flagsAndAttributes);
        if (handle != InvalidFileHandle) opens_.push_back({Open::File, static_cast<std::uintptr_t>(handle), false});
        FileSystemCall call{"CreateFile", path, access, shareMode, disposition, flagsAndAttributes};
        call.ok = handle != InvalidFileHandle;
        calls_.push_back(call);
        return handle;
    }

    bool writeFile(FileHandle file, const void* data, std::uint32_t size, std::uint32_t* written) override
    {
        const bool ok = inner_.writeFile(file, data, size, written);
        FileSystemCall call{"WriteFile", ""};
        call.size = size;
        call.ok = ok;
        calls_.push_back(call);
        return ok;
    }

    bool closeHandle(FileHandle file) override
    {
        close(Open::File, static_cast<std::uintptr_t>(file));
        return record("CloseHandle", "", inner_.closeHandle(file));
    }

    bool deleteFile(const char* path) override
    {
        noteDeletion();
        return record("DeleteFile", path, inner_.deleteFile(path));
    }

    bool removeDirectory(const char* path) override
    {
        noteDeletion();
        return record("RemoveDirectory", path, inner_.removeDirectory(path));
    }

private:
    struct Open {
        enum Kind { Search, File } kind;
        std::uintptr_t handle;
        bool closed;
    };

    bool record(const char* function, const std::string& path, bool ok)
    {
        FileSystemCall call{function, path};
        call.ok = ok;
        calls_.push_back(call);
        return ok;
    }

    void close(Open::Kind kind, std::uintptr_t handle)
    {
        // Windows reuses handle values, so match the latest open one.
        const auto open = std::find_if(opens_.rbegin(), opens_.rend(), [&](const Open& o) {
            return o.kind == kind && o.handle == handle && !o.closed;
        });
        if (open != opens_.rend())
            open->closed = true;
        else
            ++strayCloses_;
    }

    void noteDeletion()
    {
        if (std::any_of(opens_.begin(), opens_.end(), [](const Open& o) { return o.kind == Open::Search && !o.closed; }))
            ++deletionsDuringSearch_;
    }

    FileSystemApi& inner_;
    std::vector<FileSystemCall> calls_;
    std::vector<Open> opens_;
    int strayCloses_ = 0;
    int deletionsDuringSearch_ = 0;
};

}  // namespace purrbox::testing
