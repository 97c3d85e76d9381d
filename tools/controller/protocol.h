// What the reference controller understands from other programs: its menu commands (which test
// and demo programs send as WM_COMMAND), one query message for what the library told it and what
// it shows, and its exit codes.
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
// Types the clipboard's text as Farsi into the focus window: each letter as its key on the
// Persian layout, injected with Farsi typing on, so the library shapes it as if typed. Also the
// hot key Ctrl+Shift+Insert (no AltGr key gives it: AltGr is Ctrl+Alt). Nothing is typed when a
// character has no key. Text with line breaks is typed only once the person has said yes to a
// message box naming them (each is typed as Enter, which may send or submit something). The
// controller's own menu leaves the controller in the foreground: the window that was in the
// foreground before gets it back first. Sent by another program while its window has the focus, the
// command types there.
constexpr int kCmdTypeClipboard = 205;
// The notification area's menu (and the main window's Program menu).
constexpr int kCmdShowHide = 206;       // shows the main window and brings it forward, or hides it
constexpr int kCmdStartAtSignIn = 207;  // switches starting at sign-in (the Run value) over
constexpr int kCmdExit = 208;  // ends the controller: every hook off, the companion ended, no icon
// Switches the setting "Switch Farsi typing in all programs at once" over (see kQueryAllPrograms).
constexpr int kCmdAllPrograms = 209;

// A second start of the controller sends this to the running one, whose window then shows and
// comes forward; the second one then exits with kExitAlreadyRunning. Answers 1.
constexpr UINT kMsgShow = WM_APP + 3;
// The notification area's callback: lParam is the mouse message over the icon.
constexpr UINT kMsgNotifyIcon = WM_APP + 4;

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
// What the controller shows, for programs that cannot see the notification area.
constexpr WPARAM kQueryIcon = 11;           // the icon in the notification area: kIcon...
constexpr WPARAM kQueryStartAtSignIn = 12;  // 1 when the Run value starts this controller
// Which programs Farsi typing reaches (on 64-bit Windows, the companion serves the 64-bit half):
constexpr WPARAM kQueryReach = 13;      // bit 0: 32-bit programs, bit 1: 64-bit programs
constexpr WPARAM kQueryCompanion = 14;  // the companion as the window shows it: kCompanion...
constexpr WPARAM kQueryFront = 15;      // 32 or 64: the half the controller put first; 0: none
// The system's ANSI code page (GetACP), and 1 when the window shows the line saying that it reads
// the selected font code's glyph codes as right-to-left letters (0 when it does not).
constexpr WPARAM kQueryAnsiCodePage = 16;
constexpr WPARAM kQueryCodePageLine = 17;
// Farsi typing in the program in front (the last foreground window of another program), as the
// window, the tooltip and the icon show it: kLastOn, kLastOff, or kLastNone for "not yet switched
// in this program" (the controller has not heard from its library). Each program has its own
// switch; the controller remembers the last word of each program's library while it was in front.
constexpr WPARAM kQueryShown = 18;
constexpr WPARAM kQueryShownProcess = 19;  // that program's process id (0: none yet)
// 1 while "Switch Farsi typing in all programs at once" is on: a program that comes to the front
// with another state than the person's last switch is brought to it with Scroll Lock presses
// (at most two, given up after 2 s with a status line).
constexpr WPARAM kQueryAllPrograms = 20;
constexpr WPARAM kQueryBringDone = 21;    // programs brought to the last switch so far (or not)
constexpr WPARAM kQueryBringResult = 22;  // how the last one ended: kBring...
constexpr int kBringNone = 0;
constexpr int kBringSwitched = 1;  // Scroll Lock pressed, and the program's library agreed
constexpr int kBringNoAnswer = 2;  // its library did not answer within 2 s
constexpr int kBringRefused = 3;   // two presses, and it still reports the other state
constexpr int kBringMoved = 4;     // the foreground moved on first
constexpr int kReach32 = 1;
constexpr int kReach64 = 2;
constexpr int kCompanionNotNeeded = 0;  // 32-bit Windows, or this is zafrelctl64.exe
constexpr int kCompanionStarting = 1;   // started, its window not there yet
constexpr int kCompanionRunning = 2;
constexpr int kCompanionNoProgram = 3;  // zafrelctl64.exe could not be started (not in the folder)
constexpr int kCompanionNoLibrary = 4;  // it ended because ZafrelXP64.dll did not load
constexpr int kCompanionEnded = 5;      // it ended (or was ended) while the controller runs
constexpr int kIconNone = 0;  // no icon: the notification area refused it, or there is none yet
constexpr int kIconOff = 1;   // grey: the library's last word was not "on"
constexpr int kIconOn = 2;    // green: Farsi typing on

// The clipboard command runs on after WM_COMMAND returns (it waits for the hot key's modifiers
// to be released, for Farsi typing to switch on and for each key to be taken): a program waits
// for kQueryClipboardDone to count up, then asks how it ended.
constexpr WPARAM kQueryClipboardDone = 6;    // clipboard commands finished so far
constexpr WPARAM kQueryClipboardResult = 7;  // how the last one ended: kClipboard...
constexpr WPARAM kQueryClipboardCount = 8;   // keys typed, or characters that have no key
// lParam i (from 0, fewer than kClipboardListed): the i-th character that has no key, its code
// point and its position (from 1, in UTF-16 units); -1 when there is none.
constexpr WPARAM kQueryClipboardRefusedCode = 9;
constexpr WPARAM kQueryClipboardRefusedAt = 10;
constexpr int kClipboardListed = 4;
constexpr int kClipboardNone = 0;      // no command yet
constexpr int kClipboardTyped = 1;     // every key typed
constexpr int kClipboardRefused = 2;   // characters without a key: nothing typed
constexpr int kClipboardEmpty = 3;     // no text on the clipboard: nothing typed
constexpr int kClipboardNoWindow = 4;  // no window of another program to type into
constexpr int kClipboardNotOn = 5;     // Farsi typing did not switch on: nothing typed
constexpr int kClipboardStopped = 6;   // stopped part way (focus moved, Farsi off, no answer)
constexpr int kClipboardDeclined = 7;  // the person said no to its line breaks: nothing typed
// The message box that asks before text with line breaks is typed has this caption.
constexpr char kClipboardConfirmCaption[] = "ZafrelXP: type the clipboard";

// The 64-bit companion: on 64-bit Windows the 32-bit controller starts
//   zafrelctl64.exe --companion <controller window, decimal> --line-height N
// which loads ZafrelXP64.dll for the 64-bit programs, in a message-only window of this class
// (never a second controller window). It takes the controller's slots at start (kQuerySlots),
// then follows each switch sent to it, and ends when the controller window is gone.
constexpr char kCompanionClass[] = "ZafrelXP64Companion";
constexpr UINT kMsgCompanionSlot = WM_APP + 2;  // wParam slot, lParam 1 on / 0 off; returns 1
                                                // when the slot is in that state
// Puts the companion's hooks at the head of their chains again (each slot it holds switched off
// and on): sent when a 64-bit program comes to the foreground. Returns 1, or 0 when a slot did
// not go on again.
constexpr UINT kMsgCompanionFront = WM_APP + 5;
// Posted by the controller to itself: asks about the clipboard's line breaks once the command
// that found them has returned to its sender.
constexpr UINT kMsgConfirmLines = WM_APP + 6;
// kMsgQuery with kQuerySlots also answers the companion's slots.

// Exit codes of zafrelctl and of its companion.
constexpr int kExitDone = 0;            // Exit, the window closed for good, or the session ended
constexpr int kExitNoWindow = 2;        // no window could be made
constexpr int kExitNoLibrary = 3;       // the library did not load
constexpr int kExitNoExports = 4;       // the library lacks an export
constexpr int kExitNoCompanion = 5;     // a companion without a controller, or a second one
constexpr int kExitAlreadyRunning = 6;  // another controller runs on this desktop: it came forward
constexpr int kExitStillRunning = 7;    // --exit: the running controller did not end in time
constexpr int kExitBadCommandLine = 8;  // the command line was refused, before anything started

// The slots a companion follows: the journal's record and playback (3, 4) see the whole
// desktop's input from the controller's thread already, whatever the programs' bitness.
constexpr bool CompanionFollows(int slot) { return slot != 3 && slot != 4 && slot != 7; }
