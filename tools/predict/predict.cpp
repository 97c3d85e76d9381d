// zafrel_predict: plays a scenario file on the host engine (the library's sources against the
// fake desktop and a model of the hooked thread's message loop) and prints what each scenario's
// focus window must hold afterwards. The end-to-end tests and the demo compare the real DLL under
// Wine with this. One library state serves all scenarios in turn, as one target process does.
//
//   zafrel_predict SCENARIO-FILE [--explain]
//   zafrel_predict --help | --version
//
// --explain adds, for every byte, the key and the glyph form it stands for in the table set.
// Exit status: 0 played; 1 the results could not be written; 2 wrong usage or a scenario file
// that cannot be read or is malformed (FILE:LINE: why, on standard error).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dll/entry.h"
#include "tools/scenario.h"
#include "typing/controller_link.h"
#include "typing/glyph_tables.h"
#include "typing/typing_state.h"
#include "winsim/fakewin.h"
#include "winsim/message_loop.h"

namespace {

const char* const kKeyNames[kKeyIndexCount] = {"A", "B", "C", "D", "E", "F", "G", "H", "I",  "J",
                                               "K", "L", "M", "N", "O", "P", "Q", "R", "S",  "T",
                                               "U", "V", "W", "X", "Y", "Z", "`", "[", "]",  "\\",
                                               ",", ".", "/", ";", "'", "4", "6", "7", "sep"};

// Every table entry of a set that holds `byte`, e.g. "E initial, Q medial".
std::string Explain(unsigned char byte, const GlyphTableSet& set) {
  if (byte == '\r' || byte == '\n') return "line break";
  if (byte == ' ') return "space";
  std::string out;
  auto add = [&out](const std::string& what) { out += (out.empty() ? "" : ", ") + what; };
  const struct {
    const unsigned char* table;
    const char* form;
  } forms[] = {{set.initial, "initial"},
               {set.medial, "medial"},
               {set.final, "final"},
               {set.isolated, "isolated"},
               {set.shift, "Shift layer"}};
  for (const auto& f : forms) {
    for (int key = 0; key < kKeyIndexCount; ++key) {
      if (f.table[key] == byte) add(std::string(kKeyNames[key]) + " " + f.form);
    }
  }
  if (set.lamAlef[0] == byte) add("lam-alef ligature after an initial lam");
  if (set.lamAlef[1] == byte) add("lam-alef ligature after a medial lam");
  if (set.variant == 1) {
    for (int key = 0; key < kKeyIndexCount; ++key) {
      if (abAltShiftTable[key] == byte) add(std::string(kKeyNames[key]) + " second Shift layer");
    }
  }
  if (out.empty() && byte >= '0' && byte <= '9') add("digit");
  return out.empty() ? "a fixed character" : out;
}

void PressKey(MessageLoop& loop, unsigned vk) {
  loop.UserKey(vk, true);
  loop.UserKey(vk, false);
}

}  // namespace

constexpr char kUsage[] =
    "usage: zafrel_predict SCENARIO-FILE [--explain]\n"
    "       zafrel_predict --help | --version\n";

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help" || first == "-h") {
    std::printf(
        "%s\nPlays each scenario of the file (tools/scenario.h has the format) on the host\n"
        "engine and prints SCENARIO and TEXT lines: the bytes its focus window holds\n"
        "afterwards. --explain adds a BYTE line per byte: the key and the form it is.\n"
        "Exit status: 0 played, 1 the results could not be written, 2 wrong usage or a\n"
        "scenario file that cannot be read or is malformed.\n",
        kUsage);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (first == "--version") {
    std::printf("zafrel_predict %s\n", ZAFREL_VERSION);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  const bool explain = argc == 3 && std::string(argv[2]) == "--explain";
  if (argc < 2 || argc > 3 || (argc == 3 && !explain) || (first.size() > 1 && first[0] == '-')) {
    if (argc >= 2) {
      const std::string bad = argc == 3 && !explain ? argv[2] : first;
      std::fprintf(stderr, "zafrel_predict: unknown option %s\n", bad.c_str());
    }
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::vector<Scenario> scenarios;
  std::string error;
  if (!ReadScenarios(argv[1], &scenarios, &error)) {
    std::fprintf(stderr, "zafrel_predict: %s\n", error.c_str());
    return 2;
  }

  fakewin::Desktop d;
  ResetProcessState();
  HWND controller = d.ShowController("FALSE 1 ZafrelXP");
  HWND main = d.AddWindow("ZafrelTarget", "ZafrelXP target");
  LibMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
  MessageLoop loop(d);

  for (const Scenario& s : scenarios) {
    d.SetTitle(controller, s.mode + " " + s.font + " ZafrelXP");
    HWND fourth =
        d.AddWindow(s.fourthAncestorClass.empty() ? "ZafrelPane" : s.fourthAncestorClass, "", main);
    HWND ggp = d.AddWindow("ZafrelPane", s.ancestorTitle[3], fourth);
    HWND gp = d.AddWindow("ZafrelPane", s.ancestorTitle[2], ggp);
    HWND parent = d.AddWindow("ZafrelPane", "", gp);
    HWND focus = d.AddWindow(s.focusClass, "", parent);
    // The canvas edits as a multi-line edit control does.
    if (s.multiline || s.canvas) loop.SetMultiline(focus);
    d.SetFocus(focus);

    // As the target does: Scroll Lock until Farsi typing is on.
    int presses = 0;
    while (s.switchOn && presses < 3 && !(presses > 0 && fFarsiOn == 1)) {
      PressKey(loop, VK_SCROLL);
      ++presses;
    }
    if (s.holdCtrl) loop.UserKey(VK_CONTROL, true);
    for (const ScenarioKey& key : s.keys) {
      const UINT shift = key.rightShift ? VK_RSHIFT : VK_LSHIFT;
      if (key.shift) loop.UserKey(shift, true);
      if (key.press != ScenarioKey::kUpOnly) loop.UserKey(key.vk, true);
      if (key.press != ScenarioKey::kDownOnly) loop.UserKey(key.vk, false);
      if (key.shift) loop.UserKey(shift, false);
    }
    if (s.holdCtrl) loop.UserKey(VK_CONTROL, false);

    const std::string text = loop.Text(focus);
    std::printf("SCENARIO %s\n", s.name.c_str());
    std::printf("TEXT %s\n", HexBytes(text).c_str());
    if (explain) {
      const GlyphTableSet& set = GlyphTableSetFor(static_cast<signed char>(s.font));
      for (unsigned char byte : text)
        std::printf("BYTE %02X %s\n", byte, Explain(byte, set).c_str());
    }
    d.DestroyWindow(focus);
    d.DestroyWindow(parent);
    d.DestroyWindow(gp);
    d.DestroyWindow(ggp);
    d.DestroyWindow(fourth);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "zafrel_predict: cannot write the results: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}
