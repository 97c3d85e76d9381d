// The library's exported interface, under the decorated names a Microsoft compiler gives these
// declarations (the module-definition file maps them).
#pragma once

#include "win32/win32.h"

// An exported class without data members: constructor and copy assignment only.
class CZafrelXP {
 public:
  CZafrelXP& operator=(const CZafrelXP& other);
};

extern "C" {

extern int nZafrelXP;  // exported data; the library never reads or writes it

int fnZafrelXP(void);  // cdecl; 42

// Sets the status window and line height for the status lines, and the caller's typing mode to
// "FALSE". Returns 0.
int WINAPI InitZafrelXPDll(HWND hwndStatus, int nLineHeight);

// Switches hook slot `index` (0-9) on or off in the calling process. `hwnd` and `value` carry
// nothing. Returns 1 when the slot is in the asked state, 0 for an unknown slot or a hook that
// could not be installed.
int WINAPI InstallFilter(int index, int on, HWND hwnd, int value);

// Draws the status lines of the installed slots into `hdc`. Returns 0.
int WINAPI PaintHooksDll(HDC hdc);

int WINAPI WEP(int value);  // 1

}  // extern "C"

// The exported constructor: MSVC's returns `this` in EAX, which a GCC constructor does not, so the
// export is this thiscall function, which does what the constructor does and returns `this`.
extern "C" CZafrelXP* ZAFREL_THISCALL CZafrelXP_Construct(CZafrelXP* self);
