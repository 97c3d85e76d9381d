#include "tools/controller/main_window.h"

#include <cstring>
#include <cwchar>

#include "tools/controller/notify_icon.h"
#include "tools/controller/protocol.h"
#include "tools/controller/resource_ids.h"
#include "tools/winprog.h"

namespace {

constexpr int kMarginX = 8;
constexpr int kMarginY = 6;
constexpr int kStatusRows = 10;  // the library's lines, one per hook slot
constexpr int kWindowWidth = 640;
constexpr COLORREF kOnColour = RGB((ZAFREL_ICON_ON_RGB >> 16) & 0xFF,
                                   (ZAFREL_ICON_ON_RGB >> 8) & 0xFF, ZAFREL_ICON_ON_RGB & 0xFF);

HFONT g_text = nullptr;  // the system's message font
HFONT g_bold = nullptr;
int g_textLine = 16;  // a line of the band
int g_statusLine = 16;
int g_band = 0;
int g_baseBand = 0;  // the band without the code-page line
unsigned g_codePage = 0;
bool g_codePageLine = false;
int g_codePageHeight = 0;  // its rows, wrapped at the default window's width

int ClientHeight() { return kStatusRows * g_statusLine + 3 * kMarginY + 1 + g_statusLine; }

// Where the band lies in window coordinates, as GetWindowDC draws.
bool BandRect(HWND window, RECT* band) {
  RECT frame;
  RECT client;
  POINT origin = {0, 0};
  if (IsIconic(window) || !GetWindowRect(window, &frame) || !GetClientRect(window, &client) ||
      !ClientToScreen(window, &origin))
    return false;
  band->left = origin.x - frame.left;
  band->right = band->left + client.right;
  band->bottom = origin.y - frame.top;
  band->top = band->bottom - g_band;
  return band->right > band->left;
}

// Draws the text from x on and returns where it ends.
int Text(HDC dc, HFONT font, COLORREF colour, int x, int y, const wchar_t* text) {
  SelectObject(dc, font);
  SetTextColor(dc, colour);
  const int length = static_cast<int>(std::wcslen(text));
  TextOutW(dc, x, y, text, length);
  SIZE size = {};
  GetTextExtentPoint32W(dc, text, length, &size);
  return x + size.cx;
}

void SwitchLine(HDC dc, int y, const MainView& v) {
  const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
  wchar_t rest[96];
  const size_t count = sizeof rest / sizeof rest[0];
  int x = kMarginX;
  if (v.farsi == kLastNone) {
    x = Text(dc, g_bold, ink, x, y, L"Farsi typing: not yet switched in this program");
    std::swprintf(rest, count,
                  v.program[0] != 0 ? L"  \x2014 %ls; Scroll Lock switches it"
                                    : L"  \x2014 Scroll Lock switches it",
                  v.program);
  } else {
    const bool on = v.farsi == kLastOn;
    x = Text(dc, g_bold, on ? kOnColour : ink, x, y,
             on ? L"Farsi typing is on" : L"Farsi typing is off");
    std::swprintf(rest, count,
                  v.program[0] != 0 ? L"  \x2014 in %ls; Scroll Lock switches it %ls"
                                    : L"  \x2014 Scroll Lock switches it %ls%ls",
                  v.program, on ? L"off" : L"on");
  }
  rest[count - 1] = 0;
  Text(dc, g_text, ink, x, y, rest);
}

// Which programs Farsi typing reaches, and where a half is missing, why.
void LibrariesLine(wchar_t* line, size_t size, const MainView& v) {
  if (kProgram64) {
    std::swprintf(line, size,
                  L"Farsi typing reaches 64-bit programs (ZafrelXP64.dll); 32-bit programs need "
                  L"zafrelctl.exe");
    return;
  }
  if (!v.wow64) {
    std::swprintf(line, size, L"Farsi typing reaches every program (ZafrelXP.dll, 32-bit Windows)");
    return;
  }
  switch (v.companionStatus) {
    case kCompanionRunning:
      std::swprintf(
          line, size,
          L"Farsi typing reaches 32-bit and 64-bit programs (ZafrelXP.dll, ZafrelXP64.dll)");
      return;
    case kCompanionStarting:
      std::swprintf(line, size,
                    L"Farsi typing reaches 32-bit programs; the 64-bit companion is starting");
      return;
    case kCompanionNoProgram:
      std::swprintf(line, size,
                    L"Farsi typing reaches 32-bit programs only: zafrelctl64.exe could not be "
                    L"started from this folder");
      return;
    case kCompanionNoLibrary:
      std::swprintf(line, size,
                    L"Farsi typing reaches 32-bit programs only: ZafrelXP64.dll is missing or "
                    L"does not load");
      return;
    default:
      // A companion that was killed says nothing by its exit code.
      std::swprintf(line, size,
                    v.companionExitCode != 0
                        ? L"Farsi typing reaches 32-bit programs only: the 64-bit companion ended "
                          L"(exit code %lu)"
                        : L"Farsi typing reaches 32-bit programs only: the 64-bit companion ended",
                    static_cast<unsigned long>(v.companionExitCode));
      return;
  }
}

// Why the glyphs show in some programs and not in others, and the setting that changes it. A
// program that keeps the bytes and draws them in a font of ANSI_CHARSET gets the 1252 reading the
// legacy fonts are made for; a window that keeps Unicode text reads the bytes through the system's
// ANSI code page, the one "Language for non-Unicode programs" chooses.
void CodePageText(wchar_t* line, size_t size, unsigned codePage) {
  std::swprintf(line, size,
                L"Code page %u reads these glyph codes as right-to-left letters: programs that "
                L"draw their own text (desktop publishing) show the legacy glyphs, Windows' "
                L"Unicode controls (Notepad, WordPad, edit fields, Word) other letters. To change "
                L"it: Region > Administrative > Language for non-Unicode programs, e.g. English.",
                codePage);
}

RECT CodePageRect(int y) {
  return RECT{kMarginX, y, kWindowWidth - kMarginX, y + g_codePageHeight};
}

}  // namespace

bool ShowCodePageLine(unsigned codePage, bool show) {
  const int before = g_band;
  g_codePage = codePage;
  g_codePageLine = show;
  g_codePageHeight = 0;
  if (show) {
    wchar_t line[512];
    CodePageText(line, sizeof line / sizeof line[0], codePage);
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, g_text);
    RECT r = CodePageRect(0);
    DrawTextW(screen, line, -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    g_codePageHeight = r.bottom - r.top + 2;
  }
  g_band = g_baseBand + g_codePageHeight;
  return g_band != before;
}

bool CodePageLineShown() { return g_codePageLine; }

void FitRows(HWND window) {
  RECT client;
  RECT frame;
  if (IsIconic(window) || !GetClientRect(window, &client) || !GetWindowRect(window, &frame)) return;
  const int missing = ClientHeight() - client.bottom;
  if (missing <= 0) return;
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + missing,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int InitMainWindow() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    g_text = CreateFontIndirectW(&metrics.lfMessageFont);
    metrics.lfMessageFont.lfWeight = FW_BOLD;
    g_bold = CreateFontIndirectW(&metrics.lfMessageFont);
  }
  if (g_text == nullptr) g_text = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  if (g_bold == nullptr) g_bold = g_text;
  HDC screen = GetDC(nullptr);
  TEXTMETRICW tm;
  // The library draws with a window DC's own font, the system font.
  if (GetTextMetricsW(screen, &tm)) g_statusLine = tm.tmHeight;
  HGDIOBJ old = SelectObject(screen, g_bold);
  if (GetTextMetricsW(screen, &tm)) g_textLine = tm.tmHeight + tm.tmExternalLeading + 2;
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  // Four lines, a gap, the "Diagnostics" heading and the divider.
  g_baseBand = kMarginY + 4 * g_textLine + kMarginY + g_textLine + 2 + 1;
  g_band = g_baseBand + g_codePageHeight;
  return g_statusLine;
}

int BandHeight() { return g_band; }

SIZE DefaultWindowSize() {
  RECT r = {0, 0, kWindowWidth, g_band + ClientHeight()};
  AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, TRUE, 0);
  return SIZE{kWindowWidth, r.bottom - r.top};
}

void MakeRoomForBand(RECT* client) {
  client->top += g_band;
  if (client->top > client->bottom) client->top = client->bottom;
}

void PaintBand(HWND window, const MainView& v) {
  RECT band;
  if (!BandRect(window, &band)) return;
  const int width = band.right - band.left;
  HDC dc = GetWindowDC(window);
  // Drawn off screen first: the band is redrawn at every switch and must not flicker.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, g_band);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  HGDIOBJ oldFont = SelectObject(memory, g_text);
  RECT all = {0, 0, width, g_band};
  FillRect(memory, &all, GetSysColorBrush(COLOR_WINDOW));
  SetBkMode(memory, TRANSPARENT);
  const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);

  int y = kMarginY;
  SwitchLine(memory, y, v);
  y += g_textLine;
  Text(memory, g_text, ink, kMarginX, y,
       std::strcmp(v.mode, "TRUES") == 0 ? L"Typing mode: TRUE (sent route allowed)"
                                         : L"Typing mode: FALSE (posted route)");
  y += g_textLine;
  wchar_t line[160];
  wchar_t font[48];
  FontName(v.font, font, sizeof font / sizeof font[0]);
  std::swprintf(line, sizeof line / sizeof line[0],
                v.font >= '0' && v.font <= '4' ? L"Font code: %c, for text set in the font %ls"
                                               : L"Font code: %c, %ls",
                v.font, font);
  Text(memory, g_text, ink, kMarginX, y, line);
  y += g_textLine;
  if (g_codePageLine) {
    wchar_t warning[512];
    CodePageText(warning, sizeof warning / sizeof warning[0], g_codePage);
    RECT r = CodePageRect(y);
    SelectObject(memory, g_text);
    SetTextColor(memory, ink);
    DrawTextW(memory, warning, -1, &r, DT_WORDBREAK | DT_NOPREFIX);
    y += g_codePageHeight;
  }
  LibrariesLine(line, sizeof line / sizeof line[0], v);
  Text(memory, g_text, ink, kMarginX, y, line);
  y += g_textLine + kMarginY;
  Text(memory, g_text, GetSysColor(COLOR_GRAYTEXT), kMarginX, y,
       L"Diagnostics: the library's status lines");
  RECT divider = {0, g_band - 1, width, g_band};
  FillRect(memory, &divider, GetSysColorBrush(COLOR_BTNSHADOW));

  BitBlt(dc, band.left, band.top, width, g_band, memory, 0, 0, SRCCOPY);
  SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, dc);
}

void PaintClient(HWND window, const MainView& v) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  // Opaque, in the window's own font, as the library draws them when a monitor sees an event.
  if (v.paintHooks != nullptr) v.paintHooks(dc);
  HGDIOBJ old = SelectObject(dc, g_text);
  SetBkMode(dc, TRANSPARENT);
  if (!v.diagnosticsRunning) {
    Text(dc, g_text, GetSysColor(COLOR_GRAYTEXT), 1, 0,
         L"None running: the Diagnostics menu switches the monitors, recording and playback.");
  }
  RECT client;
  GetClientRect(window, &client);
  const int dividerY = kStatusRows * g_statusLine + kMarginY;
  RECT divider = {0, dividerY, client.right, dividerY + 1};
  FillRect(dc, &divider, GetSysColorBrush(COLOR_BTNSHADOW));
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  TextOutA(dc, kMarginX, dividerY + 1 + kMarginY, v.clipboardStatus,
           static_cast<int>(std::strlen(v.clipboardStatus)));
  SelectObject(dc, old);
  EndPaint(window, &ps);
}
