// The two halves of Farsi typing on 64-bit Windows: this controller with ZafrelXP.dll for the
// 32-bit programs, and its companion (zafrelctl64.exe --companion) with ZafrelXP64.dll for the
// 64-bit ones. Both libraries hook the same chains of the desktop, and the chain of a hook type
// is called newest hook first. A program can run only the library of its own bitness: under
// Wine, when the hook at the head of a chain is the other bitness's, its library does not load
// and the rest of the chain is not called, so only the half whose hooks come first types (on
// Windows the call is marshalled to the installing thread, which hands it on; where the chain
// goes on from there is not documented, and with the front half first it does not matter). Keys go
// to the foreground program, so the half of the foreground program's bitness is kept first: at
// every change of the foreground, the half that is not first switches its slots off and on again,
// which puts its hooks back at the head.
#pragma once

#include <windows.h>

// The library's InstallFilter, as both halves call it.
typedef int(WINAPI* InstallFn)(int, int, HWND, int);

// Bit n set: slot n of the ten is on. followedOnly: only the slots both halves hold.
LRESULT SlotBits(const bool* slotOn, bool followedOnly = false);
// Every slot both halves hold that is on here, switched off and on again: this half's hooks are
// then the newest, the first called. False when one did not go on again (it shows off).
bool HeldSlotsFirst(InstallFn install, HWND controller, bool* slotOn);

// wow64: a 32-bit controller on 64-bit Windows, the only one with a companion. The controller's
// slots are switched through `install` and kept in `ownSlotOn`. hooksFirst 32 or 64 keeps that
// half first whatever the foreground, to measure what the other half meets.
void InitHalves(HWND controller, int lineHeight, bool wow64, InstallFn install, bool* ownSlotOn,
                int hooksFirst);
// Starts zafrelctl64.exe --companion from this program's folder; it takes the slots that are on.
void StartCompanion();
HWND Companion();
// Switches a slot in both libraries, the front half's hook last so that it stays first.
void SwitchBothHalves(int slot, bool on);
// Every hook is down for good (Exit, the end of the session): no half is switched on again.
void EndHalves();
// Follows the companion's state and puts the foreground program's half first. Called at every
// change of the foreground and every 200 ms; true when what the window shows has changed.
bool FollowDesktop();

int CompanionStatus();      // kCompanion...
DWORD CompanionExitCode();  // once it has ended
int Reach();                // kReach32 | kReach64
int Front();                // 32 or 64 when both halves run, else 0
