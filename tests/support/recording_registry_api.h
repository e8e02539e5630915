// Passes every call on to another registry and records it, so that a test can
// check the calls made and that every opened key was closed exactly once.
#pragma once

#include <algorithm>
#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "system/registry_api.h"

namespace purrbox::testing {

struct RegistryCall {
    std::string function;
    RegKey key = RegKey::None;   // the root for an open, else the handle used
    bool nullText = false;       // a null sub-key or value name was passed
    std::string text;            // the sub-key or value name
    bool nullData = false;
    std::uint32_t size = 0;      // the size passed in
    std::uint32_t type = 0;      // for a set: the type passed
    RegStatus status = RegSuccess;
};

class RecordingRegistryApi final : public RegistryApi {
public:
    explicit RecordingRegistryApi(RegistryApi& inner) : inner_(inner) {}

    // Runs once, right after the first value query: lets a test change the
    // registry between the size query and the data query.
    std::function<void()> afterFirstQuery;

    const std::vector<RegistryCall>& calls() const { return calls_; }

    // Opens whose handle has not been closed, and closes of handles that were
    // not open (a second close, or a handle never returned by an open).
    int unclosedKeys() const
    {
        int count = 0;
        for (const auto& open : opens_) count += open.closed ? 0 : 1;
        return count;
    }
    int strayCloses() const { return strayCloses_; }
    int openedKeys() const { return static_cast<int>(opens_.size()); }

    RegStatus regOpenKey(RegKey root, const char* subKey, RegKey* result) override
    {
        const RegStatus status = inner_.regOpenKey(root, subKey, result);
        if (status == RegSuccess && *result != RegKey::None) opens_.push_back({*result, false});
        record({"RegOpenKey", root, subKey == nullptr, subKey ? subKey : "", false, 0, 0, status});
        return status;
    }

    RegStatus regQueryValueEx(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* size) override
    {
        const std::uint32_t sizeIn = *size;
        const RegStatus status = inner_.regQueryValueEx(key, valueName, type, data, size);
        record({"RegQueryValueEx", key, valueName == nullptr, valueName ? valueName : "", data == nullptr, sizeIn,
                0, status});
        if (afterFirstQuery) std::exchange(afterFirstQuery, nullptr)();
        return status;
    }

    RegStatus regSetValueEx(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) override
    {
        const RegStatus status = inner_.regSetValueEx(key, valueName, type, data, size);
        record({"RegSetValueEx", key, valueName == nullptr, valueName ? valueName : "", data == nullptr, size, type,
                status});
        return status;
    }

    RegStatus regCloseKey(RegKey key) override
    {
        // Windows reuses handle values, so match the latest open of this value.
        const auto open = std::find_if(opens_.rbegin(), opens_.rend(),
                                       [key](const Open& o) { return o.key == key && !o.closed; });
        if (open != opens_.rend())
            open->closed = true;
        else
            ++strayCloses_;
        const RegStatus status = inner_.regCloseKey(key);
        record({"RegCloseKey", key, false, "", false, 0, 0, status});
        return status;
    }

    void shChangeNotify(long eventId, unsigned flags, const void* item1, const void* item2) override
    {
        inner_.shChangeNotify(eventId, flags, item1, item2);
        notifications.push_back({eventId, flags, item1, item2});
        record({"SHChangeNotify", RegKey::None, false, "", false, 0, 0, RegSuccess});
    }

    struct Notification {
        long eventId;
        unsigned flags;
        const void* item1;
        const void* item2;
    };
    std::vector<Notification> notifications;

private:
    void record(RegistryCall call) { calls_.push_back(std::move(call)); }

    RegistryApi& inner_;
    std::vector<RegistryCall> calls_;
    struct Open {
        RegKey key;
        bool closed;
    };
    std::vector<Open> opens_;
    int strayCloses_ = 0;
};

}  // namespace purrbox::testing
