#include "typing/delivery.h"

#include "hooklib/text.h"
#include "typing/app_detect.h"
#include "typing/controller_link.h"
#include "typing/typing_state.h"

namespace {

void InjectKeyDowns(const UINT* vks, UINT count) {
  // The records live on this call's stack: nothing of an injection outlives it.
  // Only the records SendInput is given are cleared.
  INPUT records[3];
  ClearBytes(records, count * static_cast<UINT>(sizeof(INPUT)));
  for (UINT i = 0; i < count; ++i) {
    records[i].type = INPUT_KEYBOARD;
    records[i].ki.wVk = static_cast<WORD>(vks[i]);
    records[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(vks[i], 0));
    records[i].ki.dwFlags = KEYEVENTF_EXTENDEDKEY;  // a key-down, never a key-up
  }
  SendInput(count, records, sizeof(INPUT));
}

// A sent key-down reaches the window procedure without passing the key pre-filter, which turns
// Home into End while Farsi typing is on (the start of a right-to-left line is its right end):
// the sent key is End itself.
void SendKeyDowns(const UINT* vks, UINT count) {
  for (UINT i = 0; i < count; ++i) SendKeyDown(vks[i] == VK_HOME ? VK_END : vks[i]);
}

void DeliverKeyDowns(int appCode, bool sentRoute, const UINT* vks, UINT count) {
  if (!sentRoute) {
    for (UINT i = 0; i < count; ++i) PostKeyMessage(WM_KEYDOWN, vks[i]);
  } else if (appCode == kAppIllustrator) {
    InjectKeyDowns(vks, count);
  } else {
    SendKeyDowns(vks, count);
  }
}

// The keys of a glyph posted at an earlier key-down come at a key-up or at the next key's press:
// the glyph was taken before that input, so the keys go the way the window's glyphs go now (on
// the sent route they must not wait behind the next key's sent glyph). The application is read
// afresh: the Shift layer does not refresh the application code.
void KeyDownsAfterPostedGlyph(const UINT* vks, UINT count) {
  const int appCode = DetectTargetApplication();
  DeliverKeyDowns(appCode, IsSentRoute(appCode), vks, count);
}

}  // namespace

void PostGlyph(BYTE glyph) { PostMessageA(GetFocus(), WM_CHAR, glyph, 0); }

void SendGlyph(BYTE glyph, UINT timeout) {
  DWORD_PTR result;  // never read: a time-out counts as delivered
  SendMessageTimeoutA(GetFocus(), WM_CHAR, glyph, 0, SMTO_NORMAL, timeout, &result);
}

void PostKeyMessage(UINT message, UINT vk) { PostMessageA(GetFocus(), message, vk, 0); }

void SendKeyDown(UINT vk) {
  DWORD_PTR result;
  SendMessageTimeoutA(GetFocus(), WM_KEYDOWN, vk, 0, SMTO_NORMAL, kShortTimeout, &result);
}

void InjectKeys(UINT vk1) { InjectKeyDowns(&vk1, 1); }

void InjectKeys(UINT vk1, UINT vk2) {
  const UINT vks[] = {vk1, vk2};
  InjectKeyDowns(vks, 2);
}

void InjectKeys(UINT vk1, UINT vk2, UINT vk3) {
  const UINT vks[] = {vk1, vk2, vk3};
  InjectKeyDowns(vks, 3);
}

void SynthCaretLeft() { keybd_event(VK_LEFT, 37, KEYEVENTF_EXTENDEDKEY, 0); }

void CaretLeftAfterGlyph(int appCode, bool sentRoute) {
  if (!sentRoute) {
    PostKeyMessage(WM_KEYDOWN, VK_LEFT);
  } else if (appCode == kAppIllustrator) {
    // Illustrator's text caret is stepped with a real (injected) key event, not a message.
    InjectKeys(VK_LEFT);
  } else {
    SendKeyDown(VK_LEFT);
  }
}

void DeliverKeys(int appCode, bool sentRoute, UINT vk1) {
  DeliverKeyDowns(appCode, sentRoute, &vk1, 1);
}

void DeliverKeys(int appCode, bool sentRoute, UINT vk1, UINT vk2) {
  const UINT vks[] = {vk1, vk2};
  DeliverKeyDowns(appCode, sentRoute, vks, 2);
}

void DeliverKeys(int appCode, bool sentRoute, UINT vk1, UINT vk2, UINT vk3) {
  const UINT vks[] = {vk1, vk2, vk3};
  DeliverKeyDowns(appCode, sentRoute, vks, 3);
}

void KeysAfterPostedGlyph(UINT vk1) { KeyDownsAfterPostedGlyph(&vk1, 1); }

void KeysAfterPostedGlyph(UINT vk1, UINT vk2) {
  const UINT vks[] = {vk1, vk2};
  KeyDownsAfterPostedGlyph(vks, 2);
}

void CaretLeftAfterPostedGlyph() {
  const int appCode = DetectTargetApplication();
  if (IsSentRoute(appCode) && appCode == kAppIllustrator) {
    SynthCaretLeft();
  } else {
    PostKeyMessage(WM_KEYDOWN, VK_LEFT);
  }
}

void SendReplaceGlyph(BYTE glyph, int appCode) {
  SendGlyph(glyph, kShortTimeout);
  DeliverKeys(appCode, true, VK_DELETE, VK_LEFT);
}

void PostReplaceGlyph(BYTE glyph) {
  if (IsWordDocumentFocus()) {
    // A Word document window gets the Delete ahead of the glyph, and no key-up.
    PostKeyMessage(WM_KEYDOWN, VK_DELETE);
    PostGlyph(glyph);
  } else {
    PostGlyph(glyph);
    PostKeyMessage(WM_KEYDOWN, VK_DELETE);
    PostKeyMessage(WM_KEYUP, VK_DELETE);
  }
}
