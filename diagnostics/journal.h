// Journal record and playback (WH_JOURNALRECORD, WH_JOURNALPLAYBACK): the user's input events
// are recorded into a list and played back later with the same spacing in time. Both hooks run
// on the thread that installed them, the controller's.
#pragma once

#include "win32/win32.h"

// A recorded event; its first five fields have the layout of the build's EVENTMSG.
struct EventNode {
  UINT message;
  UINT paramL;
  UINT paramH;
  DWORD time;
  HWND window;  // never filled nor read
  EventNode* next;
};
static_assert(offsetof(EventNode, window) == offsetof(EVENTMSG, hwnd) &&
                  offsetof(EventNode, next) >= sizeof(EVENTMSG),
              "an event starts with an EVENTMSG");

extern EventNode* pEventHead;     // first event not yet played back
extern EventNode* pEventTail;     // last event recorded; null: the next one starts a new list
extern EventNode* pPlayCursor;    // event being played back; null: no playback in progress
extern DWORD nRecordStartTime;    // tick count at the first event of the list
extern DWORD nPlaybackTimeShift;  // playback start minus recording start (mod 2^32)
extern int nRepeatCount;          // fetches of the current event in this step

constexpr UINT kMenuPlayback = 203;
constexpr UINT kMenuRecord = 204;

LRESULT CALLBACK JournalRecordProc(int nCode, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK JournalPlaybackProc(int nCode, WPARAM wParam, LPARAM lParam);

// Frees every recorded event and clears the journal state.
void ResetJournal();
