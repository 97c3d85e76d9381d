#include "dll/exports.h"

#include "dll/entry.h"
#include "dll/slot_procs.h"
#include "hooklib/hook_table.h"
#include "hooklib/status_lines.h"
#include "typing/controller_link.h"

int nZafrelXP = 0;

CZafrelXP& CZafrelXP::operator=(const CZafrelXP& /*other*/) { return *this; }

extern "C" CZafrelXP* ZAFREL_THISCALL CZafrelXP_Construct(CZafrelXP* self) { return self; }

extern "C" int fnZafrelXP(void) { return 42; }

extern "C" int WINAPI InitZafrelXPDll(HWND hwndStatus, int nLineHeight) {
  statusRecord.hwndStatus = hwndStatus;
  statusRecord.nLineHeight = nLineHeight;
  SetTypingMode(kTypingModeFalse);
  return 0;
}

namespace {

int SwitchSlotOn(int slot) {
  // A second hook on the same slot would type every glyph twice.
  if (afSlotInstalled[slot]) return 1;
  if (apfnSlotProc[slot] == nullptr) return 0;  // WH_MSGFILTER: nothing to install
  // Thread 0: the hook covers every thread of the desktop.
  HHOOK hook = SetWindowsHookExA(anSlotHookType[slot], apfnSlotProc[slot], hinstModule, 0);
  if (hook == nullptr) return 0;
  ahhookSlot[slot] = hook;
  afSlotInstalled[slot] = 1;
  return 1;
}

}  // namespace

extern "C" int WINAPI InstallFilter(int index, int on, HWND /*hwnd*/, int /*value*/) {
  if (index < 0 || index >= kHookSlotCount) return 0;
  return on ? SwitchSlotOn(index) : SwitchSlotOff(index);
}

extern "C" int WINAPI PaintHooksDll(HDC hdc) {
  for (int slot = 0; slot < kHookSlotCount; ++slot) {
    if (anSlotHookType[slot] != -1 && afSlotInstalled[slot]) PaintStatusLine(hdc, slot);
  }
  return 0;
}

extern "C" int WINAPI WEP(int /*value*/) { return 1; }
