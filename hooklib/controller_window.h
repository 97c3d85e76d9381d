// Which window of class "ZafrelXP908@2005" the library takes for the controller's. Any program
// can make a window of that class; the library answers only one that runs in this session from
// the library's own folder (the controller program, or a program of the user's installed beside
// the library). A window of the class elsewhere is passed over: its title sets nothing and it is
// told nothing.
//
// The check opens the window's process once; its answer is kept for that window and process, so
// that a key costs one FindWindowExA and one GetWindowThreadProcessId more than the bare lookup
// while the same controller runs.
#pragma once

#include "win32/win32.h"

extern const char kControllerClass[];  // "ZafrelXP908@2005"

// The first top-level window of the class (in Z order) that passes the check, or null. At most
// kControllerCandidates windows of the class are looked at.
HWND FindControllerWindow();
constexpr int kControllerCandidates = 16;

// The process behind the window runs in this process's session, from the folder this library was
// loaded from. The window's class is not looked at.
bool IsControllerWindow(HWND hwnd);

// The kept answer and the library's folder are forgotten (as at attach).
void ResetControllerWindowCheck();
