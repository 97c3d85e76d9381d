// Command lines the controller and its companion take, with what each asks for: the unit test's
// table and the fuzzer's, which checks them at every run.
#pragma once

#include <string>
#include <vector>

#include "tools/controller/command_line.h"

namespace command_line_cases {

inline command_line::Parsed ParseArgs(const std::vector<const char*>& args) {
  std::vector<const char*> argv{"zafrelctl"};
  argv.insert(argv.end(), args.begin(), args.end());
  return command_line::Parse(static_cast<int>(argv.size()), argv.data());
}

// The kind, then every field that differs from a default parse's: two parses describe alike
// exactly when they ask for the same.
inline std::string Describe(const command_line::Parsed& p) {
  using command_line::Kind;
  const command_line::Options& o = p.options;
  std::string s = p.kind == Kind::kController  ? "controller"
                  : p.kind == Kind::kCompanion ? "companion"
                  : p.kind == Kind::kExit      ? "exit"
                                               : "refused";
  if (o.mode != nullptr) s += std::string(" mode=") + o.mode;
  if (o.font != 0) s += std::string(" font=") + o.font;
  if (o.slotsGiven || o.slotCount != 0) s += o.slotsGiven ? " slots=" : " unasked=";
  for (int i = 0; i < o.slotCount; ++i) s += (i > 0 ? "," : "") + std::to_string(o.slots[i]);
  if (o.tray) s += " tray";
  if (o.hooksFirst != 0) s += " hooks-first=" + std::to_string(o.hooksFirst);
  if (p.companionOf != 0) s += " window=" + std::to_string(p.companionOf);
  if (p.lineHeight != command_line::kDefaultLineHeight) {
    s += " line-height=" + std::to_string(p.lineHeight);
  }
  if (!p.exitFolder.empty()) s += " folder=" + p.exitFolder;
  if (!p.refusal.empty()) s += ": " + p.refusal;
  return s;
}

struct Case {
  std::vector<const char*> args;  // after the program's name
  std::string outcome;            // Describe()'s
};

inline const std::string kLongestFolder(command_line::kMaxFolder, 'F');

inline const std::vector<Case>& GoodLines() {
  static const std::vector<Case> lines = {
      {{}, "controller"},
      {{"--tray"}, "controller tray"},
      {{"--mode", "TRUES"}, "controller mode=TRUES"},
      {{"--mode", "FALSE", "--font", "1"}, "controller mode=FALSE font=1"},
      {{"--mode", "TRUES", "--font", "0", "--slots", "1,2,5,6"},
       "controller mode=TRUES font=0 slots=1,2,5,6"},
      {{"--tray", "--font", "4", "--hooks-first", "32", "--slots", "9,8,6,5,2,1,0"},
       "controller font=4 slots=9,8,6,5,2,1,0 tray hooks-first=32"},
      {{"--mode", "FALSE", "--font", "1", "--hooks-first", "64"},
       "controller mode=FALSE font=1 hooks-first=64"},
      {{"--slots", "6"}, "controller slots=6"},
      {{"--companion", "131330"}, "companion window=131330"},
      {{"--companion", "000131330", "--line-height", "16"}, "companion window=131330"},
      {{"--companion", "7", "--line-height", "1"}, "companion window=7 line-height=1"},
      {{"--companion", "18446744073709551615", "--line-height", "255"},
       "companion window=18446744073709551615 line-height=255"},
      {{"--exit"}, "exit"},
      {{"--exit", "C:\\Program Files\\ZafrelXP\\."}, "exit folder=C:\\Program Files\\ZafrelXP\\."},
      {{"--exit", kLongestFolder.c_str()}, "exit folder=" + kLongestFolder},
  };
  return lines;
}

}  // namespace command_line_cases
