// The text of the target program's canvas, the document view of a desktop-publishing program:
// the bytes its WM_CHARs brought, kept as they came, in storage order (the screen's left to
// right), with the caret and the selection as indexes into them. It edits as a multi-line edit
// control does, and as the host engine's model of one does (winsim/message_loop.cpp), so that
// the engine's prediction of an edit control's text holds for the canvas too:
//  - a character from the space up replaces the selection and goes in at the caret;
//  - Backspace deletes the byte before the caret, Enter puts in a line break, CR LF; a line break
//    counts as one character for Backspace, Left and Delete;
//  - Left, Delete, Home and End move or delete around the caret; with Shift down a caret key
//    extends the selection, and Delete deletes the selection when there is one;
//  - any other key message (a key-up, a key-down the library neutralised) only ends the selection.
// The same code runs in the Windows program and in the host's tests against the edit model.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "win32/win32.h"

struct CanvasText {
  std::string bytes;
  size_t caret = 0;
  size_t anchor = 0;  // the selection runs from here to the caret
};

namespace canvas_detail {

inline bool EraseSelection(CanvasText& t) {
  if (t.anchor == t.caret) return false;
  const size_t from = std::min(t.anchor, t.caret);
  t.bytes.erase(from, std::max(t.anchor, t.caret) - from);
  t.caret = t.anchor = from;
  return true;
}

inline bool BreakBefore(const CanvasText& t, size_t at) {
  return at >= 2 && t.bytes.compare(at - 2, 2, "\r\n") == 0;
}

inline bool BreakAt(const CanvasText& t, size_t at) { return t.bytes.compare(at, 2, "\r\n") == 0; }

}  // namespace canvas_detail

// A WM_CHAR.
inline void CanvasChar(CanvasText& t, unsigned char c) {
  using namespace canvas_detail;
  if (c >= 0x20) EraseSelection(t);
  if (c == '\b') {
    const size_t n = BreakBefore(t, t.caret) ? 2 : t.caret > 0 ? 1 : 0;
    t.caret -= n;
    t.bytes.erase(t.caret, n);
  } else if (c == '\r') {
    t.bytes.insert(t.caret, "\r\n");
    t.caret += 2;
  } else if (c >= 0x20) {
    t.bytes.insert(t.caret++, 1, static_cast<char>(c));
  }
  t.anchor = t.caret;
}

// A WM_KEYDOWN, with Shift up or down as the thread's key state says when it is handled.
inline void CanvasKeyDown(CanvasText& t, unsigned vk, bool shift) {
  using namespace canvas_detail;
  if (vk == VK_DELETE && EraseSelection(t)) return;
  switch (vk) {
    case VK_LEFT:
      t.caret -= BreakBefore(t, t.caret) ? 2 : t.caret > 0 ? 1 : 0;
      break;
    case VK_DELETE:
      if (t.caret < t.bytes.size()) t.bytes.erase(t.caret, BreakAt(t, t.caret) ? 2 : 1);
      break;
    case VK_HOME: {
      const size_t lineStart = t.caret == 0 ? std::string::npos : t.bytes.rfind('\n', t.caret - 1);
      t.caret = lineStart == std::string::npos ? 0 : lineStart + 1;
      break;
    }
    case VK_END: {
      const size_t lineEnd = t.bytes.find('\r', t.caret);
      t.caret = lineEnd == std::string::npos ? t.bytes.size() : lineEnd;
      break;
    }
    default:
      break;
  }
  if (!shift) t.anchor = t.caret;
}

// Any other key message.
inline void CanvasOtherKey(CanvasText& t) { t.anchor = t.caret; }
