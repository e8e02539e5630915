#include <windows.h>

#include <atomic>
#include <stdexcept>

#include "system/win32_registry_api.h"
#include "tests/support/registry_backend.h"

namespace purrbox::testing {
namespace {

std::string scratchKeyPath()
{
    static std::atomic<int> counter{0};
    return "Software\\PurrboxTests\\" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

class ScratchRegistryBackend final : public RegistryBackend {
public:
    ScratchRegistryBackend() : scratchPath_(scratchKeyPath())
    {
        // A key of the same name can only be left by a run that was stopped
        // (Wine hands out the same process ids again): it starts empty.
        RegDeleteTreeA(HKEY_CURRENT_USER, scratchPath_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, scratchPath_.c_str());
        if (RegCreateKeyExA(HKEY_CURRENT_USER, scratchPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &scratch_, nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create the scratch key");
        if (RegOverridePredefKey(HKEY_CURRENT_USER, scratch_) != ERROR_SUCCESS)
            throw std::runtime_error("cannot redirect HKEY_CURRENT_USER");
    }

    ~ScratchRegistryBackend() override
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(scratch_);
        RegDeleteTreeA(HKEY_CURRENT_USER, scratchPath_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, scratchPath_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\PurrboxTests");  // only once it is empty
    }

    RegistryApi& api() override { return api_; }

    void createKey() override
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(scratch_, IconKeyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS)
            RegCloseKey(key);
    }

    void deleteKey() override { RegDeleteTreeA(scratch_, IconKeyPath.c_str()); RegDeleteKeyA(scratch_, IconKeyPath.c_str()); }

    bool keyExists() override
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(scratch_, IconKeyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    void setRaw(const std::string& name, const RawValue& value) override
    {
        RegSetKeyValueA(scratch_, IconKeyPath.c_str(), name.c_str(), value.type, value.bytes.data(),
                        static_cast<DWORD>(value.bytes.size()));
    }

    std::optional<RawValue> getRaw(const std::string& name) override
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(scratch_, IconKeyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
        DWORD type = 0;
        DWORD size = 0;
        std::optional<RawValue> result;
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            RawValue value{type, std::vector<std::uint8_t>(size)};
            if (RegQueryValueExA(key, name.c_str(), nullptr, &type, value.bytes.data(), &size) == ERROR_SUCCESS) {
                value.bytes.resize(size);
                result = value;
            }
        }
        RegCloseKey(key);
        return result;
    }

private:
    std::string scratchPath_;
    HKEY scratch_ = nullptr;
    Win32RegistryApi api_;
};

}  // namespace

std::unique_ptr<RegistryBackend> makeScratchRegistryBackend() { return std::make_unique<ScratchRegistryBackend>(); }

}  // namespace purrbox::testing
