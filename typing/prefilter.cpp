#include "typing/prefilter.h"

#include "hooklib/hook_table.h"
#include "typing/app_detect.h"
#include "typing/controller_link.h"
#include "typing/glyph_tables.h"
#include "typing/typing_state.h"

namespace {

bool Plain() { return !IsKeyDown(VK_CONTROL) && !IsKeyDown(VK_MENU); }

void Neutralise(MSG* msg) { msg->message = kNeutralisedKeyMessage; }

// The application would see Shift still held after our glyph, and take the caret step of a
// Shift-layer character for Shift+Left, a selection: release both Shift keys in this thread's
// key state. That takes effect at once; injected Shift key-ups would come only after the keys
// already typed ahead, and could release a Shift pressed again meanwhile.
void ReleaseShift() {
  if (!IsKeyDown(VK_SHIFT)) return;
  BYTE state[256];
  if (!GetKeyboardState(state)) {
    keybd_event(VK_SHIFT, 66, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_SHIFT, 84, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
    return;
  }
  state[VK_SHIFT] &= 0x7F;
  state[VK_LSHIFT] &= 0x7F;
  state[VK_RSHIFT] &= 0x7F;
  SetKeyboardState(state);
}

// The keys the keyboard hook types from the glyph tables: letters, punctuation and the keypad
// separator (the digits are handled on their own).
bool IsTranslatedLetterKey(UINT vk) {
  const int index = KeyIndexOfVirtualKey(vk);
  return (index >= 0 && index < kKeyIndexDigit4) || index == kKeyIndexSeparator;
}

// `removed`: the message is being taken from the queue. A loop that peeks first (PM_NOREMOVE) sees
// it here before the keyboard hook has typed it, and Shift must still be down then.
void FilterKeyDown(MSG* msg, bool removed) {
  const UINT vk = static_cast<UINT>(msg->wParam);
  const bool farsi = fFarsiOn != 0;

  if (vk == VK_END || vk == VK_HOME) {
    // Right to left, the start of the line is at its right end; no Ctrl/Alt test.
    if (farsi) msg->wParam = vk == VK_END ? VK_HOME : VK_END;
    return;
  }
  if (vk == VK_SCROLL) {
    // Illustrator acts on Scroll Lock itself; keep it from seeing the Farsi switch.
    if (Plain() && IsIllustratorFrame()) Neutralise(msg);
    return;
  }
  if (!farsi) return;

  if (vk == VK_BACK) {
    if (Plain()) Neutralise(msg);
  } else if (vk == VK_RETURN) {
    // Enter reaches a push button, and the application from the second Enter in a row on.
    if (!IsButtonFocus() && Plain() && nEnterCount <= 1) Neutralise(msg);
  } else if (vk == VK_SPACE) {
    if (!Plain()) return;
    nEnterCount = 0;
    if (removed) ReleaseShift();
    Neutralise(msg);
  } else if (vk >= '0' && vk <= '9') {
    if (!Plain()) return;
    nEnterCount = 0;
    nLastDigit = static_cast<int>(vk - '0');
    // 3, 5 and 8 have no glyph of their own: the application types them.
    if (vk == '3' || vk == '5' || vk == '8') return;
    if (removed) ReleaseShift();
    Neutralise(msg);
  } else if (IsTranslatedLetterKey(vk)) {
    if (!Plain()) return;
    nEnterCount = 0;
    nLastDigit = -1;
    if (removed) ReleaseShift();
    Neutralise(msg);
  }
}

}  // namespace

LRESULT CALLBACK GetMessageProc(int nCode, WPARAM wParam, LPARAM lParam) {
  MSG* msg = reinterpret_cast<MSG*>(lParam);
  if (nCode >= 0 && msg != nullptr && !IsMarshalledHookCall(kSlotGetMessage)) {
    const bool removed = (wParam & PM_REMOVE) != 0;
    if (msg->message == WM_KEYDOWN) {
      FilterKeyDown(msg, removed);
    } else if (!removed) {
      // A loop that only peeks at the private messages sees them again when it takes them:
      // they act once, when taken, as a key does.
    } else if (msg->message == MYWM_ZAFRELVK_TRUE) {
      SetTypingMode(kTypingModeTrue);
    } else if (msg->message == MYWM_ZAFRELVK_RETURN2) {
      nEnterCount = 0;
      MessageBoxA(nullptr, "MYWM_ZAFRELVK_RETURN2", "debug", MB_OK);
    }
  }
  return PassHookOn(kSlotGetMessage, nCode, wParam, lParam);
}

int IsOtherLetterKeyDown(int vk) {
  // The semicolon key is not among them.
  static const int kPunctuation[] = {188, 190, 191, 192, 219, 220, 221, 222};
  // One read of the whole key state rather than 34 GetKeyState calls on every Space release:
  // the asked key's byte is cleared, and the down bits of all the others are gathered at once.
  BYTE state[256];
  if (GetKeyboardState(state)) {
    if (vk >= 0 && vk < 256) state[vk] = 0;
    // A key whose release was done early, at the press of the key after it, counts as up.
    BYTE any = 0;
    for (int key = 'A'; key <= 'Z'; ++key) any |= KeySettled(key) ? 0 : state[key];
    for (int key : kPunctuation) any |= KeySettled(key) ? 0 : state[key];
    return KeyStateDown(&any, 0) ? 2 : 0;
  }
  for (int key = 'A'; key <= 'Z'; ++key) {
    if (key != vk && IsKeyDown(key) && !KeySettled(key)) return 2;
  }
  for (int key : kPunctuation) {
    if (key != vk && IsKeyDown(key) && !KeySettled(key)) return 2;
  }
  return 0;
}
