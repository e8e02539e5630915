// The floor no real program reaches: one empty window of Purrbox's size and
// title, nothing in it, no resources. Closes like Purrbox's window.
#include <windows.h>

namespace {

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"BenchBareWindow";
    RegisterClassExW(&windowClass);

    const HWND window = CreateWindowExW(0, L"BenchBareWindow", L"\u4e00\u952ePurrbox - brenoka",
                                        WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, (GetSystemMetrics(SM_CXSCREEN) - 356) / 2,
                                        (GetSystemMetrics(SM_CYSCREEN) - 345) / 2, 356, 345, nullptr, nullptr,
                                        instance, nullptr);
    ShowWindow(window, SW_SHOW);

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
