#include "ui/app.h"

#include <ole2.h>

#include <string>

#include "core/texts.h"
#include "system/win32_file_system_api.h"
#include "system/win32_registry_api.h"
#include "ui/layout.h"
#include "ui/shutdown_routines.h"
#include "ui/start_folder.h"
#include "ui/text_encoding.h"

namespace purrbox::ui {
namespace {

// The portable copies of the Windows constants, checked where the headers are at hand.
static_assert(static_cast<UINT>(MessageIcon::Information) == MB_ICONINFORMATION);
static_assert(static_cast<UINT>(MessageIcon::Error) == MB_ICONERROR);
static_assert(MB_OK == 0 && MB_TASKMODAL == 0x2000);  // a box's style is the icon value plus MB_TASKMODAL
constexpr DWORD LoadLibrarySearchSystem32 = 0x00000800;
static_assert(LoadLibrarySearchSystem32 == LOAD_LIBRARY_SEARCH_SYSTEM32);

struct EventEntry {
    int controlId;
    int event;
    void (*handler)(ActionPorts&);
};

// Exactly the two buttons' clicks; everything else of the window has no handler.
constexpr EventEntry EventTable[] = {
    {SwitchButtonId, ClickEvent, SwitchToCatIcons},
    {RestoreButtonId, ClickEvent, RestoreWindowsIcons},
};

// Nothing of the set-up is looked at: start-up carries on whatever fails.
void setUpProcess()
{
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    OleInitialize(nullptr);
    char modulePath[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
    SetCurrentDirectoryA(std::string(executableFolder({modulePath, length})).c_str());
}

}  // namespace

bool dispatchControlEvent(int controlId, int event, ActionPorts& ports)
{
    for (const EventEntry& entry : EventTable) {
        if (entry.controlId == controlId && entry.event == event) {
            entry.handler(ports);
            return true;
        }
    }
    return false;
}

int App::runMessageLoop()
{
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (window_.preTranslateMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

void App::setBusy(bool busy)
{
    if (busy) window_.holdFocus();
    const BOOL enable = busy ? FALSE : TRUE;
    EnableWindow(window_.control(SwitchButtonId), enable);
    EnableWindow(window_.control(RestoreButtonId), enable);
    if (!busy) window_.restoreFocus();
}

void App::showMessage(std::string_view text, std::string_view title, MessageIcon icon)
{
    const AnsiText boxText(text);
    const AnsiText boxTitle(title.empty() ? texts::DefaultMessageTitle : title);
    const UINT style = static_cast<UINT>(icon) | MB_OK | MB_TASKMODAL;
    messageBox_.messageBox(window_.handle(), boxText.c_str(), boxTitle.c_str(), style);  // only OK: nothing to read
}

void App::controlEvent(int controlId, int event) { dispatchControlEvent(controlId, event, ports_); }

// The main window is the program's only window: once it is gone, the loop ends.
void App::windowDestroyed() { PostQuitMessage(0); }

void restrictDllSearchToSystem32()
{
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const FARPROC found = kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    // Through void (*)(), the one function type GCC lets a cast pass without a warning.
    const auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(found));
    if (setDefaultDllDirectories) setDefaultDllDirectories(LoadLibrarySearchSystem32);
}

static_assert(ProcessRedirectionTrustPolicy == 16, "PROCESS_MITIGATION_POLICY as documented");
static_assert(sizeof(PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY) == sizeof(DWORD), "one DWORD of flags");

bool enforceRedirectionTrust(SetProcessMitigationPolicyFunction setPolicy)
{
    if (!setPolicy) return false;
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
    policy.EnforceRedirectionTrust = 1;  // bit 0; AuditRedirectionTrust (bit 1) only logs
    return setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy) != FALSE;
}

void enforceRedirectionTrust()
{
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const FARPROC found = kernel ? GetProcAddress(kernel, "SetProcessMitigationPolicy") : nullptr;
    // Refused where Windows has no RedirectionGuard: the program's own
    // look-ups before each step are then the only guard, as before.
    (void)enforceRedirectionTrust(
        reinterpret_cast<SetProcessMitigationPolicyFunction>(reinterpret_cast<void (*)()>(found)));
}

int runPurrbox(HINSTANCE instance)
{
    // Before anything else can load a library: the program runs elevated,
    // often from a Downloads folder in which anyone may leave a DLL.
    restrictDllSearchToSystem32();
    enforceRedirectionTrust();
    setUpProcess();

    Win32RegistryApi registryApi;
    RecycleBinIconKey iconKey(registryApi);
    Win32FileSystemApi fileSystemApi;
    IconFileSet iconFiles(fileSystemApi);

    // Registered before the window exists, so that it runs at every orderly end.
    ShutdownRoutines shutdown;
    shutdown.add([](void* files) { static_cast<IconFileSet*>(files)->releaseIconFolder(); }, &iconFiles);

    {
        Win32MessageBox messageBox;
        App app(iconKey, iconFiles, messageBox);
        if (app.createMainWindow(instance)) app.runMessageLoop();
    }

    shutdown.runAll();
    OleUninitialize();
    return 0;
}

}  // namespace purrbox::ui
