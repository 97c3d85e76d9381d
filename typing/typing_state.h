// The keyboard hook's typing state: plain integers, one copy per process, zero at attach (the
// last digit excepted), read and written without locks by the hooks running in that process.
#pragma once

extern int nKeyIndex;       // key index of the last key translated (0-38)
extern int nOpenGlyph;      // last glyph typed if it joins the next letter, else 0
extern int nPrevOpenGlyph;  // nOpenGlyph as it was when the last letter was typed
extern int nAppCode;        // application code of the focus window, 0 until first computed
extern int fShiftPending;   // a Shift-layer character waits for its caret move at key-up
extern int fSpaceTyped;     // Space, digit and separator key state
extern int fKeyLatch;
extern int nEnterCount;  // translated Enter keys in a row
extern int nLastDigit;   // digit of the last digit key; -1 when none was typed since

// Keys that overlap, as a fast typist's do (the next key down before the last one is up), type
// what the same keys type one after the other: the press of a typing key first does the release
// work of the key pressed before it, if that one is still down, and that key's own release then
// does nothing.
extern int nHeldKey;                   // the typing key pressed last and not yet released, or 0
extern unsigned int anSettledKeys[8];  // bit per virtual key: released early, own release to skip
extern int fSettling;                  // the early release is being done now
extern int fSpaceSettled;  // the Space still held was released early: letters pass its gate

// True for a key released early whose own release has not come yet: it counts as up.
inline bool KeySettled(unsigned int vk) {
  return vk < 256 && (anSettledKeys[vk >> 5] >> (vk & 31) & 1) != 0;
}

// The state as it is when the library is attached to a process.
void ResetTypingState();
