// Which diagnostic hooks Wine runs, checked with the real DLL: the monitors (window procedure,
// mouse, system message filter, debug) and the journal (record, then play back). Each slot is
// switched on through InstallFilter, an event of its kind is caused, and the slot's status line
// is looked for where PaintHooksDll draws it; the journal is followed through the menu items the
// DLL updates and the keys that playback delivers.
//
// Wine 8 calls the window-procedure, mouse, system-message-filter and journal-record hooks, and
// those must work; it never calls WH_DEBUG or WH_JOURNALPLAYBACK hooks, which are reported only
// (the host tests cover them).
#include <windows.h>

#include "tests/wine/check.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

typedef int(WINAPI* InitFn)(HWND, int);
typedef int(WINAPI* InstallFn)(int, int, HWND, int);
typedef int(WINAPI* PaintFn)(HDC);

constexpr int kLineHeight = 16;
HWND g_status = nullptr;
HWND g_edit = nullptr;
PaintFn g_paint = nullptr;

void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

// Whether PaintHooksDll draws anything in a slot's row: its line is not empty.
bool LineDrawn(int slot) {
  HDC screen = GetDC(g_status);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 600, 10 * kLineHeight);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all = {0, 0, 600, 10 * kLineHeight};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  g_paint(dc);
  bool drawn = false;
  for (int y = slot * kLineHeight; y < (slot + 1) * kLineHeight && !drawn; ++y) {
    for (int x = 0; x < 600 && !drawn; ++x) drawn = GetPixel(dc, x, y) != RGB(255, 255, 255);
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(g_status, screen);
  return drawn;
}

void Key(WORD vk, bool down) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
  in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &in, sizeof in);
}

bool MenuChecked(UINT item) {
  return (GetMenuState(GetMenu(g_status), item, MF_BYCOMMAND) & MF_CHECKED) != 0;
}
bool MenuGreyed(UINT item) {
  return (GetMenuState(GetMenu(g_status), item, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

void Report(const char* hook, bool supported) {
  std::printf("WINE %s: %s\n", hook, supported ? "supported" : "not run");
}

// A hook Wine runs: its line must show up.
void Expect(const char* hook, bool supported) {
  Report(hook, supported);
  char what[96];
  std::snprintf(what, sizeof what, "%s runs and writes its status line", hook);
  Check(supported, what);
}

}  // namespace

int main() {
  if (!WineStarted()) return 3;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "ZafrelXP908@2005";
  RegisterClassA(&wc);
  HMENU bar = CreateMenu();
  HMENU hooks = CreatePopupMenu();
  AppendMenuA(hooks, MF_STRING | MF_GRAYED, 203, "Playback");
  AppendMenuA(hooks, MF_STRING, 204, "Record");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(hooks), "Hooks");
  g_status = CreateWindowA("ZafrelXP908@2005", "FALSE 1 ZafrelXP", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           0, 0, 640, 300, nullptr, bar, instance, nullptr);
  g_edit = CreateWindowA("Edit", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 180, 400, 24, g_status,
                         nullptr, instance, nullptr);
  Check(g_status != nullptr, "controller window created");
  SetForegroundWindow(g_status);
  SetFocus(g_edit);
  Pump(200);

  HMODULE dll = LoadLibraryA(kLibraryFile);
  Check(dll != nullptr, "the library loads beside the controller window");
  if (dll == nullptr) {
    std::printf("INFO LoadLibrary failed with error %lu\n", GetLastError());
    return Finish("wine diagnostics test");
  }
  InitFn init = LibraryExport<InitFn>(dll, "InitZafrelXPDll", 8);
  InstallFn install = LibraryExport<InstallFn>(dll, "InstallFilter", 16);
  g_paint = LibraryExport<PaintFn>(dll, "PaintHooksDll", 4);
  init(g_status, kLineHeight);

  // Window-procedure monitor: a message sent to our own window.
  Check(install(0, 1, g_status, 0) == 1, "slot 0 (WH_CALLWNDPROC) switches on");
  SendMessageA(g_status, WM_USER + 5, 0, 0);
  const bool callWndProc = LineDrawn(0);
  Expect("WH_CALLWNDPROC", callWndProc);
  install(0, 0, g_status, 0);

  // Mouse monitor: the pointer moves over our window.
  Check(install(6, 1, g_status, 0) == 1, "slot 6 (WH_MOUSE) switches on");
  SetCursorPos(200, 100);
  INPUT move = {};
  move.type = INPUT_MOUSE;
  move.mi.dx = 5;
  move.mi.dy = 5;
  move.mi.dwFlags = MOUSEEVENTF_MOVE;
  SendInput(1, &move, sizeof move);
  Pump(200);
  const bool mouse = LineDrawn(6);
  Expect("WH_MOUSE", mouse);
  install(6, 0, g_status, 0);

  // System-message-filter monitor: a menu loop, closed by an Escape already queued.
  Check(install(8, 1, g_status, 0) == 1, "slot 8 (WH_SYSMSGFILTER) switches on");
  HMENU popup = CreatePopupMenu();
  AppendMenuA(popup, MF_STRING, 1, "item");
  Key(VK_ESCAPE, true);
  Key(VK_ESCAPE, false);
  TrackPopupMenu(popup, TPM_RETURNCMD, 100, 100, 0, g_status, nullptr);
  DestroyMenu(popup);
  Pump(100);
  const bool sysMsgFilter = LineDrawn(8);
  Expect("WH_SYSMSGFILTER", sysMsgFilter);
  install(8, 0, g_status, 0);

  // Debug monitor: called before any other hook runs; the window-procedure hook gives it cause.
  Check(install(9, 1, g_status, 0) == 1, "slot 9 (WH_DEBUG) switches on");
  install(1, 1, g_status, 0);
  SetFocus(g_status);
  SetFocus(g_edit);
  SendMessageA(g_status, WM_USER + 6, 0, 0);
  Pump(100);
  const bool debug = LineDrawn(9);
  Report("WH_DEBUG", debug);
  install(9, 0, g_status, 0);
  install(1, 0, g_status, 0);

  // Journal: record two keys, stop with F2, play them back into the edit control.
  CheckMenuItem(GetMenu(g_status), 204, MF_CHECKED);
  Check(install(4, 1, g_status, 0) == 1, "slot 4 (WH_JOURNALRECORD) switches on");
  SetFocus(g_edit);
  for (WORD vk : {WORD{'Q'}, WORD{'W'}}) {
    Key(vk, true);
    Key(vk, false);
    Pump(50);
  }
  const bool recordDrawn = LineDrawn(4);
  Key(VK_F2, true);
  Key(VK_F2, false);
  Pump(200);
  const bool record = recordDrawn && !MenuChecked(204) && !MenuGreyed(203);
  Expect("WH_JOURNALRECORD", record);
  if (!record) install(4, 0, g_status, 0);

  SetWindowTextA(g_edit, "");
  Check(install(3, 1, g_status, 0) == 1, "slot 3 (WH_JOURNALPLAYBACK) switches on");
  Pump(1500);
  char text[32] = {};
  GetWindowTextA(g_edit, text, sizeof text);
  const bool playback = std::strstr(text, "qw") != nullptr && MenuGreyed(203);
  std::printf("INFO playback typed \"%s\"\n", text);
  Report("WH_JOURNALPLAYBACK", playback);
  install(3, 0, g_status, 0);

  FreeLibrary(dll);
  DestroyWindow(g_status);
  return Finish("wine diagnostics test");
}
