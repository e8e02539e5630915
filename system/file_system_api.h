// The file-system and shell calls of the icon folder, behind one small
// interface: the Win32 implementation passes them straight through ("A"
// functions, texts are bytes), tests use an in-memory file system that behaves
// like Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace purrbox {

// A search handle from FindFirstFileA and an open file from CreateFileA,
// opaque to portable code. Both fail with INVALID_HANDLE_VALUE.
enum class FindHandle : std::uintptr_t {};
enum class FileHandle : std::uintptr_t {};
inline constexpr FindHandle InvalidFindHandle = static_cast<FindHandle>(~std::uintptr_t{0});
inline constexpr FileHandle InvalidFileHandle = static_cast<FileHandle>(~std::uintptr_t{0});

inline constexpr std::size_t MaxPath = 260;             // MAX_PATH
inline constexpr int CsidlAppData = 0x1A;               // CSIDL_APPDATA

inline constexpr std::uint32_t GenericWrite = 0x40000000;  // GENERIC_WRITE
inline constexpr std::uint32_t CreateNew = 1;              // CREATE_NEW
inline constexpr std::uint32_t CreateAlways = 2;           // CREATE_ALWAYS

inline constexpr std::uint32_t FileAttributeReadOnly = 0x1;        // FILE_ATTRIBUTE_READONLY
inline constexpr std::uint32_t FileAttributeDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
inline constexpr std::uint32_t FileAttributeArchive = 0x20;        // FILE_ATTRIBUTE_ARCHIVE
inline constexpr std::uint32_t FileAttributeNormal = 0x80;         // FILE_ATTRIBUTE_NORMAL
inline constexpr std::uint32_t FileAttributeReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT

// The two fields of WIN32_FIND_DATAA the program looks at.
struct FoundEntry {
    std::uint32_t attributes = 0;  // dwFileAttributes
    std::string name;              // cFileName: the name alone, without its folder
};

class FileSystemApi {
public:
    virtual ~FileSystemApi() = default;

    // SHGetSpecialFolderPathA with no owner window; path holds MaxPath bytes.
    virtual bool shGetSpecialFolderPath(char* path, int folder, bool create) = 0;
    // CreateDirectoryA without security attributes.
    virtual bool createDirectory(const char* path) = 0;
    virtual FindHandle findFirstFile(const char* pattern, FoundEntry* found) = 0;
    virtual bool findNextFile(FindHandle search, FoundEntry* found) = 0;
    virtual bool findClose(FindHandle search) = 0;
    // CreateFileA without security attributes or template file.
    virtual FileHandle createFile(const char* path, std::uint32_t access, std::uint32_t shareMode,
                                  std::uint32_t disposition, std::uint32_t flagsAndAttributes) = 0;
    virtual bool writeFile(FileHandle file, const void* data, std::uint32_t size, std::uint32_t* written) = 0;
    virtual bool closeHandle(FileHandle file) = 0;
    virtual bool deleteFile(const char* path) = 0;
    virtual bool removeDirectory(const char* path) = 0;
};

}  // namespace purrbox
