#include "hooklib/hook_table.h"

#include "hooklib/controller_link.h"
#include "typing/keyboard_hook.h"
#include "typing/prefilter.h"

const int anSlotHookType[kHookSlotCount] = {
    WH_CALLWNDPROC, WH_CBT,   WH_GETMESSAGE, WH_JOURNALPLAYBACK, WH_JOURNALRECORD,
    WH_KEYBOARD,    WH_MOUSE, WH_MSGFILTER,  WH_SYSMSGFILTER,    WH_DEBUG,
};

// Procedures join the table as they are built; a null entry installs nothing useful.
const HOOKPROC apfnSlotProc[kHookSlotCount] = {
    nullptr,  // window-procedure monitor
    CbtProc,      GetMessageProc,
    nullptr,  // journal playback
    nullptr,  // journal record
    KeyboardProc,
    nullptr,  // mouse monitor
    nullptr,  // WH_MSGFILTER: never a procedure
    nullptr,  // system-message-filter monitor
    nullptr,  // debug monitor
};

HHOOK ahhookSlot[kHookSlotCount];
int afSlotInstalled[kHookSlotCount];

LRESULT PassHookOn(int slot, int code, WPARAM wParam, LPARAM lParam) {
  return CallNextHookEx(ahhookSlot[slot], code, wParam, lParam);
}

void ResetHookTable() {
  for (int slot = 0; slot < kHookSlotCount; ++slot) {
    ahhookSlot[slot] = nullptr;
    afSlotInstalled[slot] = 0;
  }
}
