#include "dll/entry.h"

#include "diagnostics/journal.h"
#include "diagnostics/monitors.h"
#include "hooklib/hook_table.h"
#include "hooklib/status_lines.h"
#include "typing/controller_link.h"
#include "typing/glyph_tables.h"
#include "typing/typing_state.h"

HINSTANCE hinstModule;

extern "C" BOOL WINAPI LibMain(HINSTANCE hinstDll, DWORD dwReason, LPVOID /*lpReserved*/) {
  // Nothing is set up per thread and nothing is cleaned up at detach: hooks stay until the
  // controller switches them off.
  if (dwReason != DLL_PROCESS_ATTACH) return TRUE;

  hinstModule = hinstDll;
  hwndController = nullptr;
  hwndController = FindControllerWindow();
  if (hwndController == nullptr) return FALSE;

  fFarsiOn = KeyToggleBit(VK_SCROLL);
  return TRUE;
}

void ResetProcessState() {
  hinstModule = nullptr;
  ResetHookTable();
  ResetControllerLink();
  ResetGlyphTableSet();
  ResetTypingState();
  ResetStatusLines();
  ResetJournal();
  ResetMonitors();
}
