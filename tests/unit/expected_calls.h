// The rows typing tests expect most: glyphs and caret keys as the delivery primitives send them.
#pragma once

#include "winsim/call_log.h"

// A glyph posted as a character, lParam 0.
inline fakewin::Call Char(HWND w, BYTE glyph) { return fakewin::Posted(w, WM_CHAR, glyph, 0); }
// A posted key message, lParam 0.
inline fakewin::Call Key(HWND w, UINT msg, UINT vk) { return fakewin::Posted(w, msg, vk, 0); }
inline fakewin::Call Left(HWND w) { return Key(w, WM_KEYDOWN, VK_LEFT); }
inline fakewin::Call SentChar(HWND w, BYTE glyph, UINT timeout) {
  return fakewin::Sent(w, WM_CHAR, glyph, 0, timeout);
}
inline fakewin::Call SentLeft(HWND w) { return fakewin::Sent(w, WM_KEYDOWN, VK_LEFT, 0, 100); }
// The Left that keybd_event injects: the virtual key repeated as scan byte.
inline fakewin::Call LeftEvent() { return fakewin::KeybdEvent(VK_LEFT, 37, KEYEVENTF_EXTENDEDKEY); }
// One SendInput call of `count` records, and one injected key-down record with its scan code.
inline fakewin::Call Inject(UINT count) { return fakewin::SendInputCall(count, sizeof(INPUT)); }
inline fakewin::Call KeyDownRecord(WORD vk) {
  return fakewin::Injected(vk, static_cast<WORD>(MapVirtualKeyA(vk, 0)), KEYEVENTF_EXTENDEDKEY);
}
