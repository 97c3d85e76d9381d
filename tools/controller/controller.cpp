// zafrelctl: the reference controller program for ZafrelXP.dll. It owns the window of class
// "ZafrelXP908@2005" whose title carries the typing mode (characters 1-5) and the font code
// (character 7), loads the library after that window exists, switches the hook slots, shows
// whether Farsi typing is on in the program in front (in its window and with its icon in the
// notification area; each program has its own switch, see farsi_states.h), and paints the
// library's status lines. With "Switch Farsi typing in all programs at once" (the Mode menu, kept
// as AllPrograms) a program that comes to the front is brought to the person's last switch.
//
//   zafrelctl [--mode TRUES|FALSE] [--font 0-4] [--slots 1,2,5] [--tray] [--hooks-first 32|64]
//   zafrelctl64 --companion HWND [--line-height N]   (started by the 32-bit controller)
//   zafrelctl --exit [FOLDER]                         (ends the running controller)
//
// The mode, the font code, the diagnostic slots that were on and the window's place are kept in
// the registry (settings.h has the layout) and restored at start. --mode, --font and --slots hold
// for this run only: they are not written back, though a setting the person then changes from a
// menu is. --slots names every slot to switch on, from those of the Hooks menu; without it the
// typing slots 1, 2 and 5 and the kept diagnostic slots are. --tray starts with the window hidden
// behind the icon, as the Run value for starting at sign-in does. --hooks-first keeps one half's
// hooks at the head of the chains whatever the foreground (see halves.h), to measure what the
// other half then sees. A command line with a fault is refused before anything starts
// (command_line.h has what each option takes), with kExitBadCommandLine (8).
//
// One controller per desktop: a second start (of either bitness) brings the first one's window
// forward and exits with kExitAlreadyRunning. The companion is not counted. --exit ends the
// running one as its Exit command does, so that the installer can replace or remove the files:
// the library stays mapped into every program with a window while the hooks are set.
//
// The window: closing it hides it behind the icon (or ends the controller when the notification
// area took no icon); a left click on the icon shows or hides it; the icon's menu has the mode,
// the font, the clipboard command, the diagnostics, starting at sign-in and Exit. Exit, the end
// of the session (WM_ENDSESSION) and the window's destruction all end the same way: every slot
// switched off in both libraries, the companion ended, the icon taken away.
//
// On 64-bit Windows the 32-bit controller starts zafrelctl64.exe beside it as its companion, so
// that 64-bit programs get Farsi typing from ZafrelXP64.dll too; zafrelctl64.exe also runs alone,
// as the controller of a 64-bit-only desktop.
//
// Menu commands (also sent by test programs as WM_COMMAND):
//   kCmdModeTrue/kCmdModeFalse, kCmdAllPrograms, kCmdFont0 + digit, kCmdSlot0 + slot; 203
//   playback; 204 record;
//   205 (Edit > Type clipboard as Farsi, and the hot key Ctrl+Shift+Insert) types the clipboard's
//   Unicode text as the keys of the Persian layout, which the library shapes as if typed;
//   kCmdShowHide, kCmdStartAtSignIn, kCmdExit.
//
// Typing the clipboard, step by step (a timer drives it, so the window keeps answering):
//   1. The text is read at once and turned into keys: a letter (Arabic yeh, alef maksura and kaf
//      folded to Farsi yeh and keheh) into its key, a space into Space, a line break (CR LF, LF
//      or CR) into Return. Any other character, ZWNJ among them, has no key: the status line
//      lists them with their positions (from 1, in UTF-16 units, as an edit control counts) and
//      nothing is typed. Nor for an empty or non-text clipboard. Text with line breaks waits for
//      a yes in a message box that says how many lines it has and where they break: each break
//      is typed as Enter, which in a chat or a form sends or submits.
//   2. Chosen from a menu, the command finds the controller in the foreground: the window that
//      was in the foreground before (polled every 200 ms, the last one of another program) gets
//      the foreground back and restores its own focus. From the hot key or another program the
//      foreground stays where it is.
//   3. The library refuses letters while Ctrl or Alt is down, and Shift picks other glyphs: the
//      keys wait until Ctrl, Alt, Shift and the Windows keys are released.
//   4. Farsi typing must be on in that window. When the library's last notification was not "on"
//      (and always after the foreground was handed back, since the focus left the window and
//      came back), Scroll Lock is pressed, and pressed again if the library answers "off"; no
//      answer within 2 s, or "off" twice, and nothing is typed. Farsi typing stays on afterwards.
//   5. Each key's key-down and key-up are injected one at a time. Before each, the focus window
//      must answer a message: its thread has then taken the key before, together with the Left
//      keys the library injects behind a glyph, which must not fall behind the next letter.
//      Typing stops when the foreground or focus moves, Farsi typing goes off or the window
//      stops answering.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codepage/layout.h"
#include "tools/controller/clipboard_keys.h"
#include "tools/controller/command_line.h"
#include "tools/controller/farsi_states.h"
#include "tools/controller/halves.h"
#include "tools/controller/main_window.h"
#include "tools/controller/notify_icon.h"
#include "tools/controller/own_names.h"
#include "tools/controller/protocol.h"
#include "tools/controller/rtl_reading.h"
#include "tools/controller/settings.h"
#include "tools/winprog.h"

namespace {

typedef int(WINAPI* InitFn)(HWND, int);

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
  // The last foreground window of another program: the menu's commands are for it, and its
  // program's Farsi typing is what the window, the tooltip and the icon show.
  HWND otherForeground = nullptr;
  HWND lastForeground = nullptr;  // as GetForegroundWindow last answered
  HWND seenForeground = nullptr;  // the foreground and its focus window at the last look
  HWND seenFocus = nullptr;
  farsi_states::Table states;   // what each program's library last said
  farsi_states::Program front;  // otherForeground's program
  wchar_t frontName[40] = L"";  // its file name
  bool allPrograms = false;     // one switch for all programs
  const char* statusLine = "";  // the clipboard command's or the switch's, the newer
  // The journal's items, as chosen in one of our menus: record and playback see and replay the
  // whole desktop's input, so a WM_COMMAND for them from another program is not obeyed.
  int menuChosen = 0;
  DWORD menuClosed = 0;  // when a menu of ours last closed: the command comes right after
  bool hotKey = false;   // Ctrl+Shift+Insert is ours
  // The notification area.
  HMENU iconMenu = nullptr;
  int icon = kIconNone;  // what it shows
  IconState shown;       // what the icon was last told
  UINT taskbarCreated = 0;
  bool afterDoubleClick = false;  // the button's release that ends a double click is no click
  bool startAtSignIn = false;
  bool wow64 = false;
  // The system's ANSI code page and its reading of every byte, as a window that keeps Unicode
  // text reads the glyph codes typed into it: fixed until Windows restarts.
  UINT codePage = 0;
  char16_t ansiReading[256] = {};
  bool ended = false;  // hooks off, companion ended, icon gone
  bool quit = false;   // the window is gone
};

Controller g;

constexpr UINT_PTR kForegroundTimer = 2;
constexpr UINT_PTR kClipboardTimer = 3;
constexpr UINT_PTR kSettleTimer = 4;  // while an "off" is held (farsi_states.h)
constexpr UINT_PTR kBringTimer = 5;   // while a program is brought to the last switch
constexpr int kHotKeyId = 1;

// Farsi typing in the program in front, as far as its library has told.
int Shown() { return g.states.Of(g.front); }

void UpdateTitle() {
  char title[64];
  std::snprintf(title, sizeof title, "%s %c ZafrelXP%s", g.mode, g.font,
                Shown() == kLastOn ? " - Farsi on" : "");
  SetWindowTextA(g.hwnd, title);
}

void CheckMenus() {
  HMENU menu = GetMenu(g.hwnd);
  CheckMenuItem(menu, kCmdModeTrue, std::strcmp(g.mode, "TRUES") == 0 ? MF_CHECKED : MF_UNCHECKED);
  CheckMenuItem(menu, kCmdModeFalse, std::strcmp(g.mode, "FALSE") == 0 ? MF_CHECKED : MF_UNCHECKED);
  CheckMenuItem(menu, kCmdAllPrograms, g.allPrograms ? MF_CHECKED : MF_UNCHECKED);
  for (int digit = 0; digit <= 4; ++digit) {
    CheckMenuItem(menu, kCmdFont0 + digit, g.font == '0' + digit ? MF_CHECKED : MF_UNCHECKED);
  }
  for (int slot = 0; slot < 10; ++slot) {
    if (slot == 3 || slot == 4) continue;
    CheckMenuItem(menu, kCmdSlot0 + slot, g.slotOn[slot] ? MF_CHECKED : MF_UNCHECKED);
  }
  // The icon's menu shares the bar's pop-ups; this item is in both.
  for (HMENU m : {menu, g.iconMenu}) {
    CheckMenuItem(m, kCmdStartAtSignIn, g.startAtSignIn ? MF_CHECKED : MF_UNCHECKED);
  }
}

DWORD DiagnosticSlots() { return static_cast<DWORD>(SlotBits(g.slotOn)) & kDiagnosticSlotMask; }

// The companion, if there is one, switches the same slot in the 64-bit DLL.
void SwitchSlot(int slot, bool on) {
  SwitchBothHalves(slot, on);
  CheckMenus();
}

// The ANSI code page's reading of each byte on its own (0 where it reads one as no character,
// a lead byte of a double-byte code page).
void ReadAnsiCodePage() {
  g.codePage = GetACP();
  for (int byte = 0; byte < 256; ++byte) {
    const char one = static_cast<char>(byte);
    wchar_t wide = 0;
    g.ansiReading[byte] =
        MultiByteToWideChar(CP_ACP, 0, &one, 1, &wide, 1) == 1 ? static_cast<char16_t>(wide) : 0;
  }
}

// Shows the code-page line when the code page reads the selected font code's glyphs as
// right-to-left letters, and fits the window to the band's new height.
void UpdateCodePageLine() {
  const bool due = rtl_reading::FindRightToLeftGlyphs(g.ansiReading, g.font).found;
  if (!ShowCodePageLine(g.codePage, due) || g.hwnd == nullptr) return;
  SetWindowPos(g.hwnd, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  FitRows(g.hwnd);
}

// --- Typing the clipboard as Farsi ----------------------------------------------------------

constexpr UINT kForegroundPollMs = 200;
constexpr UINT kTickMs = 15;               // one injected key event, or one check, per tick
constexpr DWORD kForegroundWaitMs = 2000;  // for the window given the foreground back
constexpr DWORD kSwitchWaitMs = 2000;      // for the library's answer to Scroll Lock
constexpr DWORD kModifierWaitMs = 10000;   // for Ctrl, Alt and Shift to be released
constexpr UINT kAnswerMs = 5000;           // for the focus window to take the keys sent so far

using clipboard_keys::Refusal;
static_assert(clipboard_keys::kListed == kClipboardListed, "the characters the protocol names");

enum class Step { kIdle, kConfirm, kHandBack, kModifiers, kSwitchOn, kTyping };

struct ClipboardTyping {
  Step step = Step::kIdle;
  std::vector<unsigned char> keys;
  std::vector<int> breaks;
  size_t length = 0;        // the text's length in UTF-16 units
  size_t typed = 0;         // keys typed, key-down and key-up
  bool down = false;        // keys[typed] is down: its key-up comes next
  HWND target = nullptr;    // the foreground window typed into
  HWND focus = nullptr;     // its focus window
  bool handedBack = false;  // the foreground was ours: it goes back to the window before
  bool askedForeground = false;
  DWORD since = 0;  // when the current wait began
  int presses = 0;  // Scroll Lock presses so far
  LONG heard = 0;   // on/off notifications counted before the last press
  // How the last command ended.
  LONG finished = 0;
  int result = kClipboardNone;
  int count = 0;
  Refusal listed[kClipboardListed] = {};
  char status[192] = "";
};
ClipboardTyping clip;

// The clipboard's text; false when it holds none. The program that has just put it there may
// still hold the clipboard open for a moment.
bool ReadClipboardText(std::u16string* text) {
  bool open = false;
  for (int attempt = 0; attempt < 10 && !open; ++attempt) {
    open = OpenClipboard(g.hwnd) != 0;
    if (!open) Sleep(20);
  }
  if (!open) return false;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const wchar_t* chars = data != nullptr ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
  if (chars != nullptr) {
    const size_t capacity = GlobalSize(data) / sizeof(wchar_t);
    size_t length = 0;
    while (length < capacity && chars[length] != 0) ++length;
    text->assign(reinterpret_cast<const char16_t*>(chars), length);  // UTF-16 on Windows
    GlobalUnlock(data);
  }
  CloseClipboard();
  return chars != nullptr;
}

bool OwnWindow(HWND hwnd) {
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  return hwnd != nullptr && process == GetCurrentProcessId();
}

// A window's program: its process id and start time.
farsi_states::Program ProgramOf(HWND window) {
  farsi_states::Program program;
  DWORD id = 0;
  if (window == nullptr || GetWindowThreadProcessId(window, &id) == 0) return program;
  program.process = id;
  if (id == g.front.process) {
    program.started = g.front.started;  // the same process while it stays in front
    return program;
  }
  if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id)) {
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    if (GetProcessTimes(process, &created, &exited, &kernel, &user)) {
      program.started = (uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
    }
    CloseHandle(process);
  }
  return program;
}

// "notepad.exe", or empty when the process cannot be asked.
void ProgramName(DWORD id, wchar_t* name, size_t size) {
  name[0] = 0;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (process == nullptr) return;
  wchar_t path[MAX_PATH] = L"";
  DWORD length = MAX_PATH;
  if (QueryFullProcessImageNameW(process, 0, path, &length)) {
    const wchar_t* base = std::wcsrchr(path, L'\\');
    base = base != nullptr ? base + 1 : path;
    std::wcsncpy(name, base, size - 1);
    name[size - 1] = 0;
  }
  CloseHandle(process);
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

bool ModifiersDown() {
  for (int vk : {VK_CONTROL, VK_MENU, VK_SHIFT, VK_LWIN, VK_RWIN}) {
    if ((GetAsyncKeyState(vk) & 0x8000) != 0) return true;
  }
  return false;
}

void Inject(unsigned vk, bool down) { InjectKeyEvent(vk, down); }

// The focus window's thread answers a message only once it has taken the input queued before it.
bool Answers(HWND hwnd) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &result) != 0;
}

void Begin(Step step) {
  clip.step = step;
  clip.since = GetTickCount();
}

void Finish(int result, int count, const char* status) {
  KillTimer(g.hwnd, kClipboardTimer);
  clip.step = Step::kIdle;
  clip.keys.clear();
  clip.result = result;
  clip.count = count;
  std::snprintf(clip.status, sizeof clip.status, "Clipboard: %s", status);
  g.statusLine = clip.status;
  ++clip.finished;
  InvalidateRect(g.hwnd, nullptr, TRUE);
}

void FinishRefused(const clipboard_keys::Keys& keys) {
  char list[128] = "";
  for (int i = 0; i < keys.refused && i < kClipboardListed; ++i) {
    clip.listed[i] = keys.listed[i];
    const size_t used = std::strlen(list);
    std::snprintf(list + used, sizeof list - used, "%sU+%04X at %d", i == 0 ? "" : ", ",
                  static_cast<unsigned>(keys.listed[i].code), keys.listed[i].at);
  }
  char status[176];
  std::snprintf(status, sizeof status, "nothing typed, %d character%s no key: %s%s", keys.refused,
                keys.refused == 1 ? " has" : "s have", list,
                keys.refused > kClipboardListed ? ", ..." : "");
  Finish(kClipboardRefused, keys.refused, status);
}

// One Scroll Lock press for the program in front; returns the on/off notifications counted
// before it, so that its library's answer shows as a change of the count.
LONG PressScrollLockFor(int* presses) {
  const LONG heard = g.notifications[kQueryOn] + g.notifications[kQueryOff];
  ++*presses;
  Inject(VK_SCROLL, true);
  Inject(VK_SCROLL, false);
  return heard;
}

void PressScrollLock() {
  clip.heard = PressScrollLockFor(&clip.presses);
  Begin(Step::kSwitchOn);
}

void StopTyping(const char* why) {
  if (clip.down) Inject(clip.keys[clip.typed], false);  // never leave a key down
  char status[176];
  std::snprintf(status, sizeof status, "stopped after %u of %u keys: %s",
                static_cast<unsigned>(clip.typed), static_cast<unsigned>(clip.keys.size()), why);
  Finish(kClipboardStopped, static_cast<int>(clip.typed), status);
}

void TypeClipboard() {
  if (clip.step != Step::kIdle) return;  // a held hot key repeats: one command at a time
  for (Refusal& r : clip.listed) r = Refusal{};
  std::u16string text;
  if (!ReadClipboardText(&text) || text.empty()) {
    Finish(kClipboardEmpty, 0, "no text to type");
    return;
  }
  // The font code's glyph table set decides what M types.
  clipboard_keys::Keys keys = clipboard_keys::KeysOfText(text, GlyphTableSetFor(g.font).variant);
  if (keys.refused > 0) {
    FinishRefused(keys);
    return;
  }
  HWND foreground = GetForegroundWindow();
  clip.handedBack = foreground == nullptr || OwnWindow(foreground);
  clip.target = clip.handedBack ? g.otherForeground : foreground;
  if (clip.target == nullptr || !IsWindow(clip.target)) {
    Finish(kClipboardNoWindow, 0,
           "no window to type into: click into it, then press Ctrl+Shift+Insert");
    return;
  }
  clip.keys = std::move(keys.keys);
  clip.breaks = std::move(keys.breaks);
  clip.length = text.size();
  clip.typed = 0;
  clip.down = false;
  clip.presses = 0;
  clip.focus = nullptr;
  clip.askedForeground = false;
  std::snprintf(clip.status, sizeof clip.status, "Clipboard: typing %u keys",
                static_cast<unsigned>(clip.keys.size()));
  g.statusLine = clip.status;
  InvalidateRect(g.hwnd, nullptr, TRUE);
  if (!clip.breaks.empty()) {
    // Asked once this command has returned: a program that sent it is waiting for it.
    clip.step = Step::kConfirm;
    PostMessageA(g.hwnd, kMsgConfirmLines, 0, 0);
    return;
  }
  // Handing the foreground back waits for the first tick: a program that sent this command is
  // still waiting for it to return.
  Begin(Step::kHandBack);
  SetTimer(g.hwnd, kClipboardTimer, kTickMs, nullptr);
}

// Text with line breaks: each is typed as Enter, which in a chat or a form sends or submits what
// is there. The person says whether to type it, told how many lines and where they break.
void ConfirmLines() {
  if (clip.step != Step::kConfirm) return;
  char where[96] = "";
  for (size_t i = 0; i < clip.breaks.size() && i < 8; ++i) {
    const size_t used = std::strlen(where);
    std::snprintf(where + used, sizeof where - used, "%s%d", i == 0 ? "" : ", ", clip.breaks[i]);
  }
  char text[400];
  std::snprintf(text, sizeof text,
                "The clipboard's text has %u lines: each of its %u line breaks (at character "
                "%s%s of %u) will be typed as Enter, which in a chat or a form sends or submits "
                "what is there.\n\nType it?",
                static_cast<unsigned>(clip.breaks.size() + 1),
                static_cast<unsigned>(clip.breaks.size()), where,
                clip.breaks.size() > 8 ? ", ..." : "", static_cast<unsigned>(clip.length));
  const int answer = MessageBoxA(g.hwnd, text, kClipboardConfirmCaption,
                                 MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND);
  if (answer != IDYES) {
    char status[96];
    std::snprintf(status, sizeof status, "nothing typed: its %u line breaks were not confirmed",
                  static_cast<unsigned>(clip.breaks.size()));
    Finish(kClipboardDeclined, static_cast<int>(clip.breaks.size()), status);
    return;
  }
  // The box took the foreground: the window typed into gets it back.
  clip.handedBack = true;
  Begin(Step::kHandBack);
  SetTimer(g.hwnd, kClipboardTimer, kTickMs, nullptr);
}

// One key event per tick, each after the focus window has taken the one before.
void TypeStep() {
  if (!Answers(clip.focus)) {
    StopTyping("the window stopped answering");
  } else if (GetForegroundWindow() != clip.target || FocusOf(clip.target) != clip.focus) {
    StopTyping("the focus moved");
  } else if (g.last != kLastOn) {
    StopTyping("Farsi typing was switched off");
  } else if (clip.down) {
    Inject(clip.keys[clip.typed], false);
    clip.down = false;
    ++clip.typed;
    clip.since = GetTickCount();
  } else if (clip.typed == clip.keys.size()) {
    char status[64];
    std::snprintf(status, sizeof status, "%u keys typed", static_cast<unsigned>(clip.typed));
    Finish(kClipboardTyped, static_cast<int>(clip.typed), status);
  } else if (ModifiersDown()) {
    // A key the person holds would turn the next letter into a shortcut or another glyph.
    if (GetTickCount() - clip.since > kModifierWaitMs) StopTyping("Ctrl, Alt or Shift held down");
  } else {
    Inject(clip.keys[clip.typed], true);
    clip.down = true;
  }
}

void ClipboardTick() {
  const DWORD waited = GetTickCount() - clip.since;
  switch (clip.step) {
    case Step::kIdle:
    case Step::kConfirm:
      KillTimer(g.hwnd, kClipboardTimer);
      return;
    case Step::kHandBack: {
      // Asked once: the program sets its own focus window again when it is activated.
      if (clip.handedBack && !clip.askedForeground) SetForegroundWindow(clip.target);
      clip.askedForeground = true;
      HWND focus = FocusOf(clip.target);
      if (GetForegroundWindow() == clip.target && focus != nullptr) {
        clip.focus = focus;
        Begin(Step::kModifiers);
      } else if (waited > kForegroundWaitMs) {
        Finish(kClipboardNoWindow, 0, "nothing typed, no window there has the keyboard focus");
      }
      return;
    }
    case Step::kModifiers:
      if (ModifiersDown()) {
        if (waited > kModifierWaitMs) {
          Finish(kClipboardStopped, 0, "nothing typed, Ctrl, Alt or Shift held down");
        }
      } else if (!Answers(clip.focus)) {
        // Answered, it has also sent whatever its activation told the controller, which must
        // come in before the answer to Scroll Lock is awaited.
        Finish(kClipboardStopped, 0, "nothing typed, the window does not answer");
      } else if (g.last == kLastOn && !clip.handedBack) {
        Begin(Step::kTyping);
      } else {
        PressScrollLock();
      }
      return;
    case Step::kSwitchOn: {
      // The library answers each Scroll Lock press with "on" or "off", from the focus window's
      // thread when it takes the key.
      const LONG heard = g.notifications[kQueryOn] + g.notifications[kQueryOff];
      if (heard != clip.heard && g.last == kLastOn) {
        Begin(Step::kTyping);
      } else if (heard != clip.heard && clip.presses < 2) {
        PressScrollLock();
      } else if (heard != clip.heard) {
        Finish(kClipboardNotOn, 0, "nothing typed, Farsi typing did not switch on");
      } else if (waited > kSwitchWaitMs) {
        Finish(kClipboardNotOn, 0,
               "nothing typed, Farsi typing did not switch on (ZafrelXP did not answer)");
      }
      return;
    }
    case Step::kTyping:
      TypeStep();
      return;
  }
}

// The taskbar and its notification area take the foreground while the icon is clicked; they are
// never what the menu's commands are for.
bool ShellWindow(HWND hwnd) {
  char name[64] = "";
  GetClassNameA(hwnd, name, sizeof name);
  for (const char* shell : {"Shell_TrayWnd", "Shell_SecondaryTrayWnd", "NotifyIconOverflowWindow",
                            "__winex11_standalone_tray"}) {
    if (std::strcmp(name, shell) == 0) return true;
  }
  return false;
}

// --- One switch for all programs ------------------------------------------------------------

enum class BringStep { kIdle, kWait, kPressed };

// A program that comes to the front with another state than the person's last switch is brought
// to it as the clipboard command switches Farsi typing on: once its window answers (so that what
// its activation told the controller is in), Scroll Lock is pressed, and pressed again if its
// library answers with the other state; no answer within 2 s, or the other state twice, and the
// status line says so.
struct Bringing {
  BringStep step = BringStep::kIdle;
  HWND target = nullptr;
  farsi_states::Program program;
  int want = kLastNone;
  int presses = 0;
  LONG heard = 0;  // on/off notifications counted before the last press
  DWORD since = 0;
  LONG finished = 0;
  int result = kBringNone;
  char status[192] = "";
};
Bringing bring;

void FinishBringing(int result, const char* why) {
  KillTimer(g.hwnd, kBringTimer);
  bring.step = BringStep::kIdle;
  bring.result = result;
  ++bring.finished;
  if (why == nullptr) return;
  char name[48] = "";
  WideCharToMultiByte(CP_ACP, 0, g.frontName, -1, name, sizeof name, nullptr, nullptr);
  std::snprintf(bring.status, sizeof bring.status, "Farsi switch: %s %s",
                name[0] != 0 ? name : "the program in front", why);
  g.statusLine = bring.status;
  InvalidateRect(g.hwnd, nullptr, TRUE);
}

void PressForBringing() {
  bring.heard = PressScrollLockFor(&bring.presses);
  bring.step = BringStep::kPressed;
  bring.since = GetTickCount();
}

// The foreground has just moved to another program's window.
void BringFront() {
  if (!g.allPrograms || clip.step != Step::kIdle || g.otherForeground == nullptr) return;
  const int want = g.states.choice();
  if (want == kLastNone || Shown() == want) {
    if (bring.step != BringStep::kIdle) FinishBringing(kBringMoved, nullptr);
    return;
  }
  if (bring.step != BringStep::kIdle && bring.target == g.otherForeground) return;
  bring.step = BringStep::kWait;
  bring.target = g.otherForeground;
  bring.program = g.front;
  bring.want = want;
  bring.presses = 0;
  bring.since = GetTickCount();
  SetTimer(g.hwnd, kBringTimer, kTickMs, nullptr);
}

void BringTick() {
  const DWORD waited = GetTickCount() - bring.since;
  if (bring.step == BringStep::kIdle) {
    KillTimer(g.hwnd, kBringTimer);
    return;
  }
  if (GetForegroundWindow() != bring.target) {
    FinishBringing(kBringMoved, nullptr);
    return;
  }
  if (bring.step == BringStep::kWait) {
    // The "off"s of the program's activation come in first and are told from a switch by
    // their time: a press too soon after the focus moved would be taken for one of them.
    if (waited < farsi_states::kFocusAfterMs) return;
    HWND focus = FocusOf(bring.target);
    if (ModifiersDown() || focus == nullptr) {
      // Scroll Lock with Ctrl is another key; a window without the focus takes no keys.
      if (waited > kSwitchWaitMs) {
        FinishBringing(kBringNoAnswer, focus == nullptr
                                           ? "has no window with the keyboard focus"
                                           : "kept its state: Ctrl, Alt or Shift held");
      }
    } else if (!Answers(focus)) {
      FinishBringing(kBringNoAnswer, "does not answer: its Farsi typing was left as it was");
    } else if (g.states.Of(bring.program) == bring.want) {
      FinishBringing(kBringSwitched, nullptr);
    } else {
      PressForBringing();
    }
    return;
  }
  const LONG heard = g.notifications[kQueryOn] + g.notifications[kQueryOff];
  if (heard != bring.heard && g.last == bring.want) {
    FinishBringing(kBringSwitched, nullptr);
  } else if (heard != bring.heard && bring.presses < 2) {
    PressForBringing();
  } else if (heard != bring.heard) {
    FinishBringing(kBringRefused, bring.want == kLastOn
                                      ? "stayed off after two Scroll Lock presses"
                                      : "stayed on after two Scroll Lock presses");
  } else if (waited > kSwitchWaitMs) {
    FinishBringing(kBringNoAnswer, "did not answer Scroll Lock (ZafrelXP is not at work there)");
  }
}

// The menu's commands are for the program the person was working in, which is no longer the
// foreground once the menu is open; and that program's Farsi typing is what the window shows.
// True when the program in front changed.
bool NoteForeground() {
  HWND foreground = GetForegroundWindow();
  const bool moved = foreground != g.lastForeground;
  g.lastForeground = foreground;
  if (foreground == nullptr || OwnWindow(foreground) || ShellWindow(foreground)) return false;
  g.otherForeground = foreground;
  const farsi_states::Program program = ProgramOf(foreground);
  const bool changed = !(program == g.front);
  if (changed) {
    g.front = program;
    ProgramName(program.process, g.frontName, sizeof g.frontName / sizeof g.frontName[0]);
  }
  if (moved) BringFront();
  return changed;
}

// A focus change makes the library's "off" for it no switch (farsi_states.h). Wine reports only
// some of them as events, so the controller also looks for itself: at every notification, while
// an "off" is held, and at the foreground poll. The library sends its notification just before
// the focus moves; by the time the controller looks, it has moved.
void LookAtFocus() {
  HWND foreground = GetForegroundWindow();
  HWND focus = foreground != nullptr ? FocusOf(foreground) : nullptr;
  if (foreground == g.seenForeground && focus == g.seenFocus) return;
  g.seenForeground = foreground;
  g.seenFocus = focus;
  g.states.FocusMoved(GetTickCount());
}

// The program whose library a notification comes from: the one in front, whose thread took the
// key. While the controller's own window, the taskbar or nothing is in front, the program shown.
farsi_states::Program Reporting() {
  HWND foreground = GetForegroundWindow();
  if (foreground == nullptr || OwnWindow(foreground) || ShellWindow(foreground)) return g.front;
  return ProgramOf(foreground);
}

// The menu bar, and the icon's menu, which shares the bar's Mode, Font and Diagnostics pop-ups
// (so the library's own updates of the record and playback items show in both).
HMENU BuildMenus() {
  HMENU mode = CreatePopupMenu();
  AppendMenuA(mode, MF_STRING, kCmdModeTrue, "&TRUE (sent route allowed)");
  AppendMenuA(mode, MF_STRING, kCmdModeFalse, "&FALSE (posted route)");
  AppendMenuA(mode, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(mode, MF_STRING, kCmdAllPrograms, "Switch Farsi typing in &all programs at once");
  HMENU font = CreatePopupMenu();
  const char* const fonts[] = {"&0  ZafrelXP Nazli 0", "&1  ZafrelXP Nazli 1 (default)",
                               "&2  ZafrelXP Nazli 2", "&3  ZafrelXP Nazli 3",
                               "&4  ZafrelXP Nazli 4"};
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
  HMENU edit = CreatePopupMenu();
  AppendMenuA(edit, MF_STRING, kCmdTypeClipboard, "Type clipboard as &Farsi\tCtrl+Shift+Insert");
  HMENU program = CreatePopupMenu();
  AppendMenuA(program, MF_STRING, kCmdStartAtSignIn, "Start at &sign-in");
  AppendMenuA(program, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(program, MF_STRING, kCmdShowHide, "&Hide window\tEsc");
  AppendMenuA(program, MF_STRING, kCmdExit, "E&xit");
  HMENU bar = CreateMenu();
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(program), "&Program");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), "&Edit");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(mode), "&Mode");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(font), "&Font");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(hooks), "&Diagnostics");

  g.iconMenu = CreatePopupMenu();
  AppendMenuA(g.iconMenu, MF_STRING, kCmdShowHide, "&Show window");
  AppendMenuA(g.iconMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(g.iconMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(mode), "&Mode");
  AppendMenuA(g.iconMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(font), "&Font");
  AppendMenuA(g.iconMenu, MF_STRING, kCmdTypeClipboard, "Type clipboard as &Farsi");
  AppendMenuA(g.iconMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hooks), "&Diagnostics");
  AppendMenuA(g.iconMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(g.iconMenu, MF_STRING, kCmdStartAtSignIn, "Start at &sign-in");
  AppendMenuA(g.iconMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(g.iconMenu, MF_STRING, kCmdExit, "E&xit");
  return bar;
}

bool MenuChecked(int id) {
  return (GetMenuState(GetMenu(g.hwnd), id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

MainView View() {
  MainView v;
  std::strcpy(v.mode, g.mode);
  v.font = g.font;
  v.companionStatus = CompanionStatus();
  v.companionExitCode = CompanionExitCode();
  v.wow64 = g.wow64;
  // The journal's items are checked while it records or plays back; the library unchecks them.
  v.diagnosticsRunning =
      DiagnosticSlots() != 0 || MenuChecked(kCmdRecord) || MenuChecked(kCmdPlayback);
  v.clipboardStatus = g.statusLine;
  v.farsi = Shown();
  v.program = g.frontName;
  v.paintHooks = g.paint;
  return v;
}

void UpdateIcon() {
  if (g.ended) return;
  IconState state;
  state.farsi = Shown();
  std::wcscpy(state.program, g.frontName);
  std::strcpy(state.mode, g.mode);
  state.font = g.font;
  if (g.icon != kIconNone && state == g.shown) return;
  g.shown = state;
  g.icon = ShowNotifyIcon(g.hwnd, state);
}

// After every change: the title the library reads, the menus, the icon and the window's words.
void Refresh() {
  UpdateTitle();
  CheckMenus();
  UpdateIcon();
  RedrawWindow(g.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

void ShowMainWindow() {
  ShowWindow(g.hwnd, IsIconic(g.hwnd) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(g.hwnd);
}

void HideMainWindow() {
  SavePlacement(g.hwnd);
  ShowWindow(g.hwnd, SW_HIDE);
}

void ShowOrHide() {
  if (IsWindowVisible(g.hwnd) && !IsIconic(g.hwnd)) {
    HideMainWindow();
  } else {
    ShowMainWindow();
  }
}

void ShowIconMenu() {
  ModifyMenuA(g.iconMenu, kCmdShowHide, MF_BYCOMMAND | MF_STRING, kCmdShowHide,
              IsWindowVisible(g.hwnd) ? "&Hide window" : "&Show window");
  SetMenuDefaultItem(g.iconMenu, kCmdShowHide, FALSE);
  POINT at;
  GetCursorPos(&at);
  // Without the foreground the menu would not close when the person clicks elsewhere; the
  // message after it lets the menu close properly the next time.
  SetForegroundWindow(g.hwnd);
  const int id = TrackPopupMenu(g.iconMenu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x,
                                at.y, 0, g.hwnd, nullptr);
  if (g.quit) {
    // The window went while the menu was open, and the menu's loop took the quit message.
    PostQuitMessage(0);
    return;
  }
  PostMessageA(g.hwnd, WM_NULL, 0, 0);
  // Carried out once the menu's own message loop has ended: Exit must not end the window under
  // it, and the clipboard command wants the menu gone from the screen.
  g.menuChosen = id;
  g.menuClosed = GetTickCount();
  if (id != 0) PostMessageA(g.hwnd, WM_COMMAND, id, 0);
}

void IconMouse(UINT message) {
  switch (message) {
    case WM_LBUTTONUP:
      if (!g.afterDoubleClick) ShowOrHide();
      g.afterDoubleClick = false;
      break;
    case WM_LBUTTONDBLCLK:  // the first click has shown or hidden it: a double click shows it
      g.afterDoubleClick = true;
      ShowMainWindow();
      break;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
      ShowIconMenu();
      break;
  }
}

void CALLBACK ForegroundChanged(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) {
  if (g.ended) return;
  // An "off" sent for this focus change is no switch.
  g.states.FocusMoved(GetTickCount());
  LookAtFocus();
  const bool front = NoteForeground();
  const bool halves = FollowDesktop();
  if (front || halves) Refresh();
}

// Everything the controller switched on goes off, in both libraries, and the icon goes away:
// at Exit, when the session ends and when the window is destroyed, whichever comes first.
void EndEverything() {
  if (g.ended) return;
  g.ended = true;
  EndHalves();
  KillTimer(g.hwnd, kClipboardTimer);
  KillTimer(g.hwnd, kBringTimer);
  KillTimer(g.hwnd, kSettleTimer);
  if (clip.step == Step::kTyping && clip.down) Inject(clip.keys[clip.typed], false);
  SavePlacement(g.hwnd);
  // Every slot off, the journal's too (they may have switched themselves off already).
  for (int slot = 0; slot < 10; ++slot) {
    if (g.install != nullptr && slot != 7) g.install(slot, 0, g.hwnd, 0);
  }
  // The companion would notice the window gone within a second; it is told at once and given
  // the time to unhook, since at the end of the session nothing waits for it.
  if (HWND companion = Companion()) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(companion, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
  }
  g.icon = RemoveNotifyIcon(g.hwnd);
  if (g.hotKey) UnregisterHotKey(g.hwnd, kHotKeyId);
  g.hotKey = false;
}

void SaveSetting(int id) {
  if (id == kCmdModeTrue || id == kCmdModeFalse) {
    SaveMode(g.mode);
  } else if (id >= kCmdFont0 && id <= kCmdFont0 + 9) {
    SaveFont(g.font);  // only 0-4: the other digits have no encoding of their own
  } else if (id >= kCmdSlot0 && id < kCmdSlot0 + 10 &&
             (kDiagnosticSlotMask & (DWORD{1} << (id - kCmdSlot0))) != 0) {
    SaveDiagnosticSlots(DiagnosticSlots());
  } else if (id == kCmdAllPrograms) {
    SaveAllPrograms(g.allPrograms);
  }
}

void Command(int id) {
  if (id == kCmdModeTrue || id == kCmdModeFalse) {
    std::strcpy(g.mode, id == kCmdModeTrue ? "TRUES" : "FALSE");
  } else if (id >= kCmdFont0 && id <= kCmdFont0 + 9) {
    g.font = static_cast<char>('0' + id - kCmdFont0);
    UpdateCodePageLine();
  } else if (id >= kCmdSlot0 && id < kCmdSlot0 + 10) {
    const int slot = id - kCmdSlot0;
    SwitchSlot(slot, !g.slotOn[slot]);
  } else if (id == kCmdPlayback) {
    // The library greys the item again when the playback ends.
    if (g.install && g.install(3, 1, g.hwnd, 0) == 1) {
      CheckMenuItem(GetMenu(g.hwnd), kCmdPlayback, MF_CHECKED);
    }
  } else if (id == kCmdTypeClipboard) {
    TypeClipboard();
  } else if (id == kCmdAllPrograms) {
    g.allPrograms = !g.allPrograms;
  } else if (id == kCmdRecord) {
    // F2 stops the recording; the library then unchecks this item and enables playback.
    if (g.install && g.install(4, 1, g.hwnd, 0) == 1) {
      CheckMenuItem(GetMenu(g.hwnd), kCmdRecord, MF_CHECKED);
      EnableMenuItem(GetMenu(g.hwnd), kCmdPlayback, MF_GRAYED);
    }
  } else if (id == kCmdShowHide) {
    ShowOrHide();
  } else if (id == kCmdStartAtSignIn) {
    g.startAtSignIn = SetStartAtSignIn(!g.startAtSignIn);
  } else if (id == kCmdExit) {
    DestroyWindow(g.hwnd);
    return;
  }
  SaveSetting(id);
  Refresh();
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kMsgOn: {
      ++g.notifications[wParam == 1 ? kQueryKeySkipped : kQueryOn];
      LookAtFocus();
      const int before = Shown();
      g.states.On(Reporting(), GetTickCount(), wParam != 0);
      if (wParam != 0) {
        // A key skipped while Farsi typing is on: no switch, but word that it is on there.
        if (Shown() != before) Refresh();
        return 0;
      }
      g.last = kLastOn;
      Refresh();
      return 0;
    }
    case kMsgOff:
      ++g.notifications[kQueryOff];
      g.last = kLastOff;
      LookAtFocus();
      g.states.Off(Reporting(), GetTickCount());
      if (g.states.Holding()) SetTimer(hwnd, kSettleTimer, 50, nullptr);
      Refresh();
      return 0;
    case kMsgQuery:
      if (wParam == kQueryLast) return g.last;
      if (wParam == kQueryClipboardDone) return clip.finished;
      if (wParam == kQueryClipboardResult) return clip.result;
      if (wParam == kQueryClipboardCount) return clip.count;
      if (wParam == kQueryClipboardRefusedCode || wParam == kQueryClipboardRefusedAt) {
        if (lParam < 0 || lParam >= kClipboardListed || lParam >= clip.count ||
            clip.result != kClipboardRefused)
          return -1;
        const Refusal& r = clip.listed[lParam];
        return wParam == kQueryClipboardRefusedCode ? static_cast<LRESULT>(r.code) : r.at;
      }
      if (wParam == kQuerySlots) {
        return SlotBits(g.slotOn);
      }
      if (wParam == kQueryIcon) return g.icon;
      if (wParam == kQueryStartAtSignIn) return g.startAtSignIn ? 1 : 0;
      if (wParam == kQueryReach) return Reach();
      if (wParam == kQueryCompanion) return CompanionStatus();
      if (wParam == kQueryFront) return Front();
      if (wParam == kQueryAnsiCodePage) return g.codePage;
      if (wParam == kQueryCodePageLine) return CodePageLineShown() ? 1 : 0;
      if (wParam == kQueryShown) return Shown();
      if (wParam == kQueryShownProcess) return static_cast<LRESULT>(g.front.process);
      if (wParam == kQueryAllPrograms) return g.allPrograms ? 1 : 0;
      if (wParam == kQueryBringDone) return bring.finished;
      if (wParam == kQueryBringResult) return bring.result;
      return wParam < 4 ? g.notifications[wParam] : -1;
    case kMsgShow:
      ShowMainWindow();
      return 1;
    case kMsgConfirmLines:
      ConfirmLines();
      return 0;
    case kMsgNotifyIcon:
      IconMouse(static_cast<UINT>(LOWORD(lParam)));
      return 0;
    case WM_MENUSELECT:
      // The item under the menu's highlight, last of all the one chosen; a closed menu says
      // 0xFFFF with no menu.
      if ((HIWORD(wParam) & (MF_POPUP | MF_SEPARATOR)) == 0 && HIWORD(wParam) != 0xFFFF) {
        g.menuChosen = LOWORD(wParam);
      }
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_EXITMENULOOP:
      g.menuClosed = GetTickCount();
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const bool journal = id == kCmdRecord || id == kCmdPlayback;
      // A menu closed without a choice leaves its last highlight behind: only just after it.
      const bool chosen =
          g.menuChosen == id && !InSendMessage() && GetTickCount() - g.menuClosed < 1000;
      g.menuChosen = 0;
      if (journal && !chosen) return 0;
      Command(id);
      return 0;
    }
    case WM_HOTKEY:
      if (wParam == kHotKeyId) TypeClipboard();
      return 0;
    case WM_TIMER:
      if (wParam == kForegroundTimer) {
        // The companion comes up a little after the controller, and may go; a foreground
        // change the events missed is caught here.
        LookAtFocus();
        const bool front = NoteForeground();
        const bool halves = FollowDesktop();
        if (front || halves) Refresh();
      }
      if (wParam == kClipboardTimer) ClipboardTick();
      if (wParam == kBringTimer) BringTick();
      if (wParam == kSettleTimer) {
        LookAtFocus();
        if (g.states.Settle(GetTickCount())) Refresh();
        if (!g.states.Holding()) KillTimer(hwnd, kSettleTimer);
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE && g.icon != kIconNone) HideMainWindow();
      return 0;
    case WM_NCCALCSIZE: {
      const LRESULT result = DefWindowProcA(hwnd, msg, wParam, lParam);
      MakeRoomForBand(wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                             : reinterpret_cast<RECT*>(lParam));
      return result;
    }
    case WM_NCPAINT:
    case WM_NCACTIVATE: {
      const LRESULT result = DefWindowProcA(hwnd, msg, wParam, lParam);
      PaintBand(hwnd, View());
      return result;
    }
    case WM_PAINT:
      PaintClient(hwnd, View());
      return 0;
    case WM_EXITSIZEMOVE:
      SavePlacement(hwnd);
      return 0;
    case WM_CLOSE:
      // Typing goes on without the window; only Exit ends it. With no icon to bring the window
      // back from, closing it is the end.
      if (g.icon != kIconNone) {
        HideMainWindow();
      } else {
        DestroyWindow(hwnd);
      }
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The process may be ended any time after this returns: the hooks go now.
      if (wParam) {
        EndEverything();
        DestroyWindow(hwnd);
      }
      return 0;
    case WM_DESTROY:
      EndEverything();
      // A menu's message loop that is running (the icon's, when another program sends Exit or
      // the session ends) may take the quit message for itself: the flag ends the main loop.
      g.quit = true;
      PostQuitMessage(0);
      return 0;
    default:
      // Explorer started again (or only now, at sign-in): its notification area is new.
      if (msg == g.taskbarCreated && msg != 0) {
        g.icon = kIconNone;
        UpdateIcon();
        return 0;
      }
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
    case kMsgCompanionFront:
      // A 64-bit program came to the foreground: these hooks go back to the head of the chains.
      // 0 when a slot could not be switched on again (it stays off, and says so in kQuerySlots).
      return HeldSlotsFirst(c.install, c.controller, c.slotOn) ? 1 : 0;
    case kMsgQuery: {
      if (wParam != kQuerySlots) return -1;
      return SlotBits(c.slotOn);
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
  // Only beside a controller (a program of this folder), and only one companion per desktop.
  HANDLE one = nullptr;
  if (!IsWindow(controller) || !WindowOfProgramBeside(controller) || !ClaimName("companion", &one))
    return kExitNoCompanion;
  c.controller = controller;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = CompanionProc;
  wc.hInstance = instance;
  wc.lpszClassName = kCompanionClass;
  RegisterClassA(&wc);
  HWND hwnd =
      CreateWindowA(kCompanionClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (hwnd == nullptr) return kExitNoWindow;
  // The controller's window exists, so the library loads; its status lines go to that window.
  HMODULE dll = LoadLibraryBeside(kLibraryFile);
  if (dll == nullptr) return kExitNoLibrary;
  auto init = LibraryExport<InitFn>(dll, "InitZafrelXPDll", 8);
  c.install = LibraryExport<InstallFn>(dll, "InstallFilter", 16);
  if (!init || !c.install) return kExitNoExports;
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

constexpr char kUsage[] =
    "usage: zafrelctl [--mode TRUES|FALSE] [--font 0-4] [--slots 1,2,5] [--tray] [--hooks-first "
    "32|64]\n"
    "       zafrelctl64 --companion HWND [--line-height N]   (started by the 32-bit controller)\n"
    "       zafrelctl --exit [FOLDER]                         (ends the running controller)\n"
    "       zafrelctl --help | --version\n"
    "\n"
    "The mode, the font code, the diagnostic slots that were on and the window's place are kept\n"
    "in the registry and restored at start. --mode, --font and --slots hold for this run only.\n"
    "--slots names every slot to switch on, in that order, from the Hooks menu's 0, 1, 2, 5, 6,\n"
    "8 and 9; without it the typing slots 1, 2 and 5 and the kept diagnostic slots are. --tray\n"
    "starts with the window hidden behind the icon, as the Run value for starting at sign-in\n"
    "does. --hooks-first keeps one half's hooks at the head of the chains whatever the\n"
    "foreground, to measure what the other half then sees. --exit ends the running controller of\n"
    "this program's folder (or of FOLDER) as its Exit command does, so that the files can be\n"
    "replaced or removed. Each option at most once; a command line with a fault starts nothing\n"
    "and ends with exit status 8.\n";

using command_line::Options;

// The settings, with the command line's options over them for this run.
void ApplySettings(const Settings& settings, Options* o) {
  std::strcpy(g.mode, o->mode != nullptr ? o->mode : settings.mode);
  g.font = o->font != 0 ? o->font : settings.font;
  g.startAtSignIn = settings.startAtSignIn;
  g.allPrograms = settings.allPrograms;
  if (o->slotsGiven) return;
  // The typing slots: focus, key pre-filter, keyboard; then the diagnostics that were on.
  for (int slot : {1, 2, 5, 0, 6, 8, 9}) {
    if (slot == 1 || slot == 2 || slot == 5 || (settings.diagnosticSlots & (1u << slot)) != 0) {
      o->slots[o->slotCount++] = slot;
    }
  }
}

// One controller per desktop, whatever its bitness: the mutex is named after the desktop and the
// user, so that a program of another user (or one that only knows the old name) cannot hold it
// first. False when another controller holds it; a mutex that cannot be made at all does not
// stop this one.
bool ClaimDesktop(HANDLE* mutex) { return ClaimName("controller", mutex); }

// The running controller's window comes forward. It may still be starting: under emulation that
// takes a while, so its window is waited for.
void BringForwardRunning() {
  HWND running = nullptr;
  // Whichever folder the running one was started from (another copy, an older install).
  for (int i = 0; i < 300 && running == nullptr; ++i) {
    running = FindReferenceController();
    if (running == nullptr) Sleep(100);
  }
  if (running == nullptr) return;
  DWORD process = 0;
  GetWindowThreadProcessId(running, &process);
  // Started by the person just now, this process may hand the foreground on.
  AllowSetForegroundWindow(process);
  DWORD_PTR result = 0;
  SendMessageTimeoutA(running, kMsgShow, 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
}

// --exit [FOLDER]: the running controller of this program's folder (or of FOLDER, as the
// installer's own copy names the installation folder) ends as its Exit command ends it, every
// hook taken down. Waits until its process has gone; kExitStillRunning when it has not after
// kEndWaitMs.
int EndRunning(const char* folder) {
  constexpr DWORD kEndWaitMs = 10000;
  const DWORD start = GetTickCount();
  // Only a controller of this folder: another program's window of the class is no controller
  // to wait for.
  while (HWND running = FindOwnController(folder)) {
    DWORD id = 0;
    GetWindowThreadProcessId(running, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(running, WM_COMMAND, kCmdExit, 0, SMTO_ABORTIFHUNG, kEndWaitMs, &result);
    const DWORD spent = GetTickCount() - start;
    const DWORD left = spent < kEndWaitMs ? kEndWaitMs - spent : 0;
    const bool ended = process != nullptr ? WaitForSingleObject(process, left) == WAIT_OBJECT_0
                                          : !IsWindow(running);
    if (process != nullptr) CloseHandle(process);
    if (!ended) return kExitStillRunning;
  }
  return kExitDone;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  // Answered before the desktop's name is claimed or a setting read: asking for help starts no
  // controller and brings none forward.
  const char* const program = kProgram64 ? "zafrelctl64" : "zafrelctl";
  if (AnsweredHelpOrVersion(__argc, __argv, program, kUsage)) return kExitDone;
  UseSafeLibrarySearch();
  // A command line with a fault starts nothing, brings no controller forward and ends none: the
  // person is told what is wrong on the console, or in a message box when there is no console
  // (started from a shortcut or the Run value).
  command_line::Parsed line = command_line::Parse(__argc, __argv);
  if (line.kind == command_line::Kind::kRefused) {
    const std::string text = std::string(program) + ": " + line.refusal + "\n" + kUsage;
    if (!WriteStandardOutput(text.c_str())) {
      MessageBoxA(nullptr, text.c_str(), program, MB_OK | MB_ICONERROR);
    }
    return kExitBadCommandLine;
  }
  if (line.kind == command_line::Kind::kCompanion) {
    return RunCompanion(instance, reinterpret_cast<HWND>(line.companionOf), line.lineHeight);
  }
  if (line.kind == command_line::Kind::kExit) {
    return EndRunning(line.exitFolder.empty() ? nullptr : line.exitFolder.c_str());
  }
  HANDLE desktop = nullptr;
  if (!ClaimDesktop(&desktop)) {
    BringForwardRunning();
    return kExitAlreadyRunning;
  }
  Options& options = line.options;
  Settings settings;
  const unsigned repaired = LoadSettings(&settings);
  ApplySettings(settings, &options);
  BOOL wow64 = FALSE;
  g.wow64 = !kProgram64 && IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
  g.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  g.lineHeight = InitMainWindow();
  ReadAnsiCodePage();
  UpdateCodePageLine();  // before the window is made: the band's height depends on it
  LoadNotifyIcons(instance);

  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = BigWindowIcon();
  wc.hIconSm = SmallWindowIcon();
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kControllerClass;
  RegisterClassExA(&wc);
  // The window must exist before the library is loaded: the library refuses to load without it.
  const SIZE size = DefaultWindowSize();
  g.hwnd = CreateWindowA(kControllerClass, "FALSE 1 ZafrelXP", WS_OVERLAPPEDWINDOW, 0, 0, size.cx,
                         size.cy, nullptr, BuildMenus(), instance, nullptr);
  if (g.hwnd == nullptr) return kExitNoWindow;
  UpdateTitle();
  if (settings.havePlacement) {
    settings.placement.showCmd = SW_HIDE;  // shown below, without taking the activation
    settings.placement.flags = 0;
    SetWindowPlacement(g.hwnd, &settings.placement);
  }
  // A place kept from a start without the code-page line may be too short for it.
  if (CodePageLineShown()) FitRows(g.hwnd);
  if ((repaired & kRepairedPlacement) != 0) SavePlacement(g.hwnd);

  g.dll = LoadLibraryBeside(kLibraryFile);
  if (g.dll == nullptr) {
    char text[64];
    std::snprintf(text, sizeof text, "%s could not be loaded.", kLibraryFile);
    MessageBoxA(g.hwnd, text, "zafrelctl", MB_OK | MB_ICONERROR);
    return kExitNoLibrary;
  }
  g.init = LibraryExport<InitFn>(g.dll, "InitZafrelXPDll", 8);
  g.install = LibraryExport<InstallFn>(g.dll, "InstallFilter", 16);
  g.paint = LibraryExport<PaintFn>(g.dll, "PaintHooksDll", 4);
  if (!g.init || !g.install || !g.paint) return kExitNoExports;
  g.init(g.hwnd, g.lineHeight);
  InitHalves(g.hwnd, g.lineHeight, g.wow64, g.install, g.slotOn, options.hooksFirst);
  for (int i = 0; i < options.slotCount; ++i) SwitchSlot(options.slots[i], true);
  StartCompanion();  // it takes the slots switched on so far from this window
  // Told out of context, on this thread: which half's hooks come first follows the foreground.
  // Wine 8 never reports EVENT_SYSTEM_FOREGROUND, but reports the focus moving into the window
  // that comes to the front. Without a companion the program in front (whose Farsi typing the
  // window shows) is followed by the foreground poll and by the look at the focus at every
  // notification (LookAtFocus), which is enough there.
  HWINEVENTHOOK foregroundEvents[2] = {};
  if (g.wow64) {
    foregroundEvents[0] = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                          ForegroundChanged, 0, 0, WINEVENT_OUTOFCONTEXT);
    foregroundEvents[1] = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr,
                                          ForegroundChanged, 0, 0, WINEVENT_OUTOFCONTEXT);
  }
  // Not Ctrl+Alt with a letter: AltGr gives that on many keyboards, as a character being typed.
  g.hotKey = RegisterHotKey(g.hwnd, kHotKeyId, MOD_CONTROL | MOD_SHIFT, VK_INSERT) != 0;
  std::snprintf(clip.status, sizeof clip.status, "%s",
                g.hotKey ? "Ctrl+Shift+Insert types the clipboard as Farsi (Edit menu)"
                         : "Ctrl+Shift+Insert belongs to another program: Edit > Type clipboard "
                           "as Farsi");
  g.statusLine = clip.status;
  SetTimer(g.hwnd, kForegroundTimer, kForegroundPollMs, nullptr);
  Refresh();  // the icon too

  // Shown without taking the activation: the program being typed into keeps the keyboard. With
  // --tray only the icon shows, unless the notification area took none.
  if (!options.tray || g.icon == kIconNone) {
    ShowWindow(g.hwnd, show == SW_SHOWDEFAULT ? SW_SHOWNOACTIVATE : show);
  }
  MSG msg;
  while (!g.quit && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  for (HWINEVENTHOOK events : foregroundEvents) {
    if (events != nullptr) UnhookWinEvent(events);
  }
  FreeLibrary(g.dll);
  if (desktop != nullptr) CloseHandle(desktop);
  return kExitDone;
}
