// A RegistryApi that passes every call on to another one: the base of the
// test wrappers that watch or hold back a few calls and leave the rest alone.
#pragma once

#include "system/registry_api.h"

namespace purrbox::testing {

class ForwardingRegistryApi : public RegistryApi {
public:
    explicit ForwardingRegistryApi(RegistryApi& inner) : inner_(inner) {}

    RegStatus regOpenKey(RegKey root, const char* subKey, RegKey* result) override
    {
        return inner_.regOpenKey(root, subKey, result);
    }
    RegStatus regQueryValueEx(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* size) override
    {
        return inner_.regQueryValueEx(key, valueName, type, data, size);
    }
    RegStatus regSetValueEx(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) override
    {
        return inner_.regSetValueEx(key, valueName, type, data, size);
    }
    RegStatus regCloseKey(RegKey key) override { return inner_.regCloseKey(key); }
    void shChangeNotify(long eventId, unsigned flags, const void* item1, const void* item2) override
    {
        inner_.shChangeNotify(eventId, flags, item1, item2);
    }

private:
    RegistryApi& inner_;
};

}  // namespace purrbox::testing
