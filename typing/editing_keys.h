// Backspace, Enter, Space, the digit keys and the keypad separator: the keys that give a word
// its closing shape, run digits left to right inside right-to-left text, and give Backspace and
// Enter their right-to-left meaning.
#pragma once

#include "win32/win32.h"

// Called by the keyboard hook for every key that is neither a letter key nor Scroll Lock, with a
// non-negative hook code. Keys without a handler are left alone.
void HandleEditingKey(int nCode, UINT vk, LPARAM lParam);
