// The four icon locations the program knows, the two schemes made of them, and
// the class of the Recycle Bin's current default value.
#pragma once

#include <string_view>

namespace purrbox {

// A registry value's text "path,index", kept exactly as stored: environment
// references stay unexpanded, nothing is trimmed or case-folded.
using IconLocation = std::string_view;

inline constexpr IconLocation WindowsEmptyIcon = "%SystemRoot%\\System32\\imageres.dll,-55";
inline constexpr IconLocation WindowsFullIcon = "%SystemRoot%\\System32\\imageres.dll,-54";
inline constexpr IconLocation CatEmptyIcon = "%AppData%\\brenoka\\miaoIco\\empty.dll,0";
inline constexpr IconLocation CatFullIcon = "%AppData%\\brenoka\\miaoIco\\full.dll,0";

// The three locations one action writes, in the order they are written.
struct IconScheme {
    IconLocation defaultIcon;  // the key's default value
    IconLocation emptyIcon;    // the value "empty"
    IconLocation fullIcon;     // the value "full"

    friend bool operator==(const IconScheme&, const IconScheme&) = default;
};

enum class IconState { Unreadable, WindowsEmpty, WindowsFull, CatEmpty, CatFull, Other };

// Whole-text byte comparison: the empty text is Unreadable, one of the four
// locations is its own class, anything else is Other.
IconState classifyIconState(std::string_view defaultValue);

// The scheme to write; its default value keeps the bin's fill state only when
// the current value is the other scheme's "full" location.
IconScheme catSchemeFor(IconState current);
IconScheme windowsSchemeFor(IconState current);

}  // namespace purrbox
