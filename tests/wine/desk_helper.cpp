// zafreldesk: the test driver's hands on the Wine desktop, for programs we did not write and for
// the controller. One process for a whole test: it reads commands from stdin, one per line, and
// answers each with one flushed line.
//
//   query N                    the controller's answer to kMsgQuery N, or "none" (no controller)
//   wait N VALUE MS            polls query N every 20 ms until it answers VALUE or MS pass;
//                              answers the last value
//   wait-window CLASS BITS MS  waits until a window of CLASS is there; answers "ok" or "none"
//   front CLASS BITS           that window goes to the top-left corner (under the X pointer,
//                              which picks where xdotool types) and to the foreground; answers
//                              its program's bitness (32 or 64)
//   text CLASS BITS CHILD      the text of that window's first descendant of class CHILD, as hex
//                              bytes (WM_GETTEXT, through this user's code page); "none" without
//   clear CLASS BITS CHILD     empties that window's text
//   pid CLASS BITS             that window's process id, or "none"
//   command ID                 WM_COMMAND ID sent to the controller; answers "ok" or "none"
//   light                      the Scroll Lock light: "on" or "off" (the toggle as this thread
//                              reads it between messages, which Wine keeps as the desktop's)
//
// "That window" is the first visible top-level window of CLASS whose program has BITS bits (0:
// any): a 32-bit and a 64-bit Notepad have the same class.
//   close CLASS                posts WM_CLOSE to every top-level window of CLASS
//   font FACE                  Notepad's font, for the Notepads started after it
//   pids                       the controller's and the companion's process ids ("0" for none)
//   quit
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tools/controller/own_names.h"
#include "tools/controller/protocol.h"

namespace {

int Bitness(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  BOOL wow64 = FALSE;
  const BOOL known = process != nullptr && IsWow64Process(process, &wow64);
  if (process != nullptr) CloseHandle(process);
  return !known ? 0 : wow64 ? 32 : 64;
}

HWND TopLevel(const char* cls, long long bits) {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, cls, nullptr)) != nullptr;) {
    if (IsWindowVisible(w) && (bits == 0 || Bitness(w) == bits)) return w;
  }
  return nullptr;
}

// Depth first, as the windows were made: the first window of the class under `top`.
HWND Descendant(HWND top, const char* cls) {
  for (HWND w = nullptr; (w = FindWindowExA(top, w, nullptr, nullptr)) != nullptr;) {
    char name[128] = "";
    GetClassNameA(w, name, sizeof name);
    if (lstrcmpiA(name, cls) == 0) return w;
    if (HWND below = Descendant(w, cls)) return below;
  }
  return nullptr;
}

long long Query(long long what) {
  HWND controller = FindReferenceController();
  DWORD_PTR answer = 0;
  if (controller == nullptr ||
      !SendMessageTimeoutA(controller, kMsgQuery, static_cast<WPARAM>(what), 0, SMTO_ABORTIFHUNG,
                           5000, &answer)) {
    return -1000;
  }
  return static_cast<LRESULT>(answer);
}

std::string Text(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
    return "none";
  std::string bytes(length + 1, '\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, bytes.size(), reinterpret_cast<LPARAM>(&bytes[0]),
                      SMTO_ABORTIFHUNG, 5000, &got);
  std::string hex;
  for (DWORD_PTR i = 0; i < got && i < length; ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%s%02X", hex.empty() ? "" : " ",
                  static_cast<unsigned char>(bytes[i]));
    hex += b;
  }
  return hex;
}

void SetNotepadFont(const char* face) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Notepad", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, "lfFaceName", 0, REG_SZ, reinterpret_cast<const BYTE*>(face),
                 static_cast<DWORD>(std::strlen(face) + 1));
  const DWORD points = 240;  // tenths of a point
  RegSetValueExA(key, "iPointSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&points),
                 sizeof points);
  RegCloseKey(key);
}

std::string Answer(const char* line) {
  char word[16] = {}, a[128] = {}, b[128] = {};
  long long n = 0, value = 0, ms = 0;
  if (std::sscanf(line, "%15s", word) != 1) return "?";
  const std::string command = word;
  if (command == "query" && std::sscanf(line, "%*s %lld", &n) == 1) {
    const long long got = Query(n);
    return got == -1000 ? "none" : std::to_string(got);
  }
  if (command == "wait" && std::sscanf(line, "%*s %lld %lld %lld", &n, &value, &ms) == 3) {
    const DWORD start = GetTickCount();
    long long got = Query(n);
    while (got != value && GetTickCount() - start < ms) {
      Sleep(20);
      got = Query(n);
    }
    return got == -1000 ? "none" : std::to_string(got);
  }
  if (command == "wait-window" && std::sscanf(line, "%*s %127s %lld %lld", a, &n, &ms) == 3) {
    const DWORD start = GetTickCount();
    while (TopLevel(a, n) == nullptr && GetTickCount() - start < ms) Sleep(50);
    return TopLevel(a, n) != nullptr ? "ok" : "none";
  }
  if (command == "front" && std::sscanf(line, "%*s %127s %lld", a, &n) == 2) {
    HWND w = TopLevel(a, n);
    if (w == nullptr) return "none";
    SetWindowPos(w, HWND_TOP, 0, 0, 700, 500, SWP_SHOWWINDOW);
    SetForegroundWindow(w);
    return std::to_string(Bitness(w));
  }
  if ((command == "text" || command == "clear") &&
      std::sscanf(line, "%*s %127s %lld %127s", a, &n, b) == 3) {
    HWND top = TopLevel(a, n);
    HWND w = top != nullptr ? Descendant(top, b) : nullptr;
    if (w == nullptr) return "none";
    if (command == "text") return Text(w);
    DWORD_PTR done = 0;
    SendMessageTimeoutA(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""), SMTO_ABORTIFHUNG, 5000,
                        &done);
    return "ok";
  }
  if (command == "close" && std::sscanf(line, "%*s %127s", a) == 1) {
    int closed = 0;
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, a, nullptr)) != nullptr; ++closed)
      PostMessageA(w, WM_CLOSE, 0, 0);
    return std::to_string(closed);
  }
  if (command == "pid" && std::sscanf(line, "%*s %127s %lld", a, &n) == 2) {
    HWND w = TopLevel(a, n);
    DWORD id = 0;
    if (w == nullptr || GetWindowThreadProcessId(w, &id) == 0) return "none";
    return std::to_string(id);
  }
  if (command == "command" && std::sscanf(line, "%*s %lld", &n) == 1) {
    HWND controller = FindReferenceController();
    DWORD_PTR done = 0;
    if (controller == nullptr ||
        !SendMessageTimeoutA(controller, WM_COMMAND, static_cast<WPARAM>(n), 0, SMTO_ABORTIFHUNG,
                             5000, &done))
      return "none";
    return "ok";
  }
  if (command == "windows") {
    // The visible top-level windows' classes, for finding a program's window.
    std::string out;
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, nullptr, nullptr)) != nullptr;) {
      char name[128] = "";
      if (!IsWindowVisible(w) || GetClassNameA(w, name, sizeof name) == 0) continue;
      out += out.empty() ? "" : " ";
      out += name;
    }
    return out;
  }
  if (command == "light") return (GetKeyState(VK_SCROLL) & 1) != 0 ? "on" : "off";
  if (command == "pids") {
    DWORD controller = 0, companion = 0;
    if (HWND w = FindReferenceController()) GetWindowThreadProcessId(w, &controller);
    if (HWND w = FindWindowExA(HWND_MESSAGE, nullptr, kCompanionClass, nullptr))
      GetWindowThreadProcessId(w, &companion);
    return std::to_string(controller) + " " + std::to_string(companion);
  }
  if (command == "font") {
    const char* face = std::strchr(line, ' ');
    if (face == nullptr) return "?";
    std::string name(face + 1);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    SetNotepadFont(name.c_str());
    return "ok";
  }
  return "?";
}

}  // namespace

int main() {
  std::printf("START\n");
  std::fflush(stdout);
  char line[512];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    if (std::strncmp(line, "quit", 4) == 0) break;
    std::printf("%s\n", Answer(line).c_str());
    std::fflush(stdout);
  }
  return 0;
}
