// What the reference controller understands from other programs: its menu commands (which test
// and demo programs send as WM_COMMAND) and one query message for what the library told it.
#pragma once

#include <windows.h>

constexpr char kControllerClass[] = "ZafrelXP908@2005";

// Notifications from the library.
constexpr UINT kMsgOn = 33113;   // Farsi typing on (0, 0) or a skipped key (1, 1)
constexpr UINT kMsgOff = 33114;  // Farsi typing off, or the focus moved

// Menu commands.
constexpr int kCmdModeTrue = 101;
constexpr int kCmdModeFalse = 102;
constexpr int kCmdFont0 = 110;  // + digit 0-9
constexpr int kCmdSlot0 = 300;  // + slot: switch that hook slot over
constexpr int kCmdPlayback = 203;
constexpr int kCmdRecord = 204;

// SendMessage(controller, kMsgQuery, what, 0) answers:
constexpr UINT kMsgQuery = WM_APP + 1;
constexpr WPARAM kQueryOn = 0;          // number of "on" notifications
constexpr WPARAM kQueryOff = 1;         // number of "off" notifications
constexpr WPARAM kQueryKeySkipped = 2;  // number of skipped-key notifications
constexpr WPARAM kQueryLast = 4;        // the last on/off notification: kLast...
constexpr WPARAM kQuerySlots = 5;       // bit n: slot n is on
constexpr int kLastNone = 0;
constexpr int kLastOn = 1;
constexpr int kLastOff = 2;

// The 64-bit companion: on 64-bit Windows the 32-bit controller starts
//   zafrelctl64.exe --companion <controller window, decimal> --line-height N
// which loads ZafrelXP64.dll for the 64-bit programs, in a message-only window of this class
// (never a second controller window). It takes the controller's slots at start (kQuerySlots),
// then follows each switch sent to it, and ends when the controller window is gone.
constexpr char kCompanionClass[] = "ZafrelXP64Companion";
constexpr UINT kMsgCompanionSlot = WM_APP + 2;  // wParam slot, lParam 1 on / 0 off; returns 1
                                                // when the slot is in that state
// kMsgQuery with kQuerySlots also answers the companion's slots.

// The slots a companion follows: the journal's record and playback (3, 4) see the whole
// desktop's input from the controller's thread already, whatever the programs' bitness.
constexpr bool CompanionFollows(int slot) { return slot != 3 && slot != 4 && slot != 7; }
