// The controller's settings in the registry, all under HKEY_CURRENT_USER:
//
//   Software\Zafrel\ZafrelXP
//     Mode             REG_SZ      "TRUES" or "FALSE", the title's mode word     default "FALSE"
//     FontCode         REG_DWORD   0-4, the title's font code                    default 1
//     DiagnosticSlots  REG_DWORD   bit n: monitor slot n (0, 6, 8 or 9) is on    default 0
//     AllPrograms      REG_DWORD   1: Scroll Lock switches Farsi typing in all   default 0
//                                  programs at once; 0: in each on its own
//     WindowPlacement  REG_BINARY  a WINDOWPLACEMENT (44 bytes) whose normal     default: the
//                                  rectangle lies on a monitor                   first place
//   Software\Microsoft\Windows\CurrentVersion\Run
//     ZafrelXP         REG_SZ      "<folder>\zafrelctl.exe" --tray               absent: off
//
// Read once at start. A value that is missing or damaged (another type, another size, out of
// range, a window placed on no monitor) counts as its default and is written again with it, so
// the next start finds a clean key. Each setting is written when the person changes it; the
// placement also when the window is hidden and at exit. The typing slots (1, 2, 5) are not
// settings: they are switched on at every start, since without them nothing is typed. Record
// and playback are one-shot and are not kept either.
//
// Start at sign-in is the Run value itself: present, it names the controller to start. One that
// names another program or has another type is rewritten to name this one.
#pragma once

#include "win32/win32.h"

constexpr char kSettingsKey[] = "Software\\Zafrel\\ZafrelXP";
constexpr char kModeValue[] = "Mode";
constexpr char kFontValue[] = "FontCode";
constexpr char kDiagnosticSlotsValue[] = "DiagnosticSlots";
constexpr char kPlacementValue[] = "WindowPlacement";
constexpr char kAllProgramsValue[] = "AllPrograms";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunValue[] = "ZafrelXP";

constexpr char kDefaultMode[] = "FALSE";
constexpr char kDefaultFont = '1';
constexpr char kLastFont = '4';  // font codes 0-4: one encoding, and one generated font, each
// The monitor slots: window procedures, mouse, system message filter, debug.
constexpr DWORD kDiagnosticSlotMask = (1 << 0) | (1 << 6) | (1 << 8) | (1 << 9);
constexpr DWORD kDefaultDiagnosticSlots = 0;

// Which values were missing or damaged at start and were written again with their defaults.
constexpr unsigned kRepairedMode = 1;
constexpr unsigned kRepairedFont = 2;
constexpr unsigned kRepairedDiagnosticSlots = 4;
constexpr unsigned kRepairedPlacement = 8;
constexpr unsigned kRepairedRun = 16;
constexpr unsigned kRepairedAllPrograms = 32;

struct Settings {
  char mode[6] = "FALSE";
  char font = kDefaultFont;
  DWORD diagnosticSlots = kDefaultDiagnosticSlots;
  bool havePlacement = false;  // false: the window keeps its first place
  WINDOWPLACEMENT placement = {};
  bool startAtSignIn = false;
  bool allPrograms = false;
};

// Reads every setting, repairing what is missing or damaged (the placement is only judged here:
// it is written once the window exists, by SavePlacement). Returns the kRepaired... bits.
unsigned LoadSettings(Settings* settings);

void SaveMode(const char* mode);
void SaveFont(char font);  // ignored outside 0-4
void SaveDiagnosticSlots(DWORD slots);
void SaveAllPrograms(bool on);
void SavePlacement(HWND window);

// The command the Run value holds for this program: its quoted path and --tray.
void StartCommand(char* command, size_t size);
// Writes or deletes the Run value; returns whether the controller now starts at sign-in.
bool SetStartAtSignIn(bool on);
