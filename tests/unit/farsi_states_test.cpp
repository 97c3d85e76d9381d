// The controller's table of Farsi typing per program, fed the library's notifications and the
// desktop's focus changes in the orders Windows and Wine deliver them.
#include "tools/controller/farsi_states.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using farsi_states::kOff;
using farsi_states::kOn;
using farsi_states::kUnknown;
using farsi_states::Program;
using farsi_states::Table;

namespace {

const Program kNotepad{1204, 1111};
const Program kWordPad{1308, 2222};
const Program kTarget{1412, 3333};

// One event: at `ms`, "on", "skip" (on with 1, 1), "off", "focus", or "settle".
struct Event {
  uint32_t ms;
  const char* what;
  Program program;
};

struct SeriesCase {
  const char* name;
  std::vector<Event> events;
  // The state of Notepad, WordPad and the target afterwards, and the person's last switch.
  int notepad, wordpad, target, choice;
};

void PrintTo(const SeriesCase& c, std::ostream* os) { *os << c.name; }

class FarsiStatesTest : public ::testing::TestWithParam<SeriesCase> {};

TEST_P(FarsiStatesTest, EachProgramKeepsTheLastSwitchItsLibraryReported) {
  const SeriesCase& c = GetParam();
  Table table;
  for (const Event& e : c.events) {
    const std::string what = e.what;
    if (what == "on") table.On(e.program, e.ms);
    if (what == "skip") table.On(e.program, e.ms, true);
    if (what == "off") table.Off(e.program, e.ms);
    if (what == "focus") table.FocusMoved(e.ms);
    if (what == "settle") table.Settle(e.ms);
  }
  EXPECT_EQ(table.Of(kNotepad), c.notepad);
  EXPECT_EQ(table.Of(kWordPad), c.wordpad);
  EXPECT_EQ(table.Of(kTarget), c.target);
  EXPECT_EQ(table.choice(), c.choice);
}

INSTANTIATE_TEST_SUITE_P(
    Series, FarsiStatesTest,
    ::testing::Values(
        SeriesCase{"NothingHeard", {}, kUnknown, kUnknown, kUnknown, kUnknown},
        SeriesCase{"OnCountsAtOnce", {{100, "on", kNotepad}}, kOn, kUnknown, kUnknown, kOn},
        // "Off" counts once kFocusAfterMs have passed without a focus change.
        SeriesCase{"OffCountsWhenSettled",
                   {{100, "on", kNotepad}, {900, "off", kNotepad}, {1200, "settle", {}}},
                   kOff,
                   kUnknown,
                   kUnknown,
                   kOff},
        SeriesCase{"OffNotYetSettled",
                   {{100, "on", kNotepad}, {900, "off", kNotepad}, {1199, "settle", {}}},
                   kOn,
                   kUnknown,
                   kUnknown,
                   kOn},
        // The library's "off" at HCBT_SETFOCUS, just before or just after the controller hears
        // of the focus change: no switch.
        SeriesCase{"OffJustBeforeAFocusChange",
                   {{100, "on", kNotepad},
                    {900, "off", kWordPad},
                    {950, "focus", {}},
                    {2000, "settle", {}}},
                   kOn,
                   kUnknown,
                   kUnknown,
                   kOn},
        SeriesCase{"OffJustAfterAFocusChange",
                   {{100, "on", kNotepad},
                    {900, "focus", {}},
                    {1049, "off", kWordPad},
                    {2000, "settle", {}}},
                   kOn,
                   kUnknown,
                   kUnknown,
                   kOn},
        // A Scroll Lock press soon after the program came to the front.
        SeriesCase{"OffLongerAfterAFocusChange",
                   {{100, "on", kNotepad},
                    {900, "focus", {}},
                    {1050, "off", kNotepad},
                    {1350, "settle", {}}},
                   kOff,
                   kUnknown,
                   kUnknown,
                   kOff},
        // A focus change long after the "off" does not take it back.
        SeriesCase{"FocusChangeAfterTheOffSettled",
                   {{100, "off", kNotepad}, {400, "settle", {}}, {500, "focus", {}}},
                   kOff,
                   kUnknown,
                   kUnknown,
                   kOff},
        // "On" after an "off" that is still held: the "on" is the newer word.
        SeriesCase{"OnAfterAHeldOff",
                   {{100, "off", kNotepad}, {200, "on", kNotepad}, {1000, "settle", {}}},
                   kOn,
                   kUnknown,
                   kUnknown,
                   kOn},
        // A key skipped while on says "on" there, but is not a switch of the person's.
        SeriesCase{"SkippedKey",
                   {{100, "on", kNotepad},
                    {500, "off", kNotepad},
                    {900, "settle", {}},
                    {1000, "skip", kWordPad}},
                   kOff,
                   kOn,
                   kUnknown,
                   kOff},
        // Three programs switched in turn, with the focus changes between them.
        SeriesCase{"ThreePrograms",
                   {{100, "on", kNotepad},
                    {1000, "focus", {}},
                    {1010, "off", kWordPad},
                    {2000, "on", kWordPad},
                    {3000, "off", kTarget},
                    {3020, "focus", {}},
                    {4000, "on", kTarget},
                    {5000, "off", kTarget},
                    {5400, "settle", {}},
                    {6000, "focus", {}},
                    {6100, "off", kNotepad},
                    {6400, "settle", {}},
                    {7000, "off", kNotepad},
                    {7300, "settle", {}}},
                   kOff,
                   kOn,
                   kOff,
                   kOff},
        // The tick count wraps after 49.7 days: held times still compare.
        SeriesCase{"TickWraps",
                   {{0xFFFFFF00u, "on", kNotepad},
                    {0xFFFFFFF0u, "off", kNotepad},
                    {0x00000200u, "settle", {}}},
                   kOff,
                   kUnknown,
                   kUnknown,
                   kOff}));

TEST(FarsiStatesTable, ANewProcessWithAnOldIdStartsUnknown) {
  Table table;
  table.On(Program{1204, 1111}, 100);
  EXPECT_EQ(table.Of(Program{1204, 1111}), kOn);
  EXPECT_EQ(table.Of(Program{1204, 9999}), kUnknown);
}

TEST(FarsiStatesTable, TheProgramHeardFromLongestAgoMakesRoom) {
  Table table;
  for (uint32_t i = 0; i < farsi_states::kRemembered; ++i) table.On(Program{i + 1, 0}, 100 + i);
  table.On(Program{1, 0}, 500);  // heard from again: now the newest
  table.On(Program{1000, 0}, 600);
  EXPECT_EQ(table.size(), farsi_states::kRemembered);
  EXPECT_EQ(table.Of(Program{1, 0}), kOn);
  EXPECT_EQ(table.Of(Program{2, 0}), kUnknown);  // the oldest went
  EXPECT_EQ(table.Of(Program{3, 0}), kOn);
  EXPECT_EQ(table.Of(Program{1000, 0}), kOn);
}

TEST(FarsiStatesTable, SettleSaysWhetherAStateChanged) {
  Table table;
  table.On(kNotepad, 100);
  table.Off(kNotepad, 200);
  EXPECT_TRUE(table.Holding());
  EXPECT_FALSE(table.Settle(400));
  EXPECT_TRUE(table.Settle(500));
  EXPECT_FALSE(table.Holding());
  table.Off(kNotepad, 900);
  EXPECT_FALSE(table.Settle(1300));  // off already
}

}  // namespace
