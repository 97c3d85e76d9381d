#include "hooklib/hook_table.h"

#include "diagnostics/journal.h"
#include "diagnostics/monitors.h"
#include "hooklib/controller_link.h"
#include "typing/keyboard_hook.h"
#include "typing/prefilter.h"

const int anSlotHookType[kHookSlotCount] = {
    WH_CALLWNDPROC, WH_CBT,   WH_GETMESSAGE, WH_JOURNALPLAYBACK, WH_JOURNALRECORD,
    WH_KEYBOARD,    WH_MOUSE, WH_MSGFILTER,  WH_SYSMSGFILTER,    WH_DEBUG,
};

const HOOKPROC apfnSlotProc[kHookSlotCount] = {
    CallWndProcMonitor,   // 0
    CbtProc,              // 1
    GetMessageProc,       // 2: key pre-filter
    JournalPlaybackProc,  // 3
    JournalRecordProc,    // 4
    KeyboardProc,         // 5: keystroke translation
    MouseMonitor,         // 6
    nullptr,              // 7: WH_MSGFILTER, never a procedure
    SysMsgFilterMonitor,  // 8
    DebugMonitor,         // 9
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
