// What the letter keys and the editing keys share: the gates a key must pass to be translated,
// and the closing shape of the word being typed.
#pragma once

#include "win32/win32.h"

// Ctrl and Alt up, and Space too when `testSpace`: a key chord belongs to the application.
bool ModifiersUp(bool testSpace);

// Gates every translated key must pass; a key that fails is handed on untouched.
bool StandardGate();  // Farsi on; Ctrl, Alt and Space up
bool CtrlAltGate();   // Farsi on; Ctrl and Alt up

// The closing shape of the last glyph of a word: final form if it was joined to the letter
// before it, isolated form otherwise (column of the last translated key).
BYTE WordEndGlyph();
