#include "diagnostics/journal.h"

#include "hooklib/hook_table.h"
#include "hooklib/status_lines.h"

EventNode* pEventHead;
EventNode* pEventTail;
EventNode* pPlayCursor;
DWORD nRecordStartTime;
DWORD nPlaybackTimeShift;
int nRepeatCount;

namespace {

void FreeList(EventNode* node) {
  while (node != nullptr) {
    EventNode* next = node->next;
    HeapFree(GetProcessHeap(), 0, node);
    node = next;
  }
}

// Recording ended (F2 or no memory): the slot goes off, playback becomes possible.
void EndRecording() {
  SwitchSlotOff(kSlotJournalRecord);
  HMENU menu = GetMenu(TrustedStatusWindow());
  CheckMenuItem(menu, kMenuRecord, MF_UNCHECKED);
  EnableMenuItem(menu, kMenuPlayback, MF_ENABLED);
}

// Playback ended or refused: the slot goes off and the playback item is greyed.
void EndPlayback() {
  SwitchSlotOff(kSlotJournalPlayback);
  HMENU menu = GetMenu(TrustedStatusWindow());
  CheckMenuItem(menu, kMenuPlayback, MF_UNCHECKED);
  EnableMenuItem(menu, kMenuPlayback, MF_DISABLED | MF_GRAYED);
}

void SetLine(int slot, const char* text) { FormatStatusLine(slot, "%s", text); }

LRESULT RecordEvent(const EVENTMSG* event) {
  if (event->message == WM_KEYDOWN && (event->paramL & 0xFF) == VK_F2) {
    SetLine(kSlotJournalRecord,
            "WH_JOURNALRECORD\tRecording Stopped with F2"
            "                                                                 ");
    EndRecording();
    return 0;
  }
  EventNode* node = static_cast<EventNode*>(HeapAlloc(GetProcessHeap(), 0, sizeof(EventNode)));
  if (node == nullptr) {
    SetLine(kSlotJournalRecord, "WH_JOURNALRECORD\tNo Memory Available");
    EndRecording();
    return 0;
  }
  if (pEventTail == nullptr) {
    // A new list. What a playback that was switched off midway left unplayed is dropped, so the
    // list only ever holds one recording and no cursor points into freed events.
    FreeList(pEventHead);
    pPlayCursor = nullptr;
    nRecordStartTime = GetTickCount();
    pEventHead = node;
  } else {
    pEventTail->next = node;
  }
  pEventTail = node;
  node->next = nullptr;
  node->message = event->message;
  node->paramL = event->paramL;
  node->paramH = event->paramH;
  node->time = event->time;
  node->window = 0;

  FormatStatusLine(kSlotJournalRecord,
                   "WH_JOURNALRECORD\tRecording\tTime:%d\tPRESS F2 To Stop Recording\t%s"
                   "                        ",
                   static_cast<int>(event->time), MessageName(event->message));
  DrawStatusLine(kSlotJournalRecord);
  return 0;
}

LRESULT NextEvent(int nCode, WPARAM wParam, LPARAM lParam) {
  nRepeatCount = 1;
  if (pPlayCursor->next != nullptr) {
    pPlayCursor = pPlayCursor->next;
    HeapFree(GetProcessHeap(), 0, pEventHead);
    pEventHead = pPlayCursor;
    DrawStatusLine(kSlotJournalPlayback);
    return PassHookOn(kSlotJournalPlayback, nCode, wParam, lParam);
  }
  SetLine(kSlotJournalPlayback, "WH_JOURNALPLAYBACK -- Done Recorded Events");
  DrawStatusLine(kSlotJournalPlayback);
  HeapFree(GetProcessHeap(), 0, pEventHead);
  pPlayCursor = nullptr;
  pEventHead = nullptr;
  EndPlayback();
  DrawStatusLine(kSlotJournalPlayback);
  return PassHookOn(kSlotJournalPlayback, nCode, wParam, lParam);
}

LRESULT CurrentEvent(EVENTMSG* event) {
  event->message = pPlayCursor->message;
  event->paramL = pPlayCursor->paramL;
  event->paramH = pPlayCursor->paramH;
  event->time = pPlayCursor->time + nPlaybackTimeShift;
  FormatStatusLine(kSlotJournalPlayback,
                   "WH_JOURNALPLAYBACK -- Playing Event %d times                    ",
                   nRepeatCount);
  nRepeatCount =
      static_cast<int>(static_cast<uint32_t>(nRepeatCount) + 1u);  // wraps, never overflows
  DrawStatusLine(kSlotJournalPlayback);
  // Milliseconds until the event is due; a late event is taken at once, stamped now.
  const int32_t wait = static_cast<int32_t>(event->time - GetTickCount());
  if (wait >= 0) return wait;
  event->time = GetTickCount();
  return 0;
}

}  // namespace

LRESULT CALLBACK JournalRecordProc(int nCode, WPARAM wParam, LPARAM lParam) {
  if (nCode < 0) return PassHookOn(kSlotJournalRecord, nCode, wParam, lParam);
  if (afSlotInstalled[kSlotJournalPlayback]) {
    SetLine(kSlotJournalRecord,
            "WH_JOURNALRECORD\tSkipping Recording during Playback                        ");
    DrawStatusLine(kSlotJournalRecord);
    return 0;
  }
  // Only HC_ACTION carries an event; HC_SYSMODALON/OFF and the like record nothing.
  const EVENTMSG* event = reinterpret_cast<const EVENTMSG*>(lParam);
  if (nCode != HC_ACTION || event == nullptr) return 0;
  return RecordEvent(event);
}

LRESULT CALLBACK JournalPlaybackProc(int nCode, WPARAM wParam, LPARAM lParam) {
  if (nCode < 0) return PassHookOn(kSlotJournalPlayback, nCode, wParam, lParam);
  if (pEventHead == nullptr || afSlotInstalled[kSlotJournalRecord]) {
    EndPlayback();
    SetLine(kSlotJournalPlayback,
            "WH_JOURNALPLAYBACK -- No recorded Events to Playback  or JournalRecord in Progress"
            "                  ");
    DrawStatusLine(kSlotJournalPlayback);
    return PassHookOn(kSlotJournalPlayback, nCode, wParam, lParam);
  }
  if (pPlayCursor == nullptr) {
    pPlayCursor = pEventHead;
    pEventTail = nullptr;  // the next recording starts a new list
    nPlaybackTimeShift = GetTickCount() - nRecordStartTime;
    nRepeatCount = 1;
  }
  if (nCode == HC_SKIP) return NextEvent(nCode, wParam, lParam);
  if (nCode == HC_GETNEXT && lParam != 0) return CurrentEvent(reinterpret_cast<EVENTMSG*>(lParam));
  DrawStatusLine(kSlotJournalPlayback);
  return PassHookOn(kSlotJournalPlayback, nCode, wParam, lParam);
}

void ResetJournal() {
  FreeList(pEventHead);
  pEventHead = nullptr;
  pEventTail = nullptr;
  pPlayCursor = nullptr;
  nRecordStartTime = 0;
  nPlaybackTimeShift = 0;
  nRepeatCount = 0;
}
