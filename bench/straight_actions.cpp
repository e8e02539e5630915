#include "bench/straight_actions.h"

#include <shlobj.h>

#include "system/icon_files.h"

namespace straight {

HWND window;
bool notify = true;
char appData[MAX_PATH];
void (*stepDone)(const char* step);

namespace {

HWND rememberedFocus;

void step(const char* name)
{
    if (stepDone) stepDone(name);
}

const char IconKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon\\";
const char WindowsEmpty[] = "%SystemRoot%\\System32\\imageres.dll,-55";
const char WindowsFull[] = "%SystemRoot%\\System32\\imageres.dll,-54";
const char CatEmpty[] = "%AppData%\\brenoka\\miaoIco\\empty.dll,0";
const char CatFull[] = "%AppData%\\brenoka\\miaoIco\\full.dll,0";

bool exists(const char* path)
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

void busy(bool on)
{
    if (on) {
        const HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) rememberedFocus = focus;
    }
    EnableWindow(GetDlgItem(window, 100), on ? FALSE : TRUE);
    EnableWindow(GetDlgItem(window, 110), on ? FALSE : TRUE);
    if (!on && GetActiveWindow() == window && IsWindow(rememberedFocus) && IsChild(window, rememberedFocus) &&
        IsWindowVisible(rememberedFocus) && IsWindowEnabled(rememberedFocus) &&
        (GetWindowLongPtrA(rememberedFocus, GWL_STYLE) & WS_TABSTOP)) {
        SetFocus(rememberedFocus);
        GetFocus();
    }
}

// "...\brenoka" into maker, "...\brenoka\miaoIco" into folder.
void iconFolder(char* maker, char* folder)
{
    if (appData[0])
        lstrcpyA(maker, appData);
    else
        SHGetSpecialFolderPathA(nullptr, maker, CSIDL_APPDATA, FALSE);
    lstrcatA(maker, "\\brenoka");
    lstrcpyA(folder, maker);
    lstrcatA(folder, "\\miaoIco");
}

// The key's default value, or "" when it cannot be read.
void readDefaultValue(char* value, DWORD capacity)
{
    value[0] = '\0';
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, IconKey, &key) != ERROR_SUCCESS) return;
    DWORD type = 0;
    DWORD size = 0;
    RegQueryValueExA(key, "", nullptr, &type, nullptr, &size);
    if (size >= capacity || RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
        size = 0;
    value[size] = '\0';
    RegCloseKey(key);
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
    step("values written");
    if (notify) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    step("notified");
}

void makeFolder(const char* path)
{
    if (exists(path)) return;
    char withSlash[MAX_PATH];
    lstrcpyA(withSlash, path);
    lstrcatA(withSlash, "\\");
    CreateDirectoryA(withSlash, nullptr);
    exists(path);
}

}  // namespace

void switchToCatIcons()
{
    busy(true);
    step("buttons disabled");
    char maker[MAX_PATH];
    char folder[MAX_PATH];
    iconFolder(maker, folder);
    makeFolder(maker);
    makeFolder(folder);
    step("folders made");
    const char* const names[] = {"\\empty.dll", "\\full.dll"};
    const std::span<const unsigned char> files[] = {purrbox::embedded::emptyIconFile, purrbox::embedded::fullIconFile};
    for (int i = 0; i < 2; ++i) {
        char path[MAX_PATH];
        lstrcpyA(path, folder);
        lstrcatA(path, names[i]);
        if (exists(path)) continue;
        const HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE) continue;
        DWORD written = 0;
        WriteFile(out, files[i].data(), static_cast<DWORD>(files[i].size()), &written, nullptr);
        CloseHandle(out);
        step(i == 0 ? "empty.dll written" : "full.dll written");
    }
    char current[MAX_PATH];
    readDefaultValue(current, sizeof current);
    step("value read");
    writeValues(lstrcmpA(current, WindowsFull) == 0 ? CatFull : CatEmpty, CatEmpty, CatFull);
    busy(false);
    step("buttons enabled");
}

void restoreWindowsIcons()
{
    busy(true);
    step("buttons disabled");
    char maker[MAX_PATH];
    char folder[MAX_PATH];
    iconFolder(maker, folder);
    if (exists(maker) && exists(folder)) {
        lstrcatA(folder, "\\");
        char pattern[MAX_PATH];
        lstrcpyA(pattern, folder);
        lstrcatA(pattern, "*.*");
        char found[8][MAX_PATH];
        int count = 0;
        WIN32_FIND_DATAA entry;
        const HANDLE search = FindFirstFileA(pattern, &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (entry.cFileName[0] == '.' || count == 8) continue;
                lstrcpyA(found[count], folder);
                lstrcatA(found[count++], entry.cFileName);
            } while (FindNextFileA(search, &entry));
            FindClose(search);
        }
        step("folder listed");
        for (int i = 0; i < count; ++i) DeleteFileA(found[i]);
        step("files deleted");
        RemoveDirectoryA(folder);
        step("folder removed");
    }
    char current[MAX_PATH];
    readDefaultValue(current, sizeof current);
    step("value read");
    writeValues(lstrcmpA(current, CatFull) == 0 ? WindowsFull : WindowsEmpty, WindowsEmpty, WindowsFull);
    busy(false);
    step("buttons enabled");
}

}  // namespace straight
