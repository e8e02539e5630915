// A child window that shows one picture of an icon file, stretched to fill
// the box, on the button-face colour.
#pragma once

#include <windows.h>

#include <span>

#include "ui/win_handles.h"

namespace purrbox::ui {

class PictureBox {
public:
    PictureBox() = default;
    PictureBox(const PictureBox&) = delete;
    PictureBox& operator=(const PictureBox&) = delete;

    // Makes the icon from the image pickPictureImage chooses, then the window
    // (hidden unless the style says otherwise). Null when the window cannot be
    // made; an icon that cannot be made leaves only the background.
    HWND create(HINSTANCE instance, HWND parent, int id, RECT place, DWORD style, DWORD exStyle,
                std::span<const unsigned char> iconFile);

    HWND handle() const { return hwnd_; }
    HICON icon() const { return icon_.get(); }

    // Fills the box and draws the icon over it; also answers WM_PRINTCLIENT.
    void paint(HDC dc) const;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void onPaint() const;

    HWND hwnd_ = nullptr;
    IconHandle icon_;
};

}  // namespace purrbox::ui
