// The folder start-up makes current: the one that holds the executable.
// Portable: no Windows header.
#pragma once

#include <string_view>

namespace purrbox::ui {

// The module path cut at its last backslash, the backslash removed. A drive
// root keeps it: "C:" alone names that drive's current directory, not its root.
// A path without a backslash gives the empty text.
inline std::string_view executableFolder(std::string_view modulePath)
{
    const std::size_t cut = modulePath.rfind('\\');
    if (cut == std::string_view::npos) return {};
    const std::string_view folder = modulePath.substr(0, cut);
    if (!folder.empty() && folder.back() == ':') return modulePath.substr(0, cut + 1);
    return folder;
}

}  // namespace purrbox::ui
