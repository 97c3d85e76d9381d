// Random command lines for the controller and its companion, the bytes split into arguments at NUL
// (so empty arguments, missing values and any byte come up). The parse refuses with a one-line
// printable message, or what it takes is in range and, written back as a canonical command line,
// reads the same again. The known-good table reads as it says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/unit/command_line_cases.h"

namespace {

using command_line::Kind;
using command_line::Parsed;

// A one-byte argument 1..kTokens stands for a word of the command lines: the fuzzer gets to the
// options at once instead of spelling them out.
const char* const kTokens[] = {
    "--mode",        "TRUES", "FALSE", "--font",      "--slots",       "--tray", "1,2,5", "--exit",
    "--hooks-first", "64",    "32",    "--companion", "--line-height", "16",     "-1"};

std::vector<std::string> Canonical(const Parsed& p) {
  const command_line::Options& o = p.options;
  std::vector<std::string> args;
  if (p.kind == Kind::kCompanion) {
    return {"--companion", std::to_string(p.companionOf), "--line-height",
            std::to_string(p.lineHeight)};
  }
  if (p.kind == Kind::kExit) {
    args.push_back("--exit");
    if (!p.exitFolder.empty()) args.push_back(p.exitFolder);
    return args;
  }
  if (o.mode != nullptr) args.insert(args.end(), {"--mode", o.mode});
  if (o.font != 0) args.insert(args.end(), {"--font", std::string(1, o.font)});
  if (o.slotsGiven) {
    std::string list;
    for (int i = 0; i < o.slotCount; ++i) list += (i > 0 ? "," : "") + std::to_string(o.slots[i]);
    args.insert(args.end(), {"--slots", list});
  }
  if (o.tray) args.push_back("--tray");
  if (o.hooksFirst != 0) args.insert(args.end(), {"--hooks-first", std::to_string(o.hooksFirst)});
  return args;
}

Parsed ParseStrings(const std::vector<std::string>& args) {
  std::vector<const char*> pointers;
  for (const std::string& a : args) pointers.push_back(a.c_str());
  return command_line_cases::ParseArgs(pointers);
}

void Check(bool holds) {
  if (!holds) std::abort();
}

void CheckInRange(const Parsed& p) {
  const command_line::Options& o = p.options;
  const Parsed none;
  if (p.kind == Kind::kRefused) {
    Check(!p.refusal.empty() && command_line_cases::Describe(p) == "refused: " + p.refusal);
    for (char c : p.refusal) Check(c >= 0x20 && c < 0x7F);  // one printable line
    return;
  }
  Check(p.refusal.empty());
  Check(o.mode == nullptr || std::strcmp(o.mode, "TRUES") == 0 ||
        std::strcmp(o.mode, "FALSE") == 0);
  Check(o.font == 0 || (o.font >= '0' && o.font <= '4'));
  Check(o.slotsGiven ? o.slotCount >= 1 && o.slotCount <= 7 : o.slotCount == 0);
  bool seen[10] = {};
  for (int i = 0; i < o.slotCount; ++i) {
    const int slot = o.slots[i];
    Check(slot >= 0 && slot <= 9 && slot != 3 && slot != 4 && slot != 7 && !seen[slot]);
    seen[slot] = true;
  }
  Check(o.hooksFirst == 0 || o.hooksFirst == 32 || o.hooksFirst == 64);
  Check(p.lineHeight >= 1 && p.lineHeight <= command_line::kMaxLineHeight);
  // Only the fields of its kind.
  if (p.kind != Kind::kController) {
    Check(o.mode == nullptr && o.font == 0 && !o.slotsGiven && !o.tray && o.hooksFirst == 0);
  }
  Check((p.companionOf != 0) == (p.kind == Kind::kCompanion));
  if (p.kind != Kind::kCompanion) Check(p.lineHeight == none.lineHeight);
  if (p.kind != Kind::kExit) Check(p.exitFolder.empty());
  const std::string& folder = p.exitFolder;
  Check(folder.size() <= command_line::kMaxFolder && folder.find('\0') == std::string::npos);
  Check(folder.empty() || folder[0] != '-');
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const command_line_cases::Case& c : command_line_cases::GoodLines()) {
    Check(command_line_cases::Describe(command_line_cases::ParseArgs(c.args)) == c.outcome);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  if (size == 0) args.clear();
  for (std::string& a : args) {
    if (a.size() == 1 && a[0] >= 1 && static_cast<size_t>(a[0]) <= std::size(kTokens)) {
      a = kTokens[a[0] - 1];
    }
  }
  const Parsed p = ParseStrings(args);
  CheckInRange(p);
  if (p.kind != Kind::kRefused) {
    const Parsed again = ParseStrings(Canonical(p));
    Check(command_line_cases::Describe(again) == command_line_cases::Describe(p));
  }
  return 0;
}
