// The main window and its five controls: every style, place and size the
// window is built from, in one table. Places are client coordinates in pixels.
#pragma once

#include <windows.h>

#include <string_view>

#include "core/texts.h"
#include "system/icon_files.h"

namespace purrbox::ui {

// The window's outer size, frame and caption included.
inline constexpr int WindowWidth = 356;
inline constexpr int WindowHeight = 345;

// Fixed frame with a caption; no maximise box, no sizing border.
inline constexpr DWORD WindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
inline constexpr DWORD WindowExStyle = 0;
inline constexpr UINT WindowClassStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;

// Centred on the whole primary screen (not its work area); integer division
// truncates toward zero, and a screen smaller than the window gives a
// negative place that is used as it is.
inline constexpr POINT centredOrigin(int screenWidth, int screenHeight)
{
    return POINT{(screenWidth - WindowWidth) / 2, (screenHeight - WindowHeight) / 2};
}

enum ControlId : int {
    SwitchButtonId = 100,        // "修改为Purrbox"
    RestoreButtonId = 110,       // "还原回收站"
    OpenMouthPictureId = 120,    // empty.dll, on the right
    ClosedMouthPictureId = 130,  // full.dll, on the left
    HelpTextId = 140,
};

enum class ControlKind { PushButton, Picture, HelpText };

inline constexpr DWORD ChildStyle = WS_CHILD | WS_CLIPSIBLINGS;
inline constexpr DWORD ButtonStyle =
    ChildStyle | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;
inline constexpr DWORD PictureStyle = ChildStyle;
// No ES_AUTOHSCROLL, so long lines wrap; no ES_NOHIDESEL, so the selection
// hides while the box has no focus.
inline constexpr DWORD HelpTextStyle =
    ChildStyle | WS_TABSTOP | WS_VSCROLL | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_READONLY;

struct ControlLayout {
    int id;
    ControlKind kind;
    int left;
    int top;
    int width;
    int height;
    DWORD style;
    DWORD exStyle;
    std::string_view text;              // button caption or the help text
    const IconFile& (*picture)();       // the icon file a picture box shows
};

// In creation order, which is also the order Tab walks the tab stops in.
inline constexpr ControlLayout Controls[] = {
    {SwitchButtonId, ControlKind::PushButton, 183, 8, 152, 32, ButtonStyle, 0, texts::SwitchButtonCaption, nullptr},
    {RestoreButtonId, ControlKind::PushButton, 184, 48, 152, 32, ButtonStyle, 0, texts::RestoreButtonCaption, nullptr},
    {OpenMouthPictureId, ControlKind::Picture, 99, 14, 64, 64, PictureStyle, 0, {}, emptyIconFile},
    {ClosedMouthPictureId, ControlKind::Picture, 19, 14, 64, 64, PictureStyle, 0, {}, fullIconFile},
    {HelpTextId, ControlKind::HelpText, 8, 88, 328, 224, HelpTextStyle, WS_EX_STATICEDGE, texts::HelpText, nullptr},
};

// The help text's font, as a LOGFONT gives it.
inline constexpr LONG HelpFontHeight = -12;
inline constexpr LONG HelpFontWeight = FW_NORMAL;

}  // namespace purrbox::ui
