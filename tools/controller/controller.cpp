// zafrelctl: the reference controller program for ZafrelXP.dll. It owns the window of class
// "ZafrelXP908@2005" whose title carries the typing mode (characters 1-5) and the font code
// (character 7), loads the library after that window exists, switches the hook slots, shows
// whether Farsi typing is on, and paints the library's status lines.
//
//   zafrelctl [--mode TRUES|FALSE] [--font C] [--slots 1,2,5]
//   zafrelctl64 --companion HWND --line-height N     (started by the 32-bit controller)
//
// On 64-bit Windows the 32-bit controller starts zafrelctl64.exe beside it as its companion, so
// that 64-bit programs get Farsi typing from ZafrelXP64.dll too; zafrelctl64.exe also runs alone,
// as the controller of a 64-bit-only desktop.
//
// Menu commands (also sent by test programs as WM_COMMAND):
//   kCmdModeTrue/kCmdModeFalse, kCmdFont0 + digit, kCmdSlot0 + slot; 203 playback; 204 record.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/controller/protocol.h"
#include "tools/winprog.h"

namespace {

typedef int(WINAPI* InitFn)(HWND, int);
typedef int(WINAPI* InstallFn)(int, int, HWND, int);
typedef int(WINAPI* PaintFn)(HDC);

struct Controller {
  HWND hwnd = nullptr;
  HMODULE dll = nullptr;
  InitFn init = nullptr;
  InstallFn install = nullptr;
  PaintFn paint = nullptr;
  char mode[6] = "FALSE";
  char font = '1';
  bool slotOn[10] = {};
  int lineHeight = 16;
  // What the library told us.
  LONG notifications[4] = {};  // by kQueryOn, kQueryOff, kQueryKeySkipped
  int last = 0;                // kLastNone, kLastOn, kLastOff
};

Controller g;

void UpdateTitle() {
  char title[64];
  std::snprintf(title, sizeof title, "%s %c ZafrelXP%s", g.mode, g.font,
                g.last == kLastOn ? " - Farsi on" : "");
  SetWindowTextA(g.hwnd, title);
}

void CheckMenus() {
  HMENU menu = GetMenu(g.hwnd);
  CheckMenuItem(menu, kCmdModeTrue, std::strcmp(g.mode, "TRUES") == 0 ? MF_CHECKED : MF_UNCHECKED);
  CheckMenuItem(menu, kCmdModeFalse, std::strcmp(g.mode, "FALSE") == 0 ? MF_CHECKED : MF_UNCHECKED);
  for (int digit = 0; digit <= 4; ++digit) {
    CheckMenuItem(menu, kCmdFont0 + digit, g.font == '0' + digit ? MF_CHECKED : MF_UNCHECKED);
  }
  for (int slot = 0; slot < 10; ++slot) {
    if (slot == 3 || slot == 4) continue;
    CheckMenuItem(menu, kCmdSlot0 + slot, g.slotOn[slot] ? MF_CHECKED : MF_UNCHECKED);
  }
}

HWND Companion() { return FindWindowExA(HWND_MESSAGE, nullptr, kCompanionClass, nullptr); }

void SwitchSlot(int slot, bool on) {
  if (g.install == nullptr) return;
  if (g.install(slot, on ? 1 : 0, g.hwnd, 0) == 1) g.slotOn[slot] = on;
  // The companion, if there is one, switches the same slot in the 64-bit DLL.
  HWND companion = Companion();
  if (companion != nullptr && CompanionFollows(slot)) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(companion, kMsgCompanionSlot, slot, on ? 1 : 0, SMTO_ABORTIFHUNG, 2000,
                        &result);
  }
  CheckMenus();
}

// On 64-bit Windows a 32-bit controller reaches only 32-bit programs: zafrelctl64.exe, from the
// same folder, serves the 64-bit ones.
void StartCompanion() {
  BOOL wow64 = FALSE;
  if (kProgram64 || !IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return;
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  char* slash = std::strrchr(path, '\\');
  if (length == 0 || length >= sizeof path || slash == nullptr) return;
  char command[MAX_PATH + 96];
  std::snprintf(command, sizeof command,
                "\"%.*s\\zafrelctl64.exe\" --companion %llu --line-height %d",
                static_cast<int>(slash - path), path,
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(g.hwnd)), g.lineHeight);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
}

HMENU BuildMenu() {
  HMENU mode = CreatePopupMenu();
  AppendMenuA(mode, MF_STRING, kCmdModeTrue, "&TRUE (sent route allowed)");
  AppendMenuA(mode, MF_STRING, kCmdModeFalse, "&FALSE (posted route)");
  HMENU font = CreatePopupMenu();
  const char* const fonts[] = {"Font code &0", "Font code &1 (default)", "Font code &2",
                               "Font code &3", "Font code &4"};
  for (int digit = 0; digit <= 4; ++digit)
    AppendMenuA(font, MF_STRING, kCmdFont0 + digit, fonts[digit]);
  HMENU hooks = CreatePopupMenu();
  const char* const slots[] = {"&0 Window procedures",
                               "&1 Focus (CBT)",
                               "&2 Key pre-filter",
                               "",
                               "",
                               "&5 Keyboard",
                               "&6 Mouse",
                               "",
                               "&8 System message filter",
                               "&9 Debug"};
  for (int slot = 0; slot < 10; ++slot) {
    if (slots[slot][0] != 0) AppendMenuA(hooks, MF_STRING, kCmdSlot0 + slot, slots[slot]);
  }
  AppendMenuA(hooks, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(hooks, MF_STRING | MF_GRAYED, kCmdPlayback, "&Playback");
  AppendMenuA(hooks, MF_STRING, kCmdRecord, "&Record (F2 stops)");
  HMENU bar = CreateMenu();
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(mode), "&Mode");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(font), "&Font");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(hooks), "&Hooks");
  return bar;
}

void Command(int id) {
  if (id == kCmdModeTrue || id == kCmdModeFalse) {
    std::strcpy(g.mode, id == kCmdModeTrue ? "TRUES" : "FALSE");
  } else if (id >= kCmdFont0 && id <= kCmdFont0 + 9) {
    g.font = static_cast<char>('0' + id - kCmdFont0);
  } else if (id >= kCmdSlot0 && id < kCmdSlot0 + 10) {
    const int slot = id - kCmdSlot0;
    SwitchSlot(slot, !g.slotOn[slot]);
  } else if (id == kCmdPlayback) {
    // The library greys the item again when the playback ends.
    if (g.install && g.install(3, 1, g.hwnd, 0) == 1) {
      CheckMenuItem(GetMenu(g.hwnd), kCmdPlayback, MF_CHECKED);
    }
  } else if (id == kCmdRecord) {
    // F2 stops the recording; the library then unchecks this item and enables playback.
    if (g.install && g.install(4, 1, g.hwnd, 0) == 1) {
      CheckMenuItem(GetMenu(g.hwnd), kCmdRecord, MF_CHECKED);
      EnableMenuItem(GetMenu(g.hwnd), kCmdPlayback, MF_GRAYED);
    }
  }
  UpdateTitle();
  CheckMenus();
  InvalidateRect(g.hwnd, nullptr, TRUE);
}

void Paint() {
  PAINTSTRUCT ps;
  HDC hdc = BeginPaint(g.hwnd, &ps);
  if (g.paint) g.paint(hdc);
  char line[96];
  std::snprintf(line, sizeof line, "Farsi typing: %s   (Scroll Lock switches it)",
                g.last == kLastOn    ? "on"
                : g.last == kLastOff ? "off"
                                     : "not yet switched");
  TextOutA(hdc, 1, 11 * g.lineHeight, line, static_cast<int>(std::strlen(line)));
  std::snprintf(line, sizeof line, "Active: %s%s", kLibraryFile,
                Companion() != nullptr ? ", ZafrelXP64.dll (64-bit companion)" : "");
  TextOutA(hdc, 1, 12 * g.lineHeight, line, static_cast<int>(std::strlen(line)));
  EndPaint(g.hwnd, &ps);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kMsgOn:
      ++g.notifications[wParam == 1 ? kQueryKeySkipped : kQueryOn];
      if (wParam == 0) g.last = kLastOn;
      UpdateTitle();
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case kMsgOff:
      ++g.notifications[kQueryOff];
      g.last = kLastOff;
      UpdateTitle();
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case kMsgQuery:
      if (wParam == kQueryLast) return g.last;
      if (wParam == kQuerySlots) {
        LRESULT bits = 0;
        for (int slot = 0; slot < 10; ++slot) bits |= g.slotOn[slot] ? 1 << slot : 0;
        return bits;
      }
      return wParam < 4 ? g.notifications[wParam] : -1;
    case WM_COMMAND:
      Command(LOWORD(wParam));
      return 0;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_DESTROY:
      // Every slot off, the journal's too (they may have switched themselves off already).
      for (int slot = 0; slot < 10; ++slot) {
        if (g.install != nullptr && slot != 7) g.install(slot, 0, g.hwnd, 0);
      }
      // The companion would notice the window gone within a second; it is told at once.
      if (HWND companion = Companion()) PostMessageA(companion, WM_CLOSE, 0, 0);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

// --- The companion: ZafrelXP64.dll's hooks, switched as the controller's are ---------------

struct CompanionState {
  HWND controller = nullptr;
  InstallFn install = nullptr;
  bool slotOn[10] = {};
};
CompanionState c;

constexpr UINT_PTR kWatchTimer = 1;

LRESULT CALLBACK CompanionProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kMsgCompanionSlot: {
      const int slot = static_cast<int>(wParam);
      if (slot < 0 || slot >= 10 || !CompanionFollows(slot)) return 0;
      if (c.install(slot, lParam != 0 ? 1 : 0, c.controller, 0) != 1) return 0;
      c.slotOn[slot] = lParam != 0;
      return 1;
    }
    case kMsgQuery: {
      if (wParam != kQuerySlots) return -1;
      LRESULT bits = 0;
      for (int slot = 0; slot < 10; ++slot) bits |= c.slotOn[slot] ? 1 << slot : 0;
      return bits;
    }
    case WM_TIMER:
      // A controller that was killed never says goodbye: its window simply disappears.
      if (wParam == kWatchTimer && !IsWindow(c.controller)) DestroyWindow(hwnd);
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      for (int slot = 0; slot < 10; ++slot) {
        if (c.slotOn[slot]) c.install(slot, 0, c.controller, 0);
      }
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

int RunCompanion(HINSTANCE instance, HWND controller, int lineHeight) {
  // Only beside a controller, and only one companion per desktop.
  if (!IsWindow(controller) || Companion() != nullptr) return 5;
  c.controller = controller;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = CompanionProc;
  wc.hInstance = instance;
  wc.lpszClassName = kCompanionClass;
  RegisterClassA(&wc);
  HWND hwnd =
      CreateWindowA(kCompanionClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (hwnd == nullptr) return 2;
  // The controller's window exists, so the library loads; its status lines go to that window.
  HMODULE dll = LoadLibraryA(kLibraryFile);
  if (dll == nullptr) return 3;
  auto init = LibraryExport<InitFn>(dll, "InitZafrelXPDll", 8);
  c.install = LibraryExport<InstallFn>(dll, "InstallFilter", 16);
  if (!init || !c.install) return 4;
  init(controller, lineHeight);
  DWORD_PTR bits = 0;
  SendMessageTimeoutA(controller, kMsgQuery, kQuerySlots, 0, SMTO_ABORTIFHUNG, 5000, &bits);
  for (int slot = 0; slot < 10; ++slot) {
    if ((bits & (DWORD_PTR{1} << slot)) != 0) CompanionProc(hwnd, kMsgCompanionSlot, slot, 1);
  }
  SetTimer(hwnd, kWatchTimer, 500, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  FreeLibrary(dll);
  return 0;
}

void ParseArguments(int* slots, int* slotCount) {
  *slotCount = 0;
  bool slotsGiven = false;
  for (int i = 1; i + 1 < __argc; i += 2) {
    const char* option = __argv[i];
    const char* value = __argv[i + 1];
    if (std::strcmp(option, "--mode") == 0) {
      std::strcpy(g.mode, std::strcmp(value, "TRUES") == 0 ? "TRUES" : "FALSE");
    } else if (std::strcmp(option, "--font") == 0) {
      g.font = value[0];
    } else if (std::strcmp(option, "--slots") == 0) {
      slotsGiven = true;
      for (const char* p = value; *p && *slotCount < 10; ++p) {
        if (*p >= '0' && *p <= '9') slots[(*slotCount)++] = *p - '0';
      }
    }
  }
  if (!slotsGiven) {  // the typing slots: focus, key pre-filter, keyboard
    slots[0] = 1;
    slots[1] = 2;
    slots[2] = 5;
    *slotCount = 3;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  if (__argc >= 3 && std::strcmp(__argv[1], "--companion") == 0) {
    const HWND controller =
        reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(__argv[2], nullptr, 10)));
    const int lineHeight =
        __argc >= 5 && std::strcmp(__argv[3], "--line-height") == 0 ? std::atoi(__argv[4]) : 16;
    return RunCompanion(instance, controller, lineHeight);
  }
  int slots[10];
  int slotCount = 0;
  ParseArguments(slots, &slotCount);

  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kControllerClass;
  RegisterClassA(&wc);
  // The window must exist before the library is loaded: the library refuses to load without it.
  g.hwnd = CreateWindowA(kControllerClass, "FALSE 1 ZafrelXP", WS_OVERLAPPEDWINDOW, 0, 0, 640, 280,
                         nullptr, BuildMenu(), instance, nullptr);
  if (g.hwnd == nullptr) return 2;
  UpdateTitle();

  HDC hdc = GetDC(g.hwnd);
  TEXTMETRICA tm;
  if (GetTextMetricsA(hdc, &tm)) g.lineHeight = tm.tmHeight;
  ReleaseDC(g.hwnd, hdc);

  g.dll = LoadLibraryA(kLibraryFile);
  if (g.dll == nullptr) {
    char text[64];
    std::snprintf(text, sizeof text, "%s could not be loaded.", kLibraryFile);
    MessageBoxA(g.hwnd, text, "zafrelctl", MB_OK | MB_ICONERROR);
    return 3;
  }
  g.init = LibraryExport<InitFn>(g.dll, "InitZafrelXPDll", 8);
  g.install = LibraryExport<InstallFn>(g.dll, "InstallFilter", 16);
  g.paint = LibraryExport<PaintFn>(g.dll, "PaintHooksDll", 4);
  if (!g.init || !g.install || !g.paint) return 4;
  g.init(g.hwnd, g.lineHeight);
  for (int i = 0; i < slotCount; ++i) SwitchSlot(slots[i], true);
  CheckMenus();
  StartCompanion();  // it takes the slots switched on so far from this window

  // Shown without taking the activation: the program being typed into keeps the keyboard.
  ShowWindow(g.hwnd, show == SW_SHOWDEFAULT ? SW_SHOWNOACTIVATE : show);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  FreeLibrary(g.dll);
  return 0;
}
