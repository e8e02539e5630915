// Purrbox's two actions as a straight line of Win32 calls: the calls
// Purrbox's code makes for a switch and a restore, in the same order, with
// fixed buffers and no structure. Linked into Purrbox's window in a straight
// line (its buttons run them) and into the actions benchmark (which times
// them against Purrbox's code).
#pragma once

#include <windows.h>

namespace straight {

// The window whose two buttons (ids 100 and 110) an action disables and enables again.
extern HWND window;
// Whether an action ends with SHChangeNotify, as Purrbox's does.
extern bool notify;
// Application Data when it is redirected (what the redirected
// SHGetSpecialFolderPathA answers); empty: ask SHGetSpecialFolderPathA.
extern char appData[MAX_PATH];

// Called, when set, after each step of an action with the step's name: the
// benchmark's breakdown of where an action's time goes.
extern void (*stepDone)(const char* step);

void switchToCatIcons();
void restoreWindowsIcons();

}  // namespace straight
