#include "hooklib/status_lines.h"

#include "hooklib/controller_window.h"

#include "hooklib/text.h"

StatusRecord statusRecord ZAFREL_SHARED_SECTION = {nullptr, 0};

char aszStatusLine[10][kStatusLineSize];

namespace {

char szMessageName[32];

// wvsprintfA writes up to 1024 characters and a terminator.
constexpr int kFormatBuffer = 1025;

// The row of a slot's line. The controller sets the line height; a huge one wraps as 32-bit
// arithmetic does rather than overflowing.
int LineTop(int slot) {
  return static_cast<int>(static_cast<uint32_t>(slot) *
                          static_cast<uint32_t>(statusRecord.nLineHeight));
}

void TextOutLine(HDC hdc, int slot) {
  const char* line = aszStatusLine[slot];
  TabbedTextOutA(hdc, 1, LineTop(slot), line, static_cast<int>(TextLength(line)), 0, nullptr, 1);
}

}  // namespace

void FormatStatusLine(int slot, const char* format, ...) {
  char formatted[kFormatBuffer];
  va_list args;
  va_start(args, format);
  wvsprintfA(formatted, format, args);
  va_end(args);
  CopyText(aszStatusLine[slot], formatted, kStatusLineSize);
}

HWND TrustedStatusWindow() {
  HWND status = __atomic_load_n(&statusRecord.hwndStatus, __ATOMIC_RELAXED);
  if (status == nullptr || !IsWindow(status)) return nullptr;
  char cls[sizeof "ZafrelXP908@2005" + 1];
  if (GetClassNameA(status, cls, sizeof cls) != 0 && TextCompare(cls, kControllerClass) == 0 &&
      IsControllerWindow(status))
    return status;
  // Another program wrote its own window into the record: the lines go on to the controller's.
  return FindControllerWindow();
}

void DrawStatusLine(int slot) {
  HWND status = TrustedStatusWindow();
  if (status == nullptr) return;
  HDC hdc = GetDC(status);
  TextOutLine(hdc, slot);
  ReleaseDC(status, hdc);
}

void PaintStatusLine(HDC hdc, int slot) { TextOutLine(hdc, slot); }

const char* MessageName(UINT /*message*/) {
  CopyText(szMessageName, "Unknown Message", sizeof szMessageName);
  return szMessageName;
}

void ResetStatusLines() {
  ClearBytes(aszStatusLine, sizeof aszStatusLine);
  ClearBytes(szMessageName, sizeof szMessageName);
  statusRecord.hwndStatus = nullptr;
  statusRecord.nLineHeight = 0;
}
