#include "system/win32_file_system_api.h"

#include <windows.h>
#include <shlobj.h>

namespace purrbox {
namespace {

// The portable copies of the Windows constants, checked where the headers are at hand.
static_assert(MaxPath == MAX_PATH);
static_assert(CsidlAppData == CSIDL_APPDATA);
static_assert(GenericWrite == GENERIC_WRITE);
static_assert(CreateNew == CREATE_NEW);
static_assert(CreateAlways == CREATE_ALWAYS);
static_assert(FileAttributeReadOnly == FILE_ATTRIBUTE_READONLY);
static_assert(FileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(FileAttributeArchive == FILE_ATTRIBUTE_ARCHIVE);
static_assert(FileAttributeNormal == FILE_ATTRIBUTE_NORMAL);
static_assert(FileAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);

HANDLE toHandle(FindHandle handle) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handle)); }
HANDLE toHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handle)); }
FindHandle toFindHandle(HANDLE handle) { return static_cast<FindHandle>(reinterpret_cast<std::uintptr_t>(handle)); }
FileHandle toFileHandle(HANDLE handle) { return static_cast<FileHandle>(reinterpret_cast<std::uintptr_t>(handle)); }

void copyEntry(const WIN32_FIND_DATAA& data, FoundEntry* found)
{
    found->attributes = data.dwFileAttributes;
    found->name = data.cFileName;
}

}  // namespace

bool Win32FileSystemApi::shGetSpecialFolderPath(char* path, int folder, bool create)
{
    return SHGetSpecialFolderPathA(nullptr, path, folder, create ? TRUE : FALSE) != FALSE;
}

bool Win32FileSystemApi::createDirectory(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }

FindHandle Win32FileSystemApi::findFirstFile(const char* pattern, FoundEntry* found)
{
    WIN32_FIND_DATAA data{};
    const HANDLE search = FindFirstFileA(pattern, &data);
    if (search != INVALID_HANDLE_VALUE) copyEntry(data, found);
    return toFindHandle(search);
}

bool Win32FileSystemApi::findNextFile(FindHandle search, FoundEntry* found)
{
    WIN32_FIND_DATAA data{};
    if (!FindNextFileA(toHandle(search), &data)) return false;
    copyEntry(data, found);
    return true;
}

bool Win32FileSystemApi::findClose(FindHandle search) { return FindClose(toHandle(search)) != FALSE; }

FileHandle Win32FileSystemApi::createFile(const char* path, std::uint32_t access, std::uint32_t shareMode,
                                          std::uint32_t disposition, std::uint32_t flagsAndAttributes)
{
    return toFileHandle(CreateFileA(path, access, shareMode, nullptr, disposition, flagsAndAttributes, nullptr));
}

bool Win32FileSystemApi::writeFile(FileHandle file, const void* data, std::uint32_t size, std::uint32_t* written)
{
    DWORD count = 0;
    const BOOL ok = WriteFile(toHandle(file), data, size, &count, nullptr);
    *written = count;
    return ok != FALSE;
}

bool Win32FileSystemApi::closeHandle(FileHandle file) { return CloseHandle(toHandle(file)) != FALSE; }

bool Win32FileSystemApi::deleteFile(const char* path) { return DeleteFileA(path) != FALSE; }

bool Win32FileSystemApi::removeDirectory(const char* path) { return RemoveDirectoryA(path) != FALSE; }

}  // namespace purrbox
