// zafreltarget: a program to type Farsi into, for the end-to-end tests and the demo. For each
// scenario of a scenario file it builds the window arrangement asked for (an edit control under
// the given class name, inside parents with the given titles), switches Farsi typing on with
// Scroll Lock, types the keys one at a time as a person does (each key-down and key-up injected
// and the queue drained before the next), and prints what the focus window received and its
// text as bytes. A clipboard scenario puts Unicode text on the clipboard instead and has the
// controller type it (kCmdTypeClipboard), then prints how the controller says it ended. A
// scenario with a typeface shows the edit's text in it and prints the face Wine chose and the
// glyphs it draws, so the driver can tell whether the bytes show as the legacy font's glyphs.
// A canvas scenario types into a document view of the target's own instead of an edit control
// (tools/target/canvas.h). Before the first scenario it prints the ANSI code page it runs under
// ("ACP 1256"), which Wine takes from the Unix locale:
//
//   zafreltarget SCENARIO-FILE [--fonts FOLDER]   play the scenarios (a controller must be
//                                                 running); font files are named in FOLDER
//   zafreltarget --no-controller                  check that the library refuses to load
//                                                 without one
//   zafreltarget --code-page                      print the ANSI code page ("ACP 1252") only
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/controller/own_names.h"
#include "tools/controller/protocol.h"
#include "tools/scenario.h"
#include "tools/target/canvas.h"
#include "tools/winprog.h"

namespace {

HWND g_main = nullptr;
HWND g_controller = nullptr;
std::string g_fontFolder;      // where a scenario's font file is named, as a Windows path
HWND g_focus = nullptr;        // the focus window of the scenario being played
WNDPROC g_editProc = nullptr;  // the focus window's own procedure, under our recorder

// What the focus window received while the keys were typed.
struct Received {
  std::string chars;           // WM_CHAR codes
  std::vector<unsigned> keys;  // WM_KEYDOWN virtual keys
  int neutralised = 0;         // key-downs the pre-filter turned into message 1124
  std::string log;             // one line per message, for the demo
};
Received g_received;
DWORD g_busyMs = 0;  // what the focus window takes over each WM_CHAR, as a slow canvas does

LRESULT CALLBACK Recorder(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  char line[64];
  if (msg == WM_CHAR) {
    if (g_busyMs != 0) Sleep(g_busyMs);
    g_received.chars += static_cast<char>(wParam);
    std::snprintf(line, sizeof line, "WM_CHAR %02X;", static_cast<unsigned>(wParam & 0xFF));
    g_received.log += line;
  } else if (msg == WM_KEYDOWN) {
    g_received.keys.push_back(static_cast<unsigned>(wParam));
    std::snprintf(line, sizeof line, "WM_KEYDOWN %02X;", static_cast<unsigned>(wParam));
    g_received.log += line;
  } else if (msg == WM_USER + 100) {
    ++g_received.neutralised;
    std::snprintf(line, sizeof line, "1124 %02X;", static_cast<unsigned>(wParam));
    g_received.log += line;
  }
  return CallWindowProcA(g_editProc, hwnd, msg, wParam, lParam);
}

// Runs the message loop until the queue has stayed empty for a short quiet period.
void Drain(DWORD quietMs = 30) {
  DWORD quietSince = GetTickCount();
  for (;;) {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      quietSince = GetTickCount();
      continue;
    }
    if (GetTickCount() - quietSince >= quietMs) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

// Each key event is taken by the window before the next is injected.
void Inject(unsigned vk, bool down) {
  InjectKeyEvent(vk, down);
  Drain();
}

void Press(const ScenarioKey& key) {
  const unsigned shift = key.rightShift ? VK_RSHIFT : VK_LSHIFT;
  if (key.shift) Inject(shift, true);
  if (key.press != ScenarioKey::kUpOnly) Inject(key.vk, true);
  if (key.press != ScenarioKey::kDownOnly) Inject(key.vk, false);
  if (key.shift) Inject(shift, false);
}

LRESULT Query(WPARAM what) { return SendMessageA(g_controller, kMsgQuery, what, 0); }

// Scroll Lock switches Farsi typing; inside the keyboard hook the toggle is read as it was before
// the press, so a press may switch it off first. Press until the controller hears "on".
int SwitchFarsiOn() {
  for (int presses = 1; presses <= 3; ++presses) {
    Inject(VK_SCROLL, true);
    Inject(VK_SCROLL, false);
    if (Query(kQueryLast) == kLastOn) return presses;
  }
  return -1;
}

// Beside a 64-bit companion only the half whose hooks come first types here; the controller puts
// this program's half first when it comes to the foreground, a moment after it does, and once the
// companion has come up.
void WaitForOwnHalfFirst() {
  // Under emulation the companion may take tens of seconds to come up; the move takes a moment.
  for (const DWORD start = GetTickCount();
       Query(kQueryCompanion) == kCompanionStarting && GetTickCount() - start < 60000;) {
    Drain(10);
  }
  const LRESULT own = kProgram64 ? 64 : 32;
  for (const DWORD start = GetTickCount(); GetTickCount() - start < 5000;) {
    const LRESULT front = Query(kQueryFront);
    if (front == own || front == 0) return;
    Drain(10);
  }
  std::fprintf(stderr, "zafreltarget: the controller did not put this program's half first\n");
}

void SetController(const Scenario& s) {
  SendMessageA(g_controller, WM_COMMAND, s.mode == "TRUES" ? kCmdModeTrue : kCmdModeFalse, 0);
  SendMessageA(g_controller, WM_COMMAND, kCmdFont0 + (s.font - '0'), 0);
}

// As programs do, the main window gives the focus back to the window that had it when it is
// activated again (after the controller's menu, say).
LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && g_focus != nullptr) {
    SetFocus(g_focus);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void RegisterClasses(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "ZafrelTarget";
  RegisterClassA(&wc);
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "ZafrelPane";
  RegisterClassA(&wc);
}

// An edit control under another class name: the EDIT class's procedure, superclassed.
void RegisterEditClass(const std::string& name, HINSTANCE instance) {
  if (name == "Edit") return;
  WNDCLASSA wc;
  if (GetClassInfoA(instance, name.c_str(), &wc)) return;
  GetClassInfoA(nullptr, "EDIT", &wc);
  wc.hInstance = instance;
  wc.lpszClassName = name.c_str();
  RegisterClassA(&wc);
}

void RegisterPaneClass(const std::string& name, HINSTANCE instance) {
  WNDCLASSA wc;
  if (GetClassInfoA(instance, name.c_str(), &wc)) return;
  wc = WNDCLASSA{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.lpszClassName = name.c_str();
  RegisterClassA(&wc);
}

// Children of the one main window, so no top-level window is created per scenario:
// main > 4th ancestor > great-grand-parent > grand-parent > parent > focus.
HWND BuildChain(const Scenario& s, HINSTANCE instance, HWND* outermost) {
  const std::string fourthClass =
      s.fourthAncestorClass.empty() ? "ZafrelPane" : s.fourthAncestorClass;
  RegisterPaneClass(fourthClass, instance);
  // The scenario file keeps a class a canvas in every scenario or in none; a name Windows has
  // for a class of its own ("Button") stays that class.
  if (s.canvas) {
    if (!RegisterCanvasClass(s.focusClass, instance))
      std::fprintf(stderr, "zafreltarget: class %s is not the canvas's\n", s.focusClass.c_str());
  } else {
    RegisterEditClass(s.focusClass, instance);
  }
  const DWORD child = WS_CHILD | WS_VISIBLE;
  HWND fourth = CreateWindowA(fourthClass.c_str(), "", child, 0, 0, 600, 300, g_main, nullptr,
                              instance, nullptr);
  HWND ggp = CreateWindowA("ZafrelPane", s.ancestorTitle[3].c_str(), child, 0, 0, 600, 300, fourth,
                           nullptr, instance, nullptr);
  HWND gp = CreateWindowA("ZafrelPane", s.ancestorTitle[2].c_str(), child, 0, 0, 600, 300, ggp,
                          nullptr, instance, nullptr);
  HWND parent =
      CreateWindowA("ZafrelPane", "", child, 0, 0, 600, 300, gp, nullptr, instance, nullptr);
  DWORD style = child | WS_BORDER;
  if (!s.canvas) style |= ES_AUTOHSCROLL;
  if (s.multiline && !s.canvas) style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
  HWND focus = CreateWindowA(s.focusClass.c_str(), "", style, 10, 10, 560, 260, parent, nullptr,
                             instance, nullptr);
  *outermost = fourth;
  return focus;
}

std::string WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  GetWindowTextA(hwnd, &text[0], length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

// A scenario's typeface on its edit control or canvas, and the font file loaded for it.
struct EditFont {
  std::string file;  // loaded for this process alone; removed again after the scenario
  HFONT font = nullptr;
};

// A font file named in the --fonts folder, or a Windows path of its own.
std::string FontPath(const std::string& name) {
  const bool ownPath = name.find(':') != std::string::npos || name[0] == '\\';
  return ownPath || g_fontFolder.empty() ? name : g_fontFolder + "\\" + name;
}

EditFont SetEditFont(const Scenario& s, HWND edit) {
  EditFont out;
  if (s.typeface.empty()) return out;
  if (!s.fontFile.empty()) {
    out.file = FontPath(s.fontFile);
    // FR_PRIVATE: the face exists for this process only, as for a program that brings its own
    // fonts, and nothing stays installed in the Wine prefix.
    if (AddFontResourceExA(out.file.c_str(), FR_PRIVATE, nullptr) == 0) {
      std::fprintf(stderr, "zafreltarget: no font loaded from %s\n", out.file.c_str());
      out.file.clear();
    }
  }
  // ANSI_CHARSET, as a legacy program asks for a font for its single-byte text. Wine then takes
  // only a face that claims the Latin 1 code page, and finds each byte's glyph through the
  // character code page 1252 reads it as (DEFAULT_CHARSET does the same where 1252 is the ANSI
  // code page). A negative height is the character's height without the internal leading.
  out.font = CreateFontA(-s.fontSize, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, s.typeface.c_str());
  SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(out.font), TRUE);
  return out;
}

void RemoveEditFont(const EditFont& font) {
  if (font.font != nullptr) DeleteObject(font.font);
  if (!font.file.empty()) RemoveFontResourceExA(font.file.c_str(), FR_PRIVATE, nullptr);
}

// What the edit control draws its text with: the face its font got in a device context (Wine
// quietly takes another face when the name is not found), and the glyph of each character. The
// edit control keeps its text as Unicode, made from the typed bytes through the ANSI code page,
// and draws that text; so the glyphs are those of the Unicode text, found as ExtTextOutW finds
// them. A character the face has no glyph for shows as FFFF (GGI_MARK_NONEXISTING_GLYPHS), never
// as glyph 0, the .notdef box.
//
// The canvas keeps the bytes and draws them with ExtTextOutA, which finds the glyphs as
// GetGlyphIndicesA does: each byte read through the code page of the font's character set.
void PrintDrawnGlyphs(HWND window, bool canvas) {
  HDC dc = GetDC(window);
  const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0));
  const HGDIOBJ old = SelectObject(dc, font);
  char face[LF_FACESIZE] = "";
  GetTextFaceA(dc, sizeof face, face);
  std::vector<WORD> glyphs;
  int got = 0;
  if (canvas) {
    const std::string bytes = WindowText(window);
    got = static_cast<int>(bytes.size());
    glyphs.resize(bytes.size() + 1);
    if (got > 0)
      GetGlyphIndicesA(dc, bytes.data(), got, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
  } else {
    const int length = GetWindowTextLengthW(window);
    std::vector<WCHAR> text(static_cast<size_t>(length) + 1);
    got = GetWindowTextW(window, text.data(), length + 1);
    glyphs.resize(static_cast<size_t>(got) + 1);
    if (got > 0) GetGlyphIndicesW(dc, text.data(), got, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
  }
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  std::string ids;
  for (int i = 0; i < got; ++i) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%s%X", ids.empty() ? "" : " ", glyphs[i]);
    ids += buf;
  }
  std::printf("FACE %s\nGLYPHS %s\n", face, ids.c_str());
}

// The test driver acts at the X server when it reads the line ("XDOTOOL name": it types with
// xdotool; "PICTURE name ...": it takes a picture of the screen) and creates the flag file
// /tmp/zafrel-<what>-<name>.done when it is done. Messages are handled meanwhile, so the window
// keeps taking keys and painting.
bool WaitForDriver(const char* what, const std::string& name, const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  const std::string flag = std::string("Z:\\tmp\\zafrel-") + what + "-" + name + ".done";
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 300000) {
    Drain(10);
    if (GetFileAttributesA(flag.c_str()) != INVALID_FILE_ATTRIBUTES) {
      Drain(200);
      DeleteFileA(flag.c_str());
      return true;
    }
  }
  return false;
}

// The text as CF_UNICODETEXT; an empty text leaves the clipboard empty.
bool PutOnClipboard(const std::string& utf8) {
  if (!OpenClipboard(g_main)) return false;
  EmptyClipboard();
  bool ok = utf8.empty();
  if (!ok) {
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (static_cast<SIZE_T>(length) + 1) * sizeof(WCHAR));
    WCHAR* chars = data != nullptr ? static_cast<WCHAR*>(GlobalLock(data)) : nullptr;
    if (chars != nullptr) {
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, chars, length);
      chars[length] = 0;
      GlobalUnlock(data);
      ok = SetClipboardData(CF_UNICODETEXT, data) != nullptr;
    }
    if (!ok && data != nullptr) GlobalFree(data);
  }
  CloseClipboard();
  return ok;
}

// Has the controller type the clipboard: by WM_COMMAND while this program keeps the focus, or as
// from the controller's menu (its window in the foreground when the command comes), or by the
// hot key the test driver presses at the X server. True once the controller says it finished.
bool TypeClipboard(const Scenario& s) {
  if (!PutOnClipboard(s.clipboard)) return false;
  const LRESULT before = Query(kQueryClipboardDone);
  if (s.xdotool) {
    if (!WaitForDriver("xdotool", s.name, "XDOTOOL " + s.name)) return false;
  } else {
    if (s.menu) {
      SetForegroundWindow(g_controller);
      Drain(100);
    }
    // Ctrl still down, as the hot key leaves it: the controller must hold the keys back until it
    // is released, or the library hands them on as Latin shortcuts.
    if (s.holdCtrl) Inject(VK_CONTROL, true);
    SendMessageA(g_controller, WM_COMMAND, kCmdTypeClipboard, 0);
    if (s.holdCtrl) {
      for (const DWORD start = GetTickCount(); GetTickCount() - start < 500;) Drain(10);
      Inject(VK_CONTROL, false);
    }
  }
  // Text with line breaks: the controller asks first; answered as the scenario says.
  const bool breaks = s.clipboard.find_first_of("\r\n") != std::string::npos;
  bool asked = !breaks;
  const DWORD start = GetTickCount();
  while (Query(kQueryClipboardDone) == before) {
    if (GetTickCount() - start > 120000) return false;
    if (!asked) {
      if (HWND box = FindWindowA("#32770", kClipboardConfirmCaption)) {
        PostMessageA(box, WM_COMMAND, s.confirmLines ? IDYES : IDNO, 0);
        asked = true;
      }
    }
    Drain(10);
  }
  std::printf("ASKED %s\n", breaks ? (asked ? "yes" : "not asked") : "no");
  return true;
}

// "typed 10", "refused 2 U+0622@1 U+200C@3", "empty", ...: as kMsgQuery tells it.
std::string ClipboardOutcome() {
  const char* const kResults[] = {"none",      "typed",  "refused", "empty",
                                  "no-window", "not-on", "stopped", "declined"};
  const LRESULT result = Query(kQueryClipboardResult);
  std::string out = result >= 0 && result < 8 ? kResults[result] : "unknown";
  if (result == kClipboardTyped || result == kClipboardRefused || result == kClipboardStopped ||
      result == kClipboardDeclined) {
    char buf[24];
    std::snprintf(buf, sizeof buf, " %ld", static_cast<long>(Query(kQueryClipboardCount)));
    out += buf;
  }
  for (int i = 0; i < kClipboardListed; ++i) {
    const LRESULT code = SendMessageA(g_controller, kMsgQuery, kQueryClipboardRefusedCode, i);
    const LRESULT at = SendMessageA(g_controller, kMsgQuery, kQueryClipboardRefusedAt, i);
    if (code < 0 || at < 0) break;
    char buf[32];
    std::snprintf(buf, sizeof buf, " U+%04lX@%ld", static_cast<unsigned long>(code),
                  static_cast<long>(at));
    out += buf;
  }
  return out;
}

// Keeps the window up while the driver takes its picture, after saying where the edit's text
// area, its formatting rectangle (inside the frame Wine's edit control draws in its own client
// area), is on the screen: left, top, width, height, in Wine's screen coordinates, which are the
// X screen's. The caret is hidden first, since a picture taken while it blinks would differ from
// run to run, and the message loop runs a while so that Wine has copied the window's last drawing
// to the X server.
void HoldForPicture(const Scenario& s, HWND edit) {
  HideCaret(edit);
  UpdateWindow(edit);
  Drain(500);
  RECT area;
  SendMessageA(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
  POINT topLeft = {area.left, area.top};
  ClientToScreen(edit, &topLeft);
  char line[160];
  std::snprintf(line, sizeof line, "PICTURE %s %ld %ld %ld %ld", s.name.c_str(),
                static_cast<long>(topLeft.x), static_cast<long>(topLeft.y),
                static_cast<long>(area.right - area.left),
                static_cast<long>(area.bottom - area.top));
  WaitForDriver("picture", s.name, line);
}

void Play(const Scenario& s, HINSTANCE instance) {
  SetController(s);
  HWND outermost = nullptr;
  HWND focus = BuildChain(s, instance, &outermost);
  const EditFont font = SetEditFont(s, focus);
  g_editProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(focus, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Recorder)));
  SetForegroundWindow(g_main);
  SetFocus(focus);
  g_focus = focus;
  Drain();
  WaitForOwnHalfFirst();
  g_busyMs = static_cast<DWORD>(s.busyMs);

  const int presses = s.switchOn ? SwitchFarsiOn() : 0;
  g_received = Received();
  const LRESULT onBefore = Query(kQueryOn), offBefore = Query(kQueryOff);

  bool typed = true;
  if (s.hasClipboard) {
    typed = TypeClipboard(s);
  } else if (s.xdotool) {
    typed = WaitForDriver("xdotool", s.name, "XDOTOOL " + s.name);
  } else {
    if (s.holdCtrl) Inject(VK_CONTROL, true);
    for (const ScenarioKey& key : s.keys) {
      Press(key);
      g_received.log += "|";
    }
    if (s.holdCtrl) Inject(VK_CONTROL, false);
  }
  Drain(60);

  std::printf("SCENARIO %s\n", s.name.c_str());
  std::printf("SWITCH %d\n", presses);
  std::printf("TYPED %s\n", typed ? "yes" : "no");
  std::printf("TEXT %s\n", HexBytes(WindowText(focus)).c_str());
  std::printf("CHARS %s\n", HexBytes(g_received.chars).c_str());
  std::string keys;
  for (unsigned vk : g_received.keys) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%s%02X", keys.empty() ? "" : " ", vk);
    keys += buf;
  }
  std::printf("KEYDOWNS %s\n", keys.c_str());
  std::printf("NEUTRALISED %d\n", g_received.neutralised);
  std::printf("NOTIFIED on=%ld off=%ld\n", static_cast<long>(Query(kQueryOn) - onBefore),
              static_cast<long>(Query(kQueryOff) - offBefore));
  std::printf("LOG %s\n", g_received.log.c_str());
  if (s.hasClipboard) std::printf("CLIPBOARD %s\n", ClipboardOutcome().c_str());
  if (!s.typeface.empty()) PrintDrawnGlyphs(focus, s.canvas);
  std::printf("DONE\n");
  std::fflush(stdout);
  if (s.picture) HoldForPicture(s, focus);

  SetWindowLongPtrA(focus, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editProc));
  g_focus = nullptr;
  DestroyWindow(outermost);
  RemoveEditFont(font);
  Drain();
}

int NoController() {
  const bool noWindow = FindReferenceController() == nullptr;
  HMODULE dll = LoadLibraryA(kLibraryFile);
  std::printf("NOLOAD %s\n", noWindow && dll == nullptr ? "ok" : "FAILED");
  return noWindow && dll == nullptr ? 0 : 1;
}

constexpr char kUsage[] =
    "usage: zafreltarget SCENARIO-FILE [--fonts FOLDER]   play the scenarios (a controller must\n"
    "                                                     be running); font files are named in\n"
    "                                                     FOLDER\n"
    "       zafreltarget --no-controller                  check that the library refuses to\n"
    "                                                     load without one\n"
    "       zafreltarget --code-page                      print the ANSI code page (\"ACP 1252\")\n"
    "                                                     only\n"
    "       zafreltarget --help | --version\n";

}  // namespace

int main(int argc, char** argv) {
  // Before the START line: the answer is all a person asking for it reads.
  if (AnsweredHelpOrVersion(argc, argv, "zafreltarget", kUsage)) return 0;
  // The test driver starts a program again only when it never said START: Wine's own start-up
  // failed then, not a check of ours.
  std::printf("START\n");
  std::fflush(stdout);
  if (argc == 2 && std::string(argv[1]) == "--no-controller") return NoController();
  if (argc == 2 && std::string(argv[1]) == "--code-page") {
    // Only the ANSI code page this program runs under, for a driver that chooses the window to
    // type into by it before it writes the scenario.
    std::printf("ACP %u\n", GetACP());
    return 0;
  }
  if (argc == 4 && std::string(argv[2]) == "--fonts") g_fontFolder = argv[3];
  if (argc != 2 && g_fontFolder.empty()) {
    std::fprintf(stderr,
                 "usage: zafreltarget SCENARIO-FILE [--fonts FOLDER] | --no-controller | "
                 "--code-page\n");
    return 2;
  }
  std::vector<Scenario> scenarios;
  std::string error;
  if (!ReadScenarios(argv[1], &scenarios, &error)) {
    std::fprintf(stderr, "zafreltarget: %s\n", error.c_str());
    return 2;
  }
  // Under qemu emulation the controller can take tens of seconds to start.
  for (int i = 0; i < 900 && g_controller == nullptr; ++i) {
    g_controller = FindReferenceController();
    if (g_controller == nullptr) Sleep(100);
  }
  if (g_controller == nullptr) {
    std::fprintf(stderr, "zafreltarget: no controller window (start zafrelctl first)\n");
    return 2;
  }

  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterClasses(instance);
  g_main = CreateWindowA("ZafrelTarget", "ZafrelXP target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                         50, 640, 360, nullptr, nullptr, instance, nullptr);
  if (g_main == nullptr) {
    // Under qemu emulation Wine's desktop process now and then fails to come up; the driver
    // retries a start that never reached READY.
    std::fprintf(stderr, "zafreltarget: no top-level window (error %lu)\n", GetLastError());
    return 3;
  }
  SetForegroundWindow(g_main);
  Drain(200);
  std::printf("READY\nACP %u\n", GetACP());
  std::fflush(stdout);
  for (const Scenario& s : scenarios) Play(s, instance);
  return 0;
}
