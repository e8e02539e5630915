// Looks at a running Purrbox from outside, the way another program on the
// same desktop can, for the end-to-end tests:
//   window_probe focus   the control ID of the window's focused control (0: none)
//   window_probe cwd     the current directory of the window's process
//   window_probe close   posts WM_CLOSE to the window
//   window_probe buttons whether the two buttons are enabled: "1 1", "0 0", ...
//   window_probe message the title and text of the program's open message
//                        box, separated by a tab (exit code 1 when none is open)
// Each prints its answer on one line and fails with exit code 1 when there is
// no Purrbox window.
#include <windows.h>
#include <winternl.h>

#include <cstdio>
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

struct MessageBoxSearch {
    DWORD processId;
    HWND box;
};

// A message box is a visible top-level dialog of the same process.
BOOL CALLBACK findMessageBox(HWND candidate, LPARAM context)
{
    auto* search = reinterpret_cast<MessageBoxSearch*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(candidate, &processId);
    wchar_t className[16] = {};
    GetClassNameW(candidate, className, 16);
    if (processId != search->processId || !IsWindowVisible(candidate) || std::wstring_view(className) != L"#32770")
        return TRUE;
    search->box = candidate;
    return FALSE;
}

// Its text is the static control with the ID 0xFFFF.
int printMessageBox(HWND window)
{
    MessageBoxSearch search{0, nullptr};
    GetWindowThreadProcessId(window, &search.processId);
    EnumWindows(findMessageBox, reinterpret_cast<LPARAM>(&search));
    if (!search.box) return 1;
    std::printf("%s\t%s\n", toUtf8(windowText(search.box)).c_str(),
                toUtf8(windowText(GetDlgItem(search.box, 0xFFFF))).c_str());
    return 0;
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
    std::fprintf(stderr, "usage: window_probe focus|cwd|close|buttons|message\n");
    return 2;
}
