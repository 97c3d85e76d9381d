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

// Like Check, for a number that must come out exactly: a failure says what it was instead.
inline void CheckEqual(long long got, long long want, const char* what) {
  if (got == want) {
    std::printf("ok: %s\n", what);
  } else {
    std::printf("FAILED: %s (got %lld, expected %lld)\n", what, got, want);
  }
  (got == want ? g_passed : g_failed)++;
}

// Polls `done` every 20 ms until it holds or `ms` have passed; false when it never held. The
// other process works at its own pace, much slower under emulation.
template <typename Done>
bool WaitFor(Done done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(20);
  }
  return true;
}
