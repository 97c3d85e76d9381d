// What the Windows programs run under Wine share: the start line the launcher waits for, and the
// library's exports looked up by name.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "zafrel_version.h"

// Wine's start-up is done when a top-level window can be made: under qemu emulation the desktop
// process (explorer.exe) now and then crashes or comes up late, and then CreateWindow fails.
// Prints the flushed "START" line the launcher looks for; without it the launcher counts the run
// as a failed Wine start and starts the program again, so no check of ours is ever retried.
inline bool WineStarted() {
  for (int attempt = 0; attempt < 10; ++attempt) {
    HWND probe = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    if (probe != nullptr) {
      DestroyWindow(probe);
      std::printf("START\n");
      std::fflush(stdout);
      return true;
    }
    Sleep(1000);
  }
  std::fprintf(stderr, "Wine's desktop did not come up: no top-level window (error %lu)\n",
               GetLastError());
  return false;
}

// Writes `text` to standard output; false when there is none. Under Wine, and on Windows with the
// output redirected, the program was handed a standard output. A GUI program started from a
// Windows console was not: the text goes to the console of the program that started it (cmd.exe
// does not wait for a GUI program, so the text comes after its prompt). Started from Explorer, a
// shortcut or the Run value there is nowhere to write to.
inline bool WriteStandardOutput(const char* text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
  }
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(out, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
  return true;
}

// --help, -h or --version anywhere on the command line: the usage text, or "NAME VERSION", goes
// to standard output (WriteStandardOutput) and the caller ends with exit status 0 before it makes
// a window, sets a hook or takes a name.
inline bool AnsweredHelpOrVersion(int argc, char** argv, const char* name, const char* usage) {
  const char* asked = nullptr;
  for (int i = 1; i < argc && asked == nullptr; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 ||
        std::strcmp(argv[i], "--version") == 0) {
      asked = argv[i];
    }
  }
  if (asked == nullptr) return false;
  char version[64];
  std::snprintf(version, sizeof version, "%s %s\n", name, ZAFREL_VERSION_TEXT);
  WriteStandardOutput(std::strcmp(asked, "--version") == 0 ? version : usage);
  return true;
}

// GetProcAddress gives a generic pointer; the export's own type is known to the caller.
template <typename F>
F Export(void* dll, const char* name) {
  return reinterpret_cast<F>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(static_cast<HMODULE>(dll), name)));
}

// The library beside a program of the same bitness (asked of the pointer size, which the compiler
// knows, so no build needs a conditional of its own).
constexpr bool kProgram64 = sizeof(void*) == 8;
constexpr const char* kLibraryFile = kProgram64 ? "ZafrelXP64.dll" : "ZafrelXP.dll";

// The name a WINAPI export has in this bitness's DLL: "_Name@bytes" in the 32-bit one, where
// stdcall decorates it with the bytes of its arguments, and plain in the 64-bit one.
inline const char* LibraryExportName(const char* name, int argumentBytes, char (&buffer)[64]) {
  if (kProgram64) return name;
  std::snprintf(buffer, sizeof buffer, "_%s@%d", name, argumentBytes);
  return buffer;
}

template <typename F>
F LibraryExport(void* dll, const char* name, int argumentBytes) {
  char buffer[64];
  return Export<F>(dll, LibraryExportName(name, argumentBytes, buffer));
}

// One key event injected as if typed at the keyboard, with the scan code the layout gives it.
inline void InjectKeyEvent(unsigned vk, bool down) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = static_cast<WORD>(vk);
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
  in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &in, sizeof in);
}
