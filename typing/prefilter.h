// The key pre-filter (WH_GETMESSAGE): after the keyboard hook has typed a key's glyphs, it keeps
// the application from acting on the key's own WM_KEYDOWN, releases a held Shift, swaps Home and
// End while Farsi typing is on, and keeps the Enter and digit counters.
#pragma once

#include "win32/win32.h"

// The message number a neutralised key-down gets (WM_USER + 100): no window acts on it and
// TranslateMessage makes no character from it.
constexpr UINT kNeutralisedKeyMessage = WM_USER + 100;

LRESULT CALLBACK GetMessageProc(int nCode, WPARAM wParam, LPARAM lParam);

// 2 when a letter key or one of eight punctuation keys other than `vk` is down, else 0.
int IsOtherLetterKeyDown(int vk);
