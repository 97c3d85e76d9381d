#include "typing/controller_link.h"

#include "hooklib/hook_table.h"
#include "hooklib/text.h"
#include "typing/glyph_tables.h"
#include "typing/typing_state.h"

const char kControllerClass[] = "ZafrelXP908@2005";
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
  hwndController = FindWindowA(kControllerClass, nullptr);
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
  // Inside the keyboard hook the thread's key state still shows the toggle as it was before this
  // key-down; the switch follows what the hooked thread sees.
  const int toggled = KeyToggleBit(VK_SCROLL);
  nOpenGlyph = 0;
  nPrevOpenGlyph = 0;
  if (toggled) {
    hwndFocusAtOn = GetFocus();
    SendNotifyMessageA(hwndController, MYWM_ZAFRELVK_ON, 0, 0);
    fFarsiOn = 1;
  } else {
    SendNotifyMessageA(hwndController, MYWM_ZAFRELVK_OFF, 0, 0);
    fFarsiOn = 0;
  }
}

void ScrollLockKey(int nCode, LPARAM lParam) {
  if (nCode >= 0 && !KeyReleased(lParam)) ScrollLockStep();
}

void ResetControllerLink() {
  hwndController = nullptr;
  fFarsiOn = 0;
  hwndFocusAtOn = nullptr;
  SetTypingMode(kTypingModeEmpty);
}
