#include "tools/controller/settings.h"

#include <cstdio>
#include <cstring>

namespace {

// The window's normal rectangle must stay usable: not shrunk to nothing, not absurdly large.
constexpr LONG kMinSide = 120;
constexpr LONG kMaxSide = 16384;

HKEY OpenKey(const char* path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

// Reads a value of exactly this type into the buffer; false when it is missing, of another type
// or larger than the buffer. *size comes back as the bytes read.
bool Read(HKEY key, const char* name, DWORD type, void* data, DWORD* size) {
  DWORD actual = 0;
  if (key == nullptr) return false;
  if (RegQueryValueExA(key, name, nullptr, &actual, static_cast<BYTE*>(data), size) !=
      ERROR_SUCCESS)
    return false;
  return actual == type;
}

void Write(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = OpenKey(kSettingsKey);
  if (key == nullptr) return;  // a registry that cannot be written leaves the defaults in use
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void WriteDword(const char* name, DWORD value) { Write(name, REG_DWORD, &value, sizeof value); }

void WriteString(HKEY key, const char* name, const char* text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(std::strlen(text) + 1));
}

bool ReadMode(HKEY key, char* mode) {
  char text[8] = {};
  DWORD size = sizeof text - 1;  // room for a terminator the value may lack
  if (!Read(key, kModeValue, REG_SZ, text, &size)) return false;
  // Windows keeps a REG_SZ's bytes as written: one without its terminator, or with bytes after
  // it, is another size and rewritten, so that the next start finds the plain word.
  if (size != std::strlen(text) + 1) return false;
  if (std::strcmp(text, "TRUES") != 0 && std::strcmp(text, "FALSE") != 0) return false;
  std::strcpy(mode, text);
  return true;
}

bool ReadDword(HKEY key, const char* name, DWORD* value) {
  DWORD size = sizeof *value;
  return Read(key, name, REG_DWORD, value, &size) && size == sizeof *value;
}

bool ReadFont(HKEY key, char* font) {
  DWORD code = 0;
  if (!ReadDword(key, kFontValue, &code) || code > static_cast<DWORD>(kLastFont - '0'))
    return false;
  *font = static_cast<char>('0' + code);
  return true;
}

bool ReadDiagnosticSlots(HKEY key, DWORD* slots) {
  return ReadDword(key, kDiagnosticSlotsValue, slots) && (*slots & ~kDiagnosticSlotMask) == 0;
}

bool ReadPlacement(HKEY key, WINDOWPLACEMENT* placement) {
  WINDOWPLACEMENT read = {};
  DWORD size = sizeof read;
  if (!Read(key, kPlacementValue, REG_BINARY, &read, &size) || size != sizeof read ||
      read.length != sizeof read)
    return false;
  const RECT& r = read.rcNormalPosition;
  // Any program may have written the sides: far apart, their difference overflows a LONG.
  const long long width = static_cast<long long>(r.right) - r.left;
  const long long height = static_cast<long long>(r.bottom) - r.top;
  if (width < kMinSide || height < kMinSide || width > kMaxSide || height > kMaxSide) return false;
  // A monitor that has gone (a laptop off its docking station) must not take the window along.
  if (MonitorFromRect(&r, MONITOR_DEFAULTTONULL) == nullptr) return false;
  *placement = read;
  return true;
}

// Whether the Run value holds this program's command; rewritten when it names another one.
bool ReadRun(bool* repaired) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS)
    return false;
  DWORD type = 0;
  if (RegQueryValueExA(key, kRunValue, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return false;  // absent: the controller does not start at sign-in
  }
  char want[MAX_PATH + 16];
  StartCommand(want, sizeof want);
  char have[MAX_PATH + 16] = {};
  DWORD size = sizeof have - 1;
  // Exactly the command and its terminator: bytes after it, or none to end it, make a value that
  // whoever reads it at sign-in may read past the command.
  const bool same = RegQueryValueExA(key, kRunValue, nullptr, &type, reinterpret_cast<BYTE*>(have),
                                     &size) == ERROR_SUCCESS &&
                    type == REG_SZ && size == std::strlen(want) + 1 && std::strcmp(have, want) == 0;
  if (!same) {
    WriteString(key, kRunValue, want);
    *repaired = true;
  }
  RegCloseKey(key);
  return true;
}

}  // namespace

unsigned LoadSettings(Settings* s) {
  HKEY key = OpenKey(kSettingsKey);
  unsigned repaired = 0;
  if (!ReadMode(key, s->mode)) {
    std::strcpy(s->mode, kDefaultMode);
    SaveMode(s->mode);
    repaired |= kRepairedMode;
  }
  if (!ReadFont(key, &s->font)) {
    s->font = kDefaultFont;
    SaveFont(s->font);
    repaired |= kRepairedFont;
  }
  if (!ReadDiagnosticSlots(key, &s->diagnosticSlots)) {
    s->diagnosticSlots = kDefaultDiagnosticSlots;
    SaveDiagnosticSlots(s->diagnosticSlots);
    repaired |= kRepairedDiagnosticSlots;
  }
  DWORD all = 0;
  if (ReadDword(key, kAllProgramsValue, &all) && all <= 1) {
    s->allPrograms = all == 1;
  } else {
    s->allPrograms = false;
    SaveAllPrograms(false);
    repaired |= kRepairedAllPrograms;
  }
  s->havePlacement = ReadPlacement(key, &s->placement);
  if (!s->havePlacement) repaired |= kRepairedPlacement;
  if (key != nullptr) RegCloseKey(key);
  bool runRepaired = false;
  s->startAtSignIn = ReadRun(&runRepaired);
  if (runRepaired) repaired |= kRepairedRun;
  return repaired;
}

void SaveMode(const char* mode) {
  Write(kModeValue, REG_SZ, mode, static_cast<DWORD>(std::strlen(mode) + 1));
}

void SaveFont(char font) {
  if (font >= '0' && font <= kLastFont) WriteDword(kFontValue, static_cast<DWORD>(font - '0'));
}

void SaveDiagnosticSlots(DWORD slots) { WriteDword(kDiagnosticSlotsValue, slots); }

void SaveAllPrograms(bool on) { WriteDword(kAllProgramsValue, on ? 1 : 0); }

void SavePlacement(HWND window) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  if (GetWindowPlacement(window, &placement)) {
    Write(kPlacementValue, REG_BINARY, &placement, sizeof placement);
  }
}

void StartCommand(char* command, size_t size) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) path[0] = 0;
  std::snprintf(command, size, "\"%s\" --tray", path);
}

bool SetStartAtSignIn(bool on) {
  HKEY key = OpenKey(kRunKey);
  if (key == nullptr) return false;
  if (on) {
    char command[MAX_PATH + 16];
    StartCommand(command, sizeof command);
    WriteString(key, kRunValue, command);
  } else {
    RegDeleteValueA(key, kRunValue);
  }
  DWORD type = 0;
  const bool present =
      RegQueryValueExA(key, kRunValue, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return present;
}
