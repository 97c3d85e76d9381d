#include "typing/keyboard_hook.h"

#include "hooklib/hook_table.h"
#include "typing/app_detect.h"
#include "typing/controller_link.h"
#include "typing/delivery.h"
#include "typing/editing_keys.h"
#include "typing/glyph_tables.h"
#include "typing/key_gates.h"
#include "typing/typing_state.h"

namespace {

enum class Gate : unsigned char { kStandard, kBypass, kCtrlAlt };

enum class TypingClass : unsigned char { kJoining, kNonJoining, kAlef, kSlash };

enum class ShiftRule : unsigned char {
  kPlain,
  kPlainReset,
  kLeftShiftAlt,        // the alternative table with the left Shift key
  kRightShiftAlt,       // the alternative table with the right Shift key
  kRightShiftAltReset,  //
  kOpenGlyphAltReset,   // the alternative table after an open glyph
  kSemicolonPair,       // 188 or 189 with the left Shift key
};

struct LetterKey {
  Gate gate;
  TypingClass typing;
  ShiftRule shift;
};

// Letters and punctuation, by key index (A-Z, then grave, [, ], \, comma, full stop, slash,
// semicolon, apostrophe).
constexpr int kLetterKeyCount = 35;
constexpr LetterKey kLetterKeys[kLetterKeyCount] = {
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kLeftShiftAlt},        // A
    {Gate::kCtrlAlt, TypingClass::kNonJoining, ShiftRule::kPlain},             // B
    {Gate::kBypass, TypingClass::kNonJoining, ShiftRule::kRightShiftAlt},      // C
    {Gate::kBypass, TypingClass::kJoining, ShiftRule::kLeftShiftAlt},          // D
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlain},               // E
    {Gate::kBypass, TypingClass::kJoining, ShiftRule::kRightShiftAlt},         // F
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kRightShiftAlt},       // G (lam)
    {Gate::kStandard, TypingClass::kAlef, ShiftRule::kPlain},                  // H (alef)
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlainReset},          // I
    {Gate::kBypass, TypingClass::kJoining, ShiftRule::kPlain},                 // J
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlainReset},          // K
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlainReset},          // L
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlain},               // M
    {Gate::kBypass, TypingClass::kNonJoining, ShiftRule::kPlain},              // N
    {Gate::kBypass, TypingClass::kJoining, ShiftRule::kPlainReset},            // O
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kRightShiftAlt},       // P
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlain},               // Q
    {Gate::kBypass, TypingClass::kJoining, ShiftRule::kRightShiftAlt},         // R
    {Gate::kBypass, TypingClass::kJoining, ShiftRule::kLeftShiftAlt},          // S
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlainReset},          // T
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlain},               // U
    {Gate::kStandard, TypingClass::kNonJoining, ShiftRule::kRightShiftAlt},    // V
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlain},               // W
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kOpenGlyphAltReset},   // X
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlainReset},          // Y
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kOpenGlyphAltReset},   // Z
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlain},               // ` ~
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kRightShiftAltReset},  // [ {
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kRightShiftAltReset},  // ] }
    {Gate::kStandard, TypingClass::kNonJoining, ShiftRule::kPlain},            // \ |
    {Gate::kStandard, TypingClass::kNonJoining, ShiftRule::kPlain},            // , <
    {Gate::kStandard, TypingClass::kNonJoining, ShiftRule::kPlain},            // . >
    {Gate::kStandard, TypingClass::kSlash, ShiftRule::kPlain},                 // / ?
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kSemicolonPair},       // ; :
    {Gate::kStandard, TypingClass::kJoining, ShiftRule::kPlain},               // ' "
};

// Shift+; in the default set: the two glyphs of the font's semicolon pair.
constexpr BYTE kSemicolonAfterOpenGlyph = 188;
constexpr BYTE kSemicolonAlone = 189;

int LetterKeyIndex(UINT vk) {
  const int index = KeyIndexOfVirtualKey(vk);
  return index < kLetterKeyCount ? index : -1;
}

bool GatePasses(Gate gate) {
  switch (gate) {
    case Gate::kStandard:
      return StandardGate();
    case Gate::kBypass:
      // The bypass test reads a title: only when Farsi typing is on at all.
      return fFarsiOn != 0 && IsBypassedApplication() == 0 && ModifiersUp(true);
    case Gate::kCtrlAlt:
      return CtrlAltGate();
  }
  return false;
}

// Which Shift table a key takes in the default set: the left Shift key picks one, the right
// Shift key the other. The other sets have a single Shift layer.
BYTE ShiftCharacter(ShiftRule rule, int index) {
  if (nTableVariant != 1) return pShiftTable[index];
  switch (rule) {
    case ShiftRule::kLeftShiftAlt:
      return IsKeyDown(VK_LSHIFT) ? abAltShiftTable[index] : pShiftTable[index];
    case ShiftRule::kRightShiftAlt:
    case ShiftRule::kRightShiftAltReset:
      return IsKeyDown(VK_LSHIFT) ? pShiftTable[index] : abAltShiftTable[index];
    case ShiftRule::kOpenGlyphAltReset:
      return nOpenGlyph != 0 ? abAltShiftTable[index] : pShiftTable[index];
    case ShiftRule::kSemicolonPair:
      if (!IsKeyDown(VK_LSHIFT)) return pShiftTable[index];
      return nOpenGlyph != 0 ? kSemicolonAfterOpenGlyph : kSemicolonAlone;
    case ShiftRule::kPlain:
    case ShiftRule::kPlainReset:
      break;
  }
  return pShiftTable[index];
}

// A Shift-layer character is typed where the caret is; its caret move waits for the key-up.
void TypeShiftCharacter(ShiftRule rule, int index) {
  fShiftPending = 1;
  PostGlyph(ShiftCharacter(rule, index));
  if (rule == ShiftRule::kPlainReset || rule == ShiftRule::kRightShiftAltReset ||
      rule == ShiftRule::kOpenGlyphAltReset || rule == ShiftRule::kSemicolonPair) {
    nOpenGlyph = 0;
  }
}

// Types a glyph at the caret and puts the caret back in front of it.
void TypeAndStepLeft(BYTE glyph, UINT timeout, bool sent) {
  if (sent) {
    SendGlyph(glyph, timeout);
    CaretLeftAfterGlyph(nAppCode, true);
  } else {
    PostGlyph(glyph);
    PostKeyMessage(WM_KEYDOWN, VK_LEFT);
  }
}

// Replaces an open lam, right of the caret, by the lam-alef ligature.
void ReplaceLam(BYTE ligature, bool sent) {
  if (sent) {
    SendReplaceGlyph(ligature, nAppCode);
  } else {
    PostReplaceGlyph(ligature);
    PostKeyMessage(WM_KEYDOWN, VK_LEFT);
  }
}

// Alef after a lam becomes the lam-alef ligature; elsewhere it is a letter that never joins the
// next one.
void TypeAlef(bool sent) {
  const int open = nOpenGlyph;
  if (open == 0) {
    TypeAndStepLeft(pInitialTable[kKeyIndexAlef], kGlyphTimeout, sent);
  } else if (open == pInitialTable[kKeyIndexLam]) {
    ReplaceLam(pLamAlefPair[0], sent);
  } else if (open == pMedialTable[kKeyIndexLam]) {
    ReplaceLam(pLamAlefPair[1], sent);
  } else {
    TypeAndStepLeft(pMedialTable[kKeyIndexAlef], kShortTimeout, sent);
  }
  nOpenGlyph = 0;
}

// A slash right after a digit stays to the right of it: digits run left to right.
void TypeSlash(BYTE glyph, bool sent) {
  if (sent) {
    SendGlyph(glyph, kGlyphTimeout);
    if (nLastDigit < 0 || nOpenGlyph != 0) CaretLeftAfterGlyph(nAppCode, true);
  } else {
    PostGlyph(glyph);
    if (nLastDigit < 0) PostKeyMessage(WM_KEYDOWN, VK_LEFT);
  }
  nOpenGlyph = 0;
}

void TypeLetter(TypingClass typing, int index) {
  // While a Shift-layer character waits for its caret move, letters wait too (alef excepted).
  if (typing != TypingClass::kAlef && fShiftPending == 1) return;
  nPrevOpenGlyph = nOpenGlyph;
  nAppCode = DetectTargetApplication();
  const bool sent = IsSentRoute(nAppCode);
  const BYTE glyph = nOpenGlyph != 0 ? pMedialTable[index] : pInitialTable[index];

  switch (typing) {
    case TypingClass::kJoining:
      TypeAndStepLeft(glyph, kGlyphTimeout, sent);
      nOpenGlyph = glyph;
      break;
    case TypingClass::kNonJoining:
      TypeAndStepLeft(glyph, kGlyphTimeout, sent);
      nOpenGlyph = 0;
      break;
    case TypingClass::kAlef:
      TypeAlef(sent);
      break;
    case TypingClass::kSlash:
      TypeSlash(glyph, sent);
      break;
  }
}

void HandleLetterKey(int nCode, int index, LPARAM lParam) {
  const LetterKey& key = kLetterKeys[index];
  if (!GatePasses(key.gate)) return;

  if (KeyReleased(lParam)) {
    // The release of any letter key completes a pending Shift-layer character.
    if (nCode == HC_NOREMOVE || fShiftPending == 0) return;
    KeysAfterPostedGlyph(VK_LEFT);
    fShiftPending = 0;
    return;
  }

  if (nCode == HC_NOREMOVE) return;
  ReadControllerTitle();
  // No controller window was ever found in this process: there is no table to type from, and
  // the key goes on untouched.
  if (!GlyphTableSetSelected()) return;
  nKeyIndex = index;
  if (IsKeyDown(VK_SHIFT)) {
    TypeShiftCharacter(key.shift, index);
  } else {
    TypeLetter(key.typing, index);
  }
}

void Dispatch(int nCode, UINT vk, LPARAM lParam) {
  const int letter = LetterKeyIndex(vk);
  if (vk == VK_SCROLL) {
    ScrollLockKey(nCode, lParam);
  } else if (letter >= 0) {
    HandleLetterKey(nCode, letter, lParam);
  } else {
    HandleEditingKey(nCode, vk, lParam);
  }
}

// The keys whose press ends an earlier key still held: the ones that type. The caret keys the
// library injects itself (Left, Delete, Home) are not among them.
bool IsTypingKey(UINT vk) {
  return LetterKeyIndex(vk) >= 0 || (vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_RETURN ||
         vk == VK_BACK || vk == VK_SEPARATOR;
}

void MarkSettled(UINT vk, bool settled) {
  const unsigned int bit = 1u << (vk & 31);
  unsigned int& bits = anSettledKeys[vk >> 5 & 7];
  bits = settled ? bits | bit : bits & ~bit;
}

// A typing key goes down while the one pressed before it is still held: that key's release is
// done first, as if it had come now, so the glyphs land in the order of the presses.
// A Ctrl or Alt chord is the application's shortcut, not typing: the key held keeps its own
// release, which comes when the chord is over.
void SettleHeldKey(UINT vk) {
  if (IsKeyDown(VK_CONTROL) || IsKeyDown(VK_MENU)) return;
  const int held = nHeldKey;
  nHeldKey = static_cast<int>(vk);
  // A new press of this key: an early release of an older one (whose own release went to
  // another window, say) is over.
  MarkSettled(vk, false);
  if (vk == VK_SPACE) fSpaceSettled = 0;
  if (held == 0 || held == static_cast<int>(vk)) return;  // nothing held, or an auto-repeat
  MarkSettled(static_cast<UINT>(held), true);
  if (held == VK_SPACE) fSpaceSettled = 1;
  fSettling = 1;
  Dispatch(HC_ACTION, static_cast<UINT>(held), static_cast<LPARAM>(0xC0000001u));
  fSettling = 0;
}

// False for the release of a key whose release was already done early.
bool TakeRelease(UINT vk) {
  if (nHeldKey == static_cast<int>(vk)) nHeldKey = 0;
  if (vk == VK_SPACE) fSpaceSettled = 0;
  if (!KeySettled(vk)) return true;
  MarkSettled(vk, false);
  return false;
}

}  // namespace

LRESULT CALLBACK KeyboardProc(int nCode, WPARAM wParam, LPARAM lParam) {
  if (nCode >= 0 && !IsMarshalledHookCall(kSlotKeyboard)) {
    const UINT vk = static_cast<UINT>(wParam);
    bool handle = true;
    if (nCode == HC_ACTION && vk < 256 && IsTypingKey(vk)) {
      if (KeyReleased(lParam)) {
        handle = TakeRelease(vk);
      } else {
        SettleHeldKey(vk);
      }
    }
    if (handle) Dispatch(nCode, vk, lParam);
  }
  return PassHookOn(kSlotKeyboard, nCode, wParam, lParam);
}
