// zafrel_bench: types the benchmark's key mix through the library on the simulated desktop, in
// both typing modes and four application frames, so that callgrind can count the library's own
// instructions per key. Only TypeKeys runs while callgrind collects (--toggle-collect=TypeKeys*):
// window set-up and switching Farsi typing on stay outside the count.
//
//   zafrel_bench [--keys N] [--seed S] [--long-names]
//
// --keys: key presses per mode and frame (8 combinations). --long-names: every window title and
// class name the library reads is as long as its 256-character read allows, to show that the
// cost does not grow with the names. Prints "KEYS <total presses typed>" and one line per
// combination with the focus window's text length.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dll/entry.h"
#include "tools/bench/key_mix.h"
#include "typing/controller_link.h"
#include "winsim/fakewin.h"
#include "winsim/message_loop.h"

namespace {

struct Frame {
  const char* name;
  const char* focusClass;
  const char* grandParentTitle;
};

// The plain edit control, Word's document window, and two graphics programs recognised by the
// title of the focus window's grand-parent.
const Frame kFrames[] = {
    {"edit", "Edit", ""},
    {"word", "_WwG", ""},
    {"photoshop", "ZafrelCanvas", "Adobe Photoshop 7.0"},
    {"illustrator", "ZafrelCanvas", "Adobe Illustrator 10"},
};
const char* const kModes[] = {"TRUES", "FALSE"};

// A name as long as a 260-byte buffer read with a count of 256 holds: 255 characters.
std::string Long(const std::string& start) { return start + std::string(255 - start.size(), 'x'); }

// Not inlined, so that callgrind can switch collecting on exactly around the typing.
__attribute__((noinline)) void TypeKeys(MessageLoop& loop, const std::vector<unsigned>& keys) {
  for (unsigned vk : keys) {
    loop.UserKey(vk, true);
    loop.UserKey(vk, false);
  }
}

}  // namespace

int main(int argc, char** argv) {
  size_t keysPerRun = 500;
  unsigned seed = 20261208;
  bool longNames = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--keys" && i + 1 < argc) {
      keysPerRun = std::strtoul(argv[++i], nullptr, 10);
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--long-names") {
      longNames = true;
    } else {
      std::fprintf(stderr, "usage: zafrel_bench [--keys N] [--seed S] [--long-names]\n");
      return 2;
    }
  }
  auto name = [longNames](const std::string& s) { return longNames ? Long(s) : s; };

  fakewin::Desktop d;
  ResetProcessState();
  HWND controller = d.ShowController("FALSE 1 ZafrelXP");
  HWND main = d.AddWindow("ZafrelTarget", "ZafrelXP bench");
  LibMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
  MessageLoop loop(d);

  size_t typed = 0;
  unsigned run = 0;
  for (const char* mode : kModes) {
    for (const Frame& frame : kFrames) {
      d.SetTitle(controller, std::string(mode) + " 1 ZafrelXP");
      HWND fourth = d.AddWindow(name("ZafrelPane"), name("Pane"), main);
      HWND ggp = d.AddWindow(name("ZafrelPane"), name("Document"), fourth);
      HWND gp = d.AddWindow(name("ZafrelPane"), name(frame.grandParentTitle), ggp);
      HWND parent = d.AddWindow(name("ZafrelPane"), name("View"), gp);
      // The focus class decides the frame for the edit control and Word: only the others grow.
      const bool classDecides = frame.grandParentTitle[0] == 0;
      HWND focus =
          d.AddWindow(classDecides ? frame.focusClass : name(frame.focusClass), name(""), parent);
      loop.SetMultiline(focus);
      d.SetFocus(focus);
      for (int presses = 0; presses < 3 && !(presses > 0 && fFarsiOn == 1); ++presses) {
        loop.UserKey(VK_SCROLL, true);
        loop.UserKey(VK_SCROLL, false);
      }
      const std::vector<unsigned> keys = BenchKeyMix(seed + run++, keysPerRun);
      TypeKeys(loop, keys);
      typed += keys.size();
      char title[300] = {};
      const int titleLength = GetWindowTextA(gp, title, sizeof title);
      std::printf("RUN %s %s keys=%zu text=%zu latin=%d names=%d\n", mode, frame.name, keys.size(),
                  loop.Text(focus).size(), loop.latinCharacters, titleLength);
      for (HWND w : {focus, parent, gp, ggp, fourth}) d.DestroyWindow(w);
    }
  }
  std::printf("KEYS %zu\n", typed);
  return 0;
}
