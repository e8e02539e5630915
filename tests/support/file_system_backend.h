// A file system in which a test arranges and inspects files directly, beside
// the FileSystemApi through which the code under test reaches them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fake_file_system.h"

namespace purrbox::testing {

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

class FakeFileSystemBackend final : public FileSystemBackend {
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
std::unique_ptr<FileSystemBackend> makeScratchFileSystemBackend();
#endif

}  // namespace purrbox::testing
