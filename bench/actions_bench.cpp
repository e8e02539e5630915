// Times a switch and a restore, in turn, through Purrbox's own code and
// through the same Win32 calls written out in a straight line, over the real
// registry and real files: HKEY_CURRENT_USER and Application Data are
// redirected to scratch places as in the tests, and message boxes go to a
// double that counts them. Each action is started as a click is, by a
// WM_COMMAND sent to its window.
//
//   bench_actions ROUNDS       prints "action,NOTIFY,ACTION,SUBJECT,ROUND,MICROSECONDS"
//                              lines (NOTIFY 0 or 1: without or with SHChangeNotify),
//                              then "messages,COUNT" and "checks,FAILURES"
//   bench_actions serve        answers the start benchmark's commands (see serveCommands)
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/icon_actions.h"
#include "core/icon_state.h"
#include "system/win32_registry_api.h"
#include "tests/support/file_system_backend.h"
#include "tests/support/registry_backend.h"
#include "ui/app.h"
#include "ui/layout.h"

namespace {

using namespace purrbox;
using namespace purrbox::testing;

// The real registry calls, with SHChangeNotify sent or not.
class NotifySwitchRegistryApi final : public RegistryApi {
public:
    RegStatus regOpenKey(RegKey root, const char* subKey, RegKey* result) override
    {
        return real_.regOpenKey(root, subKey, result);
    }
    RegStatus regQueryValueEx(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* size) override
    {
        return real_.regQueryValueEx(key, valueName, type, data, size);
    }
    RegStatus regSetValueEx(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) override
    {
        return real_.regSetValueEx(key, valueName, type, data, size);
    }
    RegStatus regCloseKey(RegKey key) override { return real_.regCloseKey(key); }
    void shChangeNotify(long eventId, unsigned flags, const void* item1, const void* item2) override
    {
        if (notify) real_.shChangeNotify(eventId, flags, item1, item2);
    }

    bool notify = false;

private:
    Win32RegistryApi real_;
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

// ---- The straight line: what Purrbox's code calls, in the same order. ----

std::string appDataFolder;  // what the redirected SHGetSpecialFolderPathA answers
bool straightNotify = false;
HWND straightWindow;
HWND rememberedFocus;

const char IconKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon\\";

bool exists(const std::string& path)
{
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

void busy(bool on)
{
    if (on) {
        const HWND focus = GetFocus();
        if (focus && IsChild(straightWindow, focus)) rememberedFocus = focus;
    }
    EnableWindow(GetDlgItem(straightWindow, ui::SwitchButtonId), on ? FALSE : TRUE);
    EnableWindow(GetDlgItem(straightWindow, ui::RestoreButtonId), on ? FALSE : TRUE);
    if (!on && GetActiveWindow() == straightWindow && IsWindow(rememberedFocus) &&
        IsChild(straightWindow, rememberedFocus) && IsWindowVisible(rememberedFocus) &&
        IsWindowEnabled(rememberedFocus) && (GetWindowLongPtrA(rememberedFocus, GWL_STYLE) & WS_TABSTOP)) {
        SetFocus(rememberedFocus);
        GetFocus();
    }
}

std::string readDefaultValue()
{
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, IconKey, &key) != ERROR_SUCCESS) return {};
    DWORD type = 0;
    DWORD size = 0;
    RegQueryValueExA(key, "", nullptr, &type, nullptr, &size);
    std::string value(size, '\0');
    const LSTATUS status =
        RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return {};
    return value.substr(0, value.find('\0'));
}

void writeValues(const char* defaultIcon, const char* emptyIcon, const char* fullIcon)
{
    const char* const names[] = {"", "empty", "full"};
    const char* const values[] = {defaultIcon, emptyIcon, fullIcon};
    for (int i = 0; i < 3; ++i) {
        HKEY key = nullptr;
        if (RegOpenKeyA(HKEY_CURRENT_USER, IconKey, &key) != ERROR_SUCCESS) continue;
        RegSetValueExA(key, names[i], 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(values[i]),
                       static_cast<DWORD>(lstrlenA(values[i]) + 1));
        RegCloseKey(key);
    }
    if (straightNotify) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void straightSwitch()
{
    busy(true);
    const std::string maker = appDataFolder + "\\brenoka";
    const std::string folder = maker + "\\miaoIco";
    if (!exists(maker)) {
        CreateDirectoryA((maker + "\\").c_str(), nullptr);
        exists(maker);
    }
    if (!exists(folder)) {
        CreateDirectoryA((folder + "\\").c_str(), nullptr);
        exists(folder);
    }
    for (const IconFile* file : {&emptyIconFile(), &fullIconFile()}) {
        const std::string path = folder + "\\" + std::string(file->name);
        if (exists(path)) continue;
        const HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE) continue;
        DWORD written = 0;
        WriteFile(out, file->bytes.data(), static_cast<DWORD>(file->bytes.size()), &written, nullptr);
        CloseHandle(out);
    }
    const std::string current = readDefaultValue();
    const bool full = current == WindowsFullIcon;
    writeValues(full ? CatFullIcon.data() : CatEmptyIcon.data(), CatEmptyIcon.data(), CatFullIcon.data());
    busy(false);
}

void straightRestore()
{
    busy(true);
    const std::string maker = appDataFolder + "\\brenoka";
    const std::string folder = maker + "\\miaoIco\\";
    if (exists(maker) && exists(maker + "\\miaoIco")) {
        std::string names[8];
        int count = 0;
        WIN32_FIND_DATAA found{};
        const HANDLE search = FindFirstFileA((folder + "*.*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (found.cFileName[0] != '.' && count < 8) names[count++] = folder + found.cFileName;
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        for (int i = 0; i < count; ++i) DeleteFileA(names[i].c_str());
        RemoveDirectoryA(folder.c_str());
    }
    const std::string current = readDefaultValue();
    const bool full = current == CatFullIcon;
    writeValues(full ? WindowsFullIcon.data() : WindowsEmptyIcon.data(), WindowsEmptyIcon.data(),
                WindowsFullIcon.data());
    busy(false);
}

LRESULT CALLBACK straightProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && lParam != 0) {
        if (LOWORD(wParam) == ui::SwitchButtonId) straightSwitch();
        if (LOWORD(wParam) == ui::RestoreButtonId) straightRestore();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND makeStraightWindow(HINSTANCE instance)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = straightProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "BenchStraightActions";
    RegisterClassExA(&windowClass);
    const HWND window = CreateWindowExA(0, "BenchStraightActions", "straight", WS_CAPTION | WS_SYSMENU, 0, 0,
                                        ui::WindowWidth, ui::WindowHeight, nullptr, nullptr, instance, nullptr);
    for (const int id : {ui::SwitchButtonId, ui::RestoreButtonId})
        CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 183, id == 100 ? 8 : 48,
                        152, 32, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    ShowWindow(window, SW_SHOW);
    return window;
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

// Makes the window active with the focus on its first button, as after a
// click, and waits (bounded) until Wine says so.
void activate(HWND window)
{
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

double microsecondsOf(HWND window, int controlId)
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    const HWND button = GetDlgItem(window, controlId);
    QueryPerformanceCounter(&start);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
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
    appDataFolder = files->appDataFolder();

    NotifySwitchRegistryApi registryApi;
    RecycleBinIconKey iconKey(registryApi);
    IconFileSet iconFiles(files->api());
    CountingMessageBox messageBox;
    ui::App app(iconKey, iconFiles, messageBox);
    if (!app.createMainWindow(instance)) return 2;
    const HWND purrboxWindow = app.mainWindow().handle();
    straightWindow = makeStraightWindow(instance);
    Checks checks{*registry, *files};

    for (const bool notify : {false, true}) {
        registryApi.notify = straightNotify = notify;
        // One unmeasured cycle each first: the first calls of a process pay for loading and caching.
        for (int round = -1; round < rounds; ++round) {
            for (const auto& [window, subject] : {std::pair{purrboxWindow, "purrbox"}, std::pair{straightWindow, "straight"}}) {
                activate(window);
                const double switchTime = microsecondsOf(window, ui::SwitchButtonId);
                checks.expect(true, subject);
                activate(window);
                const double restoreTime = microsecondsOf(window, ui::RestoreButtonId);
                checks.expect(false, subject);
                if (round < 0) continue;
                std::printf("action,%d,switch,%s,%d,%.1f\n", notify ? 1 : 0, subject, round, switchTime);
                std::printf("action,%d,restore,%s,%d,%.1f\n", notify ? 1 : 0, subject, round, restoreTime);
            }
        }
    }
    std::printf("messages,%d\nchecks,%d\n", messageBox.shown, checks.failures);
    std::fflush(stdout);
    DestroyWindow(straightWindow);
    return messageBox.shown == 0 && checks.failures == 0 ? 0 : 1;
}
