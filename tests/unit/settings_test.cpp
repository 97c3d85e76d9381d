// The controller's settings read back from a registry that any program of the user may have
// written: each damaged value is reported, its default used and (the placement apart, which is
// only judged) written again; every valid value is kept as it was.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tools/controller/settings.h"
#include "winsim/fakewin.h"

namespace {

using Bytes = std::vector<BYTE>;
using fakewin::RegistryValue;

Bytes Raw(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Text(const std::string& s) { return Raw(s + '\0'); }
Bytes Dword(DWORD v) { return Bytes{BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}; }
Bytes Place(RECT r, UINT length = sizeof(WINDOWPLACEMENT)) {
  WINDOWPLACEMENT wp = {};
  wp.length = length;
  wp.showCmd = SW_SHOWNORMAL;
  wp.rcNormalPosition = r;
  Bytes b(sizeof wp);
  std::memcpy(b.data(), &wp, sizeof wp);
  return b;
}

RegistryValue Sz(const std::string& s) { return {REG_SZ, Text(s)}; }
RegistryValue Dw(DWORD v) { return {REG_DWORD, Dword(v)}; }
RegistryValue Bin(RECT r, UINT length = sizeof(WINDOWPLACEMENT)) {
  return {REG_BINARY, Place(r, length)};
}

constexpr char kCommand[] = "\"C:\\Program Files\\ZafrelXP\\zafrelctl.exe\" --tray";
const RECT kPlace = {100, 100, 740, 500};  // on the fake desktop's 1280 x 1024 monitor

// A clean key of values other than the defaults, and start at sign-in on.
fakewin::RegistryValues Clean() {
  return {{kModeValue, Sz("TRUES")},          {kFontValue, Dw(3)},
          {kDiagnosticSlotsValue, Dw(0x241)}, {kAllProgramsValue, Dw(1)},
          {kPlacementValue, Bin(kPlace)},     {kRunValue, Sz(kCommand)}};
}

struct Case {
  const char* why;
  const char* value;                   // the one value changed from the clean key
  std::optional<RegistryValue> put;    // nullopt: deleted
  std::optional<RegistryValue> after;  // what it holds after the load; nullopt: absent
  unsigned repaired;
  const char* mode;
  char font;
  DWORD slots;
  bool allPrograms, placement, startAtSignIn;
};

constexpr unsigned kNone = 0;
const RegistryValue kFalse = Sz("FALSE"), kFont1 = Dw(1), kZero = Dw(0), kRun = Sz(kCommand);
const RegistryValue kWrongRun = Sz("\"C:\\elsewhere\\zafrelctl.exe\" --tray");
const RegistryValue kLongSides = Bin({INT_MIN + 10, 0, INT_MAX - 10, 400});
const RegistryValue kInverted = Bin({INT_MAX - 100, 0, INT_MIN + 100, 400});

const Case kCases[] = {
    {"the clean key", kModeValue, Sz("TRUES"), Sz("TRUES"), kNone, "TRUES", '3', 0x241, true, true,
     true},
    {"Mode missing", kModeValue, std::nullopt, kFalse, kRepairedMode, "FALSE", '3', 0x241, true,
     true, true},
    {"Mode a REG_DWORD", kModeValue, Dw(1), kFalse, kRepairedMode, "FALSE", '3', 0x241, true, true,
     true},
    {"Mode without terminator", kModeValue, RegistryValue{REG_SZ, Raw("TRUES")}, kFalse,
     kRepairedMode, "FALSE", '3', 0x241, true, true, true},
    {"Mode with a byte after it", kModeValue,
     RegistryValue{REG_SZ, Raw(std::string("TRUES\0x", 7))}, kFalse, kRepairedMode, "FALSE", '3',
     0x241, true, true, true},
    {"Mode another word", kModeValue, Sz("MAYBE"), kFalse, kRepairedMode, "FALSE", '3', 0x241, true,
     true, true},
    {"FontCode a REG_SZ", kFontValue, Sz("2"), kFont1, kRepairedFont, "TRUES", '1', 0x241, true,
     true, true},
    {"FontCode 4, the last", kFontValue, Dw(4), Dw(4), kNone, "TRUES", '4', 0x241, true, true,
     true},
    {"FontCode 5", kFontValue, Dw(5), kFont1, kRepairedFont, "TRUES", '1', 0x241, true, true, true},
    {"FontCode of 2 bytes", kFontValue, RegistryValue{REG_DWORD, Bytes{2, 0}}, kFont1,
     kRepairedFont, "TRUES", '1', 0x241, true, true, true},
    {"DiagnosticSlots a typing slot", kDiagnosticSlotsValue, Dw(0x2), kZero,
     kRepairedDiagnosticSlots, "TRUES", '3', 0, true, true, true},
    {"DiagnosticSlots of 8 bytes", kDiagnosticSlotsValue, RegistryValue{REG_DWORD, Bytes(8, 0)},
     kZero, kRepairedDiagnosticSlots, "TRUES", '3', 0, true, true, true},
    {"AllPrograms 2", kAllProgramsValue, Dw(2), kZero, kRepairedAllPrograms, "TRUES", '3', 0x241,
     false, true, true},
    {"AllPrograms missing", kAllProgramsValue, std::nullopt, kZero, kRepairedAllPrograms, "TRUES",
     '3', 0x241, false, true, true},
    {"placement missing", kPlacementValue, std::nullopt, std::nullopt, kRepairedPlacement, "TRUES",
     '3', 0x241, true, false, true},
    {"placement 120 square, one pixel on", kPlacementValue, Bin({-119, 1023, 1, 1143}),
     Bin({-119, 1023, 1, 1143}), kNone, "TRUES", '3', 0x241, true, true, true},
    {"placement on no monitor", kPlacementValue, Bin({1280, 0, 1920, 400}),
     Bin({1280, 0, 1920, 400}), kRepairedPlacement, "TRUES", '3', 0x241, true, false, true},
    {"placement 119 wide", kPlacementValue, Bin({0, 0, 119, 400}), Bin({0, 0, 119, 400}),
     kRepairedPlacement, "TRUES", '3', 0x241, true, false, true},
    {"placement 16385 high", kPlacementValue, Bin({0, 0, 640, 16385}), Bin({0, 0, 640, 16385}),
     kRepairedPlacement, "TRUES", '3', 0x241, true, false, true},
    {"placement sides overflowing a LONG", kPlacementValue, kLongSides, kLongSides,
     kRepairedPlacement, "TRUES", '3', 0x241, true, false, true},
    {"placement inverted past a LONG", kPlacementValue, kInverted, kInverted, kRepairedPlacement,
     "TRUES", '3', 0x241, true, false, true},
    {"placement length 12", kPlacementValue, Bin(kPlace, 12), Bin(kPlace, 12), kRepairedPlacement,
     "TRUES", '3', 0x241, true, false, true},
    {"placement of 43 bytes", kPlacementValue, RegistryValue{REG_BINARY, Bytes(43, 0)},
     RegistryValue{REG_BINARY, Bytes(43, 0)}, kRepairedPlacement, "TRUES", '3', 0x241, true, false,
     true},
    {"Run value absent", kRunValue, std::nullopt, std::nullopt, kNone, "TRUES", '3', 0x241, true,
     true, false},
    {"Run value naming another program", kRunValue, kWrongRun, kRun, kRepairedRun, "TRUES", '3',
     0x241, true, true, true},
    {"Run value a REG_DWORD", kRunValue, Dw(1), kRun, kRepairedRun, "TRUES", '3', 0x241, true, true,
     true},
    {"Run value without terminator", kRunValue, RegistryValue{REG_SZ, Raw(kCommand)}, kRun,
     kRepairedRun, "TRUES", '3', 0x241, true, true, true},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.why; }

// Writes the values, the Run value into the Run key and the others into the settings key.
void Store(fakewin::Registry& r, const fakewin::RegistryValues& values) {
  for (const auto& [name, value] : values)
    r.Set(name == kRunValue ? kRunKey : kSettingsKey, name, value.type, value.data);
}

fakewin::RegistryValues Stored(const fakewin::Registry& r) {
  fakewin::RegistryValues all = r.Values(kSettingsKey);
  if (const RegistryValue* run = r.Get(kRunKey, kRunValue)) all[kRunValue] = *run;
  return all;
}

class DamagedSettings : public ::testing::TestWithParam<Case> {};

TEST_P(DamagedSettings, AreReportedReplacedAndRewritten) {
  const Case& c = GetParam();
  fakewin::Desktop d;
  fakewin::RegistryValues values = Clean();
  values.erase(c.value);
  if (c.put) values[c.value] = *c.put;
  Store(d.registry, values);

  Settings s;
  EXPECT_EQ(LoadSettings(&s), c.repaired);
  EXPECT_STREQ(s.mode, c.mode);
  EXPECT_EQ(s.font, c.font);
  EXPECT_EQ(s.diagnosticSlots, c.slots);
  EXPECT_EQ(s.allPrograms, c.allPrograms);
  EXPECT_EQ(s.startAtSignIn, c.startAtSignIn);
  ASSERT_EQ(s.havePlacement, c.placement);
  if (c.placement) {
    EXPECT_EQ(
        Bytes(reinterpret_cast<BYTE*>(&s.placement), reinterpret_cast<BYTE*>(&s.placement + 1)),
        c.put && std::strcmp(c.value, kPlacementValue) == 0 ? c.put->data : Place(kPlace));
  }
  fakewin::RegistryValues expected = Clean();
  expected.erase(c.value);
  if (c.after) expected[c.value] = *c.after;
  EXPECT_EQ(Stored(d.registry), expected);
  EXPECT_EQ(d.registry.openKeys(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Values, DamagedSettings, ::testing::ValuesIn(kCases));

// Every value damaged at once; once the controller has saved its window's place, as it does
// when the placement was repaired, the next start repairs nothing and writes nothing.
TEST(Settings, RepairedOnceStayRepaired) {
  fakewin::Desktop d;
  Store(d.registry, {{kModeValue, {REG_SZ, Raw("TRUES")}},
                     {kFontValue, {REG_DWORD, Dword(9)}},
                     {kDiagnosticSlotsValue, {REG_BINARY, Dword(1)}},
                     {kAllProgramsValue, {REG_SZ, Text("1")}},
                     {kPlacementValue, {REG_BINARY, Place({5000, 0, 5640, 400})}},
                     {kRunValue, kWrongRun}});
  Settings first;
  ASSERT_EQ(LoadSettings(&first), kRepairedMode | kRepairedFont | kRepairedDiagnosticSlots |
                                      kRepairedPlacement | kRepairedRun | kRepairedAllPrograms);
  fakewin::WindowSpec window;
  window.normal = kPlace;
  SavePlacement(d.AddWindow(window));
  const fakewin::RegistryValues saved = Stored(d.registry);

  Settings second;
  EXPECT_EQ(LoadSettings(&second), kNone);
  EXPECT_EQ(Stored(d.registry), saved);
  EXPECT_STREQ(second.mode, "FALSE");
  EXPECT_EQ(second.font, '1');
  EXPECT_EQ(second.diagnosticSlots, 0u);
  EXPECT_FALSE(second.allPrograms);
  EXPECT_TRUE(second.startAtSignIn);
  ASSERT_TRUE(second.havePlacement);
  EXPECT_EQ(std::memcmp(&second.placement.rcNormalPosition, &kPlace, sizeof kPlace), 0);
}

// The registry the settings are read from answers as Windows' does.
TEST(Settings, RegistryAnswersAsWindows) {
  fakewin::Desktop d;
  d.registry.SetString(kSettingsKey, kModeValue, "TRUES");
  HKEY key = nullptr, missing = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key),
            ERROR_SUCCESS);
  BYTE buffer[8] = {};
  struct Ask {
    const char* name;
    BYTE* data;
    DWORD size;
    LSTATUS result;
    DWORD sizeAfter;
  };
  for (const Ask& a : {Ask{kModeValue, nullptr, 0, ERROR_SUCCESS, 6},  // the size only
                       Ask{kModeValue, buffer, 5, ERROR_MORE_DATA, 6},
                       Ask{kModeValue, buffer, 8, ERROR_SUCCESS, 6},
                       Ask{kFontValue, buffer, 8, ERROR_FILE_NOT_FOUND, 8}}) {
    DWORD type = 0, size = a.size;
    EXPECT_EQ(RegQueryValueExA(key, a.name, nullptr, &type, a.data, &size), a.result);
    EXPECT_EQ(size, a.sizeAfter);
    EXPECT_EQ(type, a.result == ERROR_FILE_NOT_FOUND ? 0u : DWORD{REG_SZ});
  }
  EXPECT_EQ(Bytes(buffer, buffer + 8), Raw(std::string("TRUES\0\0\0", 8)));
  EXPECT_EQ(RegQueryValueExA(key, kModeValue, nullptr, nullptr, buffer, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(key, kModeValue, 0, REG_SZ, buffer, 6), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &missing),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

}  // namespace
