// Times a switch and a restore, in turn, through Purrbox's own code and
// through the same Win32 calls written out in a straight line, over the real
// registry and real files: HKEY_CURRENT_USER and Application Data are
// redirected to scratch places as in the tests, and message boxes go to a
// double that counts them. Each action is started as a click is, by a
// WM_COMMAND sent to its window.
//
//   bench_actions ROUNDS       prints "action,NOTIFY,ACTION,SUBJECT,ROUND,MICROSECONDS"
//                              lines (NOTIFY 0 or 1: without or with SHChangeNotify),
//                              then "step,NOTIFY,ACTION,STEP,ROUND,MICROSECONDS" lines
//                              (the straight line's steps, in rounds of their own),
//                              then "messages,COUNT" and "checks,FAILURES"
//   bench_actions serve        answers the start benchmark's commands (see serveCommands)
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bench/straight_actions.h"
#include "core/icon_actions.h"
#include "core/icon_state.h"
#include "system/win32_registry_api.h"
#include "tests/support/file_system_backend.h"
#include "tests/support/forwarding_registry_api.h"
#include "tests/support/registry_backend.h"
#include "ui/app.h"
#include "ui/layout.h"

namespace {

using namespace purrbox;
using namespace purrbox::testing;

// The real registry calls, with SHChangeNotify sent or not.
class NotifySwitchRegistryApi final : public ForwardingRegistryApi {
public:
    using ForwardingRegistryApi::ForwardingRegistryApi;
    void shChangeNotify(long eventId, unsigned flags, const void* item1, const void* item2) override
    {
        if (notify) ForwardingRegistryApi::shChangeNotify(eventId, flags, item1, item2);
    }

    bool notify = false;
};

class CountingMessageBox final : public ui::MessageBoxApi {
public:
    int messageBox(HWND, const char*, const char*, UINT) override
    {
        ++shown;
        return IDOK;
    }
    int shown = 0;
};

LRESULT CALLBACK straightProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && lParam != 0) {
        if (LOWORD(wParam) == ui::SwitchButtonId) straight::switchToCatIcons();
        if (LOWORD(wParam) == ui::RestoreButtonId) straight::restoreWindowsIcons();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The straight line's clicks arrive at a message-only window of their own;
// its actions work the buttons of Purrbox's window, so that both sides
// disable, enable and focus the very same controls.
HWND makeStraightDispatcher(HINSTANCE instance)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = straightProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "BenchStraightActions";
    RegisterClassExA(&windowClass);
    return CreateWindowExA(0, "BenchStraightActions", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
}

// ---- The harness. ----

void pumpMessages()
{
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Waits (at most 10 s) until no winemenubuilder.exe runs: under Wine each
// SHChangeNotify starts one, which may outlive the call and would otherwise
// share the processor with the next action measured.
void waitForNoMenuBuilder()
{
    for (int tries = 0; tries < 2000; ++tries) {
        const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return;
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        bool running = false;
        for (BOOL more = Process32First(snapshot, &entry); more && !running; more = Process32Next(snapshot, &entry))
            running = lstrcmpiA(entry.szExeFile, "winemenubuilder.exe") == 0;
        CloseHandle(snapshot);
        if (!running) return;
        Sleep(5);
    }
}

// Makes the window active with the focus on its first button, as after a
// click, and waits (bounded) until Wine says so.
void activate(HWND window)
{
    waitForNoMenuBuilder();
    const HWND first = GetDlgItem(window, ui::SwitchButtonId);
    for (int tries = 0; tries < 200; ++tries) {
        SetForegroundWindow(window);
        SetActiveWindow(window);
        SetFocus(first);
        pumpMessages();
        if (GetActiveWindow() == window && GetFocus() == first) return;
        Sleep(5);
    }
}

// The time of one click's WM_COMMAND, sent to the window that handles it.
double microsecondsOf(HWND target, HWND buttons, int controlId)
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    const HWND button = GetDlgItem(buttons, controlId);
    QueryPerformanceCounter(&start);
    SendMessageA(target, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

// Finds the window the benchmark started; every window program of it has Purrbox's title.
HWND benchWindow() { return FindWindowW(nullptr, L"\u4e00\u952ePurrbox - brenoka"); }

bool painted(HWND window)
{
    DWORD_PTR ignored = 0;
    if (!IsWindowVisible(window) || !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored))
        return false;
    bool unpainted = GetUpdateRect(window, nullptr, FALSE) != FALSE;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM result) -> BOOL {
            if (GetUpdateRect(child, nullptr, FALSE)) *reinterpret_cast<bool*>(result) = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&unpainted));
    return !unpainted;
}

// Answers the benchmark's commands, one a line, until stdin closes:
//   ready  waits (at most 20 s) until the window is shown and every part of it
//          has painted; answers "ready" or "timeout"
//   ping   answers "pong": the keeper's window, and so the desktop, exists
//   close  posts WM_CLOSE to it, as its close box does; answers "closed" or "none"
// A window of this process also ties it to Wine's virtual desktop, which
// Wine ends a moment after its last process: no round pays for starting it.
int serveCommands()
{
    CreateWindowExA(0, "STATIC", "bench keeper", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleA(nullptr),
                    nullptr);
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        const std::string command(line, std::strcspn(line, "\r\n"));
        if (command == "ready") {
            bool ready = false;
            for (int tries = 0; tries < 4000 && !ready; ++tries) {
                const HWND window = benchWindow();
                ready = window && painted(window);
                if (!ready) Sleep(5);
            }
            std::puts(ready ? "ready" : "timeout");
        } else if (command == "ping") {
            std::puts("pong");
        } else if (command == "close") {
            const HWND window = benchWindow();
            std::puts(window && PostMessageW(window, WM_CLOSE, 0, 0) ? "closed" : "none");
        } else {
            std::puts("unknown");
        }
        std::fflush(stdout);
    }
    return 0;
}

struct StepRecord {
    bool notify;
    const char* action;
    int round;
    LARGE_INTEGER last;
} stepRecord;

void printStep(const char* step)
{
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    const double microseconds =
        static_cast<double>(now.QuadPart - stepRecord.last.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
    std::printf("step,%d,%s,%s,%d,%.1f\n", stepRecord.notify ? 1 : 0, stepRecord.action, step, stepRecord.round,
                microseconds);
    QueryPerformanceCounter(&stepRecord.last);  // the printing is not the next step's
}

struct Checks {
    RegistryBackend& registry;
    FileSystemBackend& files;
    int failures = 0;

    void expect(bool switched, const char* who)
    {
        const auto value = registry.getRaw("");
        const std::string text = value ? std::string(value->bytes.begin(), value->bytes.end()) : std::string();
        const std::string expected = std::string(switched ? CatEmptyIcon : WindowsEmptyIcon) + '\0';
        const std::string iconFile = files.appDataFolder() + "\\brenoka\\miaoIco\\empty.dll";
        if (text != expected || files.exists(iconFile) != switched) {
            ++failures;
            std::fprintf(stderr, "bench_actions: %s left the wrong state after a %s\n", who,
                         switched ? "switch" : "restore");
        }
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "serve") return serveCommands();
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
    const HINSTANCE instance = GetModuleHandleA(nullptr);

    const std::unique_ptr<RegistryBackend> registry = makeScratchRegistryBackend();
    const std::unique_ptr<FileSystemBackend> files = makeScratchFileSystemBackend();
    registry->createKey();
    for (const auto& [name, location] : {std::pair{"", WindowsEmptyIcon}, std::pair{"empty", WindowsEmptyIcon},
                                         std::pair{"full", WindowsFullIcon}}) {
        const std::string text = std::string(location) + '\0';
        registry->setRaw(name, RawValue{RegExpandString, std::vector<std::uint8_t>(text.begin(), text.end())});
    }
    lstrcpynA(straight::appData, files->appDataFolder().c_str(), MAX_PATH);

    Win32RegistryApi realRegistryApi;
    NotifySwitchRegistryApi registryApi{realRegistryApi};
    RecycleBinIconKey iconKey(registryApi);
    IconFileSet iconFiles(files->api());
    CountingMessageBox messageBox;
    ui::App app(iconKey, iconFiles, messageBox);
    if (!app.createMainWindow(instance)) return 2;
    const HWND purrboxWindow = app.mainWindow().handle();
    straight::window = purrboxWindow;
    const HWND straightDispatcher = makeStraightDispatcher(instance);
    Checks checks{*registry, *files};

    for (const bool notify : {false, true}) {
        registryApi.notify = straight::notify = notify;
        // One unmeasured cycle each first: the first calls of a process pay for loading and caching.
        for (int round = -1; round < rounds; ++round) {
            // Each goes first in every other round, so that an order effect falls on both alike.
            const std::pair<HWND, const char*> purrbox{purrboxWindow, "purrbox"};
            const std::pair<HWND, const char*> straightLine{straightDispatcher, "straight"};
            const bool purrboxFirst = round % 2 == 0;
            for (const auto& [target, subject] :
                 {purrboxFirst ? purrbox : straightLine, purrboxFirst ? straightLine : purrbox}) {
                activate(purrboxWindow);
                const double switchTime = microsecondsOf(target, purrboxWindow, ui::SwitchButtonId);
                checks.expect(true, subject);
                activate(purrboxWindow);
                const double restoreTime = microsecondsOf(target, purrboxWindow, ui::RestoreButtonId);
                checks.expect(false, subject);
                if (round < 0) continue;
                std::printf("action,%d,switch,%s,%d,%.1f\n", notify ? 1 : 0, subject, round, switchTime);
                std::printf("action,%d,restore,%s,%d,%.1f\n", notify ? 1 : 0, subject, round, restoreTime);
            }
        }
    }
    // Where the time of the straight line goes, step by step, in rounds of their own.
    for (const bool notify : {false, true}) {
        straight::notify = notify;
        for (int round = 0; round < rounds; ++round) {
            for (const int button : {ui::SwitchButtonId, ui::RestoreButtonId}) {
                activate(purrboxWindow);
                stepRecord = {notify, button == ui::SwitchButtonId ? "switch" : "restore", round, {}};
                straight::stepDone = printStep;
                QueryPerformanceCounter(&stepRecord.last);
                microsecondsOf(straightDispatcher, purrboxWindow, button);
                straight::stepDone = nullptr;
            }
        }
    }
    std::printf("messages,%d\nchecks,%d\n", messageBox.shown, checks.failures);
    std::fflush(stdout);
    DestroyWindow(straightDispatcher);
    return messageBox.shown == 0 && checks.failures == 0 ? 0 : 1;
}
