#include "hooklib/hook_table.h"

#include "hooklib/status_lines.h"

const int anSlotHookType[kHookSlotCount] = {
    WH_CALLWNDPROC, WH_CBT,   WH_GETMESSAGE, WH_JOURNALPLAYBACK, WH_JOURNALRECORD,
    WH_KEYBOARD,    WH_MOUSE, WH_MSGFILTER,  WH_SYSMSGFILTER,    WH_DEBUG,
};

HHOOK ahhookSlot[kHookSlotCount];
int afSlotInstalled[kHookSlotCount];

void ResetHookTable() {
  for (int slot = 0; slot < kHookSlotCount; ++slot) {
    ahhookSlot[slot] = nullptr;
    afSlotInstalled[slot] = 0;
  }
}

int SwitchSlotOff(int slot) {
  if (afSlotInstalled[slot]) UnhookWindowsHookEx(ahhookSlot[slot]);
  ahhookSlot[slot] = nullptr;
  afSlotInstalled[slot] = 0;
  // The status window repaints without the removed slot's line.
  if (HWND status = TrustedStatusWindow()) {
    InvalidateRect(status, nullptr, TRUE);
    UpdateWindow(status);
  }
  return 1;
}
