// The controller's code-page line under Wine, which takes the ANSI code page from the Unix
// locale the test runs under:
//   wine_code_page_line_test.exe CODEPAGE LINE
// CODEPAGE is the code page the locale must give (1252 for en_US.UTF-8, 1256 for fa_IR.UTF-8),
// LINE 1 when the controller must show the line for every font code (the code page reads their
// glyph codes as right-to-left letters), 0 when it must show it for none.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "tests/wine/check.h"
#include "tests/wine/controller_query.h"
#include "tools/controller/protocol.h"
#include "tools/controller/settings.h"

namespace {

constexpr const char* kControllerFile = kProgram64 ? "zafrelctl64.exe" : "zafrelctl.exe";
constexpr DWORD kStartMs = 120000;  // under qemu emulation a start takes tens of seconds

// The font codes chosen from the menu are kept; the other tests expect none.
void ForgetSettings() { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey); }

void CheckController(LRESULT codePage, bool line) {
  char command[MAX_PATH + 64];
  char folder[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, folder, sizeof folder);
  *std::strrchr(folder, '\\') = 0;
  std::snprintf(command, sizeof command, "\"%s\\%s\" --mode FALSE --font 1", folder,
                kControllerFile);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi)) {
    Check(false, "the controller starts");
    return;
  }
  HWND hwnd = nullptr;
  const bool up = WaitFor(
      [&] {
        hwnd = WindowOf(pi.dwProcessId);
        return (hwnd != nullptr && IsWindowVisible(hwnd)) ||
               WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0;
      },
      kStartMs);
  Check(up && hwnd != nullptr && IsWindowVisible(hwnd), "the controller starts");
  if (hwnd != nullptr) {
    CheckEqual(Query(hwnd, kQueryAnsiCodePage), codePage, "it reads the same ANSI code page");
    CheckEqual(Query(hwnd, kQueryCodePageLine), line ? 1 : 0,
               line ? "at start, font code 1: it shows the code-page line"
                    : "at start, font code 1: no code-page line");
    RECT client = {};
    GetClientRect(hwnd, &client);
    std::printf("INFO client area %ld x %ld\n", client.right, client.bottom);
    for (int font : {0, 2, 3, 4, 1}) {
      DWORD_PTR result = 0;
      SendMessageTimeoutA(hwnd, WM_COMMAND, kCmdFont0 + font, 0, SMTO_ABORTIFHUNG, 10000, &result);
      char what[64];
      std::snprintf(what, sizeof what, "font code %d: %s", font,
                    line ? "the code-page line shows" : "no code-page line");
      CheckEqual(Query(hwnd, kQueryCodePageLine), line ? 1 : 0, what);
    }
    PostMessageA(hwnd, WM_COMMAND, kCmdExit, 0);
  }
  DWORD code = 1;
  const bool ended = WaitForSingleObject(pi.hProcess, kStartMs) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(pi.hProcess, &code);
  CheckEqual(ended ? code : -1, kExitDone, "Exit ends it (code 0)");
  if (!ended) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CODEPAGE LINE(0|1)\n", argv[0]);
    return 2;
  }
  if (!WineStarted()) return 3;
  const UINT codePage = static_cast<UINT>(std::atoi(argv[1]));
  const bool line = std::atoi(argv[2]) != 0;
  char lang[64] = "(not set)";
  GetEnvironmentVariableA("LANG", lang, sizeof lang);
  std::printf("INFO LANG=%s, ANSI code page %u, OEM code page %u\n", lang, GetACP(), GetOEMCP());
  // Without the locale Wine falls back to another code page, and nothing here would be tested.
  CheckEqual(GetACP(), codePage, "Wine took the ANSI code page from the locale");
  if (GetACP() != codePage) {
    std::printf("FAILED: is the locale %s generated on this machine (locale -a)?\n", lang);
    return Finish("wine code page line test");
  }
  ForgetSettings();
  CheckController(codePage, line);
  ForgetSettings();
  return Finish("wine code page line test");
}
