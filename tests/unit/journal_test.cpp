// Journal record and playback: the event list, the status lines, the menu items and the timing.
#include <string>

#include "diagnostics/journal.h"
#include "dll/exports.h"
#include "hooklib/hook_table.h"
#include "hooklib/status_lines.h"
#include "tests/unit/library_test.h"

using namespace fakewin;

namespace {

const std::string kBlanks(80, ' ');
std::string Blanks(size_t n) { return kBlanks.substr(0, n); }

const std::string kRecordingStopped = "WH_JOURNALRECORD\tRecording Stopped with F2" + Blanks(65);
const std::string kNoMemory = "WH_JOURNALRECORD\tNo Memory Available";
const std::string kSkipping = "WH_JOURNALRECORD\tSkipping Recording during Playback" + Blanks(24);
const std::string kNoEvents =
    "WH_JOURNALPLAYBACK -- No recorded Events to Playback  or JournalRecord in Progress" +
    Blanks(18);
const std::string kDone = "WH_JOURNALPLAYBACK -- Done Recorded Events";

std::string RecordingLine(int time) {
  return "WH_JOURNALRECORD\tRecording\tTime:" + std::to_string(time) +
         "\tPRESS F2 To Stop Recording\tUnknown Message" + Blanks(24);
}

std::string PlayingLine(int repeat) {
  return "WH_JOURNALPLAYBACK -- Playing Event " + std::to_string(repeat) + " times" + Blanks(20);
}

EVENTMSG Event(UINT message, UINT paramL, DWORD time, UINT paramH = 0) {
  return EVENTMSG{message, paramL, paramH, time, nullptr};
}

class JournalTest : public ControllerProcessTest {
 protected:
  JournalTest() { InitZafrelXPDll(status, 16); }

  LRESULT Record(EVENTMSG event, int code = HC_ACTION) {
    return JournalRecordProc(code, 0, reinterpret_cast<LPARAM>(&event));
  }
  LRESULT GetNext(EVENTMSG* out) {
    return JournalPlaybackProc(HC_GETNEXT, 0, reinterpret_cast<LPARAM>(out));
  }
  LRESULT Skip() { return JournalPlaybackProc(HC_SKIP, 0, 0); }

  // Records keys A, B, C... at the given event times, the first at tick `start`.
  void RecordKeys(std::initializer_list<DWORD> times, DWORD start) {
    d.tick = start;
    InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
    UINT key = 'A';
    for (DWORD time : times) Record(Event(WM_KEYDOWN, key++, time));
    Record(Event(WM_KEYDOWN, VK_F2, 0));
    d.ClearLog();
  }

  // Plays the whole list back with no waiting; returns the keys played in order.
  std::string PlayAll() {
    InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
    std::string keys;
    for (int guard = 0; guard < 100000 && afSlotInstalled[kSlotJournalPlayback]; ++guard) {
      EVENTMSG event{};
      GetNext(&event);
      keys += static_cast<char>(event.paramL);
      Skip();
    }
    return keys;
  }

  std::vector<Call> Draw(int slot, const std::string& line) const {
    return {GetDCCall(status), TextOut(hdc, 1, slot * 16, line, 0, true, 1),
            ReleaseDCCall(status, hdc)};
  }

  int ListLength() const {
    int n = 0;
    for (EventNode* node = pEventHead; node != nullptr; node = node->next) ++n;
    return n;
  }
};

}  // namespace

TEST_F(JournalTest, RecordingAppendsEventsAndShowsTheLastOne) {
  InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
  d.ClearLog();
  d.tick = 7000;
  EXPECT_EQ(Record(Event(WM_KEYDOWN, 'A', 7010, 0x1E)), 0);
  EXPECT_EQ(Record(Event(WM_KEYUP, 'A', 7090, 0x1E)), 0);
  EXPECT_EQ(std::string(aszStatusLine[4]), RecordingLine(7090));
  EXPECT_CALLS(d, Draw(4, RecordingLine(7010)) + Draw(4, RecordingLine(7090)));
  ASSERT_EQ(ListLength(), 2);
  EXPECT_EQ(nRecordStartTime, 7000u);
  EXPECT_EQ(pEventHead->message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(pEventHead->paramL, static_cast<UINT>('A'));
  EXPECT_EQ(pEventHead->paramH, 0x1Eu);
  EXPECT_EQ(pEventHead->time, 7010u);
  EXPECT_EQ(pEventTail->message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(pEventTail->next, nullptr);
}

TEST_F(JournalTest, F2StopsTheRecordingAndIsNotRecorded) {
  InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
  const HHOOK hook = ahhookSlot[kSlotJournalRecord];
  Record(Event(WM_SYSKEYDOWN, VK_F2, 100));        // Alt+F2 is an ordinary event
  Record(Event(WM_KEYDOWN, VK_F2 | 0x4100, 110));  // only the low byte is the key
  EXPECT_EQ(ListLength(), 1);
  EXPECT_EQ(afSlotInstalled[kSlotJournalRecord], 0);
  EXPECT_EQ(std::string(aszStatusLine[4]), kRecordingStopped);
  // The stop line is not drawn; the status window repaints as the slot goes off.
  EXPECT_CALLS(d, std::vector<Call>{HookSet(WH_JOURNALRECORD, JournalRecordProc, module, 0)} +
                      Draw(4, RecordingLine(100)) +
                      std::vector<Call>{Unhook(hook), InvalidateCall(status, true, TRUE),
                                        UpdateCall(status), CheckMenuCall(menu, 204, MF_UNCHECKED),
                                        EnableMenuCall(menu, 203, MF_ENABLED)});
}

TEST_F(JournalTest, RecordingTwiceKeepsTheFirstStartTime) {
  RecordKeys({5000, 5100}, 5000);
  RecordKeys({8000}, 8000);
  EXPECT_EQ(ListLength(), 3);
  EXPECT_EQ(nRecordStartTime, 5000u);
  // Played back, the pause between the two recordings stays: 3000 ms after the first event.
  d.tick = 20000;
  InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
  EVENTMSG e{};
  EXPECT_EQ(GetNext(&e), 0);
  Skip();
  EXPECT_EQ(GetNext(&e), 100);
  Skip();
  EXPECT_EQ(GetNext(&e), 3000);
  EXPECT_EQ(e.time, 23000u);
}

TEST_F(JournalTest, NoMemoryEndsTheRecordingAndKeepsTheList) {
  InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
  const HHOOK hook = ahhookSlot[kSlotJournalRecord];
  d.allocationsBeforeFailure = 2;
  Record(Event(WM_KEYDOWN, 'A', 1));
  Record(Event(WM_KEYDOWN, 'B', 2));
  d.ClearLog();
  EXPECT_EQ(Record(Event(WM_KEYDOWN, 'C', 3)), 0);
  EXPECT_EQ(ListLength(), 2);
  EXPECT_EQ(std::string(aszStatusLine[4]), kNoMemory);
  EXPECT_CALLS(d, {Unhook(hook), InvalidateCall(status, true, TRUE), UpdateCall(status),
                   CheckMenuCall(menu, 204, MF_UNCHECKED), EnableMenuCall(menu, 203, MF_ENABLED)});
  d.allocationsBeforeFailure = -1;
  EXPECT_EQ(PlayAll(), "AB");
  EXPECT_EQ(d.liveAllocations, 0);
}

TEST_F(JournalTest, RecordingDuringPlaybackIsSkipped) {
  RecordKeys({10}, 0);
  InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
  InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
  d.ClearLog();
  EXPECT_EQ(Record(Event(WM_KEYDOWN, 'Z', 20)), 0);
  EXPECT_EQ(ListLength(), 1);
  EXPECT_EQ(std::string(aszStatusLine[4]), kSkipping);
  EXPECT_CALLS(d, Draw(4, kSkipping));
}

TEST_F(JournalTest, RecordPassesOnOnlyNegativeCodesAndRecordsOnlyActions) {
  InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
  const HHOOK hook = ahhookSlot[kSlotJournalRecord];
  d.ClearLog();
  EXPECT_EQ(JournalRecordProc(-1, 2, 3), d.nextHookResult);
  EXPECT_EQ(JournalRecordProc(HC_SYSMODALON, 0, 0), 0);  // no event behind these codes
  EXPECT_EQ(JournalRecordProc(HC_SYSMODALOFF, 0, 0), 0);
  EXPECT_EQ(JournalRecordProc(HC_ACTION, 0, 0), 0);
  EXPECT_EQ(ListLength(), 0);
  EXPECT_CALLS(d, {NextHook(hook, -1, 2, 3)});
}

TEST_F(JournalTest, PlaybackKeepsTheSpacingCountsRepeatsAndCatchesUpLateEvents) {
  RecordKeys({5000, 5300}, 5000);
  d.tick = 9000;  // playback starts 4000 ms after the recording did
  InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
  const HHOOK hook = ahhookSlot[kSlotJournalPlayback];
  d.ClearLog();

  EVENTMSG e{};
  e.hwnd = Hwnd(0x1234);
  EXPECT_EQ(GetNext(&e), 0);
  EXPECT_EQ(e.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(e.paramL, static_cast<UINT>('A'));
  EXPECT_EQ(e.time, 9000u);
  EXPECT_EQ(e.hwnd, Hwnd(0x1234));  // not written
  EXPECT_EQ(GetNext(&e), 0);        // fetched again: the count goes on
  EXPECT_EQ(std::string(aszStatusLine[3]), PlayingLine(2));
  EXPECT_EQ(Skip(), d.nextHookResult);
  EXPECT_EQ(ListLength(), 1);

  EXPECT_EQ(GetNext(&e), 300);  // due 300 ms from now
  EXPECT_EQ(std::string(aszStatusLine[3]), PlayingLine(1));
  d.tick = 9500;
  EXPECT_EQ(GetNext(&e), 0);  // late: taken at once, stamped now
  EXPECT_EQ(e.time, 9500u);
  EXPECT_EQ(Skip(), d.nextHookResult);

  EXPECT_EQ(pEventHead, nullptr);
  EXPECT_EQ(pPlayCursor, nullptr);
  EXPECT_EQ(afSlotInstalled[kSlotJournalPlayback], 0);
  EXPECT_EQ(std::string(aszStatusLine[3]), kDone);
  EXPECT_EQ(d.liveAllocations, 0);
  EXPECT_CALLS(d, Draw(3, PlayingLine(1)) + Draw(3, PlayingLine(2)) + Draw(3, PlayingLine(2)) +
                      std::vector<Call>{NextHook(hook, HC_SKIP, 0, 0)} + Draw(3, PlayingLine(1)) +
                      Draw(3, PlayingLine(2)) + Draw(3, kDone) +
                      std::vector<Call>{Unhook(hook), InvalidateCall(status, true, TRUE),
                                        UpdateCall(status), CheckMenuCall(menu, 203, MF_UNCHECKED),
                                        EnableMenuCall(menu, 203, MF_DISABLED | MF_GRAYED)} +
                      Draw(3, kDone) + std::vector<Call>{NextHook(nullptr, HC_SKIP, 0, 0)});
}

// GetTickCount wraps to 0 after 49.7 days; an event's wait is the signed 32-bit distance to it,
// so events due across the wrap keep their spacing and a late one is still taken at once.
TEST_F(JournalTest, PlaybackTimingHoldsAcrossTheTickCounterWrap) {
  RecordKeys({0xFFFFFF00u, 0xFFFFFFF0u, 0x00000090u}, 0xFFFFFF00u);
  d.tick = 0xFFFFFF00u;  // played back at once: no shift
  InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
  struct Ask {
    DWORD now;
    bool skipAfter;
  };
  const Ask asks[] = {
      {0xFFFFFF00u, true},   // A, due now
      {0xFFFFFF00u, false},  // B, due in 240 ms
      {0xFFFFFFF8u, true},   // B, 8 ms late: now, stamped now
      {0xFFFFFFF8u, false},  // C, due after the wrap: in 152 ms
      {0x00000100u, true},   // C, late after the wrap: now, stamped now
  };
  std::vector<std::pair<LRESULT, DWORD>> got;
  for (const Ask& ask : asks) {
    d.tick = ask.now;
    EVENTMSG e{};
    const LRESULT wait = GetNext(&e);
    got.emplace_back(wait, e.time);
    if (ask.skipAfter) Skip();
  }
  const std::vector<std::pair<LRESULT, DWORD>> want = {
      {0, 0xFFFFFF00u}, {240, 0xFFFFFFF0u}, {0, 0xFFFFFFF8u}, {152, 0x00000090u}, {0, 0x00000100u}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(pEventHead, nullptr);
}

TEST_F(JournalTest, APlaybackRightAfterTheEndIsRefused) {
  RecordKeys({1}, 0);
  EXPECT_EQ(PlayAll(), "A");
  InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
  const HHOOK hook = ahhookSlot[kSlotJournalPlayback];
  d.ClearLog();
  EVENTMSG e{};
  EXPECT_EQ(GetNext(&e), d.nextHookResult);
  EXPECT_EQ(std::string(aszStatusLine[3]), kNoEvents);
  EXPECT_CALLS(
      d, std::vector<Call>{Unhook(hook), InvalidateCall(status, true, TRUE), UpdateCall(status),
                           CheckMenuCall(menu, 203, MF_UNCHECKED),
                           EnableMenuCall(menu, 203, MF_DISABLED | MF_GRAYED)} +
             Draw(3, kNoEvents) +
             std::vector<Call>{NextHook(nullptr, HC_GETNEXT, 0, reinterpret_cast<LPARAM>(&e))});
}

TEST_F(JournalTest, PlaybackIsRefusedWhileRecording) {
  RecordKeys({1, 2}, 0);
  InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
  InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
  EXPECT_EQ(Skip(), d.nextHookResult);
  EXPECT_EQ(afSlotInstalled[kSlotJournalPlayback], 0);
  EXPECT_EQ(ListLength(), 2);
  EXPECT_EQ(pPlayCursor, nullptr);
}

TEST_F(JournalTest, AOneEventListEndsAtTheFirstSkip) {
  RecordKeys({42}, 0);
  InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
  Skip();
  EXPECT_EQ(std::string(aszStatusLine[3]), kDone);
  EXPECT_EQ(pEventHead, nullptr);
  EXPECT_EQ(afSlotInstalled[kSlotJournalPlayback], 0);
}

TEST_F(JournalTest, OtherPlaybackCodesRedrawAndPassOn) {
  RecordKeys({42}, 0);
  InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
  const HHOOK hook = ahhookSlot[kSlotJournalPlayback];
  FormatStatusLine(3, "unchanged");
  d.ClearLog();
  EXPECT_EQ(JournalPlaybackProc(HC_NOREMOVE, 5, 6), d.nextHookResult);
  EXPECT_EQ(JournalPlaybackProc(-1, 5, 6), d.nextHookResult);
  EXPECT_CALLS(d, Draw(3, "unchanged") + std::vector<Call>{NextHook(hook, HC_NOREMOVE, 5, 6),
                                                           NextHook(hook, -1, 5, 6)});
}

TEST_F(JournalTest, AnInterruptedPlaybackGoesOnFromItsCursorWithoutANewShift) {
  RecordKeys({100, 200, 300}, 100);
  d.tick = 1100;
  InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
  EVENTMSG e{};
  GetNext(&e);
  Skip();
  InstallFilter(kSlotJournalPlayback, 0, nullptr, 0);  // the controller stops it
  d.tick = 5000;
  InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
  EXPECT_EQ(GetNext(&e), 0);  // due long ago
  EXPECT_EQ(e.paramL, static_cast<UINT>('B'));
  EXPECT_EQ(nPlaybackTimeShift, 1000u);
}

TEST_F(JournalTest, RecordingAfterAnInterruptedPlaybackReplacesTheUnplayedRest) {
  RecordKeys({1, 2, 3}, 0);
  InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
  EVENTMSG e{};
  GetNext(&e);
  Skip();  // A played and freed; B and C wait
  InstallFilter(kSlotJournalPlayback, 0, nullptr, 0);

  d.tick = 700;
  InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
  Record(Event(WM_KEYDOWN, 'X', 700));
  Record(Event(WM_KEYDOWN, 'Y', 710));
  Record(Event(WM_KEYDOWN, VK_F2, 720));
  EXPECT_EQ(pPlayCursor, nullptr);
  EXPECT_EQ(ListLength(), 2);
  EXPECT_EQ(d.liveAllocations, 2);
  EXPECT_EQ(nRecordStartTime, 700u);
  EXPECT_EQ(PlayAll(), "XY");
  EXPECT_EQ(d.liveAllocations, 0);
}

TEST_F(JournalTest, ManyEventsAreEachFreedOnce) {
  InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
  for (int i = 0; i < 5000; ++i) Record(Event(WM_KEYDOWN, 'A' + i % 26, static_cast<DWORD>(i)));
  Record(Event(WM_KEYDOWN, VK_F2, 0));
  EXPECT_EQ(d.liveAllocations, 5000);
  EXPECT_EQ(PlayAll().size(), 5000u);
  EXPECT_EQ(d.liveAllocations, 0);
}

TEST_F(JournalTest, AllocationFailureMidwayLosesNothingRecorded) {
  InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
  d.allocationsBeforeFailure = 1000;
  for (int i = 0; i < 1500; ++i) Record(Event(WM_KEYDOWN, 'A', static_cast<DWORD>(i)));
  EXPECT_EQ(ListLength(), 1000);
  EXPECT_EQ(afSlotInstalled[kSlotJournalRecord], 0);
  // The controller switches recording on again with memory to spare: the list goes on.
  d.allocationsBeforeFailure = -1;
  InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
  Record(Event(WM_KEYDOWN, 'B', 2000));
  Record(Event(WM_KEYDOWN, VK_F2, 2001));
  EXPECT_EQ(ListLength(), 1001);
  EXPECT_EQ(PlayAll().size(), 1001u);
  EXPECT_EQ(d.liveAllocations, 0);
}

namespace {

struct F2Case {
  UINT paramL;
  bool stops;
};

class RecordKeyTest : public JournalTest, public ::testing::WithParamInterface<F2Case> {};

}  // namespace

// A key-down stops the recording when its key code's whole low byte is F2 (0x71), whatever
// the bits above it; a key that shares only F2's low seven bits (0xF1) is recorded.
TEST_P(RecordKeyTest, OnlyTheLowByteF2StopsTheRecording) {
  const F2Case& c = GetParam();
  InstallFilter(kSlotJournalRecord, 1, nullptr, 0);
  Record(Event(WM_KEYDOWN, c.paramL, 300));
  if (c.stops) {
    EXPECT_EQ(ListLength(), 0);
    EXPECT_EQ(afSlotInstalled[kSlotJournalRecord], 0);
    EXPECT_EQ(std::string(aszStatusLine[4]), kRecordingStopped);
  } else {
    ASSERT_EQ(ListLength(), 1);
    EXPECT_EQ(pEventHead->paramL, c.paramL);
    EXPECT_EQ(afSlotInstalled[kSlotJournalRecord], 1);
    EXPECT_EQ(std::string(aszStatusLine[4]), RecordingLine(300));
  }
}

INSTANTIATE_TEST_SUITE_P(Keys, RecordKeyTest,
                         ::testing::Values(F2Case{VK_F2, true},      //
                                           F2Case{0x1371, true},     // F2 with bits above
                                           F2Case{0xFF71, true},     //
                                           F2Case{0xF1, false},      // F2's low seven bits only
                                           F2Case{0x70, false},      // F1
                                           F2Case{0x72, false},      // F3
                                           F2Case{0x7100, false}));  // F2 above the low byte

// With nothing recorded, every code the playback hook is called with, HC_ACTION included,
// switches playback off and says so.
TEST_F(JournalTest, PlaybackOfNothingIsRefusedWhateverTheCode) {
  for (int code : {HC_ACTION, HC_GETNEXT, HC_SKIP, HC_NOREMOVE, HC_SYSMODALON}) {
    SCOPED_TRACE(code);
    InstallFilter(kSlotJournalPlayback, 1, nullptr, 0);
    const HHOOK hook = ahhookSlot[kSlotJournalPlayback];
    FormatStatusLine(3, "unchanged");
    d.ClearLog();
    EXPECT_EQ(JournalPlaybackProc(code, 0, 0), d.nextHookResult);
    EXPECT_EQ(afSlotInstalled[kSlotJournalPlayback], 0);
    EXPECT_EQ(std::string(aszStatusLine[3]), kNoEvents);
    EXPECT_CALLS(d, std::vector<Call>{Unhook(hook), InvalidateCall(status, true, TRUE),
                                      UpdateCall(status), CheckMenuCall(menu, 203, MF_UNCHECKED),
                                      EnableMenuCall(menu, 203, MF_DISABLED | MF_GRAYED)} +
                        Draw(3, kNoEvents) + std::vector<Call>{NextHook(nullptr, code, 0, 0)});
  }
}
