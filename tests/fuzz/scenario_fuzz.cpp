// Scenario files, as the target program and the predictor read them from whoever wrote them:
// every file either reads, with every scenario's values in their ranges, or is refused with
// "FILE:LINE: why", LINE a line of the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/scenario.h"

namespace {

constexpr char kName[] = "fuzz.txt";

bool InRange(const Scenario& s, int lines) {
  if (s.line < 1 || s.line > lines) return false;
  if (s.mode != "TRUES" && s.mode != "FALSE") return false;
  if (s.font < '0' || s.font > '4') return false;
  for (const ScenarioKey& key : s.keys) {
    if (key.vk == 0 || key.vk > 0xFF) return false;
  }
  if (s.keys.size() > s.keyTokens.size()) return false;
  if (s.typeface.size() > 31 || s.fontSize < 0 || s.fontSize > 500) return false;
  if (s.busyMs < 0 || s.busyMs > 2000) return false;
  for (unsigned page : s.codePages) {
    if (page < 1 || page > 65535) return false;
  }
  if (!s.hasExpect && !s.expect.empty()) return false;
  if (s.canvas && EqualsIgnoringCase(s.focusClass, "Edit")) return false;
  return true;
}

// "fuzz.txt:LINE: why" with LINE one of the file's lines.
bool SaysWhere(const std::string& error, int lines) {
  const std::string head = std::string(kName) + ":";
  if (error.compare(0, head.size(), head) != 0) return false;
  size_t at = head.size();
  long line = 0;
  while (at < error.size() && error[at] >= '0' && error[at] <= '9' && line <= lines) {
    line = line * 10 + (error[at++] - '0');
  }
  return line >= 1 && line <= lines && error.compare(at, 2, ": ") == 0 && error.size() > at + 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  int lines = 0;
  for (size_t i = 0; i < size; ++i) lines += text[i] == '\n' || i + 1 == size;
  FILE* f = fmemopen(const_cast<char*>(text.data()), size == 0 ? 1 : size, "r");
  if (f == nullptr) std::abort();
  if (size == 0) std::fgetc(f);  // fmemopen wants a size: an empty file is one read past it
  std::vector<Scenario> scenarios;
  std::string error;
  const bool ok = ReadScenarioStream(f, kName, &scenarios, &error);
  std::fclose(f);
  if (ok) {
    if (!error.empty()) std::abort();
    for (const Scenario& s : scenarios) {
      if (!InRange(s, lines)) std::abort();
    }
  } else if (!SaysWhere(error, lines)) {
    std::abort();
  }
  return 0;
}
