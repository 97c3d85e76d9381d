#include "typing/app_detect.h"

#include "hooklib/text.h"
#include "typing/controller_link.h"
#include "win32/win32.h"

namespace {

// Window names are read into 260-byte buffers with a count of 256, cleared first so that a
// failed read (no window) leaves an empty name, which matches nothing.
constexpr int kNameBuffer = 260;
constexpr int kNameCount = 256;

void ReadTitle(HWND hwnd, char* buffer) {
  ClearBytes(buffer, kNameBuffer);
  GetWindowTextA(hwnd, buffer, kNameCount);
}

void ReadClass(HWND hwnd, char* buffer) {
  ClearBytes(buffer, kNameBuffer);
  GetClassNameA(hwnd, buffer, kNameCount);
}

// GetParent applied `generations` times; for a top-level owned window that is its owner.
HWND Ancestor(HWND hwnd, int generations) {
  for (int i = 0; i < generations && hwnd != nullptr; ++i) hwnd = GetParent(hwnd);
  return hwnd;
}

bool StartsNoCase(const char* text, const char* prefix, unsigned count) {
  return TextCompareNoCaseN(text, prefix, count) == 0;
}

// The grand-parent's title cut after `length` characters.
void ReadGrandParentTitleCut(char* buffer, int length) {
  ReadTitle(Ancestor(GetFocus(), 2), buffer);
  buffer[length] = 0;
}

}  // namespace

int DetectTargetApplication() {
  const HWND focus = GetFocus();
  char grandParentTitle[kNameBuffer];
  char greatGrandParentTitle[kNameBuffer];
  char focusClass[kNameBuffer];
  ReadTitle(Ancestor(focus, 2), grandParentTitle);
  ReadTitle(Ancestor(focus, 3), greatGrandParentTitle);
  ReadClass(focus, focusClass);

  // Class names first: an edit control inside a Photoshop frame is an edit control. A count
  // one past "Edit" makes its terminator take part, so "EditBox" is not "Edit".
  if (StartsNoCase(focusClass, "Edit", 9)) return kAppEdit;
  if (StartsNoCase(focusClass, "Toccata", 7)) return kAppToccata;
  if (StartsNoCase(focusClass, "_WwG", 4)) return kAppWord;
  if (StartsNoCase(grandParentTitle, "Adobe Photoshop", 15) ||
      StartsNoCase(greatGrandParentTitle, "Adobe Photoshop", 15))
    return kAppPhotoshop;
  if (StartsNoCase(grandParentTitle, "Adobe ImageReady", 16) ||
      StartsNoCase(greatGrandParentTitle, "Adobe ImageReady", 16))
    return kAppImageReady;
  if (StartsNoCase(grandParentTitle, "FreeHand", 9)) return kAppFreeHand;  // whole title
  if (StartsNoCase(greatGrandParentTitle, "Macromedia Flash", 16)) return kAppFlash;
  if (StartsNoCase(grandParentTitle, "Adobe Illustrator", 17)) return kAppIllustrator;
  if (TextCompare(focusClass, "AfxFrameOrView42") == 0) {
    char* fourthAncestorClass = grandParentTitle;
    ReadClass(Ancestor(focus, 4), fourthAncestorClass);
    if (StartsNoCase(fourthAncestorClass, "CorelDRAW", 9)) return kAppCorelDraw;
  }
  return kAppNone;
}

int IsWordDocumentFocus() {
  char focusClass[kNameBuffer];
  ReadClass(GetFocus(), focusClass);
  return TextCompare(focusClass, "_WwG") == 0 ? 1 : 0;
}

int IsIllustratorFrame() {
  char title[kNameBuffer];
  ReadGrandParentTitleCut(title, 11);
  return TextCompare(title, "Adobe Illus") == 0 ? 1 : 0;
}

int IsBypassedApplication() {
  char title[kNameBuffer];
  ReadGrandParentTitleCut(title, 11);
  if (!TypingModeIsFalse()) return 0;

  static const char* const kBypassedPrefixes[] = {"QuarkXPress", "Adobe PageM", "Adobe Photo",
                                                  "Adobe Illus", "Adobe InDes"};
  for (const char* prefix : kBypassedPrefixes) {
    if (TextCompare(title, prefix) == 0) return 1;
  }
  title[9] = 0;
  return TextCompare(title, "FreeHand ") == 0 ? 1 : 0;
}

int IsButtonFocus() {
  constexpr int kButtonClassBuffer = 60;
  char focusClass[kButtonClassBuffer];
  ClearBytes(focusClass, sizeof focusClass);
  GetClassNameA(GetFocus(), focusClass, kButtonClassBuffer);
  return TextCompare(focusClass, "Button") == 0 ? 1 : 0;
}
