#include "typing/controller_link.h"

#include "hooklib/controller_window.h"
#include "hooklib/hook_table.h"
#include "hooklib/text.h"
#include "typing/glyph_tables.h"
#include "typing/typing_state.h"

const char kTypingModeTrue[] = "TRUE";
const char kTypingModeFalse[] = "FALSE";

const char kTypingModeEmpty[] = "";

namespace {

// Title layout: mode word in characters 1-5, font code in character 7; nine characters fetched.
constexpr int kTitleFetch = 10;
constexpr int kModeWordLength = 5;
constexpr int kFontCodeIndex = 6;

}  // namespace

HWND hwndController;
int fFarsiOn;
HWND hwndFocusAtOn;
const char* szTypingMode = kTypingModeEmpty;

void SetTypingMode(const char* mode) { __atomic_store_n(&szTypingMode, mode, __ATOMIC_RELAXED); }

int ReadControllerTitle() {
  hwndController = nullptr;
  hwndController = FindControllerWindow();
  if (hwndController == nullptr) return 0;

  // Cleared first: a title shorter than seven characters leaves NUL as the font code (default
  // set), never bytes of an earlier read.
  char title[kTitleFetch] = {};
  GetWindowTextA(hwndController, title, kTitleFetch);

  SelectGlyphTableSet(static_cast<signed char>(title[kFontCodeIndex]));

  title[kModeWordLength] = 0;
  SetTypingMode(EqualsNoCase(title, "TRUES") ? kTypingModeTrue : kTypingModeFalse);
  return 1;
}

LRESULT CALLBACK CbtProc(int nCode, WPARAM wParam, LPARAM lParam) {
  if ((nCode == HCBT_KEYSKIPPED || nCode == HCBT_SETFOCUS) && IsMarshalledHookCall(kSlotCbt)) {
    // Another process's focus change or skipped key, seen on the controller's thread.
  } else if (nCode == HCBT_KEYSKIPPED) {
    if (fFarsiOn == 1) {
      ReadControllerTitle();
      SendNotifyMessageA(hwndController, MYWM_ZAFRELVK_ON, 1, 1);
    }
  } else if (nCode == HCBT_SETFOCUS) {
    // lParam is the window losing the focus. The whole 32-bit handle is compared: a handle
    // whose high word is set must still switch typing off when it was the focus at switch-on.
    if (ParamIsHandle(lParam, hwndFocusAtOn)) {
      fFarsiOn = 0;
    } else {
      ReadControllerTitle();
      SendNotifyMessageA(hwndController, MYWM_ZAFRELVK_OFF, 0, 0);
    }
  }
  // Negative codes and every other code are only handed on; the action is never prevented.
  return PassHookOn(kSlotCbt, nCode, wParam, lParam);
}

void ScrollLockStep() {
  ReadControllerTitle();
  // The press switches this process's own Farsi typing over. The light is no guide to it: it
  // shows whichever program was switched last, and a thread that took no key since then still
  // reads an old toggle here (the key state only catches up once this key-down is taken).
  const int on = fFarsiOn == 1 ? 0 : 1;
  nOpenGlyph = 0;
  nPrevOpenGlyph = 0;
  if (on) {
    hwndFocusAtOn = GetFocus();
    SendNotifyMessageA(hwndController, MYWM_ZAFRELVK_ON, 0, 0);
    fFarsiOn = 1;
  } else {
    SendNotifyMessageA(hwndController, MYWM_ZAFRELVK_OFF, 0, 0);
    fFarsiOn = 0;
  }
}

int fLightDue;
int nLightPresses;
DWORD dwLightPressTick;
int nLightRule;

namespace {

constexpr WORD kScrollLockScan = 0x46;
// The press injected to set the light comes back through this hook at once; one that has not
// come back by then went to another program and is no longer waited for.
constexpr DWORD kLightPressWaitMs = 1000;

// Where the light belongs after a press. Windows: on exactly while Farsi typing is on. Wine keeps
// the toggle at the X server's Scroll Lock lock, which X's usual keymap never sets: at the next X
// key event it presses Scroll Lock itself to put a toggle left on back off, and that press would
// switch Farsi typing over again. There the light stays off.
int LightWanted() {
  if (nLightRule == 0) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    nLightRule = wine ? kLightRuleWine : kLightRuleWindows;
  }
  return nLightRule == kLightRuleWine ? 0 : fFarsiOn;
}

// At the release of a press that switched: the thread's key state now has that key-down's
// toggle, which is the light. Windows sets the light only for key events, so a press of its own
// brings it where it belongs.
void BringLightInLine() {
  if (KeyToggleBit(VK_SCROLL) == LightWanted()) return;
  INPUT press[2];
  ClearBytes(press, static_cast<UINT>(sizeof press));
  for (INPUT& record : press) {
    record.type = INPUT_KEYBOARD;
    record.ki.wVk = VK_SCROLL;
    record.ki.wScan = kScrollLockScan;
  }
  press[1].ki.dwFlags = KEYEVENTF_KEYUP;
  nLightPresses = 1;
  dwLightPressTick = GetTickCount();
  if (SendInput(2, press, sizeof(INPUT)) != 2) nLightPresses = 0;
}

// A key-down of the press injected by BringLightInLine: it sets the light and nothing else.
bool TakeLightPress() {
  if (nLightPresses == 0) return false;
  nLightPresses = 0;
  return GetTickCount() - dwLightPressTick < kLightPressWaitMs;
}

}  // namespace

void ScrollLockKey(int nCode, LPARAM lParam) {
  if (nCode < 0) return;
  if (KeyReleased(lParam)) {
    if (fLightDue) {
      fLightDue = 0;
      BringLightInLine();
    }
    return;
  }
  // One press, one switch: a thread that peeks at the key-down (HC_NOREMOVE) is told of it again
  // when it takes it (HC_ACTION), and a held key repeats its key-down (lParam bit 30 set).
  if (nCode != HC_ACTION || KeyRepeated(lParam)) return;
  if (TakeLightPress()) return;
  ScrollLockStep();
  fLightDue = 1;
}

void ResetControllerLink() {
  hwndController = nullptr;
  fFarsiOn = 0;
  hwndFocusAtOn = nullptr;
  ResetControllerWindowCheck();
  fLightDue = 0;
  nLightPresses = 0;
  dwLightPressTick = 0;
  nLightRule = 0;
  SetTypingMode(kTypingModeEmpty);
}
