#include "ui/picture_box.h"

#include "ui/icon_directory.h"
#include "ui/layout.h"
#include "ui/window_class.h"

namespace purrbox::ui {
namespace {

constexpr char PictureClassName[] = "PurrboxPicture";
constexpr DWORD IconFormatVersion = 0x00030000;  // what CreateIconFromResourceEx expects

HICON makeIcon(std::span<const unsigned char> iconFile)
{
    const auto image = pickPictureImage(iconFile);
    if (!image) return nullptr;
    // The API takes a non-const pointer but only reads the bytes.
    auto* bytes = const_cast<unsigned char*>(image->bytes.data());
    return CreateIconFromResourceEx(bytes, static_cast<DWORD>(image->bytes.size()), TRUE, IconFormatVersion,
                                    image->width, image->height, LR_DEFAULTCOLOR);
}

}  // namespace

HWND PictureBox::create(HINSTANCE instance, HWND parent, int id, RECT place, DWORD style, DWORD exStyle,
                        std::span<const unsigned char> iconFile)
{
    if (!registerWindowClass(instance, PictureClassName, windowProc)) return nullptr;
    icon_.reset(makeIcon(iconFile));
    return CreateWindowExA(exStyle, PictureClassName, "", style, place.left, place.top, place.right - place.left,
                           place.bottom - place.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           instance, this);
}

void PictureBox::paint(HDC dc) const
{
    RECT client{};
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    if (icon_) DrawIconEx(dc, 0, 0, icon_.get(), client.right, client.bottom, 0, nullptr, DI_NORMAL);
}

void PictureBox::onPaint() const
{
    PAINTSTRUCT paintStruct{};
    const HDC dc = BeginPaint(hwnd_, &paintStruct);
    paint(dc);
    EndPaint(hwnd_, &paintStruct);
}

LRESULT PictureBox::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        onPaint();
        return 0;
    case WM_PRINTCLIENT:
        paint(reinterpret_cast<HDC>(wParam));
        return 0;
    default:
        return DefWindowProcA(hwnd_, message, wParam, lParam);
    }
}

LRESULT CALLBACK PictureBox::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* box = reinterpret_cast<PictureBox*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        box = static_cast<PictureBox*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        box->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
    }
    if (!box) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        box->hwnd_ = nullptr;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return box->handleMessage(message, wParam, lParam);
}

}  // namespace purrbox::ui
