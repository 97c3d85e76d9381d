// wine_bench: what typing costs with ZafrelXP's hooks, against no library, in one process. It
// owns the controller window itself, loads the library beside it and types the benchmark's key
// mix into a multi-line edit control with SendInput, alternating repetitions with the hook slots
// off ("none": no library code runs) and on ("hooks"). Per phase it measures the thread's CPU
// time (GetThreadTimes) and the wall time (QueryPerformanceCounter):
//
//   wine_bench [--keys N] [--reps R] [--seed S] [--dll NAME]
//
// prints "REP <i> none|hooks <busy_us> <wall_us>" per phase and one RESULT line of medians per
// key press; a phase whose text shows the hooks did not act as switched prints FAILED, exit 1.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/bench/key_mix.h"
#include "tools/controller/protocol.h"
#include "tools/winprog.h"

namespace {

typedef int(WINAPI* InitFn)(HWND, int);
typedef int(WINAPI* InstallFn)(int, int, HWND, int);

// The typing slots: focus (WH_CBT), key pre-filter (WH_GETMESSAGE), keyboard (WH_KEYBOARD).
const int kTypingSlots[] = {1, 2, 5};
// The pre-filter renames a Latin key-down to this message; the edit control ignores it.
constexpr UINT kNeutralisedKey = WM_USER + 100;
// A key the library leaves alone: its release, seen by the edit control, means that every key
// queued before it has been handled, the caret moves the library injected included.
constexpr UINT kSentinelKey = VK_F24;
// A key the edit control has not seen in this long was lost: the run fails, it never hangs.
constexpr DWORD kKeyTimeoutMs = 30000;

HWND g_controller = nullptr;
HWND g_edit = nullptr;
WNDPROC g_editProc = nullptr;
bool g_farsiOn = false;  // from the library's on/off notifications to the controller

// What the edit control's own procedure was handed while one phase was typed.
struct EditLog {
  UINT waitVk = 0;
  bool waitUp = false;
  bool arrived = false;        // waitVk's WM_KEYUP, or WM_KEYDOWN (pre-filtered or not), came
  int latinDowns = 0;          // letter-key WM_KEYDOWNs: TranslateMessage types them in Latin
  int neutralisedLetters = 0;  // letter-key downs the pre-filter took away
  int chars = 0;               // WM_CHARs: glyphs, spaces, digits, line breaks
};
EditLog g_log;

bool IsLetterKey(unsigned vk) {
  return (vk >= 'A' && vk <= 'Z') || vk == VK_OEM_1 || vk == VK_OEM_COMMA || vk == VK_OEM_3 ||
         (vk >= VK_OEM_4 && vk <= VK_OEM_7);
}

LRESULT CALLBACK ControllerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMsgOn && wParam == 0) g_farsiOn = true;
  if (msg == kMsgOff) g_farsiOn = false;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK EditRecorder(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const unsigned vk = static_cast<unsigned>(wParam);
  const bool down = msg == WM_KEYDOWN || msg == kNeutralisedKey;
  if (vk == g_log.waitVk && (g_log.waitUp ? msg == WM_KEYUP : down)) g_log.arrived = true;
  if (msg == WM_KEYDOWN && IsLetterKey(vk)) ++g_log.latinDowns;
  if (msg == kNeutralisedKey && IsLetterKey(vk)) ++g_log.neutralisedLetters;
  if (msg == WM_CHAR) ++g_log.chars;
  return CallWindowProcA(g_editProc, hwnd, msg, wParam, lParam);
}

// Injects one key event and runs the message loop until the edit control has it. Event by
// event, as a person types: the caret moves the library injects (Left, Home) queue behind
// whatever input is already waiting, and they must land before the key's release, not after.
bool Inject(unsigned vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = static_cast<WORD>(vk);
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  g_log.waitVk = vk;
  g_log.waitUp = up;
  g_log.arrived = false;
  if (SendInput(1, &in, sizeof in) != 1) return false;
  DWORD idleSince = GetTickCount();
  while (!g_log.arrived) {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      idleSince = GetTickCount();
    } else if (GetTickCount() - idleSince > kKeyTimeoutMs) {
      return false;
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
  }
  return true;
}

bool Press(unsigned vk) { return Inject(vk, false) && Inject(vk, true); }

int Fail(const std::string& what) {
  std::printf("FAILED %s\n", what.c_str());
  return 1;
}

unsigned long long ThreadBusy100ns() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return ticks(kernel) + ticks(user);
}

// The smallest step the thread's CPU clock moves by, in 100-ns units (Wine reads it from the
// kernel's per-thread accounting, which may tick at 100 Hz); 0 if it never moved in 2 s of work.
unsigned long long BusyClockStep() {
  unsigned long long step = 0, last = ThreadBusy100ns();
  const DWORD start = GetTickCount();
  for (int moves = 0; moves < 5 && GetTickCount() - start < 2000;) {
    const unsigned long long now = ThreadBusy100ns();
    if (now == last) continue;
    if (step == 0 || now - last < step) step = now - last;
    last = now;
    ++moves;
  }
  return step;
}

// The text the keys type with no library: each key's own character, Enter a line break, and
// Backspace (in the mix only ever after a letter) takes the letter back.
std::string PlainText(const std::vector<unsigned>& keys) {
  const bool capsLock = (GetKeyState(VK_CAPITAL) & 1) != 0;
  std::string text;
  for (unsigned vk : keys) {
    if (vk == VK_BACK) {
      if (!text.empty()) text.pop_back();
    } else if (vk == VK_RETURN) {
      text += "\r\n";
    } else {
      const char c = static_cast<char>(MapVirtualKeyA(vk, MAPVK_VK_TO_CHAR) & 0xFF);
      text += (vk >= 'A' && vk <= 'Z' && !capsLock) ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  return text;
}

std::string EditText() {
  const int length = GetWindowTextLengthA(g_edit);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  GetWindowTextA(g_edit, &text[0], length + 1);
  text.resize(static_cast<size_t>(std::max(length, 0)));
  return text;
}

// Why the text of a phase shows the library did not act as switched; empty when it did.
std::string PhaseFault(bool hooks, const std::string& text, const std::string& plain,
                       int letterPresses) {
  if (!hooks) {
    const bool anyLatin = std::any_of(text.begin(), text.end(), [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
    if (!anyLatin) return "the text holds no Latin letter";
    if (g_log.neutralisedLetters != 0) return "the key pre-filter ran with its slot off";
    if (text != plain) return "the text is not what the keys type (a key was lost)";
    return "";
  }
  // The default font encoding puts some glyphs on ASCII letter codes, so the text alone cannot
  // tell a glyph from a Latin letter. A Latin letter is typed only by a letter key-down that
  // reaches the edit control: the pre-filter must take every one away, and the keyboard hook
  // must type a glyph (a WM_CHAR) for each.
  if (text.empty()) return "the text is empty";
  if (g_log.latinDowns != 0) return "a letter key-down reached the edit control";
  if (g_log.neutralisedLetters != letterPresses) return "not every letter key was pre-filtered";
  if (g_log.chars < letterPresses) return "fewer characters typed than letter keys pressed";
  return "";
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Options {
  // 10 ms steps of the thread's CPU clock stay under 1% of a phase from about 1000 keys on.
  unsigned long keys = 1000, reps = 5, seed = 20261208;
  std::string dll = kLibraryFile;
};

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 >= argc) return false;
    const std::string name = argv[i];
    const char* value = argv[i + 1];
    if (name == "--dll") {
      options->dll = value;
      continue;
    }
    unsigned long* number = name == "--keys"   ? &options->keys
                            : name == "--reps" ? &options->reps
                            : name == "--seed" ? &options->seed
                                               : nullptr;
    char* end = nullptr;
    if (number == nullptr || value[0] < '0' || value[0] > '9') return false;
    *number = std::strtoul(value, &end, 10);
    if (*end != 0 || (number != &options->seed && *number == 0)) return false;
  }
  return true;
}

HWND MakeWindows(HINSTANCE instance, HWND* frame) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ControllerProc;
  wc.hInstance = instance;
  wc.lpszClassName = kControllerClass;
  RegisterClassA(&wc);
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "ZafrelBench";
  RegisterClassA(&wc);
  // The library refuses to load unless the controller window exists; its title carries the
  // posted typing route (FALSE) and the default font code (1).
  g_controller = CreateWindowA(kControllerClass, "FALSE 1 ZafrelXP", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                               200, nullptr, nullptr, instance, nullptr);
  *frame = CreateWindowA("ZafrelBench", "ZafrelXP bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                         640, 360, nullptr, nullptr, instance, nullptr);
  // Multi-line with ES_WANTRETURN: Enter breaks the line instead of going to a dialog.
  const DWORD style =
      WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
  g_edit = CreateWindowA("Edit", "", style, 10, 10, 600, 300, *frame, nullptr, instance, nullptr);
  if (g_controller == nullptr || *frame == nullptr || g_edit == nullptr) return nullptr;
  g_editProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(g_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditRecorder)));
  SetForegroundWindow(*frame);
  SetFocus(g_edit);
  return g_edit;
}

// Types the whole mix once into the emptied edit control; the thread's CPU time and the wall
// time it took, in microseconds. False when a key never reached the edit control.
bool TypePhase(const std::vector<unsigned>& keys, double* busyUs, double* wallUs) {
  SetWindowTextA(g_edit, "");
  g_log = EditLog();
  LARGE_INTEGER frequency, wallStart, wallEnd;
  QueryPerformanceFrequency(&frequency);
  const unsigned long long busyStart = ThreadBusy100ns();
  QueryPerformanceCounter(&wallStart);
  for (unsigned vk : keys) {
    if (!Press(vk)) return false;
  }
  if (!Press(kSentinelKey)) return false;
  QueryPerformanceCounter(&wallEnd);
  *busyUs = static_cast<double>((ThreadBusy100ns() - busyStart) / 10);
  *wallUs =
      static_cast<double>((wallEnd.QuadPart - wallStart.QuadPart) * 1000000 / frequency.QuadPart);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!WineStarted()) return 3;
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "usage: wine_bench [--keys N] [--reps R] [--seed S] [--dll NAME]\n");
    return 2;
  }
  const std::vector<unsigned> keys = BenchKeyMix(static_cast<unsigned>(options.seed), options.keys);
  const int letterPresses = static_cast<int>(std::count_if(keys.begin(), keys.end(), IsLetterKey));

  HINSTANCE instance = GetModuleHandleA(nullptr);
  HWND frame = nullptr;
  if (MakeWindows(instance, &frame) == nullptr) return Fail("the windows could not be made");
  // From the program's own folder, not the search path: the library measured is the one built.
  char path[MAX_PATH];
  std::string dllPath(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  dllPath = dllPath.substr(0, dllPath.find_last_of("\\/") + 1) + options.dll;
  HMODULE dll = LoadLibraryA(dllPath.c_str());
  if (dll == nullptr) return Fail("loading " + dllPath);
  // 32-bit exports carry the stdcall decoration; a 64-bit build has none.
  auto init = LibraryExport<InitFn>(dll, "InitZafrelXPDll", 8);
  auto install = LibraryExport<InstallFn>(dll, "InstallFilter", 16);
  if (init == nullptr || install == nullptr) return Fail("the library's exports");
  init(g_controller, 16);
  auto switchSlots = [&](int on) {
    bool ok = true;
    for (int slot : kTypingSlots) ok = install(slot, on, g_controller, 0) == 1 && ok;
    return ok;
  };
  if (!switchSlots(1)) return Fail("switching the hook slots on");
  // Inside the keyboard hook Scroll Lock's toggle is read as it was before the press, so the
  // first press may switch Farsi typing off: press until the library reports it on.
  for (int press = 0; press < 3 && !g_farsiOn; ++press) {
    if (!Press(VK_SCROLL)) return Fail("Scroll Lock never reached the edit control");
  }
  if (!g_farsiOn) return Fail("Farsi typing did not switch on");

  const std::string plain = PlainText(keys);
  const unsigned long long clockStep = BusyClockStep();
  std::vector<double> busy[2], wall[2];
  double smallestBusyUs = 0;
  for (unsigned long rep = 1; rep <= options.reps; ++rep) {
    for (int hooks = 0; hooks < 2; ++hooks) {
      const std::string phase = std::to_string(rep) + (hooks ? " hooks" : " none");
      if (!switchSlots(hooks)) return Fail("switching the slots for rep " + phase);
      double busyUs = 0, wallUs = 0;
      if (!TypePhase(keys, &busyUs, &wallUs)) return Fail("rep " + phase + ": a key was lost");
      const std::string fault = PhaseFault(hooks, EditText(), plain, letterPresses);
      if (!fault.empty()) return Fail("rep " + phase + ": " + fault);
      std::printf("REP %s %.0f %.0f\n", phase.c_str(), busyUs, wallUs);
      std::fflush(stdout);
      busy[hooks].push_back(busyUs / static_cast<double>(options.keys));
      wall[hooks].push_back(wallUs / static_cast<double>(options.keys));
      if (smallestBusyUs == 0 || busyUs < smallestBusyUs) smallestBusyUs = busyUs;
    }
  }

  // The CPU clock is worth reading only if one step of it is at most 1% of a phase.
  if (clockStep == 0 || static_cast<double>(clockStep) / 10 > smallestBusyUs / 100) {
    std::printf(
        "NOTE GetThreadTimes moves in %.0f us steps, too coarse for these phases: read "
        "the wall times, or raise --keys\n",
        static_cast<double>(clockStep) / 10);
  }
  const double noneBusy = Median(busy[0]), hooksBusy = Median(busy[1]);
  const double noneWall = Median(wall[0]), hooksWall = Median(wall[1]);
  std::printf(
      "RESULT keys=%lu reps=%lu none_busy_us_per_key=%.1f hooks_busy_us_per_key=%.1f "
      "busy_ratio=%.2f none_wall_us_per_key=%.1f hooks_wall_us_per_key=%.1f wall_ratio=%.2f\n",
      options.keys, options.reps, noneBusy, hooksBusy, noneBusy > 0 ? hooksBusy / noneBusy : 0.0,
      noneWall, hooksWall, noneWall > 0 ? hooksWall / noneWall : 0.0);
  std::fflush(stdout);

  switchSlots(0);
  SetWindowLongPtrA(g_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editProc));
  FreeLibrary(dll);
  DestroyWindow(frame);
  DestroyWindow(g_controller);
  return 0;
}
