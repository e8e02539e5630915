#include "ui/main_window.h"

#include <string>

#include "core/texts.h"
#include "ui/layout.h"
#include "ui/window_class.h"
#include "ui/text_encoding.h"

namespace purrbox::ui {
namespace {

constexpr char MainClassName[] = "PurrboxMainWindow";
constexpr char ApplicationIconName[] = "DEFAULT_ICON";

HICON loadApplicationIcon(HINSTANCE instance, int size)
{
    return static_cast<HICON>(LoadImageA(instance, ApplicationIconName, IMAGE_ICON, size, size, 0));
}

HFONT createHelpFont()
{
    // The W form on purpose: GDI reads the face of an A LOGFONT in the
    // system's code page, not in the process's UTF-8 one, and a Western code
    // page cannot hold this face at all.
    LOGFONTW font{};
    font.lfHeight = HelpFontHeight;
    font.lfWeight = HelpFontWeight;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH;
    utf8ToUtf16(texts::HelpTextFace).copy(font.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

WPARAM defaultGuiFont() { return reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)); }

const ControlLayout* findControl(int controlId)
{
    for (const ControlLayout& layout : Controls)
        if (layout.id == controlId) return &layout;
    return nullptr;
}

}  // namespace

MainWindow::~MainWindow()
{
    if (hwnd_) DestroyWindow(hwnd_);
}

bool MainWindow::create(HINSTANCE instance)
{
    if (!createWindow(instance) || !createControls(instance)) {
        if (hwnd_) DestroyWindow(hwnd_);
        return false;
    }
    for (const ControlLayout& layout : Controls) ShowWindow(GetDlgItem(hwnd_, layout.id), SW_SHOWNA);
    // Activates the window; WM_SETFOCUS then puts the focus on the first button.
    ShowWindow(hwnd_, SW_SHOW);
    return true;
}

bool MainWindow::createWindow(HINSTANCE instance)
{
    if (!registerWindowClass(instance, MainClassName, windowProc)) return false;
    const POINT origin = centredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (!CreateWindowExA(WindowExStyle, MainClassName, AnsiText(texts::WindowTitle).c_str(), WindowStyle, origin.x,
                         origin.y, WindowWidth, WindowHeight, nullptr, nullptr, instance, this))
        return false;

    RECT outer{};
    GetWindowRect(hwnd_, &outer);
    if (outer.right - outer.left != WindowWidth || outer.bottom - outer.top != WindowHeight)
        MoveWindow(hwnd_, origin.x, origin.y, WindowWidth, WindowHeight, FALSE);

    bigIcon_.reset(loadApplicationIcon(instance, 32));
    smallIcon_.reset(loadApplicationIcon(instance, 16));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    SendMessageA(hwnd_, WM_SETFONT, defaultGuiFont(), FALSE);
    return true;
}

bool MainWindow::createControls(HINSTANCE instance)
{
    auto nextPicture = pictures_.begin();
    for (const ControlLayout& layout : Controls) {
        const RECT place{layout.left, layout.top, layout.left + layout.width, layout.top + layout.height};
        const auto menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id));
        HWND control = nullptr;
        switch (layout.kind) {
        case ControlKind::PushButton:
            control = CreateWindowExA(layout.exStyle, "BUTTON", AnsiText(layout.text).c_str(), layout.style,
                                      layout.left, layout.top, layout.width, layout.height, hwnd_, menu, instance,
                                      nullptr);
            if (control) SendMessageA(control, WM_SETFONT, defaultGuiFont(), FALSE);
            break;
        case ControlKind::Picture:
            if (nextPicture == pictures_.end()) return false;
            control = (nextPicture++)->create(instance, hwnd_, layout.id, place, layout.style, layout.exStyle,
                                              layout.picture().bytes);
            break;
        case ControlKind::HelpText:
            control = CreateWindowExA(layout.exStyle, "EDIT", AnsiText(layout.text).c_str(), layout.style,
                                      layout.left, layout.top, layout.width, layout.height, hwnd_, menu, instance,
                                      nullptr);
            if (control) setUpHelpText(control);
            break;
        }
        if (!control) return false;
    }
    return true;
}

void MainWindow::setUpHelpText(HWND edit)
{
    helpFont_.reset(createHelpFont());
    SendMessageA(edit, WM_SETFONT, helpFont_ ? reinterpret_cast<WPARAM>(helpFont_.get()) : defaultGuiFont(), FALSE);
    helpBackground_.reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    SendMessageA(edit, EM_LIMITTEXT, 0, 0);  // 0: the system's maximum
    // Caret at the start, nothing selected, the first line at the top.
    SendMessageA(edit, EM_SETSEL, 0, 0);
    SendMessageA(edit, EM_SCROLLCARET, 0, 0);
}

const PictureBox* MainWindow::picture(int controlId) const
{
    for (const PictureBox& box : pictures_)
        if (box.handle() && GetDlgCtrlID(box.handle()) == controlId) return &box;
    return nullptr;
}

bool MainWindow::preTranslateMessage(const MSG& message)
{
    if (!hwnd_ || message.message != WM_KEYDOWN) return false;
    if (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd)) return false;
    switch (message.wParam) {
    case VK_TAB:
        moveFocus(GetKeyState(VK_SHIFT) < 0);
        return true;
    case VK_ESCAPE:  // the window does not close on Escape
    case VK_RETURN:  // there is no default button, and the help text is read-only
        return true;
    default:
        return false;
    }
}

bool MainWindow::canTakeFocus(HWND control) const
{
    return control && IsWindowVisible(control) && IsWindowEnabled(control) &&
           (GetWindowLongPtrA(control, GWL_STYLE) & WS_TABSTOP) != 0;
}

void MainWindow::moveFocus(bool backwards)
{
    constexpr std::size_t count = std::size(Controls);
    std::size_t current = backwards ? 0 : count - 1;  // so that the first step lands on the first or last
    const HWND focus = GetFocus();
    for (std::size_t index = 0; index < count; ++index)
        if (GetDlgItem(hwnd_, Controls[index].id) == focus) current = index;

    for (std::size_t step = 1; step <= count; ++step) {
        const std::size_t index = (current + (backwards ? count - step : step)) % count;
        const HWND candidate = GetDlgItem(hwnd_, Controls[index].id);
        if (canTakeFocus(candidate)) {
            SetFocus(candidate);
            // Keyboard use: let the buttons show their focus rectangle.
            SendMessageA(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
            return;
        }
    }
}

void MainWindow::onCommand(WPARAM wParam, LPARAM lParam)
{
    const int controlId = LOWORD(wParam);
    const ControlLayout* layout = findControl(controlId);
    // Only the push buttons raise an event, and only their click.
    if (lParam != 0 && layout && layout->kind == ControlKind::PushButton && HIWORD(wParam) == BN_CLICKED)
        events_.controlEvent(controlId, ClickEvent);
}

void MainWindow::onPaint()
{
    PAINTSTRUCT paintStruct{};
    const HDC dc = BeginPaint(hwnd_, &paintStruct);
    RECT client{};
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    EndPaint(hwnd_, &paintStruct);
}

LRESULT MainWindow::onCtlColorStatic(HDC dc, HWND control)
{
    if (control != GetDlgItem(hwnd_, HelpTextId)) {
        return DefWindowProcA(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(control));
    }
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(helpBackground_ ? helpBackground_.get() : GetSysColorBrush(COLOR_BTNFACE));
}

// The focus is remembered only when one of the controls has it: while an
// action runs the focused button is disabled and nobody has it, and the
// control remembered when the action began stays the one to give it back to.
void MainWindow::rememberFocus()
{
    const HWND focus = GetFocus();
    if (hwnd_ && focus && IsChild(hwnd_, focus)) rememberedFocus_ = focus;
}

HWND MainWindow::firstFocusable() const
{
    for (const ControlLayout& layout : Controls) {
        const HWND control = GetDlgItem(hwnd_, layout.id);
        if (canTakeFocus(control)) return control;
    }
    return nullptr;
}

// The remembered control if it still exists and can take the focus, else the
// first one of the focus order; the window keeps it only when no control can.
void MainWindow::focusRemembered()
{
    const bool remembered = IsWindow(rememberedFocus_) && IsChild(hwnd_, rememberedFocus_);
    if (remembered && canTakeFocus(rememberedFocus_)) {
        SetFocus(rememberedFocus_);
        if (GetFocus() == rememberedFocus_) return;  // a control may refuse it
    }
    if (const HWND first = firstFocusable()) SetFocus(first);
}

void MainWindow::holdFocus() { rememberFocus(); }

void MainWindow::restoreFocus()
{
    // SetFocus would activate an inactive window: its activation gives the
    // focus back instead (WM_SETFOCUS).
    if (hwnd_ && GetActiveWindow() == hwnd_) focusRemembered();
}

void MainWindow::onActivate(WPARAM wParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) rememberFocus();
}

void MainWindow::onSetFocus() { focusRemembered(); }

void MainWindow::onDestroy() { events_.windowDestroyed(); }

LRESULT MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        onCommand(wParam, lParam);
        return 0;
    case WM_PAINT:
        onPaint();
        return 0;
    case WM_CTLCOLORSTATIC:
        return onCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ACTIVATE:
        onActivate(wParam);
        break;  // DefWindowProc gives the window the focus on activation
    case WM_SETFOCUS:
        onSetFocus();
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd_);  // no question is asked
        return 0;
    case WM_DESTROY:
        onDestroy();
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* window = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        window = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        window->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    if (!window) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        window->hwnd_ = nullptr;
        window->rememberedFocus_ = nullptr;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return window->handleMessage(message, wParam, lParam);
}

}  // namespace purrbox::ui
