// Library entry: decides whether the library may load into a process at all.
#pragma once

#include "win32/win32.h"

extern HINSTANCE hinstModule;  // module of every hook the controller installs

// The DLL's real entry point (no C runtime start-up runs before it). Refuses the load when the
// controller window does not exist; otherwise samples Scroll Lock into the Farsi switch.
extern "C" BOOL WINAPI LibMain(HINSTANCE hinstDll, DWORD dwReason, LPVOID lpReserved);

// Every piece of the library's per-process state as it is at attach (tests start from here).
void ResetProcessState();
