// Helpers for the tests that make real windows under Wine.
#pragma once

#include <windows.h>

#include <string>

namespace purrbox::ui::testing {

// Dispatches whatever the thread's queue holds, without waiting.
inline void pumpMessages()
{
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // leave it for the test that looks for it
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Removes a quit message a destroyed window left, so that it cannot end a
// message loop of a later test in the same process.
inline void dropQuitMessage()
{
    MSG message{};
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

// The control's rectangle in the client coordinates of its parent.
inline RECT clientRect(HWND control)
{
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

inline std::wstring windowTextW(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

inline std::string windowTextA(HWND window)
{
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

inline std::string className(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Another top-level window of the test, made active while it exists, so that
// the window under test loses the activation and gets it back afterwards.
class OtherActiveWindow {
public:
    OtherActiveWindow()
        : hwnd_(CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr))
    {
        SetActiveWindow(hwnd_);
        pumpMessages();
    }
    ~OtherActiveWindow() { DestroyWindow(hwnd_); }
    OtherActiveWindow(const OtherActiveWindow&) = delete;
    OtherActiveWindow& operator=(const OtherActiveWindow&) = delete;

    HWND handle() const { return hwnd_; }

private:
    HWND hwnd_;
};

}  // namespace purrbox::ui::testing
