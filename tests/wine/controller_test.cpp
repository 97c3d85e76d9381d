// The reference controller as people use it, under Wine: its settings in the registry (restored,
// repaired when damaged, overridden by the command line, saved when changed from a menu), one
// controller per desktop, its icon in the notification area and the end of the session.
//
// Wine's notification area on an X display without a window manager is a small window of its
// own ("Wine System Tray") with one child window per icon, which draws the icon and passes the
// mouse on to its owner. So the icon is looked at on the screen (the key cap's fill colour) and
// clicked with injected mouse input, as a person would; kQueryIcon says the same from inside.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/wine/check.h"
#include "tests/wine/controller_query.h"
#include "tools/controller/protocol.h"
#include "tools/controller/resource_ids.h"
#include "tools/controller/settings.h"

namespace {

constexpr const char* kControllerFile = kProgram64 ? "zafrelctl64.exe" : "zafrelctl.exe";
constexpr DWORD kStartMs = 120000;  // under qemu emulation a start takes tens of seconds
constexpr DWORD kChangeMs = 20000;
constexpr LRESULT kTypingSlots = (1 << 1) | (1 << 2) | (1 << 5);

using Bytes = std::vector<BYTE>;

Bytes Dword(DWORD value) {
  return Bytes(reinterpret_cast<BYTE*>(&value), reinterpret_cast<BYTE*>(&value) + sizeof value);
}
Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text) + 1); }
Bytes Placement(RECT normal, UINT length = sizeof(WINDOWPLACEMENT)) {
  WINDOWPLACEMENT p = {};
  p.length = length;
  p.showCmd = SW_SHOWNORMAL;
  p.rcNormalPosition = normal;
  return Bytes(reinterpret_cast<BYTE*>(&p), reinterpret_cast<BYTE*>(&p) + sizeof p);
}

// --- The registry ----------------------------------------------------------------------------

// The value's bytes, and its type in *type; empty with type REG_NONE when it is missing.
Bytes Get(const char* key, const char* name, DWORD* type) {
  Bytes bytes(1024);
  DWORD size = static_cast<DWORD>(bytes.size());
  *type = REG_NONE;
  if (RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, type, bytes.data(),
                   &size) != ERROR_SUCCESS)
    size = 0;
  bytes.resize(size);
  return bytes;
}

void Put(const char* key, const char* name, DWORD type, const Bytes& bytes) {
  HKEY k = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr);
  RegSetValueExA(k, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
  RegCloseKey(k);
}

// No settings, no start at sign-in: as on a new account, and as the other tests expect.
void Forget() {
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
  HKEY run = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
    RegDeleteValueA(run, kRunValue);
    RegCloseKey(run);
  }
}

bool Holds(const char* key, const char* name, DWORD type, const Bytes& bytes) {
  DWORD got = REG_NONE;
  return Get(key, name, &got) == bytes && got == type;
}
bool Missing(const char* key, const char* name) {
  DWORD type = REG_NONE;
  Get(key, name, &type);
  return type == REG_NONE;
}
bool HoldsSetting(const char* name, DWORD type, const Bytes& bytes) {
  return Holds(kSettingsKey, name, type, bytes);
}

// The normal rectangle of a stored placement of the right type and size; empty otherwise.
RECT StoredNormalRect() {
  DWORD type = REG_NONE;
  const Bytes bytes = Get(kSettingsKey, kPlacementValue, &type);
  WINDOWPLACEMENT p = {};
  if (type == REG_BINARY && bytes.size() == sizeof p) std::memcpy(&p, bytes.data(), sizeof p);
  return p.rcNormalPosition;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// --- The controller process ------------------------------------------------------------------

std::string Folder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  *std::strrchr(path, '\\') = 0;
  return path;
}

// What the Run value must hold: this folder's controller, started behind its icon.
std::string RunCommand() {
  char command[MAX_PATH + 32];
  std::snprintf(command, sizeof command, "\"%s\\%s\" --tray", Folder().c_str(), kControllerFile);
  return command;
}

struct Controller {
  PROCESS_INFORMATION pi = {};
  HWND hwnd = nullptr;
};

PROCESS_INFORMATION Spawn(const char* arguments) {
  const std::string folder = Folder();
  char command[MAX_PATH + 128];
  std::snprintf(command, sizeof command, "\"%s\\%s\" %s", folder.c_str(), kControllerFile,
                arguments);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                      &pi))
    pi = PROCESS_INFORMATION{};
  return pi;
}

// Started: the window shows once the library is loaded, its slots switched and its icon shown.
Controller Start(const char* arguments) {
  Controller c;
  c.pi = Spawn(arguments);
  if (c.pi.hProcess == nullptr) return c;
  const bool ready = WaitFor(
      [&] {
        c.hwnd = WindowOf(c.pi.dwProcessId);
        return (c.hwnd != nullptr && IsWindowVisible(c.hwnd)) ||
               WaitForSingleObject(c.pi.hProcess, 0) == WAIT_OBJECT_0;
      },
      kStartMs);
  if (!ready || WaitForSingleObject(c.pi.hProcess, 0) == WAIT_OBJECT_0) c.hwnd = nullptr;
  return c;
}

std::string Title(HWND hwnd) {
  char title[64] = {};
  GetWindowTextA(hwnd, title, sizeof title);
  return title;
}

bool TitleStarts(HWND hwnd, const char* start) {
  return std::strncmp(Title(hwnd).c_str(), start, std::strlen(start)) == 0;
}

// Waits for the process to end; its exit code, or -1 when it did not end (the handles then stay
// open).
long long Ended(Controller* c, DWORD ms = kStartMs) {
  DWORD code = 0;
  const bool ended = c->pi.hProcess != nullptr &&
                     WaitForSingleObject(c->pi.hProcess, ms) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(c->pi.hProcess, &code);
  if (!ended) return -1;  // still there, for the caller to end
  for (HANDLE h : {c->pi.hProcess, c->pi.hThread}) {
    if (h != nullptr) CloseHandle(h);
  }
  c->pi = PROCESS_INFORMATION{};
  return code;
}

void Command(HWND hwnd, int id) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(hwnd, WM_COMMAND, id, 0, SMTO_ABORTIFHUNG, 10000, &result);
}

// --- Wine's notification area ----------------------------------------------------------------

HWND TrayWindow() { return FindWindowA("__winex11_standalone_tray", nullptr); }

int TrayIcons() {
  int count = 0;
  for (HWND w = nullptr; (w = FindWindowExA(TrayWindow(), w, "__winex11_tray_icon", nullptr));)
    ++count;
  return count;
}

HWND TrayIcon() { return FindWindowExA(TrayWindow(), nullptr, "__winex11_tray_icon", nullptr); }

// Pixels of the icon's key cap in this fill colour (0xRRGGBB), as the screen shows them.
int IconPixels(unsigned rgb) {
  RECT r;
  if (TrayIcon() == nullptr || !GetWindowRect(TrayIcon(), &r)) return 0;
  const COLORREF want = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  HDC screen = GetDC(nullptr);
  int count = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) count += GetPixel(screen, x, y) == want ? 1 : 0;
  }
  ReleaseDC(nullptr, screen);
  return count;
}

// The icon shows this key cap: many pixels of its colour and none of the other's.
bool IconLooks(unsigned rgb, unsigned other) {
  return WaitFor([&] { return IconPixels(rgb) >= 20 && IconPixels(other) == 0; }, kChangeMs);
}

void Click(int x, int y, bool right) {
  SetCursorPos(x, y);
  Sleep(100);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof in[0]);
  Sleep(600);  // two clicks in a row must not make a double click
}

// Wine's notification area is an ordinary window at the corner of the screen where the
// controller's window first shows; a taskbar stays on top and out of the windows' way. Raising
// the notification area is not enough: now and then the controller's window, shown and brought
// forward just before, went back on top of it between the look and the click (once its process
// caught up with the X server's events), and the click went to the window. So the window is also
// moved clear of the notification area, as it would be of a taskbar.
bool ClickIcon(HWND controller, bool right) {
  RECT tray = {}, window = {}, both = {};
  GetWindowRect(TrayWindow(), &tray);
  GetWindowRect(controller, &window);
  if (IntersectRect(&both, &tray, &window)) {
    SetWindowPos(controller, nullptr, window.left, tray.bottom + 8, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetWindowPos(TrayWindow(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RECT r = {};
  GetWindowRect(TrayIcon(), &r);
  const POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  if (!WaitFor([&] { return WindowFromPoint(centre) == TrayIcon(); }, kChangeMs)) return false;
  Click(centre.x, centre.y, right);
  return true;
}

// The icon's menu, open on the screen.
HWND OpenMenu() {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32768", nullptr)) != nullptr;) {
    if (IsWindowVisible(w)) return w;
  }
  return nullptr;
}

bool Visible(HWND hwnd, bool visible) {
  return WaitFor([&] { return (IsWindowVisible(hwnd) != 0) == visible; }, kChangeMs);
}

// --- The checks ------------------------------------------------------------------------------

RECT g_defaultRect = {};  // where the window first shows
bool g_icon = false;      // the notification area took the controller's icon

// Missing and damaged settings: each start finds one damaged value of every setting (none at all
// in start 0, as on a new account), and must use the defaults and write them back.
struct Damage {
  int start;
  const char* value;
  DWORD type;
  Bytes bytes;
  const char* what;
};

void MissingAndDamagedValues() {
  const RECT offScreen = {20000, 20000, 20640, 20400};
  const RECT tiny = {10, 10, 30, 30};
  const char* const other = "\"C:\\elsewhere\\zafrelctl.exe\" --tray";
  const Damage damages[] = {
      {1, kModeValue, REG_DWORD, Dword(1), "Mode of another type (REG_DWORD)"},
      {1, kFontValue, REG_SZ, Text("2"), "FontCode of another type (REG_SZ \"2\")"},
      {1, kDiagnosticSlotsValue, REG_DWORD, Bytes{0x40, 0}, "DiagnosticSlots of 2 bytes"},
      {1, kPlacementValue, REG_BINARY, Bytes(20, 0x11), "WindowPlacement of 20 bytes"},
      {1, kRunValue, REG_DWORD, Dword(1), "the Run value of another type (REG_DWORD)"},
      {1, kAllProgramsValue, REG_SZ, Text("1"), "AllPrograms of another type (REG_SZ \"1\")"},
      {2, kAllProgramsValue, REG_DWORD, Dword(2), "AllPrograms 2"},
      {2, kModeValue, REG_SZ, Text("MAYBE"), "Mode \"MAYBE\""},
      {2, kFontValue, REG_DWORD, Dword(7), "FontCode 7"},
      {2, kDiagnosticSlotsValue, REG_DWORD, Dword(kTypingSlots), "DiagnosticSlots of typing slots"},
      {2, kPlacementValue, REG_BINARY, Placement(offScreen), "WindowPlacement on no monitor"},
      {2, kRunValue, REG_SZ, Text(other), "the Run value naming another program"},
      {3, kModeValue, REG_SZ, Text("TRUESTRUESTRUES"), "Mode too long"},
      {3, kFontValue, REG_BINARY, Dword(2), "FontCode of another type (REG_BINARY)"},
      {3, kDiagnosticSlotsValue, REG_DWORD, Bytes(8, 0), "DiagnosticSlots of 8 bytes"},
      {3, kPlacementValue, REG_BINARY, Placement(tiny), "WindowPlacement 20 by 20 pixels"},
      {4, kPlacementValue, REG_BINARY, Placement({0, 0, 640, 400}, 12), "placement length 12"},
  };
  for (int start = 0; start <= 4; ++start) {
    Forget();
    bool run = false;
    for (const Damage& d : damages) {
      if (d.start != start) continue;
      const bool isRun = std::strcmp(d.value, kRunValue) == 0;
      Put(isRun ? kRunKey : kSettingsKey, d.value, d.type, d.bytes);
      run = run || isRun;
      std::printf("INFO start %d with %s\n", start, d.what);
    }
    Controller c = Start("");
    Check(c.hwnd != nullptr, start == 0 ? "the controller starts with no settings"
                                        : "the controller starts with damaged settings");
    if (c.hwnd == nullptr) continue;
    if (start == 0) GetWindowRect(c.hwnd, &g_defaultRect);
    Check(TitleStarts(c.hwnd, "FALSE 1 ZafrelXP"), "  it uses mode FALSE and font code 1");
    CheckEqual(Query(c.hwnd, kQuerySlots), kTypingSlots, "  and only the typing slots 1, 2, 5");
    RECT now = {};
    GetWindowRect(c.hwnd, &now);
    Check(SameRect(now, g_defaultRect), "  and the window's first place");
    Check(HoldsSetting(kModeValue, REG_SZ, Text("FALSE")), "  Mode written: \"FALSE\"");
    Check(HoldsSetting(kFontValue, REG_DWORD, Dword(1)), "  FontCode written: 1");
    Check(HoldsSetting(kDiagnosticSlotsValue, REG_DWORD, Dword(0)), "  DiagnosticSlots written: 0");
    Check(HoldsSetting(kAllProgramsValue, REG_DWORD, Dword(0)), "  AllPrograms written: 0");
    CheckEqual(Query(c.hwnd, kQueryAllPrograms), 0, "  each program keeps its own switch");
    Check(SameRect(StoredNormalRect(), g_defaultRect),
          "  WindowPlacement written: the first place");
    Check(run ? Holds(kRunKey, kRunValue, REG_SZ, Text(RunCommand().c_str()))
              : Missing(kRunKey, kRunValue),
          run ? "  the Run value rewritten to start this controller" : "  no Run value written");
    CheckEqual(Query(c.hwnd, kQueryStartAtSignIn), run ? 1 : 0, "  it says whether it starts");
    PostMessageA(c.hwnd, WM_COMMAND, kCmdExit, 0);
    CheckEqual(Ended(&c), kExitDone, "  Exit ends it (code 0)");
  }
}

// The icon follows the library's notifications, a click shows and hides the window, a second
// start brings the first one forward, and Exit from the icon's menu ends it.
void IconAndWindow() {
  Forget();
  Controller c = Start("");
  Check(c.hwnd != nullptr, "the controller starts");
  if (c.hwnd == nullptr) return;
  // Under qemu emulation Wine's desktop process (explorer.exe, which holds the notification
  // area) does not survive its start: there is no icon, and closing the window ends it.
  g_icon = Query(c.hwnd, kQueryIcon) != kIconNone;
  const bool wineTray = g_icon && TrayWindow() != nullptr;
  std::printf("INFO notification area: %s\n",
              wineTray ? "Wine's own window (no window manager), icon checked on the screen"
              : g_icon ? "not Wine's own window, icon checked through kQueryIcon only"
                       : "none (no Shell_TrayWnd), the controller does without");
  if (wineTray) CheckEqual(TrayIcons(), 1, "one icon in the notification area");

  // The library's notifications, sent as the library sends them.
  struct Notification {
    UINT message;
    WPARAM wParam;
    int icon;
    const char* title;
    const char* what;
  };
  const Notification notifications[] = {
      {0, 0, kIconOff, "FALSE 1 ZafrelXP", "at start the icon is grey (off)"},
      {kMsgOn, 0, kIconOn, "FALSE 1 ZafrelXP - Farsi on", "Farsi typing on: the icon turns green"},
      {kMsgOn, 1, kIconOn, "FALSE 1 ZafrelXP - Farsi on", "a skipped key changes nothing"},
      {kMsgOff, 0, kIconOff, "FALSE 1 ZafrelXP", "Farsi typing off: the icon turns grey"},
      {kMsgOn, 0, kIconOn, "FALSE 1 ZafrelXP - Farsi on", "and green again"},
  };
  for (const Notification& n : notifications) {
    if (n.message != 0) SendNotifyMessageA(c.hwnd, n.message, n.wParam, n.wParam);
    const int icon = g_icon ? n.icon : kIconNone;
    Check(WaitFor([&] { return Query(c.hwnd, kQueryIcon) == icon && Title(c.hwnd) == n.title; },
                  kChangeMs),
          n.what);
    if (wineTray) {
      const bool on = n.icon == kIconOn;
      Check(IconLooks(on ? ZAFREL_ICON_ON_RGB : ZAFREL_ICON_OFF_RGB,
                      on ? ZAFREL_ICON_OFF_RGB : ZAFREL_ICON_ON_RGB),
            on ? "  the screen shows the green key cap" : "  the screen shows the grey key cap");
    }
  }

  if (wineTray) {
    Check(ClickIcon(c.hwnd, false) && Visible(c.hwnd, false),
          "a click on the icon hides the window");
    Check(ClickIcon(c.hwnd, false) && Visible(c.hwnd, true), "another click shows it again");
  }
  if (g_icon) {
    PostMessageA(c.hwnd, WM_CLOSE, 0, 0);
    Check(Visible(c.hwnd, false), "closing the window hides it");
    Check(WaitForSingleObject(c.pi.hProcess, 0) == WAIT_TIMEOUT, "and the controller runs on");
  }

  Controller second;
  second.pi = Spawn("--mode TRUES --font 3");
  CheckEqual(Ended(&second), kExitAlreadyRunning, "a second start exits with kExitAlreadyRunning");
  Check(Visible(c.hwnd, true), "and the first one's window shows");
  Check(WaitFor([&] { return GetForegroundWindow() == c.hwnd; }, kChangeMs), "and comes forward");
  Check(TitleStarts(c.hwnd, "FALSE 1"), "the second start's options change nothing");

  if (wineTray) {
    HWND menu = nullptr;
    const bool clicked = ClickIcon(c.hwnd, true);
    Check(clicked, "the icon can be clicked");
    Check(clicked && WaitFor([&] { return (menu = OpenMenu()) != nullptr; }, kChangeMs),
          "a right click on the icon opens its menu");
    RECT r = {};
    GetWindowRect(menu, &r);
    Click(r.left + 30, r.bottom - 10, false);  // its last item, Exit
  } else {
    // Without an icon to come back from, closing the window is the end.
    PostMessageA(c.hwnd, g_icon ? WM_COMMAND : WM_CLOSE, kCmdExit, 0);
  }
  const long long code = Ended(&c, kChangeMs);
  CheckEqual(code, kExitDone,
             wineTray ? "Exit from the icon's menu ends the controller (code 0)"
             : g_icon ? "Exit ends the controller (code 0)"
                      : "closing the window ends the controller (code 0)");
  if (wineTray) Check(WaitFor([] { return TrayIcons() == 0; }, kChangeMs), "and its icon goes");
  if (code == -1) TerminateProcess(c.pi.hProcess, 1);  // the next starts need it gone
}

// Good values are used as they are, and what the person changes is written.
void RoundTrip() {
  Forget();
  const RECT place = {120, 90, 120 + 700, 90 + (g_defaultRect.bottom - g_defaultRect.top) + 40};
  const DWORD diagnostics = (1 << 8) | (1 << 9);
  Put(kSettingsKey, kModeValue, REG_SZ, Text("TRUES"));
  Put(kSettingsKey, kFontValue, REG_DWORD, Dword(3));
  Put(kSettingsKey, kDiagnosticSlotsValue, REG_DWORD, Dword(diagnostics));
  Put(kSettingsKey, kPlacementValue, REG_BINARY, Placement(place));
  Controller c = Start("");
  Check(c.hwnd != nullptr, "the controller starts with kept settings");
  if (c.hwnd == nullptr) return;
  Check(TitleStarts(c.hwnd, "TRUES 3 ZafrelXP"), "it uses the kept mode TRUES and font code 3");
  CheckEqual(Query(c.hwnd, kQuerySlots), kTypingSlots | diagnostics,
             "the typing slots and the kept diagnostic slots 8, 9");
  RECT now = {};
  GetWindowRect(c.hwnd, &now);
  Check(SameRect(now, place), "the window in its kept place");
  Check(HoldsSetting(kModeValue, REG_SZ, Text("TRUES")) &&
            HoldsSetting(kFontValue, REG_DWORD, Dword(3)) &&
            HoldsSetting(kDiagnosticSlotsValue, REG_DWORD, Dword(diagnostics)) &&
            HoldsSetting(kPlacementValue, REG_BINARY, Placement(place)),
        "good values are left as they were");

  struct Change {
    int command;
    const char* value;
    Bytes bytes;
    const char* what;
  };
  const Change changes[] = {
      {kCmdFont0 + 4, kFontValue, Dword(4), "font code 4 chosen: FontCode 4"},
      {kCmdModeFalse, kModeValue, Text("FALSE"), "mode FALSE chosen: Mode \"FALSE\""},
      {kCmdSlot0 + 8, kDiagnosticSlotsValue, Dword(1 << 9), "slot 8 off: DiagnosticSlots 0x200"},
      {kCmdSlot0 + 1, kDiagnosticSlotsValue, Dword(1 << 9), "a typing slot off is not kept"},
      {kCmdSlot0 + 1, kDiagnosticSlotsValue, Dword(1 << 9), "nor on again"},
      {kCmdFont0 + 7, kFontValue, Dword(4), "font code 7 (no font of its own) is not kept"},
      {kCmdAllPrograms, kAllProgramsValue, Dword(1), "one switch for all programs: AllPrograms 1"},
      {kCmdAllPrograms, kAllProgramsValue, Dword(0), "one switch per program: AllPrograms 0"},
  };
  for (const Change& change : changes) {
    Command(c.hwnd, change.command);
    const DWORD type = std::strcmp(change.value, kModeValue) == 0 ? REG_SZ : REG_DWORD;
    Check(HoldsSetting(change.value, type, change.bytes), change.what);
  }
  Check(TitleStarts(c.hwnd, "FALSE 7"), "font code 7 still goes into the title");
  Command(c.hwnd, kCmdFont0 + 4);

  Command(c.hwnd, kCmdStartAtSignIn);
  Check(Holds(kRunKey, kRunValue, REG_SZ, Text(RunCommand().c_str())),
        "start at sign-in on: the Run value starts this controller behind its icon");
  CheckEqual(Query(c.hwnd, kQueryStartAtSignIn), 1, "it says so");
  Command(c.hwnd, kCmdStartAtSignIn);
  Check(Missing(kRunKey, kRunValue), "start at sign-in off: the Run value is gone");
  CheckEqual(Query(c.hwnd, kQueryStartAtSignIn), 0, "it says so");

  const RECT moved = {200, 150, 200 + 660, 150 + (place.bottom - place.top)};
  SetWindowPos(c.hwnd, nullptr, moved.left, moved.top, moved.right - moved.left,
               moved.bottom - moved.top, SWP_NOZORDER | SWP_NOACTIVATE);
  PostMessageA(c.hwnd, WM_CLOSE, 0, 0);
  if (g_icon) {
    Check(Visible(c.hwnd, false), "closing the window hides it");
    Check(SameRect(StoredNormalRect(), moved), "and keeps its new place");
    PostMessageA(c.hwnd, WM_COMMAND, kCmdExit, 0);
  }
  CheckEqual(Ended(&c), kExitDone,
             g_icon ? "Exit ends it (code 0)" : "closing it ends it (code 0)");
  Check(SameRect(StoredNormalRect(), moved), "its new place is kept");
}

// The command line wins for its run and is not written; the end of the session ends everything.
void OverridesAndSessionEnd() {
  Forget();
  Put(kSettingsKey, kModeValue, REG_SZ, Text("FALSE"));
  Put(kSettingsKey, kFontValue, REG_DWORD, Dword(3));
  Put(kSettingsKey, kDiagnosticSlotsValue, REG_DWORD, Dword(1 << 9));
  Controller c = Start("--mode TRUES --font 0 --slots 1,2,5,6");
  Check(c.hwnd != nullptr, "the controller starts with --mode, --font and --slots");
  if (c.hwnd == nullptr) return;
  Check(TitleStarts(c.hwnd, "TRUES 0 ZafrelXP"), "the options' mode TRUES and font code 0 hold");
  CheckEqual(Query(c.hwnd, kQuerySlots), kTypingSlots | (1 << 6), "--slots 1,2,5,6 replaces all");
  Check(HoldsSetting(kModeValue, REG_SZ, Text("FALSE")) &&
            HoldsSetting(kFontValue, REG_DWORD, Dword(3)) &&
            HoldsSetting(kDiagnosticSlotsValue, REG_DWORD, Dword(1 << 9)),
        "the options are not written");
  Command(c.hwnd, kCmdFont0 + 2);
  Check(HoldsSetting(kFontValue, REG_DWORD, Dword(2)) &&
            HoldsSetting(kModeValue, REG_SZ, Text("FALSE")),
        "a font chosen then is written, the mode from the option still not");

  // A companion beside it, as the 32-bit controller starts on 64-bit Windows.
  PROCESS_INFORMATION companion = {};
  if (kProgram64) {
    char arguments[64];
    std::snprintf(arguments, sizeof arguments, "--companion %llu --line-height 16",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(c.hwnd)));
    companion = Spawn(arguments);
    HWND window = nullptr;
    Check(WaitFor(
              [&] {
                window = FindWindowExA(HWND_MESSAGE, nullptr, kCompanionClass, nullptr);
                return window != nullptr && Query(window, kQuerySlots) == (kTypingSlots | 1 << 6);
              },
              kStartMs),
          "a companion follows its slots");
  }

  DWORD_PTR answer = 0;
  SendMessageTimeoutA(c.hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000,
                      &answer);
  CheckEqual(static_cast<long long>(answer), TRUE, "it lets the session end");
  SendMessageTimeoutA(c.hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000,
                      &answer);
  CheckEqual(Ended(&c), kExitDone, "at the end of the session it ends (code 0)");
  if (TrayWindow() != nullptr) {
    Check(WaitFor([] { return TrayIcons() == 0; }, kChangeMs), "and takes its icon away");
  }
  if (kProgram64) {
    Controller ended;
    ended.pi = companion;
    CheckEqual(Ended(&ended), kExitDone, "and ends the companion, which unhooks first (code 0)");
  }
}

// --exit, as the installer runs it before it replaces or removes the files.
void ExitOption() {
  Controller none;
  none.pi = Spawn("--exit");
  CheckEqual(Ended(&none), kExitDone, "--exit with no controller running has nothing to do (0)");
  Controller c = Start("--mode FALSE --font 1");
  Check(c.hwnd != nullptr, "a controller starts");
  if (c.hwnd == nullptr) return;
  Controller exit;
  exit.pi = Spawn("--exit");
  CheckEqual(Ended(&exit), kExitDone, "--exit ends the running controller (code 0)");
  const long long code = Ended(&c, 0);
  CheckEqual(code, kExitDone, "which has ended, as Exit ends it, when --exit returns (code 0)");
  if (code == -1) TerminateProcess(c.pi.hProcess, 1);
}

}  // namespace

int main() {
  if (!WineStarted()) return 3;
  const DWORD started = GetTickCount();
  // ZAFREL_ICON_LOOPS=N repeats only the icon's checks N times: their races with Wine's desktop
  // show on a loaded machine, one run in several.
  if (const char* loops = std::getenv("ZAFREL_ICON_LOOPS")) {
    for (int i = 0; i < std::atoi(loops); ++i) IconAndWindow();
    return Finish("icon loops");
  }
  MissingAndDamagedValues();
  IconAndWindow();
  RoundTrip();
  OverridesAndSessionEnd();
  ExitOption();
  Forget();  // the end-to-end tests start the controller in this prefix after us
  std::printf("INFO %lu ms\n", GetTickCount() - started);
  return Finish("wine controller test");
}
