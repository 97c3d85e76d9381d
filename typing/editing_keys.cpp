#include "typing/editing_keys.h"

#include "typing/app_detect.h"
#include "typing/controller_link.h"
#include "typing/delivery.h"
#include "typing/glyph_tables.h"
#include "typing/key_gates.h"
#include "typing/prefilter.h"
#include "typing/typing_state.h"

namespace {

// Characters these keys type, the same in every font encoding.
constexpr BYTE kCarriageReturn = 13;
constexpr BYTE kSpace = 32;
constexpr BYTE kVerticalBar = 124;  // Shift+Space with no open letter
constexpr BYTE kShift2Glyph = 132;  // Shift+2: a letter-like glyph left open
constexpr BYTE kShiftSeparator = 117;
constexpr int kShift2KeyIndex = 3;  // Shift+2 closes like the letter in column 3

// Enter passes to a push button, and to the application from the third count on.
bool EnterGate() {
  return fFarsiOn != 0 && !IsButtonFocus() && !IsKeyDown(VK_CONTROL) && !IsKeyDown(VK_MENU) &&
         nEnterCount <= 2;
}

void BackspaceDown() {
  // Text grows leftwards: the glyph typed last is right of the caret, so Backspace is Delete.
  // In typing mode "TRUE" it goes the way that window's glyphs go; a posted-route window gets
  // the Delete as in the other modes.
  const int appCode = TypingModeIsTrue() ? DetectTargetApplication() : 0;
  if (IsSentRoute(appCode)) {
    DeliverKeys(appCode, true, VK_DELETE);
  } else {
    PostKeyMessage(WM_KEYDOWN, VK_DELETE);
    PostKeyMessage(WM_KEYUP, VK_DELETE);
  }
  if (nPrevOpenGlyph == 0) {
    nOpenGlyph = 0;
    nPrevOpenGlyph = 0;
  }
}

void EnterDown() {
  ++nEnterCount;
  nAppCode = DetectTargetApplication();
  if (nOpenGlyph != 0) {
    const BYTE closing = WordEndGlyph();
    if (IsSentRoute(nAppCode)) {
      SendGlyph(closing, kShortTimeout);
    } else {
      PostGlyph(closing);
    }
    DeliverKeys(nAppCode, IsSentRoute(nAppCode), VK_DELETE, VK_LEFT, VK_HOME);
  } else {
    DeliverKeys(nAppCode, IsSentRoute(nAppCode), VK_HOME);
  }
  nOpenGlyph = 0;
}

void EnterUp() {
  ++nEnterCount;
  PostGlyph(kCarriageReturn);
}

void SpaceDown() {
  // No table is read here unless a letter is open, and a letter is only ever left open after a
  // glyph table set was read.
  ReadControllerTitle();
  if (IsKeyDown(VK_SHIFT)) {
    // The open letter takes its final form with no space; the rest waits for the key-up.
    fShiftPending = 1;
    PostGlyph(nOpenGlyph != 0 ? pFinalTable[nKeyIndex] : kVerticalBar);
    return;
  }
  nAppCode = DetectTargetApplication();
  if (IsSentRoute(nAppCode)) {
    if (nLastDigit >= 0) {
      nLastDigit = -1;
      SendKeyDown(VK_HOME);
    }
    if (nOpenGlyph != 0) {
      SendReplaceGlyph(WordEndGlyph(), nAppCode);
      fKeyLatch = 1;  // the space itself comes at the key-up
    } else {
      fSpaceTyped = 1;
      SendGlyph(kSpace, kShortTimeout);
      CaretLeftAfterGlyph(nAppCode, true);
    }
  } else {
    if (nLastDigit >= 0) {
      nLastDigit = -1;
      PostKeyMessage(WM_KEYDOWN, VK_HOME);
    }
    if (nOpenGlyph != 0) {
      PostReplaceGlyph(WordEndGlyph());  // the space itself comes at the key-up
    } else {
      fSpaceTyped = 1;
      PostGlyph(kSpace);
    }
    PostKeyMessage(WM_KEYDOWN, VK_LEFT);
  }
  nOpenGlyph = 0;
  nPrevOpenGlyph = 0;
}

void SpaceUp() {
  if (fShiftPending == 1) {
    fShiftPending = 0;
    if (nOpenGlyph != 0) {
      // The final form typed at the key-down stands left of the old joined glyph: remove that.
      KeysAfterPostedGlyph(VK_DELETE, VK_LEFT);
      nOpenGlyph = 0;
      nPrevOpenGlyph = 0;
    } else {
      KeysAfterPostedGlyph(VK_LEFT);
    }
    return;
  }
  // A letter key held across the Space release: the word goes on, nothing is settled yet. A
  // letter pressed after the Space ends it instead (the release is done at that press).
  if (fSettling == 0 && IsOtherLetterKeyDown(VK_SPACE) != 0) return;
  if (fSpaceTyped == 1) {
    fSpaceTyped = 0;
  } else if (!TypingModeIsFalse() && nAppCode < 0 && fKeyLatch == 1) {
    SendGlyph(kSpace, kShortTimeout);
    CaretLeftAfterGlyph(nAppCode, true);
    fKeyLatch = 0;
  } else {
    PostGlyph(kSpace);
    CaretLeftAfterPostedGlyph();
  }
  nOpenGlyph = 0;
  nPrevOpenGlyph = 0;
}

// The character a digit key or the separator types, without and with Shift.
struct DigitKey {
  UINT vk;
  int keyIndex;  // -1: a fixed ASCII character, no table column
  BYTE plain;
  BYTE shifted;  // 0: from the shift table at keyIndex
};

constexpr DigitKey kDigitKeys[] = {
    {'0', -1, '0', ')'},
    {'1', -1, '1', '!'},
    {'2', -1, '2', kShift2Glyph},
    {'4', kKeyIndexDigit4, 0, 0},
    {'6', kKeyIndexDigit4 + 1, 0, 0},
    {'7', kKeyIndexDigit4 + 2, 0, 0},
    {'9', -1, '9', '('},
    {VK_SEPARATOR, kKeyIndexSeparator, 0, kShiftSeparator},
};

const DigitKey* FindDigitKey(UINT vk) {
  // Most keys that come here are none of them (the caret keys typing injects, above all).
  if ((vk < '0' || vk > '9') && vk != VK_SEPARATOR) return nullptr;
  for (const DigitKey& key : kDigitKeys) {
    if (key.vk == vk) return &key;
  }
  return nullptr;
}

// Digits are typed left to right: no caret move follows them. A Shift-layer character's caret
// move comes at the key-up.
void DigitDown(const DigitKey& key) {
  ReadControllerTitle();
  const bool isTwo = key.vk == '2';
  const bool shift = IsKeyDown(VK_SHIFT);
  // Without a glyph table set in this process, a key whose glyph comes from a table (or, for
  // Shift+2, is left open for a table to close) goes on untouched.
  if (!GlyphTableSetSelected() && (key.keyIndex >= 0 || (isTwo && shift))) return;
  if (isTwo) {
    nPrevOpenGlyph = nOpenGlyph;
  } else {
    nAppCode = DetectTargetApplication();
  }
  // On the sent route a held key types its digit once.
  if (isTwo ? TypingModeIsTrue() : IsSentRoute(nAppCode)) {
    if (fKeyLatch == 1) return;
    fKeyLatch = 1;
  }

  if (key.keyIndex >= 0) nKeyIndex = key.keyIndex;
  if (shift) {
    PostGlyph(key.shifted != 0 ? key.shifted : pShiftTable[key.keyIndex]);
    fShiftPending = 1;
    if (isTwo) {
      nKeyIndex = kShift2KeyIndex;
      nOpenGlyph = kShift2Glyph;
    }
  } else {
    nOpenGlyph = 0;
    PostGlyph(key.plain != 0 ? key.plain : pInitialTable[key.keyIndex]);
  }
}

void DigitUp(const DigitKey& key) {
  if (key.vk == '7') ReadControllerTitle();
  if (fShiftPending == 1) {
    fShiftPending = 0;
    if (TypingModeIsFalse()) {
      KeysAfterPostedGlyph(VK_LEFT);
    } else if (TypingModeIsTrue() && fKeyLatch == 1) {
      fKeyLatch = 0;
      KeysAfterPostedGlyph(VK_LEFT);
    }
  } else if (TypingModeIsTrue() && fKeyLatch == 1) {
    fKeyLatch = 0;
  }
}

// Unlike the digits, the separator steps left at its key-up on the sent route with or without
// Shift.
void SeparatorUp() {
  if (fShiftPending == 1) {
    fShiftPending = 0;
    if (TypingModeIsFalse()) {
      KeysAfterPostedGlyph(VK_LEFT);
      return;
    }
  }
  if (TypingModeIsTrue() && fKeyLatch == 1) {
    fKeyLatch = 0;
    KeysAfterPostedGlyph(VK_LEFT);
  }
}

}  // namespace

void HandleEditingKey(int nCode, UINT vk, LPARAM lParam) {
  const bool up = KeyReleased(lParam);
  const DigitKey* digit = FindDigitKey(vk);
  bool gate;
  if (vk == VK_BACK || digit != nullptr) {
    gate = StandardGate();
  } else if (vk == VK_RETURN) {
    gate = EnterGate();
  } else if (vk == VK_SPACE) {
    gate = CtrlAltGate();
  } else {
    return;  // Delete, Shift, 3, 5, 8 and every other key: the application's own
  }
  if (!gate || nCode == HC_NOREMOVE) return;

  if (vk == VK_BACK) {
    if (!up) BackspaceDown();
  } else if (vk == VK_RETURN) {
    up ? EnterUp() : EnterDown();
  } else if (vk == VK_SPACE) {
    up ? SpaceUp() : SpaceDown();
  } else if (!up) {
    DigitDown(*digit);
  } else if (vk == VK_SEPARATOR) {
    SeparatorUp();
  } else {
    DigitUp(*digit);
  }
}
