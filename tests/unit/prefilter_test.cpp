// The key pre-filter: which key-downs the application never sees, Shift released, Home and End
// swapped, and the Enter and digit counters.
#include <string>

#include "hooklib/hook_table.h"
#include "tests/unit/library_test.h"
#include "typing/controller_link.h"
#include "typing/prefilter.h"
#include "typing/typing_state.h"

using namespace fakewin;

namespace {

constexpr UINT kNeutral = kNeutralisedKeyMessage;

enum Held : unsigned { kNone = 0, kShift = 1, kCtrl = 2, kAlt = 4 };

struct FilterRow {
  const char* name;
  UINT vk;
  bool farsi;
  unsigned held;
  UINT message;   // message number afterwards
  WPARAM wParam;  // virtual key afterwards
  bool shiftReleased;
  int enterCount;  // afterwards, from 5
  int lastDigit;   // afterwards, from 7
};

void PrintTo(const FilterRow& r, std::ostream* os) { *os << r.name; }

const Call kShiftUp1 = KeybdEvent(VK_SHIFT, 66, KEYEVENTF_KEYUP);
const Call kShiftUp2 = KeybdEvent(VK_SHIFT, 84, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP);

class PrefilterTest : public LibraryTest {
 protected:
  PrefilterTest() {
    focus = d.AddWindow("Edit", "", d.AddWindow("Dialog", "", d.AddWindow("Frame", "Notepad")));
    d.SetFocus(focus);
  }

  // The pre-filter's view of one retrieved message; returns the record as the application gets it.
  MSG Retrieve(UINT message, WPARAM wParam, int code = HC_ACTION, WPARAM removal = PM_REMOVE) {
    MSG msg{focus, message, wParam, 0x00010001, 0, {0, 0}};
    EXPECT_EQ(GetMessageProc(code, removal, reinterpret_cast<LPARAM>(&msg)), d.nextHookResult);
    return msg;
  }

  std::vector<Call> WithoutPassOn() const {
    std::vector<Call> out;
    for (const Call& c : d.Outputs()) {
      if (c.kind != CallKind::NextHook) out.push_back(c);
    }
    return out;
  }

  HWND focus;
};

class FilterTableTest : public PrefilterTest, public ::testing::WithParamInterface<FilterRow> {};

}  // namespace

TEST_P(FilterTableTest, KeyDownIsChangedAsItsRowSays) {
  const FilterRow& r = GetParam();
  fFarsiOn = r.farsi;
  nEnterCount = 5;
  nLastDigit = 7;
  d.SetKeyDown(VK_SHIFT, r.held & kShift);
  d.SetKeyDown(VK_CONTROL, r.held & kCtrl);
  d.SetKeyDown(VK_MENU, r.held & kAlt);

  const MSG msg = Retrieve(WM_KEYDOWN, r.vk);

  EXPECT_EQ(msg.message, r.message);
  EXPECT_EQ(msg.wParam, r.wParam);
  EXPECT_EQ(nEnterCount, r.enterCount);
  EXPECT_EQ(nLastDigit, r.lastDigit);
  if (r.shiftReleased) {
    // In this thread's key state, at once: keys typed ahead must not see Shift.
    EXPECT_TRUE(CallsMatch(WithoutPassOn(), {SetKeyState(0, 0, 0)}));
    EXPECT_FALSE(IsKeyDown(VK_SHIFT));
  } else {
    EXPECT_TRUE(CallsMatch(WithoutPassOn(), {}));
  }
}

// Both Shift keys are let go in the key state, every other key kept; where the thread's key
// state cannot be read, two injected Shift key-ups do it instead.
TEST_F(PrefilterTest, ShiftIsReleasedInTheKeyStateOrByInjectedKeyUps) {
  fFarsiOn = 1;
  for (bool refuse : {false, true}) {
    SCOPED_TRACE(refuse ? "no key state" : "key state");
    d.ClearLog();
    d.refuseKeyboardState = refuse;
    for (int vk : {VK_SHIFT, VK_LSHIFT, VK_RSHIFT, VK_CONTROL + 0x30, static_cast<int>('Q')})
      d.SetKeyDown(vk, true);
    d.SetToggled(VK_SCROLL, true);
    Retrieve(WM_KEYDOWN, 'E');
    if (refuse) {
      EXPECT_TRUE(CallsMatch(WithoutPassOn(), {kShiftUp1, kShiftUp2}));
      continue;
    }
    EXPECT_TRUE(CallsMatch(WithoutPassOn(), {SetKeyState(0, 0, 0)}));
    for (int vk : {VK_SHIFT, VK_LSHIFT, VK_RSHIFT}) EXPECT_FALSE(IsKeyDown(vk)) << vk;
    EXPECT_TRUE(IsKeyDown('Q'));
    EXPECT_TRUE(IsKeyDown(VK_CONTROL + 0x30));
    EXPECT_EQ(KeyToggleBit(VK_SCROLL), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FilterTableTest,
    ::testing::Values(
        FilterRow{"Letter", 'A', true, kNone, kNeutral, 'A', false, 0, -1},
        FilterRow{"ShiftLetter", 'A', true, kShift, kNeutral, 'A', true, 0, -1},
        FilterRow{"CtrlLetter", 'A', true, kCtrl, WM_KEYDOWN, 'A', false, 5, 7},
        FilterRow{"AltLetter", 'Z', true, kAlt, WM_KEYDOWN, 'Z', false, 5, 7},
        FilterRow{"LetterFarsiOff", 'A', false, kNone, WM_KEYDOWN, 'A', false, 5, 7},
        FilterRow{"Semicolon", 186, true, kShift, kNeutral, 186, true, 0, -1},
        FilterRow{"Apostrophe", 222, true, kNone, kNeutral, 222, false, 0, -1},
        FilterRow{"OemPlusUntouched", 187, true, kNone, WM_KEYDOWN, 187, false, 5, 7},
        FilterRow{"OemMinusUntouched", 189, true, kNone, WM_KEYDOWN, 189, false, 5, 7},
        FilterRow{"Oem102Untouched", 226, true, kNone, WM_KEYDOWN, 226, false, 5, 7},
        FilterRow{"Separator", VK_SEPARATOR, true, kShift, kNeutral, VK_SEPARATOR, true, 0, -1},
        FilterRow{"Digit0", '0', true, kNone, kNeutral, '0', false, 0, 0},
        FilterRow{"ShiftDigit9", '9', true, kShift, kNeutral, '9', true, 0, 9},
        FilterRow{"Digit3", '3', true, kShift, WM_KEYDOWN, '3', false, 0, 3},
        FilterRow{"Digit5", '5', true, kNone, WM_KEYDOWN, '5', false, 0, 5},
        FilterRow{"Digit8", '8', true, kShift, WM_KEYDOWN, '8', false, 0, 8},
        FilterRow{"CtrlDigit", '4', true, kCtrl, WM_KEYDOWN, '4', false, 5, 7},
        FilterRow{"Space", VK_SPACE, true, kNone, kNeutral, VK_SPACE, false, 0, 7},
        FilterRow{"ShiftSpace", VK_SPACE, true, kShift, kNeutral, VK_SPACE, true, 0, 7},
        FilterRow{"AltSpace", VK_SPACE, true, kAlt, WM_KEYDOWN, VK_SPACE, false, 5, 7},
        FilterRow{"Backspace", VK_BACK, true, kShift, kNeutral, VK_BACK, false, 5, 7},
        FilterRow{"CtrlBackspace", VK_BACK, true, kCtrl, WM_KEYDOWN, VK_BACK, false, 5, 7},
        FilterRow{"EnterAfterTwoCounts", VK_RETURN, true, kNone, WM_KEYDOWN, VK_RETURN, false, 5,
                  7},
        FilterRow{"HomeIsEnd", VK_HOME, true, kNone, WM_KEYDOWN, VK_END, false, 5, 7},
        FilterRow{"EndIsHome", VK_END, true, kShift, WM_KEYDOWN, VK_HOME, false, 5, 7},
        FilterRow{"CtrlHomeIsCtrlEnd", VK_HOME, true, kCtrl, WM_KEYDOWN, VK_END, false, 5, 7},
        FilterRow{"AltEndIsAltHome", VK_END, true, kAlt, WM_KEYDOWN, VK_HOME, false, 5, 7},
        FilterRow{"HomeFarsiOff", VK_HOME, false, kNone, WM_KEYDOWN, VK_HOME, false, 5, 7},
        FilterRow{"ScrollLockElsewhere", VK_SCROLL, true, kNone, WM_KEYDOWN, VK_SCROLL, false, 5,
                  7},
        FilterRow{"Delete", VK_DELETE, true, kNone, WM_KEYDOWN, VK_DELETE, false, 5, 7},
        FilterRow{"F2", VK_F2, true, kShift, WM_KEYDOWN, VK_F2, false, 5, 7},
        // Farsi typing off: nothing changes, counters included.
        FilterRow{"SpaceFarsiOff", VK_SPACE, false, kShift, WM_KEYDOWN, VK_SPACE, false, 5, 7},
        FilterRow{"DigitFarsiOff", '4', false, kShift, WM_KEYDOWN, '4', false, 5, 7},
        FilterRow{"Digit3FarsiOff", '3', false, kNone, WM_KEYDOWN, '3', false, 5, 7},
        FilterRow{"BackspaceFarsiOff", VK_BACK, false, kNone, WM_KEYDOWN, VK_BACK, false, 5, 7},
        FilterRow{"EnterFarsiOff", VK_RETURN, false, kNone, WM_KEYDOWN, VK_RETURN, false, 5, 7},
        FilterRow{"EndFarsiOff", VK_END, false, kCtrl, WM_KEYDOWN, VK_END, false, 5, 7},
        FilterRow{"SeparatorFarsiOff", VK_SEPARATOR, false, kNone, WM_KEYDOWN, VK_SEPARATOR, false,
                  5, 7},
        // The other punctuation keys and digits.
        FilterRow{"Comma", 188, true, kNone, kNeutral, 188, false, 0, -1},
        FilterRow{"FullStop", 190, true, kShift, kNeutral, 190, true, 0, -1},
        FilterRow{"Slash", 191, true, kNone, kNeutral, 191, false, 0, -1},
        FilterRow{"Grave", 192, true, kNone, kNeutral, 192, false, 0, -1},
        FilterRow{"LeftBracket", 219, true, kNone, kNeutral, 219, false, 0, -1},
        FilterRow{"Backslash", 220, true, kNone, kNeutral, 220, false, 0, -1},
        FilterRow{"RightBracket", 221, true, kAlt, WM_KEYDOWN, 221, false, 5, 7},
        FilterRow{"Digit1", '1', true, kNone, kNeutral, '1', false, 0, 1},
        FilterRow{"Digit2", '2', true, kShift, kNeutral, '2', true, 0, 2},
        FilterRow{"Digit6", '6', true, kNone, kNeutral, '6', false, 0, 6},
        FilterRow{"Digit7", '7', true, kNone, kNeutral, '7', false, 0, 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrefilterTest, EnterIsNeutralisedForTheFirstTwoCountsOutsideButtons) {
  fFarsiOn = 1;
  for (int count : {0, 1, 2, 3}) {
    nEnterCount = count;
    EXPECT_EQ(Retrieve(WM_KEYDOWN, VK_RETURN).message, count <= 1 ? kNeutral : WM_KEYDOWN)
        << "count " << count;
  }
  nEnterCount = 0;
  d.SetKeyDown(VK_CONTROL, true);
  EXPECT_EQ(Retrieve(WM_KEYDOWN, VK_RETURN).message, WM_KEYDOWN);
  d.SetKeyDown(VK_CONTROL, false);

  d.SetFocus(d.AddWindow("Button", "OK", focus));
  EXPECT_EQ(Retrieve(WM_KEYDOWN, VK_RETURN).message, WM_KEYDOWN);
  d.SetFocus(d.AddWindow("button", "OK", focus));  // case counts: not a push button
  EXPECT_EQ(Retrieve(WM_KEYDOWN, VK_RETURN).message, kNeutral);
  EXPECT_EQ(nEnterCount, 0);  // Enter itself never changes the count here
}

TEST_F(PrefilterTest, EnterReadsTheFocusClassIntoSixtyBytes) {
  fFarsiOn = 1;
  Retrieve(WM_KEYDOWN, VK_RETURN);
  std::vector<Call> reads;
  for (const Call& c : d.log()) {
    if (c.IsRead()) reads.push_back(c);
  }
  EXPECT_TRUE(CallsMatch(reads, {GetClassNameCall(focus, 60)}));
}

TEST_F(PrefilterTest, ScrollLockIsKeptFromIllustratorEvenWithFarsiOff) {
  HWND canvas = d.AddWindow("Canvas", "",
                            d.AddWindow("Pane", "", d.AddWindow("Frame", "Adobe Illustrator 10")));
  d.SetFocus(canvas);
  fFarsiOn = 0;
  EXPECT_EQ(Retrieve(WM_KEYDOWN, VK_SCROLL).message, kNeutral);
  d.SetKeyDown(VK_MENU, true);
  EXPECT_EQ(Retrieve(WM_KEYDOWN, VK_SCROLL).message, WM_KEYDOWN);
  d.SetKeyDown(VK_MENU, false);
  d.SetKeyDown(VK_CONTROL, true);
  EXPECT_EQ(Retrieve(WM_KEYDOWN, VK_SCROLL).message, WM_KEYDOWN);
  d.SetKeyDown(VK_CONTROL, false);
  // Case counts here: a lower-case title is not Illustrator's frame.
  d.SetFocus(d.AddWindow("Canvas", "",
                         d.AddWindow("Pane", "", d.AddWindow("Frame", "adobe illustrator 10"))));
  EXPECT_EQ(Retrieve(WM_KEYDOWN, VK_SCROLL).message, WM_KEYDOWN);
}

TEST_F(PrefilterTest, NotRemovedMessagesAreFilteredAlikeAndNegativeCodesNotAtAll) {
  fFarsiOn = 1;
  EXPECT_EQ(Retrieve(WM_KEYDOWN, 'A', HC_ACTION, 0 /* PM_NOREMOVE */).message, kNeutral);
  EXPECT_EQ(Retrieve(WM_KEYDOWN, 'A', -1).message, WM_KEYDOWN);
}

TEST_F(PrefilterTest, OnlyTheKeyDownIsChanged) {
  fFarsiOn = 1;
  nLastDigit = 7;
  EXPECT_EQ(Retrieve(WM_KEYUP, 'A').message, WM_KEYUP);
  EXPECT_EQ(Retrieve(WM_SYSKEYDOWN, 'A').message, WM_SYSKEYDOWN);
  EXPECT_EQ(Retrieve(WM_CHAR, 'a').message, WM_CHAR);
  EXPECT_EQ(nLastDigit, 7);
}

TEST_F(PrefilterTest, TrueMessageSetsTheTypingModeWhateverTheSwitch) {
  d.ShowController("FALSE 1");
  ReadControllerTitle();
  fFarsiOn = 0;
  Retrieve(MYWM_ZAFRELVK_TRUE, 0);
  EXPECT_STREQ(TypingMode(), "TRUE");
  ReadControllerTitle();  // until the next title read
  EXPECT_STREQ(TypingMode(), "FALSE");
}

TEST_F(PrefilterTest, Return2ResetsTheEnterCountAndShowsTheDebugBox) {
  fFarsiOn = 0;
  nEnterCount = 3;
  Retrieve(MYWM_ZAFRELVK_RETURN2, 0);
  EXPECT_EQ(nEnterCount, 0);
  EXPECT_TRUE(CallsMatch(WithoutPassOn(),
                         {MessageBoxCall(nullptr, "MYWM_ZAFRELVK_RETURN2", "debug", MB_OK)}));
}

// A peek loop (PM_NOREMOVE) sees each message at every peek and once more when it takes it: the
// private messages act at that last one only, so the debug box shows once, not at every peek.
TEST_F(PrefilterTest, PrivateMessagesOnlyPeekedAtDoNothing) {
  d.ShowController("FALSE 1");
  ReadControllerTitle();
  nEnterCount = 3;
  for (int peek = 0; peek < 3; ++peek) {
    Retrieve(MYWM_ZAFRELVK_TRUE, 0, HC_ACTION, 0);
    Retrieve(MYWM_ZAFRELVK_RETURN2, 0, HC_ACTION, 0);
  }
  EXPECT_STREQ(TypingMode(), "FALSE");
  EXPECT_EQ(nEnterCount, 3);
  EXPECT_TRUE(CallsMatch(WithoutPassOn(), {}));
  Retrieve(MYWM_ZAFRELVK_RETURN2, 0);
  EXPECT_EQ(nEnterCount, 0);
  EXPECT_TRUE(CallsMatch(WithoutPassOn(),
                         {MessageBoxCall(nullptr, "MYWM_ZAFRELVK_RETURN2", "debug", MB_OK)}));
}

TEST_F(PrefilterTest, EveryMessageIsPassedOnWithTheGetMessageSlotsHandle) {
  ahhookSlot[kSlotGetMessage] = reinterpret_cast<HHOOK>(uintptr_t{0x00C00002});
  MSG msg{focus, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
  const LPARAM lParam = reinterpret_cast<LPARAM>(&msg);
  fFarsiOn = 1;
  GetMessageProc(HC_ACTION, PM_REMOVE, lParam);
  GetMessageProc(-2, 0, lParam);
  GetMessageProc(HC_ACTION, 0, 0);  // no record: nothing read, still passed on
  EXPECT_CALLS(d, {NextHook(ahhookSlot[kSlotGetMessage], HC_ACTION, PM_REMOVE, lParam),
                   NextHook(ahhookSlot[kSlotGetMessage], -2, 0, lParam),
                   NextHook(ahhookSlot[kSlotGetMessage], HC_ACTION, 0, 0)});
}

TEST_F(LibraryTest, OtherLetterKeyDownIgnoresTheAskingKeyAndTheSemicolon) {
  EXPECT_EQ(IsOtherLetterKeyDown(VK_SPACE), 0);
  d.SetKeyDown(186, true);  // semicolon: not one of them
  EXPECT_EQ(IsOtherLetterKeyDown(VK_SPACE), 0);
  for (int vk : {int{'A'}, int{'Q'}, int{'Z'}, 188, 190, 191, 192, 219, 220, 221, 222}) {
    d.SetKeyDown(vk, true);
    EXPECT_EQ(IsOtherLetterKeyDown(VK_SPACE), 2) << vk;
    EXPECT_EQ(IsOtherLetterKeyDown(vk), 0) << vk;  // the key asked about is skipped
    d.SetKeyDown(vk, false);
  }
  d.SetKeyDown(VK_SHIFT, true);
  d.SetKeyDown('5', true);
  EXPECT_EQ(IsOtherLetterKeyDown(VK_SPACE), 0);
}

// The whole key state read at once must answer as the keys asked one by one, which is also what
// happens when that read fails: only a key held down counts, never a toggle.
TEST_F(LibraryTest, OtherLetterKeyDownAnswersAlikeFromTheWholeKeyStateAndKeyByKey) {
  for (bool refuse : {false, true}) {
    d.refuseKeyboardState = refuse;
    d.SetToggled('K', true);
    d.SetToggled(VK_SCROLL, true);
    EXPECT_EQ(IsOtherLetterKeyDown(VK_SPACE), 0) << "refused " << refuse;
    for (int vk : {int{'A'}, int{'K'}, int{'Z'}, 188, 222}) {
      d.SetKeyDown(vk, true);
      EXPECT_EQ(IsOtherLetterKeyDown(VK_SPACE), 2) << vk << ", refused " << refuse;
      EXPECT_EQ(IsOtherLetterKeyDown(vk), 0) << vk << ", refused " << refuse;
      EXPECT_EQ(IsOtherLetterKeyDown(0x1234), 2) << vk << ", refused " << refuse;  // no such key
      d.SetKeyDown(vk, false);
    }
    d.SetKeyDown(186, true);  // the semicolon key is not one of them
    d.SetKeyDown('B', true);
    d.SetKeyDown('C', true);
    EXPECT_EQ(IsOtherLetterKeyDown('B'), 2) << "C is still down, refused " << refuse;
    for (int vk : {186, int{'B'}, int{'C'}}) d.SetKeyDown(vk, false);
    d.SetToggled('K', false);
  }
}
