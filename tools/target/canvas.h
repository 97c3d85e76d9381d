// The target program's canvas: a window class of its own, registered as a desktop-publishing
// program registers its document view, that keeps the bytes its WM_CHARs bring (CanvasText) and
// draws them itself with ExtTextOutA in the font set on it with WM_SETFONT. GDI reads the bytes
// through the code page of that font's character set, not through the system's ANSI code page,
// so a legacy font created with ANSI_CHARSET shows its glyphs whatever the system's language for
// non-Unicode programs is. Windows' own edit control instead keeps its text as Unicode, read
// through the ANSI code page.
//
// It answers WM_GETTEXT and WM_GETTEXTLENGTH with its bytes, WM_GETFONT with its font and
// EM_GETRECT with the area its text is drawn in, as an edit control does.
#pragma once

#include <windows.h>

#include <string>

// Registers the canvas's class under `name` (once); false when `name` is another class's.
bool RegisterCanvasClass(const std::string& name, HINSTANCE instance);
