// What the Wine tests ask a running controller: its answer to a query (-1 when it did not answer
// within 5 s), and the controller window of a given process.
#pragma once

#include <windows.h>

#include "tools/controller/protocol.h"

inline LRESULT Query(HWND hwnd, WPARAM what) {
  DWORD_PTR result = static_cast<DWORD_PTR>(-1);
  if (!SendMessageTimeoutA(hwnd, kMsgQuery, what, 0, SMTO_ABORTIFHUNG, 5000, &result)) return -1;
  return static_cast<LRESULT>(result);
}

inline HWND WindowOf(DWORD process) {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, kControllerClass, nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == process) return w;
  }
  return nullptr;
}
