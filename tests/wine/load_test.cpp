// Loads the real ZafrelXP.dll under Wine: refused with no controller window, accepted beside one.
// Prints one line per check and a closing "N passed, N failed" line; exits non-zero on failure.
#include <windows.h>

#include <cstdio>

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  (ok ? g_passed : g_failed)++;
}

HWND CreateController(const char* title) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ZafrelXP908@2005";
  RegisterClassA(&wc);
  return CreateWindowA("ZafrelXP908@2005", title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                       nullptr, wc.hInstance, nullptr);
}

}  // namespace

int main() {
  HMODULE refused = LoadLibraryA("ZafrelXP.dll");
  const DWORD error = GetLastError();
  Check(refused == nullptr, "no controller window: the load is refused");
  Check(error == ERROR_DLL_INIT_FAILED, "no controller window: LoadLibrary reports a failed init");
  if (refused != nullptr) FreeLibrary(refused);

  HWND controller = CreateController("TRUES 2 ZafrelXP");
  Check(controller != nullptr, "controller window created");

  HMODULE dll = LoadLibraryA("ZafrelXP.dll");
  Check(dll != nullptr, "beside the controller window: the library loads");
  if (dll != nullptr) {
    Check(GetProcAddress(dll, "_LibMain@12") != nullptr, "_LibMain@12 is exported");
    Check(GetProcAddress(dll, MAKEINTRESOURCEA(7)) == GetProcAddress(dll, "_LibMain@12"),
          "ordinal 7 is _LibMain@12");
    Check(FreeLibrary(dll) != FALSE, "the library unloads");
  }
  DestroyWindow(controller);

  std::printf("wine load test: %d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
