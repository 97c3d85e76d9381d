// zafrelintruder: another program on the user's desktop that tries to steer ZafrelXP, for the
// hardening test. It runs from a folder of its own (not the library's) and reads commands from
// stdin, one per line, answering each with one flushed line:
//
//   squat            takes the controller's single-instance mutex under the name it had before,
//                    makes a message-only window of the companion's class and a topmost window of
//                    the controller's class titled "TRUES 3" (mode TRUE, font code 3); "ok"
//   record DLL       loads the library from that path and gives InitZafrelXPDll its own window,
//                    so that the shared record names it as the status window; "ok" or "no"
//   peek             posts the private messages 33115 and 36260 to its window and peeks at them
//                    five times (PM_NOREMOVE), then takes them; answers "peeked N taken M": the
//                    "debug" message boxes that came up meanwhile (closed at once)
//   told             the library's notifications its window of the class was sent
//   pixels           "clean" when nothing was drawn into its window, else "drawn"
//   journal          WM_COMMAND 204 (Record) posted to the real controller; answers "checked" or
//                    "unchecked": that menu item afterwards
//   quit
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr UINT kOn = 33113, kOff = 33114, kTrue = 33115, kReturn2 = 36260;
constexpr UINT kCommand = WM_APP + 40;  // lParam: the line, new[]'d by the reader thread

HWND g_window = nullptr;
LONG g_told = 0;
LONG g_boxes = 0;
DWORD g_mainThread = 0;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kOn || msg == kOff) {
    InterlockedIncrement(&g_told);
    return 0;
  }
  if (msg == WM_ERASEBKGND || msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EndPaint(hwnd, &ps);
    return 1;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Closes every "debug" box of this process as soon as it shows, counting them.
DWORD WINAPI BoxCloser(void*) {
  for (;;) {
    for (HWND box = nullptr; (box = FindWindowExA(nullptr, box, "#32770", "debug")) != nullptr;) {
      DWORD process = 0;
      GetWindowThreadProcessId(box, &process);
      if (process != GetCurrentProcessId() || !IsWindowVisible(box)) continue;
      InterlockedIncrement(&g_boxes);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      Sleep(200);  // gone before it is looked for again
    }
    Sleep(20);
  }
}

DWORD WINAPI Reader(void*) {
  char line[512];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    char* copy = new char[std::strlen(line) + 1];
    std::strcpy(copy, line);
    PostThreadMessageA(g_mainThread, kCommand, 0, reinterpret_cast<LPARAM>(copy));
  }
  PostThreadMessageA(g_mainThread, WM_QUIT, 0, 0);
  return 0;
}

HWND RealController() {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "ZafrelXP908@2005", nullptr)) != nullptr;) {
    if (w != g_window) return w;
  }
  return nullptr;
}

std::string Squat(HINSTANCE instance) {
  CreateMutexA(nullptr, FALSE, "Local\\ZafrelXP908@2005 controller on Default");
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = "ZafrelXP908@2005";
  RegisterClassA(&wc);
  wc.lpszClassName = "ZafrelXP64Companion";
  RegisterClassA(&wc);
  CreateWindowA("ZafrelXP64Companion", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  g_window = CreateWindowExA(WS_EX_TOPMOST, "ZafrelXP908@2005", "TRUES 3", WS_POPUP | WS_VISIBLE,
                             600, 500, 300, 200, nullptr, nullptr, instance, nullptr);
  return g_window != nullptr ? "ok" : "no";
}

std::string Record(const char* path) {
  HMODULE dll = LoadLibraryA(path);
  if (dll == nullptr || g_window == nullptr) return "no";
  typedef int(WINAPI * Init)(HWND, int);
  auto init = reinterpret_cast<Init>(reinterpret_cast<void (*)(void)>(
      GetProcAddress(dll, sizeof(void*) == 8 ? "InitZafrelXPDll" : "_InitZafrelXPDll@8")));
  if (init == nullptr) return "no";
  init(g_window, 16);
  return "ok";
}

std::string Peek() {
  const LONG before = g_boxes;
  PostMessageA(g_window, kTrue, 0, 0);
  PostMessageA(g_window, kReturn2, 0, 0);
  MSG msg;
  for (int i = 0; i < 5; ++i) {
    PeekMessageA(&msg, g_window, kTrue, kReturn2, PM_NOREMOVE);
    Sleep(50);
  }
  Sleep(500);
  const LONG peeked = g_boxes - before;
  while (PeekMessageA(&msg, g_window, kTrue, kReturn2, PM_REMOVE)) {
  }
  Sleep(800);
  char answer[64];
  std::snprintf(answer, sizeof answer, "peeked %ld taken %ld", peeked, g_boxes - before - peeked);
  return answer;
}

std::string Pixels() {
  HDC dc = GetDC(g_window);
  bool drawn = false;
  for (int y = 0; y < 60 && !drawn; ++y) {
    for (int x = 0; x < 280 && !drawn; x += 2) drawn = GetPixel(dc, x, y) != RGB(255, 255, 255);
  }
  ReleaseDC(g_window, dc);
  return drawn ? "drawn" : "clean";
}

std::string Journal() {
  HWND controller = RealController();
  if (controller == nullptr) return "none";
  PostMessageA(controller, WM_COMMAND, 204, 0);
  DWORD_PTR done = 0;
  SendMessageTimeoutA(controller, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &done);
  Sleep(300);
  const UINT state = GetMenuState(GetMenu(controller), 204, MF_BYCOMMAND);
  return (state != 0xFFFFFFFF && (state & MF_CHECKED) != 0) ? "checked" : "unchecked";
}

std::string Answer(const char* line, HINSTANCE instance) {
  char word[16] = {}, arg[400] = {};
  std::sscanf(line, "%15s %399[^\r\n]", word, arg);
  const std::string command = word;
  if (command == "squat") return Squat(instance);
  if (command == "record") return Record(arg);
  if (command == "peek") return Peek();
  if (command == "told") return std::to_string(g_told);
  if (command == "pixels") return Pixels();
  if (command == "journal") return Journal();
  return "?";
}

}  // namespace

int main() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  g_mainThread = GetCurrentThreadId();
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // this thread's queue, before the reader posts
  CreateThread(nullptr, 0, BoxCloser, nullptr, 0, nullptr);
  CreateThread(nullptr, 0, Reader, nullptr, 0, nullptr);
  std::printf("START\n");
  std::fflush(stdout);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == kCommand) {
      char* line = reinterpret_cast<char*>(msg.lParam);
      const bool quit = std::strncmp(line, "quit", 4) == 0;
      if (!quit) {
        std::printf("%s\n", Answer(line, instance).c_str());
        std::fflush(stdout);
      }
      delete[] line;
      if (quit) break;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
