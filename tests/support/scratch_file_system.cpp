#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>

#include "system/win32_file_system_api.h"
#include "tests/support/file_system_backend.h"

namespace purrbox::testing {
namespace {

class ScratchBackend final : public FileSystemBackend {
public:
    ScratchBackend()
    {
        static std::atomic<int> counter{0};
        char temp[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathA(sizeof temp, temp);
        if (length == 0 || length > MAX_PATH) throw std::runtime_error("no temporary folder");
        // A run that was stopped leaves its folders behind, and Wine hands out
        // the same process ids again after a restart: a name taken is passed over.
        for (int tries = 0;; ++tries) {
            root_ = std::string(temp) + "purrbox-icon-tests-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(++counter);
            if (CreateDirectoryA(root_.c_str(), nullptr)) break;
            if (GetLastError() != ERROR_ALREADY_EXISTS || tries == 1000)
                throw std::runtime_error("cannot create " + root_);
        }
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
}  // namespace

std::unique_ptr<FileSystemBackend> makeScratchFileSystemBackend() { return std::make_unique<ScratchBackend>(); }

}  // namespace purrbox::testing
