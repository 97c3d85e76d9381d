// The 64-bit companion's protocol under wine64, with this program in the 32-bit controller's
// place: its window of class "ZafrelXP908@2005" answers the slot query, it starts
// zafrelctl64.exe --companion, switches slots through it, and goes away (as a killed controller
// would) to see the companion unhook and end on its own.
#include <windows.h>

#include <cstdio>
#include <initializer_list>

#include "tests/wine/check.h"
#include "tools/controller/protocol.h"

namespace {

LRESULT g_slots = (1 << 1) | (1 << 2) | (1 << 4) | (1 << 5);  // the journal's (4) is not followed

LRESULT CALLBACK ControllerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMsgQuery && wParam == kQuerySlots) return g_slots;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND FindCompanion() { return FindWindowExA(HWND_MESSAGE, nullptr, kCompanionClass, nullptr); }

// Runs the message loop (the companion sends to this window) until `done` or `ms` pass.
template <typename Done>
bool PumpUntil(Done done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(20);
  }
  return true;
}

LRESULT CompanionSlots(HWND companion) {
  DWORD_PTR bits = 0;
  SendMessageTimeoutA(companion, kMsgQuery, kQuerySlots, 0, SMTO_ABORTIFHUNG, 5000, &bits);
  return static_cast<LRESULT>(bits);
}

PROCESS_INFORMATION StartCompanion(HWND controller) {
  char command[160];
  std::snprintf(command, sizeof command, "zafrelctl64.exe --companion %llu --line-height 16",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(controller)));
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    pi = PROCESS_INFORMATION{};
  return pi;
}

int CountControllerWindows() {
  int count = 0;
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, kControllerClass, nullptr)) != nullptr;)
    ++count;
  return count;
}

}  // namespace

int main() {
  if (!WineStarted()) return 3;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ControllerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kControllerClass;
  RegisterClassA(&wc);
  HWND controller = CreateWindowA(kControllerClass, "FALSE 1 ZafrelXP", WS_OVERLAPPEDWINDOW, 0, 0,
                                  300, 200, nullptr, nullptr, wc.hInstance, nullptr);
  Check(controller != nullptr, "controller window created");

  PROCESS_INFORMATION pi = StartCompanion(controller);
  Check(pi.hProcess != nullptr, "zafrelctl64.exe --companion starts");
  if (pi.hProcess == nullptr) return Finish("wine companion test");
  HWND companion = nullptr;
  Check(PumpUntil([&] { return (companion = FindCompanion()) != nullptr; }, 60000),
        "the companion's window appears");
  if (companion == nullptr) return Finish("wine companion test");
  Check(PumpUntil([&] { return CompanionSlots(companion) == ((1 << 1) | (1 << 2) | (1 << 5)); },
                  10000),
        "it switched on the controller's slots 1, 2 and 5, not the journal's");
  Check(CountControllerWindows() == 1, "no second controller window");

  PROCESS_INFORMATION second = StartCompanion(controller);
  Check(second.hProcess != nullptr && WaitForSingleObject(second.hProcess, 30000) == WAIT_OBJECT_0,
        "a second companion ends at once");
  DWORD code = 0;
  if (second.hProcess != nullptr) GetExitCodeProcess(second.hProcess, &code);
  Check(code == 5, "a second companion exits with code 5");

  Check(SendMessageA(companion, kMsgCompanionSlot, 6, 1) == 1, "it follows slot 6 on");
  Check(SendMessageA(companion, kMsgCompanionSlot, 5, 0) == 1, "it follows slot 5 off");
  Check(SendMessageA(companion, kMsgCompanionSlot, 3, 1) == 0, "it refuses the playback slot");
  Check(SendMessageA(companion, kMsgCompanionSlot, 10, 1) == 0, "it refuses slot 10");
  Check(CompanionSlots(companion) == ((1 << 1) | (1 << 2) | (1 << 6)), "its slots are 1, 2, 6");

  // Gone without a word, as when the controller is killed.
  DestroyWindow(controller);
  Check(WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0,
        "with the controller window gone, the companion ends");
  code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  Check(code == 0, "and exits with code 0 after unhooking");
  for (HANDLE h : {pi.hProcess, pi.hThread, second.hProcess, second.hThread}) {
    if (h != nullptr) CloseHandle(h);
  }
  return Finish("wine companion test");
}
