#include "tools/controller/command_line.h"

#include <cstring>
#include <utility>

namespace command_line {
namespace {

// An argument as a message shows it: printable ASCII as it is, any other byte as \xNN (a control
// character would garble the console or the message box), and no more than kShown bytes of it.
constexpr size_t kShown = 40;

std::string Quoted(const char* arg) {
  std::string out = "'";
  size_t i = 0;
  for (; arg[i] != 0 && i < kShown; ++i) {
    const unsigned char c = static_cast<unsigned char>(arg[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += "0123456789ABCDEF"[c >> 4];
      out += "0123456789ABCDEF"[c & 15];
    }
  }
  if (arg[i] != 0) out += "...";
  return out + "'";
}

bool Is(const char* arg, const char* name) { return std::strcmp(arg, name) == 0; }

// Digits only, 1 to max: strtoull would take a sign, spaces, trailing junk and wrap "-1" round.
bool PositiveNumber(const char* text, uintmax_t max, uintmax_t* value) {
  if (*text == 0) return false;
  uintmax_t v = 0;
  for (const char* p = text; *p != 0; ++p) {
    if (*p < '0' || *p > '9') return false;
    const unsigned digit = static_cast<unsigned>(*p - '0');
    if (v > (max - digit) / 10) return false;
    v = v * 10 + digit;
  }
  if (v == 0) return false;
  *value = v;
  return true;
}

Parsed Refused(std::string message) {
  Parsed r;
  r.kind = Kind::kRefused;
  r.refusal = std::move(message);
  return r;
}

// The slots the Hooks menu switches (see command_line.h for the others).
constexpr bool kCommandLineSlot[10] = {true, true, true,  false, false,
                                       true, true, false, true,  true};

// Empty when `list` is good and its slots are in `o`, else the refusal.
std::string ReadSlots(const char* list, Options* o) {
  for (const char* p = list;; p += 2) {
    if (*p < '0' || *p > '9' || (p[1] != ',' && p[1] != 0)) {
      return "--slots takes slots separated by commas, such as 1,2,5, not " + Quoted(list);
    }
    const int slot = *p - '0';
    if (!kCommandLineSlot[slot]) {
      return "--slots takes the Hooks menu's slots 0, 1, 2, 5, 6, 8, 9, not " +
             std::to_string(slot);
    }
    for (int i = 0; i < o->slotCount; ++i) {
      if (o->slots[i] == slot) return "--slots names slot " + std::to_string(slot) + " twice";
    }
    o->slots[o->slotCount++] = slot;
    if (p[1] == 0) break;
  }
  o->slotsGiven = true;
  return "";
}

Parsed ParseController(int argc, const char* const* argv) {
  Parsed r;
  r.kind = Kind::kController;
  Options& o = r.options;
  for (int i = 1; i < argc; ++i) {
    const char* option = argv[i];
    const std::string name = option;
    if (name == "--tray") {
      if (o.tray) return Refused("--tray is given twice");
      o.tray = true;
      continue;
    }
    if (name == "--companion" || name == "--exit") {
      return Refused(name + " must be the first argument");
    }
    if (name == "--line-height") return Refused("--line-height only follows --companion HWND");
    const char* wanted = name == "--mode"          ? "TRUES or FALSE"
                         : name == "--font"        ? "a font code 0-4"
                         : name == "--slots"       ? "a list of slots such as 1,2,5"
                         : name == "--hooks-first" ? "32 or 64"
                                                   : nullptr;
    if (wanted == nullptr) {
      return Refused((option[0] == '-' ? "unknown option " : "unexpected argument ") +
                     Quoted(option));
    }
    const bool given = name == "--mode"    ? o.mode != nullptr
                       : name == "--font"  ? o.font != 0
                       : name == "--slots" ? o.slotsGiven
                                           : o.hooksFirst != 0;
    if (given) return Refused(name + " is given twice");
    if (i + 1 >= argc) return Refused(name + " needs " + wanted + " after it");
    const char* value = argv[++i];
    const std::string refusal = name + " takes " + wanted + ", not " + Quoted(value);
    if (name == "--mode") {
      if (!Is(value, "TRUES") && !Is(value, "FALSE")) return Refused(refusal);
      o.mode = Is(value, "TRUES") ? "TRUES" : "FALSE";
    } else if (name == "--font") {
      if (value[0] < '0' || value[0] > '4' || value[1] != 0) return Refused(refusal);
      o.font = value[0];
    } else if (name == "--slots") {
      std::string bad = ReadSlots(value, &o);
      if (!bad.empty()) return Refused(std::move(bad));
    } else {
      if (!Is(value, "32") && !Is(value, "64")) return Refused(refusal);
      o.hooksFirst = Is(value, "32") ? 32 : 64;
    }
  }
  return r;
}

Parsed ParseCompanion(int argc, const char* const* argv) {
  const std::string handles =
      "the controller's window handle, a decimal number 1-" + std::to_string(UINTPTR_MAX);
  if (argc < 3) return Refused("--companion needs " + handles + " after it");
  uintmax_t handle = 0;
  if (!PositiveNumber(argv[2], UINTPTR_MAX, &handle)) {
    return Refused("--companion takes " + handles + ", not " + Quoted(argv[2]));
  }
  Parsed r;
  r.kind = Kind::kCompanion;
  r.companionOf = static_cast<uintptr_t>(handle);
  if (argc == 3) return r;
  if (!Is(argv[3], "--line-height")) {
    return Refused("only --line-height may follow --companion HWND, not " + Quoted(argv[3]));
  }
  const std::string heights = "a pixel height 1-" + std::to_string(kMaxLineHeight);
  if (argc < 5) return Refused("--line-height needs " + heights + " after it");
  uintmax_t height = 0;
  if (!PositiveNumber(argv[4], kMaxLineHeight, &height)) {
    return Refused("--line-height takes " + heights + ", not " + Quoted(argv[4]));
  }
  if (argc > 5) return Refused("nothing may follow --line-height N, not " + Quoted(argv[5]));
  r.lineHeight = static_cast<int>(height);
  return r;
}

Parsed ParseExit(int argc, const char* const* argv) {
  Parsed r;
  r.kind = Kind::kExit;
  if (argc == 2) return r;
  const char* folder = argv[2];
  // A folder that starts with '-' is an option typed after --exit.
  if (folder[0] == 0 || folder[0] == '-' || std::strlen(folder) > kMaxFolder) {
    return Refused("--exit takes the controller's folder (1-" + std::to_string(kMaxFolder) +
                   " characters), not " + Quoted(folder));
  }
  if (argc > 3) return Refused("--exit takes one folder, not also " + Quoted(argv[3]));
  r.exitFolder = folder;  // a copy: the result outlives the strings it was read from
  return r;
}

}  // namespace

Parsed Parse(int argc, const char* const* argv) {
  if (argc >= 2 && Is(argv[1], "--companion")) return ParseCompanion(argc, argv);
  if (argc >= 2 && Is(argv[1], "--exit")) return ParseExit(argc, argv);
  return ParseController(argc, argv);
}

}  // namespace command_line
