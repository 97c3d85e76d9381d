// The keyboard hook (WH_KEYBOARD): turns letter and punctuation keys into glyphs typed at the
// caret of the focus window, right to left, with joined letter shapes. It never swallows a key;
// the key pre-filter keeps the application from acting on the Latin key-down afterwards.
#pragma once

#include "win32/win32.h"

LRESULT CALLBACK KeyboardProc(int nCode, WPARAM wParam, LPARAM lParam);
