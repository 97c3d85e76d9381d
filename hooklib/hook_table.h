// The ten hook slots the controller switches on and off. Type and procedure of a slot are fixed;
// its hook handle and installed flag exist once per process (zero at attach) and are meaningful
// only in the controller's process, the one that installs the hooks.
#pragma once

#include "win32/win32.h"

constexpr int kHookSlotCount = 10;

// Slot numbers: the `index` of InstallFilter and the row of the slot's status line.
enum HookSlot : int {
  kSlotCallWndProc = 0,
  kSlotCbt = 1,
  kSlotGetMessage = 2,
  kSlotJournalPlayback = 3,
  kSlotJournalRecord = 4,
  kSlotKeyboard = 5,
  kSlotMouse = 6,
  kSlotMsgFilter = 7,  // WH_MSGFILTER can't be installed system-wide: no procedure
  kSlotSysMsgFilter = 8,
  kSlotDebug = 9,
};

extern const int anSlotHookType[kHookSlotCount];

extern HHOOK ahhookSlot[kHookSlotCount];
extern int afSlotInstalled[kHookSlotCount];

// Every procedure hands its event on with its own slot's handle. Outside the controller's process
// that handle is zero and is passed on as it is.
// Inline: every message a hooked thread retrieves and every key pass through here.
inline LRESULT PassHookOn(int slot, int code, WPARAM wParam, LPARAM lParam) {
  return CallNextHookEx(ahhookSlot[slot], code, wParam, lParam);
}

// Unhooks a slot if it is installed and clears its handle and flag; the status window, if any,
// repaints without the slot's line. Returns 1. Also how a journal hook ends itself.
int SwitchSlotOff(int slot);

// Handles and flags as they are when the library is attached to a process.
void ResetHookTable();
