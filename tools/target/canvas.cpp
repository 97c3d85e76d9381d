#include "tools/target/canvas.h"

#include <windows.h>

#include <algorithm>

#include "tools/target/canvas_text.h"

namespace {

constexpr int kMargin = 4;  // between the window's border and its text

struct Canvas {
  CanvasText text;
  HFONT font = nullptr;  // the font set on it; without one it draws in the system font
};

Canvas* Of(HWND hwnd) { return reinterpret_cast<Canvas*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

void SelectFont(HDC dc, const Canvas& c) {
  SelectObject(dc, c.font != nullptr ? static_cast<HGDIOBJ>(c.font) : GetStockObject(SYSTEM_FONT));
}

// The class's own device context (CS_OWNDC) with the canvas's font in it.
HDC FontDC(HWND hwnd, const Canvas& c) {
  HDC dc = GetDC(hwnd);
  SelectFont(dc, c);
  return dc;
}

int LineHeight(HDC dc) {
  TEXTMETRICA metrics;
  return GetTextMetricsA(dc, &metrics) ? metrics.tmHeight : 16;
}

// The system caret at the caret's byte: the width of the line's bytes before it, drawn as they
// are drawn, and the line's top.
void PlaceCaret(HWND hwnd, const Canvas& c) {
  if (GetFocus() != hwnd) return;
  const std::string& bytes = c.text.bytes;
  const size_t caret = c.text.caret;
  const size_t lineEnd = caret == 0 ? std::string::npos : bytes.rfind('\n', caret - 1);
  const size_t lineStart = lineEnd == std::string::npos ? 0 : lineEnd + 1;
  int line = 0;
  for (size_t i = 0; i < lineStart; ++i) line += bytes[i] == '\n' ? 1 : 0;
  HDC dc = FontDC(hwnd, c);
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, bytes.data() + lineStart, static_cast<int>(caret - lineStart), &size);
  SetCaretPos(kMargin + size.cx, kMargin + line * LineHeight(dc));
  ReleaseDC(hwnd, dc);
}

void Changed(HWND hwnd, const Canvas& c) {
  InvalidateRect(hwnd, nullptr, TRUE);
  PlaceCaret(hwnd, c);
}

// Each line as one ExtTextOutA call of its bytes, the line breaks left out.
void Paint(HWND hwnd, const Canvas& c) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  SelectFont(dc, c);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  const int height = LineHeight(dc);
  const std::string& bytes = c.text.bytes;
  int y = kMargin;
  for (size_t start = 0; start <= bytes.size();) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    ExtTextOutA(dc, kMargin, y, 0, nullptr, bytes.data() + start, static_cast<UINT>(end - start),
                nullptr);
    y += height;
    start = end + 2;
  }
  EndPaint(hwnd, &paint);
}

LRESULT CALLBACK CanvasProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new Canvas));
  }
  Canvas* c = Of(hwnd);
  if (c == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      delete c;
      break;
    case WM_CHAR:
      CanvasChar(c->text, static_cast<unsigned char>(wParam));
      Changed(hwnd, *c);
      return 0;
    case WM_KEYDOWN:
      CanvasKeyDown(c->text, static_cast<unsigned>(wParam), GetKeyState(VK_SHIFT) < 0);
      Changed(hwnd, *c);
      return 0;
    case WM_KEYUP:
    case WM_USER + 100:  // a key-down the library neutralised
      CanvasOtherKey(c->text);
      return 0;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(c->text.bytes.size());
    case WM_GETTEXT: {
      if (wParam == 0) return 0;
      const size_t n = std::min(c->text.bytes.size(), static_cast<size_t>(wParam) - 1);
      char* out = reinterpret_cast<char*>(lParam);
      c->text.bytes.copy(out, n);
      out[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_SETFONT:
      c->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(c->font);
    case EM_GETRECT: {
      RECT* area = reinterpret_cast<RECT*>(lParam);
      GetClientRect(hwnd, area);
      InflateRect(area, -kMargin, -kMargin);
      return 0;
    }
    case WM_SETFOCUS: {
      HDC dc = FontDC(hwnd, *c);
      CreateCaret(hwnd, nullptr, 2, LineHeight(dc));
      ReleaseDC(hwnd, dc);
      PlaceCaret(hwnd, *c);
      ShowCaret(hwnd);
      return 0;
    }
    case WM_KILLFOCUS:
      DestroyCaret();
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      return 0;
    case WM_PAINT:
      Paint(hwnd, *c);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

bool RegisterCanvasClass(const std::string& name, HINSTANCE instance) {
  WNDCLASSA wc;
  if (GetClassInfoA(instance, name.c_str(), &wc)) return wc.lpfnWndProc == CanvasProc;
  // As a document view is registered: a device context of its own that keeps the font selected,
  // drawn anew whole when resized, double clicks for selecting words, the I-beam cursor.
  wc = WNDCLASSA{};
  wc.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = CanvasProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_IBEAM);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = name.c_str();
  return RegisterClassA(&wc) != 0;
}
