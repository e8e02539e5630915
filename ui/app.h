// The process from start to end: start-up, the message loop, the event table
// that turns a button's click into its action, the busy state and the message
// box the actions tell the user through, and shutdown.
#pragma once

#include <windows.h>

#include <string_view>

#include "core/icon_actions.h"
#include "system/icon_file_set.h"
#include "system/recycle_bin_icon_key.h"
#include "ui/app_action_ports.h"
#include "ui/main_window.h"

namespace purrbox::ui {

// The one MessageBoxA call, behind a seam so that a test sees what would be
// shown without a box that waits for a click.
class MessageBoxApi {
public:
    virtual ~MessageBoxApi() = default;
    virtual int messageBox(HWND owner, const char* text, const char* title, UINT style) = 0;
};

class Win32MessageBox final : public MessageBoxApi {
public:
    int messageBox(HWND owner, const char* text, const char* title, UINT style) override
    {
        return MessageBoxA(owner, text, title, style);
    }
};

// The event table of the main window. Runs the handler of the control's
// event, synchronously, and says whether there was one; without one the event
// is dropped.
bool dispatchControlEvent(int controlId, int event, ActionPorts& ports);

class App final : public UserFeedback, private MainWindowEvents {
public:
    App(RecycleBinIconKey& iconKey, IconFileSet& iconFiles, MessageBoxApi& messageBox)
        : messageBox_(messageBox), ports_(iconKey, iconFiles, *this), window_(*this)
    {
    }

    bool createMainWindow(HINSTANCE instance) { return window_.create(instance); }
    MainWindow& mainWindow() { return window_; }

    // Takes and dispatches the thread's messages until WM_QUIT; returns its code.
    int runMessageLoop();

    // Disables (true) or enables (false) the switch button, then the restore button.
    void setBusy(bool busy) override;

    // One message box owned by the main window (no owner once it is gone),
    // the only button OK; the title "信息：" when none is given. The answer is dropped.
    void showMessage(std::string_view text, std::string_view title, MessageIcon icon) override;

private:
    void controlEvent(int controlId, int event) override;
    void windowDestroyed() override;

    MessageBoxApi& messageBox_;
    AppActionPorts ports_;
    MainWindow window_;
};

// Restricts where the process loads libraries from to System32. Looked up at
// run time: Windows 7 without update KB2533623 lacks the function, and the
// program must start there all the same.
void restrictDllSearchToSystem32();

// SetProcessMitigationPolicy, or null where kernel32 lacks it (before Windows 8).
using SetProcessMitigationPolicyFunction = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);

// Has Windows refuse, in this process, to follow any junction that a
// non-administrator made (RedirectionGuard: Windows 11 and Windows 10 22H2).
// The icon folder lies where every unelevated program of the user may write,
// so a junction swapped in between the program's own look-ups and its next
// create or delete must not redirect that elevated call. Looked up at run
// time; start-up goes on whatever the answer, as older Windows lack the
// function or refuse the policy.
void enforceRedirectionTrust();
// The same request through the given function; true when it was granted.
bool enforceRedirectionTrust(SetProcessMitigationPolicyFunction setPolicy);

// Start-up, the message loop and shutdown; the process's exit code, 0.
int runPurrbox(HINSTANCE instance);

}  // namespace purrbox::ui
