// Purrbox as a straight line: the same start-up calls, the same window,
// controls, texts, fonts and icons, the same manifest and resources, made in
// one function with globals and no structure of its own; its buttons run the
// straight-line actions, so it links the same system libraries as Purrbox.
// It is the floor for Purrbox's start and memory: what is left above it is
// the cost of how Purrbox is written.
#include <windows.h>
#include <ole2.h>

#include "bench/straight_actions.h"
#include "core/texts.h"
#include "system/icon_files.h"

namespace {

HWND switchButton;
HFONT helpFont;
HBRUSH helpBackground;
HWND helpText;

LRESULT CALLBACK pictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT) return DefWindowProcA(hwnd, message, wParam, lParam);
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(hwnd, &paint);
    RECT client{};
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    const auto icon = reinterpret_cast<HICON>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (icon) DrawIconEx(dc, 0, 0, icon, client.right, client.bottom, 0, nullptr, DI_NORMAL);
    EndPaint(hwnd, &paint);
    return 0;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        const HDC dc = BeginPaint(hwnd, &paint);
        RECT client{};
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) != helpText) break;
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(helpBackground);
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == 100) straight::switchToCatIcons();
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == 110) straight::restoreWindowsIcons();
        return 0;
    case WM_SETFOCUS:
        SetFocus(switchButton);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    using SetDllDirectories = BOOL(WINAPI*)(DWORD);
    const auto setDllDirectories =
        reinterpret_cast<SetDllDirectories>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDllDirectories) setDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    using SetPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
    const auto setPolicy =
        reinterpret_cast<SetPolicy>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetProcessMitigationPolicy")));
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY trust{};
    trust.EnforceRedirectionTrust = 1;
    if (setPolicy) setPolicy(ProcessRedirectionTrustPolicy, &trust, sizeof trust);
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    OleInitialize(nullptr);
    char folder[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
    while (length > 0 && folder[length - 1] != '\\') --length;
    if (length > 0) folder[length - 1] = '\0';
    SetCurrentDirectoryA(folder);

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = "BenchSameWindow";
    RegisterClassExA(&windowClass);
    windowClass.lpfnWndProc = pictureProc;
    windowClass.lpszClassName = "BenchPicture";
    RegisterClassExA(&windowClass);

    // The manifest makes the process code page UTF-8: the texts go to the A functions as they are.
    const HWND window = CreateWindowExA(0, "BenchSameWindow", purrbox::texts::WindowTitle.data(),
                                        WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                                        (GetSystemMetrics(SM_CXSCREEN) - 356) / 2,
                                        (GetSystemMetrics(SM_CYSCREEN) - 345) / 2, 356, 345, nullptr, nullptr,
                                        instance, nullptr);
    straight::window = window;
    const HICON bigIcon = static_cast<HICON>(LoadImageA(instance, "DEFAULT_ICON", IMAGE_ICON, 32, 32, 0));
    const HICON smallIcon = static_cast<HICON>(LoadImageA(instance, "DEFAULT_ICON", IMAGE_ICON, 16, 16, 0));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    const auto guiFont = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(window, WM_SETFONT, guiFont, FALSE);

    const DWORD buttonStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;
    switchButton = CreateWindowExA(0, "BUTTON", purrbox::texts::SwitchButtonCaption.data(), buttonStyle, 183, 8, 152,
                                   32, window, reinterpret_cast<HMENU>(100), instance, nullptr);
    SendMessageA(switchButton, WM_SETFONT, guiFont, FALSE);
    const HWND restoreButton = CreateWindowExA(0, "BUTTON", purrbox::texts::RestoreButtonCaption.data(), buttonStyle,
                                               184, 48, 152, 32, window, reinterpret_cast<HMENU>(110), instance, nullptr);
    SendMessageA(restoreButton, WM_SETFONT, guiFont, FALSE);

    // Each picture: the first 32-pixel image of 16 colours or more in the icon file, else its last.
    HICON pictureIcons[2] = {};
    HWND pictures[2] = {};
    const std::span<const unsigned char> iconFiles[2] = {purrbox::embedded::emptyIconFile,
                                                         purrbox::embedded::fullIconFile};
    const int pictureLeft[2] = {99, 19};
    for (int i = 0; i < 2; ++i) {
        const unsigned char* file = iconFiles[i].data();
        const int count = file[4] | file[5] << 8;
        const unsigned char* entry = file + 6 + 16 * (count - 1);
        for (int e = 0; e < count; ++e)
            if (file[6 + 16 * e] == 32 && file[6 + 16 * e + 2] >= 16) {
                entry = file + 6 + 16 * e;
                break;
            }
        const DWORD size = static_cast<DWORD>(entry[8] | entry[9] << 8 | entry[10] << 16 | entry[11] << 24);
        const DWORD offset = static_cast<DWORD>(entry[12] | entry[13] << 8 | entry[14] << 16 | entry[15] << 24);
        const int width = entry[0] ? entry[0] : 256;
        const int height = entry[1] ? entry[1] : 256;
        pictureIcons[i] = CreateIconFromResourceEx(const_cast<unsigned char*>(file + offset), size, TRUE, 0x00030000,
                                                   width, height, LR_DEFAULTCOLOR);
        pictures[i] = CreateWindowExA(0, "BenchPicture", "", WS_CHILD | WS_CLIPSIBLINGS, pictureLeft[i], 14, 64, 64,
                                      window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(120 + 10 * i)), instance,
                                      nullptr);
        SetWindowLongPtrA(pictures[i], GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pictureIcons[i]));
    }

    helpText = CreateWindowExA(WS_EX_STATICEDGE, "EDIT", purrbox::texts::HelpText.data(),
                               WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | ES_LEFT | ES_MULTILINE |
                                   ES_AUTOVSCROLL | ES_WANTRETURN | ES_READONLY,
                               8, 88, 328, 224, window, reinterpret_cast<HMENU>(140), instance, nullptr);
    LOGFONTW font{};
    font.lfHeight = -12;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = PROOF_QUALITY;
    lstrcpyW(font.lfFaceName, L"\u5fae\u8f6f\u96c5\u9ed1");
    helpFont = CreateFontIndirectW(&font);
    SendMessageA(helpText, WM_SETFONT, reinterpret_cast<WPARAM>(helpFont), FALSE);
    helpBackground = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    SendMessageA(helpText, EM_LIMITTEXT, 0, 0);
    SendMessageA(helpText, EM_SETSEL, 0, 0);
    SendMessageA(helpText, EM_SCROLLCARET, 0, 0);

    for (const HWND control : {switchButton, restoreButton, pictures[0], pictures[1], helpText})
        ShowWindow(control, SW_SHOWNA);
    ShowWindow(window, SW_SHOW);

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }

    DeleteObject(helpFont);
    DeleteObject(helpBackground);
    for (const HICON icon : {bigIcon, smallIcon, pictureIcons[0], pictureIcons[1]}) DestroyIcon(icon);
    OleUninitialize();
    return 0;
}
