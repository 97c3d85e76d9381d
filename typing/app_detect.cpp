#include "typing/app_detect.h"

#include "hooklib/text.h"
#include "typing/controller_link.h"
#include "win32/win32.h"

namespace {

// Window names are read into 260-byte buffers with a count of 256, readied as empty first so
// that a failed read (no window) leaves an empty name, which matches nothing.
constexpr int kNameBuffer = 260;
constexpr int kNameCount = 256;

void ReadTitle(HWND hwnd, char* buffer) {
  ClearNameBuffer(buffer, kNameBuffer, kNameCount);
  GetWindowTextA(hwnd, buffer, kNameCount);
}

void ReadClass(HWND hwnd, char* buffer) {
  ClearNameBuffer(buffer, kNameBuffer, kNameCount);
  GetClassNameA(hwnd, buffer, kNameCount);
}

// GetParent, which for a top-level owned window is its owner; null stays null, never asked.
HWND Parent(HWND hwnd) { return hwnd != nullptr ? GetParent(hwnd) : nullptr; }

// Which of the Adobe programs told apart by their frame titles a title starts with ("Adobe
// Photoshop", "Adobe ImageReady", "Adobe Illustrator", ignoring case). "Adobe " is compared once
// per title rather than once per program: this runs on every typed key.
enum class AdobeTitle { kNone, kPhotoshop, kImageReady, kIllustrator };

[[gnu::always_inline]] inline AdobeTitle AdobeTitleOf(const char* title) {
  if (!StartsWithNoCase(title, "Adobe ")) return AdobeTitle::kNone;
  const char* program = title + 6;  // the six characters matched, so no terminator among them
  if (StartsWithNoCase(program, "Photoshop")) return AdobeTitle::kPhotoshop;
  if (StartsWithNoCase(program, "ImageReady")) return AdobeTitle::kImageReady;
  if (StartsWithNoCase(program, "Illustrator")) return AdobeTitle::kIllustrator;
  return AdobeTitle::kNone;
}

// The grand-parent's title cut after `length` characters.
void ReadGrandParentTitleCut(char* buffer, int length) {
  ReadTitle(Parent(Parent(GetFocus())), buffer);
  buffer[length] = 0;
}

}  // namespace

int DetectTargetApplication() {
  const HWND focus = GetFocus();
  char grandParentTitle[kNameBuffer];
  char greatGrandParentTitle[kNameBuffer];
  char focusClass[kNameBuffer];
  const HWND grandParent = Parent(Parent(focus));
  const HWND greatGrandParent = Parent(grandParent);
  ReadTitle(grandParent, grandParentTitle);
  ReadTitle(greatGrandParent, greatGrandParentTitle);
  ReadClass(focus, focusClass);

  // Class names first: an edit control inside a Photoshop frame is an edit control. "Edit" is
  // the whole class name, so "EditBox" is not "Edit"; the others are prefixes.
  if (EqualsNoCase(focusClass, "Edit")) return kAppEdit;
  if (StartsWithNoCase(focusClass, "Toccata")) return kAppToccata;
  if (StartsWithNoCase(focusClass, "_WwG")) return kAppWord;
  const AdobeTitle grandParentAdobe = AdobeTitleOf(grandParentTitle);
  const AdobeTitle greatGrandParentAdobe = AdobeTitleOf(greatGrandParentTitle);
  if (grandParentAdobe == AdobeTitle::kPhotoshop || greatGrandParentAdobe == AdobeTitle::kPhotoshop)
    return kAppPhotoshop;
  if (grandParentAdobe == AdobeTitle::kImageReady ||
      greatGrandParentAdobe == AdobeTitle::kImageReady)
    return kAppImageReady;
  if (EqualsNoCase(grandParentTitle, "FreeHand")) return kAppFreeHand;
  if (StartsWithNoCase(greatGrandParentTitle, "Macromedia Flash")) return kAppFlash;
  if (grandParentAdobe == AdobeTitle::kIllustrator) return kAppIllustrator;
  if (Equals(focusClass, "AfxFrameOrView42")) {
    char* fourthAncestorClass = grandParentTitle;
    ReadClass(Parent(greatGrandParent), fourthAncestorClass);
    if (StartsWithNoCase(fourthAncestorClass, "CorelDRAW")) return kAppCorelDraw;
  }
  return kAppNone;
}

int IsWordDocumentFocus() {
  char focusClass[kNameBuffer];
  ReadClass(GetFocus(), focusClass);
  return Equals(focusClass, "_WwG") ? 1 : 0;
}

int IsIllustratorFrame() {
  char title[kNameBuffer];
  ReadGrandParentTitleCut(title, 11);
  return Equals(title, "Adobe Illus") ? 1 : 0;
}

int IsBypassedApplication() {
  char title[kNameBuffer];
  ReadGrandParentTitleCut(title, 11);
  if (!TypingModeIsFalse()) return 0;

  // The whole cut title is "QuarkXPress", or "Adobe " and one of four programs: "Adobe " is
  // compared once, not once per program, as this runs on every typed key in these frames.
  if (Equals(title, "QuarkXPress")) return 1;
  if (StartsWith(title, "Adobe ")) {
    const char* program = title + 6;  // the six characters matched, so no terminator among them
    if (Equals(program, "PageM") || Equals(program, "Photo") || Equals(program, "Illus") ||
        Equals(program, "InDes"))
      return 1;
  }
  title[9] = 0;
  return Equals(title, "FreeHand ") ? 1 : 0;
}

int IsButtonFocus() {
  constexpr int kButtonClassBuffer = 60;
  char focusClass[kButtonClassBuffer];
  ClearNameBuffer(focusClass, sizeof focusClass, sizeof focusClass);
  GetClassNameA(GetFocus(), focusClass, kButtonClassBuffer);
  return Equals(focusClass, "Button") ? 1 : 0;
}
