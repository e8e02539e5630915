// An in-memory registry that answers like Windows does: a size query with a
// null buffer, ERROR_MORE_DATA for a buffer that is too small, types kept as
// stored, keys that vanish under an open handle, keys that refuse writes.
#pragma once

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/registry_api.h"

namespace purrbox::testing {

struct RawValue {
    std::uint32_t type = RegNone;
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const RawValue&, const RawValue&) = default;
};

// A text as the icon key stores it: REG_EXPAND_SZ with its terminating zero byte.
inline RawValue expandable(std::string_view text)
{
    RawValue value{RegExpandString, std::vector<std::uint8_t>(text.begin(), text.end())};
    value.bytes.push_back(0);
    return value;
}

class FakeRegistry final : public RegistryApi {
public:
    static constexpr RegStatus KeyDeleted = 1018;    // ERROR_KEY_DELETED
    static constexpr RegStatus InvalidHandle = 6;    // ERROR_INVALID_HANDLE

    // Arranging and inspecting, outside the calls under test. Paths are under
    // HKEY_CURRENT_USER and compared without a trailing backslash.
    void createKey(const std::string& path) { keys_[normal(path)]; }
    void deleteKey(const std::string& path) { keys_.erase(normal(path)); }
    bool keyExists(const std::string& path) const { return keys_.count(normal(path)) != 0; }
    void setReadOnly(const std::string& path, bool readOnly) { keys_.at(normal(path)).readOnly = readOnly; }
    void setRaw(const std::string& path, const std::string& name, RawValue value)
    {
        keys_.at(normal(path)).values[name] = std::move(value);
    }
    std::optional<RawValue> getRaw(const std::string& path, const std::string& name) const
    {
        const auto key = keys_.find(normal(path));
        if (key == keys_.end()) return std::nullopt;
        const auto value = key->second.values.find(name);
        if (value == key->second.values.end()) return std::nullopt;
        return value->second;
    }

    // Every key with its values, to compare the whole registry before and after a run.
    std::map<std::string, std::map<std::string, RawValue>> snapshot() const
    {
        std::map<std::string, std::map<std::string, RawValue>> keys;
        for (const auto& [path, key] : keys_) keys[path] = key.values;
        return keys;
    }

    RegStatus regOpenKey(RegKey root, const char* subKey, RegKey* result) override
    {
        *result = RegKey::None;
        if (root != CurrentUserRoot || !keyExists(subKey)) return RegFileNotFound;
        const auto handle = static_cast<RegKey>(nextHandle_++);
        handles_[handle] = normal(subKey);
        *result = handle;
        return RegSuccess;
    }

    RegStatus regQueryValueEx(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* size) override
    {
        Key* open = nullptr;
        if (const RegStatus status = resolve(key, &open); status != RegSuccess) return status;
        const auto value = open->values.find(valueName);
        if (value == open->values.end()) return RegFileNotFound;
        const auto needed = static_cast<std::uint32_t>(value->second.bytes.size());
        if (type) *type = value->second.type;
        if (data && *size < needed) {
            *size = needed;
            return RegMoreData;
        }
        if (data && needed) std::memcpy(data, value->second.bytes.data(), needed);
        *size = needed;
        return RegSuccess;
    }

    RegStatus regSetValueEx(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) override
    {
        Key* open = nullptr;
        if (const RegStatus status = resolve(key, &open); status != RegSuccess) return status;
        if (open->readOnly) return RegAccessDenied;
        open->values[valueName] = RawValue{type, std::vector<std::uint8_t>(data, data + size)};
        return RegSuccess;
    }

    RegStatus regCloseKey(RegKey key) override { return handles_.erase(key) ? RegSuccess : InvalidHandle; }

    void shChangeNotify(long, unsigned, const void*, const void*) override {}

private:
    struct Key {
        bool readOnly = false;
        std::map<std::string, RawValue> values;
    };

    static std::string normal(std::string path)
    {
        while (!path.empty() && path.back() == '\\') path.pop_back();
        return path;
    }

    RegStatus resolve(RegKey handle, Key** key)
    {
        const auto open = handles_.find(handle);
        if (open == handles_.end()) return InvalidHandle;
        const auto found = keys_.find(open->second);
        if (found == keys_.end()) return KeyDeleted;
        *key = &found->second;
        return RegSuccess;
    }

    std::map<std::string, Key> keys_;
    std::map<RegKey, std::string> handles_;
    std::uintptr_t nextHandle_ = 0x100;
};

}  // namespace purrbox::testing
