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

// On 64-bit Windows a hook procedure of this DLL also runs for every thread of the processes of
// the other bitness, which the DLL cannot be mapped into: Windows then calls it on the thread
// that installed the hook, the controller's, marshalling the event there. The controller is not
// the window being typed into and, while another program has the keyboard, has no focus window;
// GetFocus, posted glyphs and injected caret keys would all miss the target there. Such a call is
// recognised by the slot's hook handle (set only in the installing process) and the absence of a
// focus window on the calling thread, and is passed on untouched. Every other process has no
// handle and is never affected; the controller's own windows, while they have the focus, type
// as before.
inline bool IsMarshalledHookCall(int slot) {
  // Only ever true in one process of the desktop: the typing path of all others is laid out first.
  return __builtin_expect(ahhookSlot[slot] != nullptr, 0) && GetFocus() == nullptr;
}

// Handles and flags as they are when the library is attached to a process.
void ResetHookTable();
