// The registry and shell calls of the Recycle Bin icon key, passed straight to Windows.
#pragma once

#include "system/registry_api.h"

namespace purrbox {

class Win32RegistryApi final : public RegistryApi {
public:
    RegStatus regOpenKey(RegKey root, const char* subKey, RegKey* result) override;
    RegStatus regQueryValueEx(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* size) override;
    RegStatus regSetValueEx(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) override;
    RegStatus regCloseKey(RegKey key) override;
    void shChangeNotify(long eventId, unsigned flags, const void* item1, const void* item2) override;
};

}  // namespace purrbox
