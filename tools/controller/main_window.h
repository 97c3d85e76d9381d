// The controller's main window, drawn in plain words: at the top, whether Farsi typing is on in
// the program in front, the
// typing mode, the font code with its font (and, when the system's code page reads its glyph
// codes as right-to-left letters, what that does) and the libraries at work; under a divider, the
// library's status lines and the clipboard command's line.
//
// The library draws its status lines itself, from every hooked process, at row `slot` of the
// status window's client area (GetDC of the window it was given), whenever a monitor sees an
// event. So the window's client area starts below the divider: the words above it live in a band
// of the non-client area (WM_NCCALCSIZE makes room for it under the menu bar, WM_NCPAINT draws
// it), and row 0 of the client area is the library's first line.
#pragma once

#include <windows.h>

typedef int(WINAPI* PaintFn)(HDC);

struct MainView {
  int farsi = 0;                 // in the program in front: kLastOn, kLastOff, kLastNone
  const wchar_t* program = L"";  // that program ("notepad.exe"), or empty before any
  char mode[6] = "FALSE";
  char font = '1';
  int companionStatus = 0;           // kCompanion...: ZafrelXP64.dll for the 64-bit programs
  DWORD companionExitCode = 0;       // once the companion has ended
  bool wow64 = false;                // a 32-bit controller on 64-bit Windows
  bool diagnosticsRunning = false;   // a monitor slot, the recording or the playback is on
  const char* clipboardStatus = "";  // the clipboard command's status line
  PaintFn paintHooks = nullptr;      // the library's PaintHooksDll
};

// Measures the fonts; call before the window is made (WM_NCCALCSIZE needs the band's height).
// Returns the height of a status line, which the library is told.
int InitMainWindow();
// The code-page line, under the font code's: shown when the ANSI code page (codePage) reads the
// font code's glyph bytes as right-to-left text, so that Windows' Unicode controls show other
// letters. Call after InitMainWindow, before the window is made, and again whenever the answer
// may change. True when the band's height changed: the frame must then be recalculated.
bool ShowCodePageLine(unsigned codePage, bool show);
bool CodePageLineShown();
// Makes the window taller when its client area cannot hold all the rows below a taller band.
void FitRows(HWND window);
// The band's height, and the window size that shows the band and all the rows at once.
int BandHeight();
SIZE DefaultWindowSize();

// For WM_NCCALCSIZE, after DefWindowProc: the client area begins below the band.
void MakeRoomForBand(RECT* client);
// Draws the band (after DefWindowProc has drawn the frame, caption and menu bar).
void PaintBand(HWND window, const MainView& view);
// WM_PAINT: the library's lines, then the clipboard command's line under a second divider.
void PaintClient(HWND window, const MainView& view);
