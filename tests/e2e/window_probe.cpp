// Looks at a running Purrbox from outside, the way another program on the
// same desktop can, for the end-to-end tests:
//   window_probe focus   the control ID of the window's focused control (0: none)
//   window_probe cwd     the current directory of the window's process
//   window_probe close   posts WM_CLOSE to the window
//   window_probe buttons whether the two buttons are enabled: "1 1", "0 0", ...
//   window_probe message the title and text of the program's open message
//                        box, separated by a tab (exit code 1 when none is open)
//   window_probe ready   exit code 0 once the window is shown, not minimised,
//                        answers messages and has nothing left to paint
//   window_probe rect    the window's outer rectangle on the screen: "L T R B"
//   window_probe state   "normal", "minimised" or "maximised"
//   window_probe foreground  what has the keyboard: "window" (the main
//                        window), "box" (its message box), "other" (another
//                        program's window) or "none"
//   window_probe centre ID  the screen point at the middle of the control ID
//   window_probe hit CODE   the screen point at the middle of the part of the
//                        caption whose hit-test code is CODE (HTCLOSE 20,
//                        HTSYSMENU 3, HTMINBUTTON 8, HTMAXBUTTON 9, HTCAPTION 2);
//                        exit code 1 when the caption has no such part
//   window_probe scrolled  "end" once the help text's caret is at its end and
//                        it has scrolled away from its first line, else "start"
//   window_probe menu    the screen rectangle of the program's open popup
//                        menu: "L T R B" (exit code 1 when none is open)
// Each prints its answer on one line and fails with exit code 1 when there is
// no Purrbox window.
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// The main window's title, as the program shows it.
constexpr wchar_t WindowTitle[] = L"\x4e00\x952ePurrbox - brenoka";  // 一键Purrbox - brenoka

std::string toUtf8(std::wstring_view text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

int printFocus(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return 1;
    std::printf("%d\n", info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
    return 0;
}

// The start of RTL_USER_PROCESS_PARAMETERS, up to the current directory;
// natural alignment gives the layout of both 32- and 64-bit Windows.
struct ProcessParametersStart {
    ULONG maximumLength;
    ULONG length;
    ULONG flags;
    ULONG debugFlags;
    HANDLE consoleHandle;
    ULONG consoleFlags;
    HANDLE standardInput;
    HANDLE standardOutput;
    HANDLE standardError;
    UNICODE_STRING currentDirectory;
};

using QueryInformationProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

// Reads the current directory out of the other process's parameter block.
int printCurrentDirectory(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return 1;
    const auto query = reinterpret_cast<QueryInformationProcess>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    PEB peb{};
    ProcessParametersStart parameters{};
    std::wstring directory;
    bool read = query && query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) == 0 &&
                ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
                ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr);
    if (read) {
        directory.resize(parameters.currentDirectory.Length / sizeof(wchar_t));
        read = ReadProcessMemory(process, parameters.currentDirectory.Buffer, directory.data(),
                                 parameters.currentDirectory.Length, nullptr);
    }
    CloseHandle(process);
    if (!read) return 1;
    std::printf("%s\n", toUtf8(directory).c_str());
    return 0;
}

int printButtons(HWND window)
{
    std::printf("%d %d\n", IsWindowEnabled(GetDlgItem(window, 100)) ? 1 : 0,
                IsWindowEnabled(GetDlgItem(window, 110)) ? 1 : 0);
    return 0;
}

std::wstring windowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

HWND findProcessWindow(HWND window, const wchar_t* className);

// Its text is the static control with the ID 0xFFFF.
int printMessageBox(HWND window)
{
    const HWND box = findProcessWindow(window, L"#32770");
    if (!box) return 1;
    std::printf("%s\t%s\n", toUtf8(windowText(box)).c_str(), toUtf8(windowText(GetDlgItem(box, 0xFFFF))).c_str());
    return 0;
}

int printRect(const RECT& rect)
{
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

int printWindowRect(HWND window)
{
    RECT outer{};
    if (!GetWindowRect(window, &outer)) return 1;
    return printRect(outer);
}

int printState(HWND window)
{
    std::printf("%s\n", IsIconic(window) ? "minimised" : IsZoomed(window) ? "maximised" : "normal");
    return 0;
}


int printForeground(HWND window)
{
    const HWND foreground = GetForegroundWindow();
    const char* what = !foreground                                        ? "none"
                       : foreground == window                             ? "window"
                       : foreground == findProcessWindow(window, L"#32770") ? "box"
                                                                          : "other";
    std::printf("%s\n", what);
    return 0;
}

int printCentre(HWND window, int controlId)
{
    RECT place{};
    const HWND control = GetDlgItem(window, controlId);
    if (!control || !GetWindowRect(control, &place)) return 1;
    std::printf("%ld %ld\n", (place.left + place.right) / 2, (place.top + place.bottom) / 2);
    return 0;
}

// Nothing is waiting to be painted in the window or in one of its controls.
BOOL CALLBACK findUnpainted(HWND child, LPARAM unpainted)
{
    if (!GetUpdateRect(child, nullptr, FALSE)) return TRUE;
    *reinterpret_cast<bool*>(unpainted) = true;
    return FALSE;
}

// A message sent to the window returns once its thread has handled what it
// was given before: then a painted window has drawn itself.
int checkReady(HWND window)
{
    DWORD_PTR ignored = 0;
    if (!IsWindowVisible(window) || IsIconic(window) ||
        !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored))
        return 1;
    bool unpainted = GetUpdateRect(window, nullptr, FALSE) != FALSE;
    if (!unpainted) EnumChildWindows(window, findUnpainted, reinterpret_cast<LPARAM>(&unpainted));
    return unpainted ? 1 : 0;
}

LRESULT hitTest(HWND window, LONG x, LONG y)
{
    DWORD_PTR code = HTNOWHERE;
    SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 5000, &code);
    return static_cast<LRESULT>(code);
}

// Walks the caption row by row and then along its middle: every part of a
// caption (icon, title, buttons) is a run of points with one hit-test code.
int printCaptionPart(HWND window, LRESULT code)
{
    RECT outer{};
    if (!GetWindowRect(window, &outer)) return 1;
    const LONG middleX = (outer.left + outer.right) / 2;
    LONG top = -1;
    LONG bottom = -1;
    for (LONG y = outer.top; y < outer.top + 60 && y < outer.bottom; ++y) {
        if (hitTest(window, middleX, y) != HTCAPTION) continue;
        if (top < 0) top = y;
        bottom = y;
    }
    if (top < 0) return 1;
    const LONG middleY = (top + bottom) / 2;
    LONG first = -1;
    LONG last = -1;
    for (LONG x = outer.left; x < outer.right; ++x) {
        if (hitTest(window, x, middleY) != code) continue;
        if (first < 0) first = x;
        last = x;
    }
    if (first < 0) return 1;
    std::printf("%ld %ld\n", (first + last) / 2, middleY);
    return 0;
}

struct PopupSearch {
    DWORD processId;
    const wchar_t* className;
    HWND found;
};

// A visible top-level window of the given class that belongs to the process.
BOOL CALLBACK findPopup(HWND candidate, LPARAM context)
{
    auto* search = reinterpret_cast<PopupSearch*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(candidate, &processId);
    wchar_t className[16] = {};
    GetClassNameW(candidate, className, 16);
    if (processId != search->processId || !IsWindowVisible(candidate) ||
        std::wstring_view(className) != search->className)
        return TRUE;
    search->found = candidate;
    return FALSE;
}

HWND findProcessWindow(HWND window, const wchar_t* className)
{
    PopupSearch search{0, className, nullptr};
    GetWindowThreadProcessId(window, &search.processId);
    EnumWindows(findPopup, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Only messages without pointers: they cross from one process to another.
int printScrolled(HWND window)
{
    const HWND help = GetDlgItem(window, 140);
    if (!help) return 1;
    const auto selection = static_cast<DWORD>(SendMessageW(help, EM_GETSEL, 0, 0));
    const auto length = static_cast<DWORD>(SendMessageW(help, WM_GETTEXTLENGTH, 0, 0));
    const bool atEnd = HIWORD(selection) == length && SendMessageW(help, EM_GETFIRSTVISIBLELINE, 0, 0) > 0;
    std::printf("%s\n", atEnd ? "end" : "start");
    return 0;
}

int printMenu(HWND window)
{
    const HWND menu = findProcessWindow(window, L"#32768");
    RECT place{};
    if (!menu || !GetWindowRect(menu, &place)) return 1;
    return printRect(place);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string_view command = argc > 1 ? argv[1] : "";
    const HWND window = FindWindowW(nullptr, WindowTitle);
    if (!window) {
        std::fprintf(stderr, "no Purrbox window\n");
        return 1;
    }
    if (command == "focus") return printFocus(window);
    if (command == "cwd") return printCurrentDirectory(window);
    if (command == "close") return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    if (command == "buttons") return printButtons(window);
    if (command == "message") return printMessageBox(window);
    if (command == "ready") return checkReady(window);
    if (command == "rect") return printWindowRect(window);
    if (command == "state") return printState(window);
    if (command == "foreground") return printForeground(window);
    if (command == "centre" && argc > 2) return printCentre(window, std::atoi(argv[2]));
    if (command == "hit" && argc > 2) return printCaptionPart(window, std::atoi(argv[2]));
    if (command == "menu") return printMenu(window);
    if (command == "scrolled") return printScrolled(window);
    std::fprintf(stderr, "usage: window_probe focus|cwd|close|buttons|message|ready|rect|state|foreground|"
                         "centre ID|hit CODE|menu|scrolled\n");
    return 2;
}
