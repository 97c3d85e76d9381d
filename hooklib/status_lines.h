// The status lines the diagnostics write, one 128-byte line per hook slot, drawn into the
// controller's status window at row `slot`.
#pragma once

#include "win32/win32.h"

constexpr int kStatusLineSize = 128;  // 127 characters and the terminator

// The window the lines are drawn into and the height of one line. Shared between all processes
// the library is mapped into, so that a monitor running in any process draws into the
// controller's window.
struct StatusRecord {
  HWND hwndStatus;
  LONG nLineHeight;
};
extern StatusRecord statusRecord;

extern char aszStatusLine[10][kStatusLineSize];

// Formats a slot's line as wsprintfA does, cut at 127 characters: whatever the numbers, nothing
// is written past the line.
void FormatStatusLine(int slot, const char* format, ...);

// Draws one slot's line into the status window at once (GetDC, TabbedTextOutA, ReleaseDC).
// Without a status window nothing is drawn: never on the screen's own device context.
void DrawStatusLine(int slot);

// Draws one slot's line into a device context the caller supplies.
void PaintStatusLine(HDC hdc, int slot);

// The name of a window message for a status line; stays valid until the next call.
const char* MessageName(UINT message);

// The status window, once it is known to be the controller's: the record is shared with every
// process that maps the library, and any of them can write it. Read once per call, so that the
// handle checked is the handle used. Null when there is none. A window in the record that fails
// the check (another class, or not of a program beside the library, see controller_window.h) is
// replaced by the controller's window, found as a title read finds it.
HWND TrustedStatusWindow();

// Lines and status record as they are at attach.
void ResetStatusLines();
