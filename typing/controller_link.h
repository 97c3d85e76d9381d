// The link to the controller program: its window of class "ZafrelXP908@2005" carries the typing
// mode and the font code in its title, and receives the Farsi on/off notifications.
#pragma once

#include "hooklib/controller_window.h"
#include "hooklib/text.h"
#include "win32/win32.h"

// Messages exchanged with the controller window and with hooked threads.
constexpr UINT MYWM_ZAFRELVK_ON = 33113;       // to the controller: Farsi typing on
constexpr UINT MYWM_ZAFRELVK_OFF = 33114;      // to the controller: off, or the focus moved
constexpr UINT MYWM_ZAFRELVK_TRUE = 33115;     // retrieved by a hooked thread: mode "TRUE"
constexpr UINT MYWM_ZAFRELVK_RETURN2 = 36260;  // retrieved by a hooked thread: debug box

// Per-process state of the link; zero or empty at attach.
extern HWND hwndController;  // the window found by the last lookup, null if none
extern int fFarsiOn;         // 1 while Farsi typing is on in this process
extern HWND hwndFocusAtOn;   // focus window when Scroll Lock last switched typing on

// The typing mode: "", "TRUE" or "FALSE". Several threads of one process may set it at once, so
// it is a pointer to one of three constant texts, replaced with a single aligned store: a reader
// always sees a whole mode, never a half-copied one. Read it with TypingMode().
extern const char* szTypingMode;
extern const char kTypingModeTrue[];   // "TRUE"
extern const char kTypingModeFalse[];  // "FALSE"
extern const char kTypingModeEmpty[];  // ""

inline const char* TypingMode() { return __atomic_load_n(&szTypingMode, __ATOMIC_RELAXED); }
void SetTypingMode(const char* mode);  // kTypingModeTrue or kTypingModeFalse

// Compared ignoring case; an empty mode is neither. The mode is nearly always one of the three
// constant texts, known by its address before any character is compared (asked on every key).
inline bool TypingModeIs(const char* word) {
  const char* mode = TypingMode();
  if (mode == word) return true;
  if (mode == kTypingModeTrue || mode == kTypingModeFalse || mode == kTypingModeEmpty) return false;
  return TextCompareNoCase(mode, word) == 0;
}
inline bool TypingModeIsTrue() { return TypingModeIs(kTypingModeTrue); }
inline bool TypingModeIsFalse() { return TypingModeIs(kTypingModeFalse); }

// Looks the controller window up and reads mode and font code from its title; nothing is cached.
// Returns 1 when the window was found and read, 0 when not (mode and table set then unchanged).
int ReadControllerTitle();

// WH_CBT procedure: switches Farsi typing off when the window focused at switch-on loses the
// focus, and tells the controller of other focus changes and of skipped keys.
LRESULT CALLBACK CbtProc(int nCode, WPARAM wParam, LPARAM lParam);

// The Farsi switch on Scroll Lock: title read, joining state cleared, this process's switch
// turned over, controller notified.
void ScrollLockStep();

// The keyboard hook's handling of a VK_SCROLL notification. A press switches once: the step runs
// when the thread takes the key-down (HC_ACTION), not for a peek at it (HC_NOREMOVE) nor for its
// auto-repeats. At that press's release the light is brought where it belongs (on exactly while
// Farsi typing is on; under Wine, off): when the thread's toggle disagrees, one Scroll Lock press
// is injected, whose key-down then switches nothing.
void ScrollLockKey(int nCode, LPARAM lParam);
extern int fLightDue;           // the press that switched has not been released yet
extern int nLightPresses;       // 1 while the injected press is awaited
extern DWORD dwLightPressTick;  // when it was injected
extern int nLightRule;          // 0 until asked, then kLightRuleWindows or kLightRuleWine
constexpr int kLightRuleWindows = 1;
constexpr int kLightRuleWine = 2;

// The link's state as it is at attach, before LibMain has run.
void ResetControllerLink();
