// Checks for the Windows test programs: one line per check, and the closing "N passed, N failed"
// line that the test runner reads.
#pragma once

#include <windows.h>

#include <cstdio>

#include "tools/winprog.h"

inline int g_passed = 0;
inline int g_failed = 0;

inline void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  (ok ? g_passed : g_failed)++;
}

inline int Finish(const char* program) {
  std::printf("%s: %d passed, %d failed\n", program, g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
