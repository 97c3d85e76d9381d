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

// The state as it is when the library is attached to a process.
void ResetTypingState();
