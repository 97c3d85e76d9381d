// The keyboard hook (WH_KEYBOARD): turns letter and punctuation keys into glyphs typed at the
// caret of the focus window, right to left, with joined letter shapes. It never swallows a key;
// the key pre-filter keeps the application from acting on the Latin key-down afterwards.
#pragma once

#include "win32/win32.h"

LRESULT CALLBACK KeyboardProc(int nCode, WPARAM wParam, LPARAM lParam);

// Gates every translated key must pass; a key that fails is handed on untouched.
bool StandardGate();  // Farsi on; Ctrl, Alt and Space up
bool CtrlAltGate();   // Farsi on; Ctrl and Alt up

// The closing shape of the last glyph of a word: final form if it was joined to the letter
// before it, isolated form otherwise (column of the last translated key).
BYTE WordEndGlyph();
