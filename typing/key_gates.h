// What the letter keys and the editing keys share: the gates a key must pass to be translated,
// and the closing shape of the word being typed. The gates are inline: every key passes one.
#pragma once

#include "typing/controller_link.h"
#include "typing/typing_state.h"
#include "win32/win32.h"

// The Space counts as held while it is down, unless the key pressed after it has already done
// its release (that key is typed as it would be after the Space).
inline bool SpaceHeld() { return fSettling == 0 && fSpaceSettled == 0 && IsKeyDown(VK_SPACE); }

// Ctrl and Alt up, and Space too when `testSpace`: a key chord belongs to the application.
inline bool ModifiersUp(bool testSpace) {
  return !IsKeyDown(VK_CONTROL) && !IsKeyDown(VK_MENU) && !(testSpace && SpaceHeld());
}

// Gates every translated key must pass; a key that fails is handed on untouched.
inline bool StandardGate() { return fFarsiOn != 0 && ModifiersUp(true); }  // Ctrl, Alt, Space up
inline bool CtrlAltGate() { return fFarsiOn != 0 && ModifiersUp(false); }  // Ctrl and Alt up

// The closing shape of the last glyph of a word: final form if it was joined to the letter
// before it, isolated form otherwise (column of the last translated key).
BYTE WordEndGlyph();
