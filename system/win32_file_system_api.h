// The file-system and shell calls of the icon folder, passed straight to Windows.
#pragma once

#include "system/file_system_api.h"

namespace purrbox {

class Win32FileSystemApi final : public FileSystemApi {
public:
    bool shGetSpecialFolderPath(char* path, int folder, bool create) override;
    bool createDirectory(const char* path) override;
    FindHandle findFirstFile(const char* pattern, FoundEntry* found) override;
    bool findNextFile(FindHandle search, FoundEntry* found) override;
    bool findClose(FindHandle search) override;
    FileHandle createFile(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t disposition,
                          std::uint32_t flagsAndAttributes) override;
    bool writeFile(FileHandle file, const void* data, std::uint32_t size, std::uint32_t* written) override;
    bool closeHandle(FileHandle file) override;
    bool deleteFile(const char* path) override;
    bool removeDirectory(const char* path) override;
};

}  // namespace purrbox
