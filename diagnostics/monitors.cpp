#include "diagnostics/monitors.h"

#include "hooklib/hook_table.h"
#include "hooklib/status_lines.h"
#include "hooklib/text.h"

char szQualifier[64];
int nDebugCalls;

namespace {

// Window handles, times and coordinates are shown as signed decimals.
int Signed(HWND hwnd) { return static_cast<int>(HandleBits(hwnd)); }

void SetQualifier(const char* text) { CopyText(szQualifier, text, sizeof szQualifier); }

}  // namespace

LRESULT CALLBACK CallWndProcMonitor(int nCode, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (nCode >= 0 && call != nullptr) {
    SetQualifier(wParam != 0 ? "From Current Task" : " ");
    FormatStatusLine(kSlotCallWndProc, "CALLWNDPROC\tWnd:%d\t%s %s                    ",
                     Signed(call->hwnd), MessageName(call->message), szQualifier);
    DrawStatusLine(kSlotCallWndProc);
  }
  return PassHookOn(kSlotCallWndProc, nCode, wParam, lParam);
}

LRESULT CALLBACK MouseMonitor(int nCode, WPARAM wParam, LPARAM lParam) {
  const MOUSEHOOKSTRUCT* mouse = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
  if (nCode >= 0 && mouse != nullptr) {
    SetQualifier(nCode == HC_NOREMOVE
                     ? "NOT Removed from Queue"
                     : "REMOVED from Queue                                             ");
    FormatStatusLine(kSlotMouse, "MOUSE\t\tWnd:%d Point:%d %d\t%s %s", Signed(mouse->hwnd),
                     static_cast<int>(mouse->pt.x), static_cast<int>(mouse->pt.y),
                     MessageName(static_cast<UINT>(wParam)), szQualifier);
    DrawStatusLine(kSlotMouse);
  }
  return PassHookOn(kSlotMouse, nCode, wParam, lParam);
}

LRESULT CALLBACK SysMsgFilterMonitor(int nCode, WPARAM wParam, LPARAM lParam) {
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  if (nCode >= 0 && msg != nullptr) {
    SetQualifier(nCode == MSGF_DIALOGBOX ? "Dialog" : "Menu");
    FormatStatusLine(kSlotSysMsgFilter,
                     "SYSMSGFILTER\t%s\tWnd:%d Time:%d  Point:%d %d %s"
                     "                                ",
                     szQualifier, Signed(msg->hwnd), static_cast<int>(msg->time),
                     static_cast<int>(msg->pt.x), static_cast<int>(msg->pt.y),
                     MessageName(msg->message));
    DrawStatusLine(kSlotSysMsgFilter);
  }
  return PassHookOn(kSlotSysMsgFilter, nCode, wParam, lParam);
}

LRESULT CALLBACK DebugMonitor(int nCode, WPARAM wParam, LPARAM lParam) {
  if (nCode >= 0) {
    // Counted as Windows would, in 32 bits that wrap: never an overflow in a host process.
    nDebugCalls = static_cast<int>(static_cast<uint32_t>(nDebugCalls) + 1u);
    FormatStatusLine(kSlotDebug,
                     "DEBUGFILTER\tCalled %d Times"
                     "                                                       ",
                     nDebugCalls);
    DrawStatusLine(kSlotDebug);
  }
  return PassHookOn(kSlotDebug, nCode, wParam, lParam);
}

void ResetMonitors() {
  ClearBytes(szQualifier, sizeof szQualifier);
  nDebugCalls = 0;
}
