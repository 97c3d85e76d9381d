// What the Windows programs run under Wine share: the start line the launcher waits for, and the
// library's exports looked up by name.
#pragma once

#include <windows.h>

#include <cstdio>

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
