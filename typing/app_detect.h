// Which application owns the focus window, from class names and titles of the focus window and
// its ancestors, read afresh at every call. Runs in the thread that owns the focus.
#pragma once

// Application codes. Positive codes are served on the posted route; the unrecognised window and
// the negative codes may take the sent route.
enum AppCode : int {
  kAppEdit = 1,          // class "Edit"
  kAppToccata = 2,       // class "Toccata..."
  kAppWord = 3,          // class "_WwG..." (Word document window)
  kAppPhotoshop = 4,     // "Adobe Photoshop..." on the grand-parent or great-grand-parent
  kAppImageReady = 5,    // "Adobe ImageReady..." likewise
  kAppNone = -1,         // none of the others
  kAppFreeHand = -2,     // grand-parent titled exactly "FreeHand"
  kAppFlash = -3,        // great-grand-parent "Macromedia Flash..."
  kAppIllustrator = -4,  // grand-parent "Adobe Illustrator..."
  kAppCorelDraw = -5,    // class "AfxFrameOrView42" under a 4th ancestor of class "CorelDRAW..."
};

int DetectTargetApplication();

// 1 when the focus window's class is exactly "_WwG" (case counts), else 0.
int IsWordDocumentFocus();

// 1 when the grand-parent's title starts with "Adobe Illus" (case counts), else 0.
int IsIllustratorFrame();

// 1 in typing mode "FALSE" when the grand-parent's title starts with one of the prefixes of the
// applications that take no Farsi typing (QuarkXPress, PageMaker, Photoshop, Illustrator,
// InDesign, "FreeHand "), case counting; else 0.
int IsBypassedApplication();

// 1 when the focus window's class is exactly "Button" (a dialog's push button: Enter there
// presses the button and must reach it), read into a 60-byte buffer.
int IsButtonFocus();
