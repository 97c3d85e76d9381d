// The command lines of zafrelctl and zafrelctl64, read before the controller claims the desktop or
// reads a setting. Anyone can start the controller (a shortcut, the Run value, a script, another
// program), so every argument is checked: a command line is either taken whole or refused with
// one message that names the argument at fault. Three forms:
//
//   zafrelctl [--mode TRUES|FALSE] [--font 0-4] [--slots 1,2,5] [--tray] [--hooks-first 32|64]
//   zafrelctl64 --companion HWND [--line-height N]   (as the 32-bit controller starts it)
//   zafrelctl --exit [FOLDER]
//
// Each option at most once, in any order. --mode is the title's mode word, exactly; --font one of
// the five font codes (the encodings, settings.h); --slots the slots the Hooks menu switches
// (0, 1, 2, 5, 6, 8, 9), each once, separated by commas, switched on in that order: not the
// journal's record and playback (3, 4), which see or replay the whole desktop's input and start
// only when the person chooses them from the controller's own menu, nor 7, which has no hook to
// set. HWND is the controller's window as a decimal number; N the status lines' height in pixels.
// --help, -h and --version are answered before (tools/winprog.h) and are unknown here.
//
// No Windows call: the same lines run in the host's tests and fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace command_line {

// What a controller's command line asks for: what it leaves out comes from the settings.
struct Options {
  const char* mode = nullptr;  // "TRUES" or "FALSE" (static text) as given, else nullptr
  char font = 0;               // '0'-'4' as given, else 0
  bool slotsGiven = false;
  int slots[10] = {};  // in the order given
  int slotCount = 0;
  bool tray = false;
  int hooksFirst = 0;  // 32 or 64: that half's hooks stay first (for measuring); 0 follows
};

enum class Kind { kController, kCompanion, kExit, kRefused };

// The controller passes its status font's height; the system font is 16 pixels at 96 DPI and
// stays well under the limit at the highest scaling Windows offers.
constexpr int kDefaultLineHeight = 16;
constexpr int kMaxLineHeight = 255;
// The longest folder --exit can find a controller in: with its closing backslash and the
// terminator it fills MAX_PATH, the buffer the running controller's path is read into.
constexpr size_t kMaxFolder = 258;

struct Parsed {
  Kind kind = Kind::kRefused;
  Options options;                      // kController
  uintptr_t companionOf = 0;            // kCompanion: the controller's window handle
  int lineHeight = kDefaultLineHeight;  // kCompanion
  std::string exitFolder;               // kExit: FOLDER, or empty for this program's own
  std::string refusal;                  // kRefused: one line, without the program's name
};

// argv[0] is the program; argv[1..argc-1] are read. The result holds no pointer into argv.
Parsed Parse(int argc, const char* const* argv);

}  // namespace command_line
