// What the controller and its companion hold as their own, so that no other program of the
// desktop can take it first or pass for it: the libraries loaded by full path from the programs'
// folder, names carrying the user's SID, and the companion known by the process the controller
// started.
#pragma once

#include <windows.h>

#include <cstddef>

// DLLs loaded by bare name come from System32 only, never from the current folder or the PATH.
// Called first thing in WinMain.
void UseSafeLibrarySearch();
// This bitness's library from the program's own folder; null when it is missing or does not load.
HMODULE LoadLibraryBeside(const char* file);
// The program's own folder with its closing backslash ("" when it cannot be told).
bool ProgramFolder(char* folder, size_t size);
// "S-1-5-21-...": the SID of the user running this program ("unknown" when it cannot be read).
void UserSid(char* sid, size_t size);
// The window belongs to a program of this session whose file is in this program's folder: the
// controller as the companion checks it on its command line.
bool WindowOfProgramBeside(HWND window);
// The same for another folder ("C:\\Program Files\\ZafrelXP\\", with or without its closing
// backslash, or ending in "\\."), as the installer names the installation folder.
bool WindowOfProgramIn(HWND window, const char* folder);
// The first window of the controller's class whose program is in `folder` (this program's own
// when null), or null.
HWND FindOwnController(const char* folder = nullptr);
// For the test programs, which run from a build folder while the controller may run from where
// it was installed: the first window of the class whose program is zafrelctl.exe or
// zafrelctl64.exe, wherever it is.
HWND FindReferenceController();
// Takes the mutex "Local\ZafrelXP908@2005 <what> of <user's SID> on <desktop>". False when
// another process holds it; a mutex that cannot be made at all counts as taken by this one.
bool ClaimName(const char* what, HANDLE* mutex);
