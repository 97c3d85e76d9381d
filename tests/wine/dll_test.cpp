// Loads the real ZafrelXP.dll under Wine and calls every export the way a controller program
// does: refused with no controller window, then loaded beside one, each export found by name and
// by ordinal, called with its own calling convention, and the version resource read back.
// Prints one line per check and a closing "N passed, N failed" line.
#include <windows.h>

#include "tests/wine/check.h"
#include "zafrel_version.h"

#include <cstdio>
#include <cstring>

namespace {

HWND CreateController(const char* title) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ZafrelXP908@2005";
  RegisterClassA(&wc);
  return CreateWindowA("ZafrelXP908@2005", title, WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                       nullptr, wc.hInstance, nullptr);
}

// The decorated names a Microsoft compiler gives the interface in each bitness.
const char* const kExports32[9] = {
    "??0CZafrelXP@@QAE@XZ",
    "??4CZafrelXP@@QAEAAV0@ABV0@@Z",
    "?fnZafrelXP@@YAHXZ",
    "?nZafrelXP@@3HA",
    "_InitZafrelXPDll@8",
    "_InstallFilter@16",
    "_LibMain@12",
    "_PaintHooksDll@4",
    "_WEP@4",
};
const char* const kExports64[9] = {
    "??0CZafrelXP@@QEAA@XZ",
    "??4CZafrelXP@@QEAAAEAV0@AEBV0@@Z",
    "?fnZafrelXP@@YAHXZ",
    "?nZafrelXP@@3HA",
    "InitZafrelXPDll",
    "InstallFilter",
    "LibMain",
    "PaintHooksDll",
    "WEP",
};
const char* const* const kExports = kProgram64 ? kExports64 : kExports32;

// The 32-bit constructor and operator= take `this` in ECX (thiscall); x64 has one convention,
// and GCC ignores the attribute there, with a warning that is not ours to fix.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
typedef void*(__attribute__((thiscall)) * Construct)(void* self);
typedef void*(__attribute__((thiscall)) * Assign)(void* self, const void* other);
#pragma GCC diagnostic pop
typedef int (*FnZafrelXP)(void);
typedef int(WINAPI* InitZafrelXPDll)(HWND, int);
typedef int(WINAPI* InstallFilter)(int, int, HWND, int);
typedef int(WINAPI* PaintHooksDll)(HDC);
typedef int(WINAPI* Wep)(int);

constexpr DWORD kVersionMS = ZAFREL_VERSION_MAJOR << 16 | ZAFREL_VERSION_MINOR;
constexpr DWORD kVersionLS = ZAFREL_VERSION_PATCH << 16 | ZAFREL_VERSION_TWEAK;

void CheckVersionResource(const char* path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  Check(size > 0, "the version resource is there");
  if (size == 0) return;
  static char info[8192];
  Check(size <= sizeof info && GetFileVersionInfoA(path, 0, size, info),
        "the version resource reads");

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  Check(VerQueryValueA(info, "\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
            fixed->dwFileVersionMS == kVersionMS && fixed->dwFileVersionLS == kVersionLS &&
            fixed->dwProductVersionMS == kVersionMS && fixed->dwProductVersionLS == kVersionLS,
        "file and product version " ZAFREL_VERSION_TEXT);

  WORD* translation = nullptr;
  Check(VerQueryValueA(info, "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                       &length) &&
            length >= 4 && translation[0] == 0x0409 && translation[1] == 0x04b0,
        "translation 0x0409, 0x04b0");

  const char* const strings[][2] = {
      {"FileDescription", "ZafrelXP DLL"},     {"InternalName", "ZafrelXP"},
      {"OriginalFilename", kLibraryFile},      {"ProductName", "ZafrelXP Dynamic Link Library"},
      {"LegalTrademarks", "Zafrel"},           {"FileVersion", ZAFREL_VERSION_TEXT},
      {"ProductVersion", ZAFREL_VERSION_TEXT},
  };
  for (const auto& s : strings) {
    char query[96];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\040904b0\\%s", s[0]);
    char* value = nullptr;
    const bool ok = VerQueryValueA(info, query, reinterpret_cast<void**>(&value), &length) &&
                    value != nullptr && std::strcmp(value, s[1]) == 0;
    char what[128];
    std::snprintf(what, sizeof what, "%s is \"%s\"", s[0], s[1]);
    Check(ok, what);
  }
}

}  // namespace

int main() {
  if (!WineStarted()) return 3;
  SetLastError(0);
  HMODULE refused = LoadLibraryA(kLibraryFile);
  const DWORD error = GetLastError();
  Check(refused == nullptr, "no controller window: the load is refused");
  Check(error == ERROR_DLL_INIT_FAILED, "no controller window: LoadLibrary reports a failed init");
  if (refused != nullptr) FreeLibrary(refused);

  HWND controller = CreateController("FALSE 1 ZafrelXP");
  Check(controller != nullptr, "controller window created");
  HMODULE dll = LoadLibraryA(kLibraryFile);
  Check(dll != nullptr, "beside the controller window: the library loads");
  if (dll == nullptr) {
    return Finish("wine dll test");
  }

  for (int i = 0; i < 9; ++i) {
    FARPROC byName = GetProcAddress(dll, kExports[i]);
    FARPROC byOrdinal = GetProcAddress(dll, MAKEINTRESOURCEA(i + 1));
    char what[96];
    std::snprintf(what, sizeof what, "%s is export %d", kExports[i], i + 1);
    Check(byName != nullptr && byName == byOrdinal, what);
  }
  Check(GetProcAddress(dll, MAKEINTRESOURCEA(10)) == nullptr, "no tenth export");

  alignas(8) char object[8] = {}, other[8] = {};
  auto construct = Export<Construct>(dll, kExports[0]);
  Check(construct && construct(object) == object, "the constructor returns this");
  auto assign = Export<Assign>(dll, kExports[1]);
  Check(assign && assign(object, other) == object, "operator= returns this");
  auto fn = Export<FnZafrelXP>(dll, kExports[2]);
  Check(fn && fn() == 42, "fnZafrelXP returns 42");
  auto n = reinterpret_cast<const int*>(GetProcAddress(dll, kExports[3]));
  Check(n && *n == 0, "nZafrelXP reads 0");

  auto init = Export<InitZafrelXPDll>(dll, kExports[4]);
  Check(init && init(controller, 16) == 0, "InitZafrelXPDll returns 0");
  auto install = Export<InstallFilter>(dll, kExports[5]);
  if (install) {
    Check(install(1, 1, controller, 0) == 1, "InstallFilter switches the CBT slot on");
    Check(install(1, 1, controller, 0) == 1, "InstallFilter: switching on again");
    Check(install(1, 0, controller, 0) == 1, "InstallFilter switches it off");
    Check(install(5, 1, controller, 0) == 1 && install(5, 0, controller, 0) == 1,
          "InstallFilter: keyboard slot on and off");
    Check(install(7, 1, controller, 0) == 0, "InstallFilter: slot 7 cannot be installed");
    Check(install(10, 1, controller, 0) == 0, "InstallFilter: slot 10 does not exist");
  } else {
    Check(false, "InstallFilter found");
  }
  auto paint = Export<PaintHooksDll>(dll, kExports[7]);
  HDC hdc = GetDC(controller);
  Check(paint && paint(hdc) == 0, "PaintHooksDll returns 0");
  ReleaseDC(controller, hdc);
  auto wep = Export<Wep>(dll, kExports[8]);
  Check(wep && wep(0) == 1, "WEP returns 1");

  char path[MAX_PATH];
  GetModuleFileNameA(dll, path, sizeof path);
  CheckVersionResource(path);

  Check(FreeLibrary(dll) != FALSE, "the library unloads");
  DestroyWindow(controller);
  return Finish("wine dll test");
}
