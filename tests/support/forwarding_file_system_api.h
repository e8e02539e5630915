// A FileSystemApi that passes every call on to another one: the base of the
// test wrappers that watch or spoil a few calls and leave the rest alone.
#pragma once

#include "system/file_system_api.h"

namespace purrbox::testing {

class ForwardingFileSystemApi : public FileSystemApi {
public:
    explicit ForwardingFileSystemApi(FileSystemApi& inner) : inner_(inner) {}

    bool shGetSpecialFolderPath(char* path, int folder, bool create) override
    {
        return inner_.shGetSpecialFolderPath(path, folder, create);
    }
    bool createDirectory(const char* path) override { return inner_.createDirectory(path); }
    FindHandle findFirstFile(const char* pattern, FoundEntry* found) override
    {
        return inner_.findFirstFile(pattern, found);
    }
    bool findNextFile(FindHandle search, FoundEntry* found) override { return inner_.findNextFile(search, found); }
    bool findClose(FindHandle search) override { return inner_.findClose(search); }
    FileHandle createFile(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t disposition,
                          std::uint32_t flagsAndAttributes) override
    {
        return inner_.createFile(path, access, shareMode, disposition, flagsAndAttributes);
    }
    bool writeFile(FileHandle file, const void* data, std::uint32_t size, std::uint32_t* written) override
    {
        return inner_.writeFile(file, data, size, written);
    }
    bool closeHandle(FileHandle file) override { return inner_.closeHandle(file); }
    bool deleteFile(const char* path) override { return inner_.deleteFile(path); }
    bool removeDirectory(const char* path) override { return inner_.removeDirectory(path); }

private:
    FileSystemApi& inner_;
};

}  // namespace purrbox::testing
