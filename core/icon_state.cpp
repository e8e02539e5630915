#include "core/icon_state.h"

namespace purrbox {

IconState classifyIconState(std::string_view defaultValue)
{
    if (defaultValue.empty()) return IconState::Unreadable;
    if (defaultValue == WindowsEmptyIcon) return IconState::WindowsEmpty;
    if (defaultValue == WindowsFullIcon) return IconState::WindowsFull;
    if (defaultValue == CatEmptyIcon) return IconState::CatEmpty;
    if (defaultValue == CatFullIcon) return IconState::CatFull;
    return IconState::Other;
}

IconScheme catSchemeFor(IconState current)
{
    const IconLocation shown = current == IconState::WindowsFull ? CatFullIcon : CatEmptyIcon;
    return {shown, CatEmptyIcon, CatFullIcon};
}

IconScheme windowsSchemeFor(IconState current)
{
    const IconLocation shown = current == IconState::CatFull ? WindowsFullIcon : WindowsEmptyIcon;
    return {shown, WindowsEmptyIcon, WindowsFullIcon};
}

}  // namespace purrbox
