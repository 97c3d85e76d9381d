#include "tools/controller/halves.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tools/controller/protocol.h"
#include "tools/winprog.h"

namespace {

struct HalvesState {
  HWND controller = nullptr;
  int lineHeight = 16;
  bool wow64 = false;
  InstallFn install = nullptr;
  bool* ownSlotOn = nullptr;
  HANDLE process = nullptr;  // the companion's, until it has ended
  int status = kCompanionNotNeeded;
  DWORD exitCode = 0;
  int front = 0;
  int pinned = 0;  // 32 or 64: the half kept first whatever the foreground
  bool following = false;
  bool again = false;
  bool ended = false;         // the controller took every hook down: nothing goes on again
  DWORD windowSince = 0;      // when the companion's window was first seen, for Starting
  unsigned moves = 0;         // halves moved to the head so far
  HWND foreground = nullptr;  // the window last looked at, and its program's bitness
  int foregroundBits = 0;
};

// A companion that has not taken all our slots by then runs with the ones it took.
constexpr DWORD kStartingMs = 3000;
HalvesState h;

// 32 or 64 for the program that owns the window; 0 when it cannot be told (a process this user
// may not open, a window gone meanwhile).
int ProgramBitness(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  if (id == 0) return 0;
  if (id == GetCurrentProcessId()) return 32;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (process == nullptr) return 0;
  BOOL wow64 = FALSE;
  const BOOL known = IsWow64Process(process, &wow64);
  CloseHandle(process);
  if (!known) return 0;
  return wow64 ? 32 : 64;
}

// The new state of the companion, from its window and its process.
int CompanionNow() {
  if (HWND companion = Companion()) {
    if (h.status == kCompanionRunning) return kCompanionRunning;
    // Its window comes first, its hooks a moment later: it runs once it holds our slots (or,
    // should one of them fail there, a while after its window came).
    if (h.windowSince == 0) h.windowSince = GetTickCount() | 1;
    DWORD_PTR slots = 0;
    const bool answered =
        SendMessageTimeoutA(companion, kMsgQuery, kQuerySlots, 0, SMTO_ABORTIFHUNG, 500, &slots);
    if (answered && (static_cast<LRESULT>(slots) == SlotBits(h.ownSlotOn, true) ||
                     GetTickCount() - h.windowSince >= kStartingMs)) {
      return kCompanionRunning;
    }
    return kCompanionStarting;
  }
  if (h.process != nullptr && WaitForSingleObject(h.process, 0) == WAIT_OBJECT_0) {
    GetExitCodeProcess(h.process, &h.exitCode);
    CloseHandle(h.process);
    h.process = nullptr;
    const bool noLibrary = h.exitCode == kExitNoLibrary || h.exitCode == kExitNoExports;
    return noLibrary ? kCompanionNoLibrary : kCompanionEnded;
  }
  // Said once the process had ended: it stays said.
  if (h.status == kCompanionNoLibrary || h.status == kCompanionEnded) return h.status;
  // Its window not there yet, or gone with its process still ending.
  if (h.process != nullptr) return h.status == kCompanionRunning ? kCompanionEnded : h.status;
  return kCompanionEnded;
}

void SwitchOwn(int slot, bool on) {
  if (h.install(slot, on ? 1 : 0, h.controller, 0) == 1) h.ownSlotOn[slot] = on;
}

void OwnHalfFirst() {
  if (h.ended) return;
  ++h.moves;
  HeldSlotsFirst(h.install, h.controller, h.ownSlotOn);  // a slot that failed shows off
  h.front = 32;
}

// The foreground window's program's bitness; looked up again only when another window comes.
int ForegroundBitness() {
  HWND foreground = GetForegroundWindow();
  if (foreground != h.foreground || h.foregroundBits == 0) {
    h.foreground = foreground;
    h.foregroundBits = foreground != nullptr ? ProgramBitness(foreground) : 0;
  }
  return h.foregroundBits;
}

void CompanionFirst() {
  if (h.ended) return;
  ++h.moves;
  // An answer of 0 says a slot did not go on again: asking again would not bring it back.
  DWORD_PTR done = 0;
  if (SendMessageTimeoutA(Companion(), kMsgCompanionFront, 0, 0, SMTO_ABORTIFHUNG, 2000, &done)) {
    h.front = 64;
  }
}

// The work of FollowDesktop, never entered twice at once.
bool FollowDesktopNow();

}  // namespace

LRESULT SlotBits(const bool* slotOn, bool followedOnly) {
  LRESULT bits = 0;
  for (int slot = 0; slot < 10; ++slot) {
    if (slotOn[slot] && (!followedOnly || CompanionFollows(slot))) bits |= LRESULT{1} << slot;
  }
  return bits;
}

bool HeldSlotsFirst(InstallFn install, HWND controller, bool* slotOn) {
  bool all = true;
  for (int slot = 0; slot < 10; ++slot) {
    if (!slotOn[slot] || !CompanionFollows(slot) || install(slot, 0, controller, 0) != 1) continue;
    slotOn[slot] = install(slot, 1, controller, 0) == 1;
    all = all && slotOn[slot];
  }
  return all;
}

void InitHalves(HWND controller, int lineHeight, bool wow64, InstallFn install, bool* ownSlotOn,
                int hooksFirst) {
  h.pinned = hooksFirst;
  h.controller = controller;
  h.lineHeight = lineHeight;
  h.wow64 = wow64;
  h.install = install;
  h.ownSlotOn = ownSlotOn;
}

// The companion's window: one of its class made by the process this controller started, not
// whichever program made a window of that name first.
HWND Companion() {
  const DWORD started = h.process != nullptr ? GetProcessId(h.process) : 0;
  if (started == 0) return nullptr;
  HWND window = nullptr;
  for (int i = 0; i < 16; ++i) {
    window = FindWindowExA(HWND_MESSAGE, window, kCompanionClass, nullptr);
    DWORD id = 0;
    if (window == nullptr) return nullptr;
    if (GetWindowThreadProcessId(window, &id) != 0 && id == started) return window;
  }
  return nullptr;
}

void StartCompanion() {
  if (!h.wow64) return;
  h.status = kCompanionNoProgram;
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  char* slash = std::strrchr(path, '\\');
  if (length == 0 || length >= sizeof path || slash == nullptr) return;
  char command[MAX_PATH + 96];
  std::snprintf(
      command, sizeof command, "\"%.*s\\zafrelctl64.exe\" --companion %llu --line-height %d",
      static_cast<int>(slash - path), path,
      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h.controller)), h.lineHeight);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return;
  CloseHandle(pi.hThread);
  h.process = pi.hProcess;
  h.status = kCompanionStarting;
}

void SwitchBothHalves(int slot, bool on) {
  const unsigned moves = h.moves;
  const bool nested = h.following;
  h.following = true;
  HWND companion = Companion();
  const bool follows = companion != nullptr && CompanionFollows(slot);
  const auto tellCompanion = [&] {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(companion, kMsgCompanionSlot, slot, on ? 1 : 0, SMTO_ABORTIFHUNG, 2000,
                        &result);
  };
  if (on && follows && h.front == 32) {
    tellCompanion();
    SwitchOwn(slot, true);
  } else {
    SwitchOwn(slot, on);
    if (follows) tellCompanion();
  }
  // Waiting for the companion lets other work in: a half moved meanwhile leaves this slot's
  // order unknown, and the next look puts the front half first again.
  if (h.moves != moves) h.front = 0;
  h.following = nested;
  if (nested) {
    h.again = true;
  } else if (h.again || h.front == 0) {
    FollowDesktop();
  }
}

void EndHalves() { h.ended = true; }

bool FollowDesktop() {
  if (!h.wow64 || h.status == kCompanionNoProgram || h.ended) return false;
  // The companion is asked with SendMessageTimeout, which lets a foreground event in meanwhile:
  // that one only asks for another look once the work in hand is done.
  if (h.following) {
    h.again = true;
    return false;
  }
  h.following = true;
  bool changed = false;
  do {
    h.again = false;
    changed = FollowDesktopNow() || changed;
  } while (h.again);
  h.following = false;
  return changed;
}

namespace {

bool FollowDesktopNow() {
  const int before = h.status;
  const DWORD codeBefore = h.exitCode;
  const int frontBefore = h.front;
  h.status = CompanionNow();
  // It switched its slots on after ours: its hooks came first.
  if (h.status == kCompanionRunning && before != kCompanionRunning) h.front = 64;
  if (h.status != kCompanionStarting && h.status != kCompanionRunning) h.windowSince = 0;
  // Gone: its hooks go with its thread on Windows, while Wine kept a killed companion's hooks at
  // the head of the chains, where they stopped every 32-bit program's chain. Ours go first again.
  if (h.status != kCompanionRunning && before == kCompanionRunning && h.front != 32 &&
      h.pinned == 0) {
    OwnHalfFirst();
  }
  if (h.status == kCompanionRunning) {
    const int bitness = h.pinned != 0 ? h.pinned : ForegroundBitness();
    if (bitness == 32 && h.front != 32) OwnHalfFirst();
    if (bitness == 64 && h.front != 64) CompanionFirst();
  }
  return h.status != before || h.exitCode != codeBefore || h.front != frontBefore;
}

}  // namespace

int CompanionStatus() { return h.status; }
DWORD CompanionExitCode() { return h.exitCode; }

int Reach() {
  if (kProgram64) return kReach64;
  return kReach32 | (h.status == kCompanionRunning ? kReach64 : 0);
}

int Front() { return h.status == kCompanionRunning ? h.front : 0; }
