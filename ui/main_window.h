// The program's only window: the help text, the two cat pictures and the two
// action buttons. It raises a click event for a button and tells when it is
// gone; what a click does is decided by whoever listens.
#pragma once

#include <windows.h>

#include <array>

#include "ui/picture_box.h"
#include "ui/win_handles.h"

namespace purrbox::ui {

// A button's click is event 0 of its control.
inline constexpr int ClickEvent = 0;

class MainWindowEvents {
public:
    virtual ~MainWindowEvents() = default;
    virtual void controlEvent(int controlId, int event) = 0;
    virtual void windowDestroyed() = 0;
};

class MainWindow {
public:
    explicit MainWindow(MainWindowEvents& events) : events_(events) {}
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Builds the window and its five controls, shows it and lets it take the
    // focus. False when the window or any control could not be made; what was
    // made is destroyed again.
    bool create(HINSTANCE instance);

    // Null once the window is destroyed.
    HWND handle() const { return hwnd_; }
    HWND control(int controlId) const { return hwnd_ ? GetDlgItem(hwnd_, controlId) : nullptr; }
    const PictureBox* picture(int controlId) const;
    HFONT helpTextFont() const { return helpFont_.get(); }

    // The window's keyboard handling, before a key reaches the focused
    // control: Tab and Shift+Tab walk the tab stops, Escape and Enter do
    // nothing. True when the message was handled here and must not be dispatched.
    bool preTranslateMessage(const MSG& message);

    // Around an action, as in any dialog: before the buttons are disabled
    // the control that has the focus is remembered (disabling it leaves the
    // window with no focus at all); once they are enabled again it gets the
    // focus back, or the first control of the focus order that can take it.
    // While the window is not active the focus waits for its activation.
    void holdFocus();
    void restoreFocus();

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool createWindow(HINSTANCE instance);
    bool createControls(HINSTANCE instance);
    void setUpHelpText(HWND edit);

    void onCommand(WPARAM wParam, LPARAM lParam);
    void onPaint();
    LRESULT onCtlColorStatic(HDC dc, HWND control);
    void onActivate(WPARAM wParam);
    void onSetFocus();
    void onDestroy();

    void moveFocus(bool backwards);
    bool canTakeFocus(HWND control) const;
    HWND firstFocusable() const;
    void rememberFocus();
    void focusRemembered();

    MainWindowEvents& events_;
    HWND hwnd_ = nullptr;
    // The control to give the focus back to: the one that had it when the
    // window was last deactivated or an action began.
    HWND rememberedFocus_ = nullptr;
    IconHandle bigIcon_;
    IconHandle smallIcon_;
    FontHandle helpFont_;
    BrushHandle helpBackground_;
    std::array<PictureBox, 2> pictures_;
};

}  // namespace purrbox::ui
