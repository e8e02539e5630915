// Registers the program's window classes: the main window's and the picture
// boxes' share their class styles, arrow cursor and a background that erasing
// leaves alone (each window paints its whole area itself).
#pragma once

#include <windows.h>

#include "ui/layout.h"

namespace purrbox::ui {

// True when the class is registered, now or by an earlier window.
inline bool registerWindowClass(HINSTANCE instance, const char* className, WNDPROC windowProc)
{
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, className, &existing)) return true;

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = WindowClassStyle;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = className;
    return RegisterClassExA(&windowClass) != 0;
}

}  // namespace purrbox::ui
