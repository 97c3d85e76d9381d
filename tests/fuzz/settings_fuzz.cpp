// The controller's settings as any program of the user may have left them in the registry: each
// value absent or present, of any type, length and bytes. Whatever they are, the settings loaded
// must be in range; a valid value is kept as it is, a damaged one reported and written again
// with its default (the placement only judged); and what is saved loads back the same, with
// nothing left to repair.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tools/controller/settings.h"
#include "winsim/fakewin.h"

namespace {

using Bytes = std::vector<BYTE>;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t Dword() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t{Byte()} << (8 * i);
    return v;
  }
  Bytes Take(size_t n) {
    Bytes out;
    while (out.size() < n && pos_ < size_) out.push_back(data_[pos_++]);
    out.resize(n);
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void Require(bool ok, const char* what) {
  if (!ok) Fail(what);
}

Bytes DwordBytes(DWORD v) {
  Bytes b(sizeof v);
  std::memcpy(b.data(), &v, sizeof v);
  return b;
}

Bytes Text(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

constexpr int64_t kMinSide = 120;
constexpr int64_t kMaxSide = 16384;

// The placement's rectangle: its sides within the limits and sharing a pixel with the monitor.
bool GoodRect(const RECT& r, const RECT& m) {
  const int64_t width = int64_t{r.right} - r.left;
  const int64_t height = int64_t{r.bottom} - r.top;
  return width >= kMinSide && width <= kMaxSide && height >= kMinSide && height <= kMaxSide &&
         r.left < m.right && r.right > m.left && r.top < m.bottom && r.bottom > m.top;
}

// A value as the fuzzer's bytes make it: absent, valid in form, valid in form then retyped,
// shortened or lengthened, or raw bytes of any type.
struct Value {
  bool present = false;
  fakewin::RegistryValue v;
};

Value Make(Input& in, DWORD rightType, const Bytes& wellFormed) {
  Value out;
  const uint8_t form = in.Byte();
  switch (form % 4) {
    case 0:
      return out;
    case 1:
      out.v = {rightType, wellFormed};
      break;
    case 2: {
      out.v = {rightType, wellFormed};
      if (form & 4) out.v.type = in.Byte();
      const size_t length = in.Byte();
      if (length < out.v.data.size()) {
        out.v.data.resize(length);
      } else {
        const Bytes more = in.Take(length - out.v.data.size());
        out.v.data.insert(out.v.data.end(), more.begin(), more.end());
      }
      break;
    }
    default:
      out.v.type = in.Byte();
      out.v.data = in.Take(in.Byte());
      break;
  }
  out.present = true;
  return out;
}

void Put(fakewin::Registry& r, const char* key, const char* name, const Value& value) {
  if (value.present) r.Set(key, name, value.v.type, value.v.data);
}

bool IsDword(const Value& value, DWORD* v) {
  if (!value.present || value.v.type != REG_DWORD || value.v.data.size() != sizeof *v) return false;
  std::memcpy(v, value.v.data.data(), sizeof *v);
  return true;
}

// What a damaged value must hold afterwards: its default, or (the placement) what it held.
void RequireValue(const fakewin::Registry& r, const char* key, const char* name,
                  const Value& expected, const char* what) {
  const fakewin::RegistryValue* now = r.Get(key, name);
  if (!expected.present) {
    Require(now == nullptr, what);
  } else {
    Require(now != nullptr && *now == expected.v, what);
  }
}

Value Present(DWORD type, Bytes data) { return Value{true, {type, std::move(data)}}; }

bool SameSettings(const Settings& a, const Settings& b) {
  return std::strcmp(a.mode, b.mode) == 0 && a.font == b.font &&
         a.diagnosticSlots == b.diagnosticSlots && a.havePlacement == b.havePlacement &&
         (!a.havePlacement || std::memcmp(&a.placement, &b.placement, sizeof a.placement) == 0) &&
         a.startAtSignIn == b.startAtSignIn && a.allPrograms == b.allPrograms;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fakewin::Desktop d;
  fakewin::Registry& r = d.registry;
  Input in(data, size);
  char want[MAX_PATH + 16];
  StartCommand(want, sizeof want);

  // The values, each from its well-formed bytes.
  const Value mode = Make(in, REG_SZ, Text(in.Byte() & 1 ? "TRUES" : "FALSE"));
  const Value font = Make(in, REG_DWORD, DwordBytes(in.Byte() % 8));
  const Value slots = Make(in, REG_DWORD, DwordBytes(in.Dword() & 0x3FF));
  const Value all = Make(in, REG_DWORD, DwordBytes(in.Byte() % 3));
  WINDOWPLACEMENT wp = {};
  wp.length = in.Byte() & 1 ? sizeof wp : in.Byte();
  wp.showCmd = in.Byte();
  for (LONG* side : {&wp.rcNormalPosition.left, &wp.rcNormalPosition.top,
                     &wp.rcNormalPosition.right, &wp.rcNormalPosition.bottom}) {
    // Mostly near the monitor; now and then anywhere, out to the ends of a LONG.
    *side = in.Byte() & 1 ? static_cast<LONG>(in.Dword()) : static_cast<int16_t>(in.Dword());
  }
  Bytes placementBytes(sizeof wp);
  std::memcpy(placementBytes.data(), &wp, sizeof wp);
  const Value placement = Make(in, REG_BINARY, placementBytes);
  const Value run =
      Make(in, REG_SZ, Text(in.Byte() & 1 ? want : "\"C:\\elsewhere\\zafrelctl.exe\" --tray"));
  Put(r, kSettingsKey, kModeValue, mode);
  Put(r, kSettingsKey, kFontValue, font);
  Put(r, kSettingsKey, kDiagnosticSlotsValue, slots);
  Put(r, kSettingsKey, kAllProgramsValue, all);
  Put(r, kSettingsKey, kPlacementValue, placement);
  Put(r, kRunKey, kRunValue, run);
  r.SetString(kRunKey, "OtherProgram", "other.exe");  // not the controller's: never touched
  const fakewin::RegistryValue other = *r.Get(kRunKey, "OtherProgram");

  // Which values are valid, judged here on their own from settings.h's table.
  const bool modeOk = mode.present && mode.v.type == REG_SZ &&
                      (mode.v.data == Text("TRUES") || mode.v.data == Text("FALSE"));
  DWORD fontCode = 0, slotBits = 0, allValue = 0;
  const bool fontOk = IsDword(font, &fontCode) && fontCode <= 4;
  const bool slotsOk = IsDword(slots, &slotBits) && (slotBits & ~kDiagnosticSlotMask) == 0;
  const bool allOk = IsDword(all, &allValue) && allValue <= 1;
  WINDOWPLACEMENT stored = {};
  const bool placementOk = placement.present && placement.v.type == REG_BINARY &&
                           placement.v.data.size() == sizeof stored &&
                           (std::memcpy(&stored, placement.v.data.data(), sizeof stored),
                            stored.length == sizeof stored) &&
                           GoodRect(stored.rcNormalPosition, d.monitor);
  const bool runOk = run.present && run.v.type == REG_SZ && run.v.data == Text(want);

  // Loaded over a Settings holding nothing valid, so that a field left unset shows.
  Settings s;
  std::memcpy(s.mode, "XXXXX", sizeof s.mode);
  s.font = 'z';
  s.diagnosticSlots = ~DWORD{0};
  s.havePlacement = !placementOk;
  s.startAtSignIn = !run.present;
  s.allPrograms = true;
  const unsigned repaired = LoadSettings(&s);
  Require(r.openKeys() == 0, "a key left open");

  // In range, whatever the registry held.
  Require(std::strcmp(s.mode, "TRUES") == 0 || std::strcmp(s.mode, "FALSE") == 0, "mode");
  Require(s.font >= '0' && s.font <= kLastFont, "font code");
  Require((s.diagnosticSlots & ~kDiagnosticSlotMask) == 0, "diagnostic slots");
  Require(!s.havePlacement || (s.placement.length == sizeof s.placement &&
                               GoodRect(s.placement.rcNormalPosition, d.monitor)),
          "placement");

  // Each value kept when valid, else reported and written again with its default.
  Require(((repaired & kRepairedMode) != 0) == !modeOk, "mode's repair bit");
  Require(std::strcmp(s.mode, modeOk ? reinterpret_cast<const char*>(mode.v.data.data())
                                     : kDefaultMode) == 0,
          "mode's setting");
  RequireValue(r, kSettingsKey, kModeValue, modeOk ? mode : Present(REG_SZ, Text(kDefaultMode)),
               "mode's value");
  Require(((repaired & kRepairedFont) != 0) == !fontOk, "font's repair bit");
  Require(s.font == (fontOk ? static_cast<char>('0' + fontCode) : kDefaultFont), "font setting");
  RequireValue(r, kSettingsKey, kFontValue,
               fontOk ? font : Present(REG_DWORD, DwordBytes(kDefaultFont - '0')), "font's value");
  Require(((repaired & kRepairedDiagnosticSlots) != 0) == !slotsOk, "slots' repair bit");
  Require(s.diagnosticSlots == (slotsOk ? slotBits : kDefaultDiagnosticSlots), "slots setting");
  RequireValue(r, kSettingsKey, kDiagnosticSlotsValue,
               slotsOk ? slots : Present(REG_DWORD, DwordBytes(kDefaultDiagnosticSlots)),
               "slots' value");
  Require(((repaired & kRepairedAllPrograms) != 0) == !allOk, "all programs' repair bit");
  Require(s.allPrograms == (allOk && allValue == 1), "all programs setting");
  RequireValue(r, kSettingsKey, kAllProgramsValue, allOk ? all : Present(REG_DWORD, DwordBytes(0)),
               "all programs' value");
  Require(((repaired & kRepairedPlacement) != 0) == !placementOk, "placement's repair bit");
  Require(s.havePlacement == placementOk, "placement kept or dropped");
  Require(!placementOk || std::memcmp(&s.placement, &stored, sizeof stored) == 0,
          "placement setting");
  RequireValue(r, kSettingsKey, kPlacementValue, placement, "placement's value (only judged)");
  Require(((repaired & kRepairedRun) != 0) == (run.present && !runOk), "Run value's repair bit");
  Require(s.startAtSignIn == run.present, "start at sign-in");
  RequireValue(r, kRunKey, kRunValue, run.present ? Present(REG_SZ, Text(want)) : run, "Run value");
  Require(r.Values(kSettingsKey).size() == 4u + placement.present, "a value the load made up");
  Require(r.Values(kRunKey).size() == 1u + run.present && *r.Get(kRunKey, "OtherProgram") == other,
          "another program's Run value touched");
  Require((repaired & ~63u) == 0, "an unknown repair bit");

  // Saved as the controller saves them (the placement too, once its window is up, when it was
  // repaired), then loaded again: the same settings, nothing to repair.
  fakewin::WindowSpec spec;
  spec.cls = "ZafrelXP908@2005";
  spec.normal = {40, 30, 680, 430};
  const HWND window = d.AddWindow(spec);
  SaveMode(s.mode);
  SaveFont(s.font);
  SaveDiagnosticSlots(s.diagnosticSlots);
  SaveAllPrograms(s.allPrograms);
  if ((repaired & kRepairedPlacement) != 0) {
    SavePlacement(window);
    s.havePlacement = true;
    s.placement = {};
    s.placement.length = sizeof s.placement;
    s.placement.showCmd = SW_SHOWNORMAL;
    s.placement.ptMinPosition = s.placement.ptMaxPosition = POINT{-1, -1};
    s.placement.rcNormalPosition = spec.normal;
  }
  Settings again;
  Require(LoadSettings(&again) == 0, "repaired again after saving");
  Require(SameSettings(s, again), "saved settings load back otherwise");

  // Start at sign-in switched, and the switch found by the next load.
  const bool on = (in.Byte() & 1) != 0;
  Require(SetStartAtSignIn(on) == on, "start at sign-in not switched");
  Settings switched;
  Require(LoadSettings(&switched) == 0 && switched.startAtSignIn == on, "switch not loaded");
  Require(*r.Get(kRunKey, "OtherProgram") == other, "another program's Run value touched");
  Require(r.openKeys() == 0, "a key left open");
  return 0;
}
