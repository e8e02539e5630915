// Reads and writes the values of the per-user key in which the shell looks up
// the Recycle Bin's desktop icons. Stateless: every call opens the key and
// closes it before returning. Failures come back as plain results only.
#pragma once

#include <string>
#include <string_view>

#include "system/registry_api.h"

namespace purrbox {

// Under HKEY_CURRENT_USER; passed exactly so, trailing backslash included.
inline constexpr std::string_view RecycleBinIconKeyPath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CLSID\\"
    "{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon\\";

class RecycleBinIconKey {
public:
    explicit RecycleBinIconKey(RegistryApi& api) : api_(api) {}

    // The value's bytes up to the first zero byte, whatever its type; the empty
    // text when the key or value is missing or cannot be read.
    std::string readIconValue(std::string_view valueName) const;

    // Stores the text and one zero byte as REG_EXPAND_SZ; never creates the key.
    bool writeIconValue(std::string_view valueName, std::string_view text) const;

    // Makes the shell reload its icons, the Recycle Bin's among them.
    void notifyIconsChanged() const;

private:
    RegistryApi& api_;
};

}  // namespace purrbox
