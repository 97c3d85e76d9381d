// The controller window's title sets the typing mode and the glyph table set; Scroll Lock and
// the CBT hook drive the Farsi switch and notify the controller.
#include <algorithm>
#include <string>

#include "hooklib/hook_table.h"
#include "tests/unit/library_test.h"
#include "typing/controller_link.h"
#include "typing/glyph_tables.h"
#include "typing/typing_state.h"
#include "winsim/message_loop.h"

using namespace fakewin;

namespace {

constexpr LPARAM kKeyDown = 0x00460001;  // Scroll Lock press, repeat count 1
constexpr LPARAM kKeyUp = static_cast<LPARAM>(0xC0460001u);

// The two reads every title read makes, and nothing more.
std::vector<Call> TitleRead(HWND controller) {
  return {FindWindowCall("ZafrelXP908@2005", nullptr), GetWindowTextCall(controller, 10)};
}

const GlyphTableSet& CurrentSet() {
  return GlyphTableSetFor(static_cast<signed char>(nTableVariant == 1 ? '1' : '0' + nTableVariant));
}

}  // namespace

struct TitleCase {
  std::string title;
  const char* mode;
  int variant;
};

void PrintTo(const TitleCase& c, std::ostream* os) {
  *os << "title " << ::testing::PrintToString(c.title);
}

class TitleTest : public LibraryTestWithParam<TitleCase> {};

TEST_P(TitleTest, ModeAndTableSetComeFromTheFirstSevenCharacters) {
  const TitleCase& c = GetParam();
  HWND controller = d.ShowController(c.title);

  EXPECT_EQ(ReadControllerTitle(), 1);

  EXPECT_STREQ(TypingMode(), c.mode);
  EXPECT_EQ(nTableVariant, c.variant);
  EXPECT_EQ(pInitialTable, CurrentSet().initial);
  EXPECT_EQ(pLamAlefPair, CurrentSet().lamAlef);
  EXPECT_EQ(hwndController, controller);
  EXPECT_ALL_CALLS(d, TitleRead(controller));
}

INSTANTIATE_TEST_SUITE_P(
    Titles, TitleTest,
    ::testing::Values(TitleCase{"TRUES 2 ZafrelXP", "TRUE", 2},  //
                      TitleCase{"trues-3", "TRUE", 3},           // case is ignored
                      TitleCase{"TrUeS 4", "TRUE", 4},           //
                      TitleCase{"FALSE 0", "FALSE", 0},          //
                      TitleCase{"TRUES 1", "TRUE", 1},           // '1' is the default set
                      TitleCase{"TRUES 9", "TRUE", 1},           //
                      TitleCase{"TRUE 22", "FALSE", 2},          // "TRUE " is not the mode word
                      TitleCase{"TRUESS4", "TRUE", 4},           // character 6 is never read
                      TitleCase{"TRUES x", "TRUE", 1},           // a letter: default set
                      TitleCase{"TRUES \xC8", "TRUE", 1},        // a byte above 0x7F: default
                      TitleCase{"TRUES", "TRUE", 1},             // no font code: default
                      TitleCase{"TRU", "FALSE", 1},              // shorter than the mode word
                      TitleCase{"", "FALSE", 1},                 //
                      TitleCase{"xTRUES 3", "FALSE", 1}));       // the word must start the title

TEST_F(LibraryTest, ShortTitleNeverReusesTheFontCodeOfAnEarlierRead) {
  d.ShowController("TRUES 3 ZafrelXP");
  ReadControllerTitle();
  ASSERT_EQ(nTableVariant, 3);

  d.ShowController("TRUES");
  ReadControllerTitle();

  EXPECT_EQ(nTableVariant, 1);
  EXPECT_EQ(pShiftTable, GlyphTableSetFor('1').shift);
}

TEST_F(LibraryTest, NoControllerWindowLeavesModeAndTableSetAsTheyWere) {
  // In a fresh process: nothing was ever set, and nothing is now.
  EXPECT_EQ(ReadControllerTitle(), 0);
  EXPECT_STREQ(TypingMode(), "");
  EXPECT_FALSE(TypingModeIsTrue());
  EXPECT_FALSE(TypingModeIsFalse());
  EXPECT_FALSE(GlyphTableSetSelected());

  // After a read, the window goes away: the last values stay, the handle is cleared.
  d.ShowController("TRUES 4");
  ReadControllerTitle();
  d.HideController();
  d.ClearLog();

  EXPECT_EQ(ReadControllerTitle(), 0);
  EXPECT_EQ(hwndController, nullptr);
  EXPECT_STREQ(TypingMode(), "TRUE");
  EXPECT_EQ(nTableVariant, 4);
  EXPECT_ALL_CALLS(d, {FindWindowCall("ZafrelXP908@2005", nullptr)});
}

TEST_F(LibraryTest, EveryReadLooksTheWindowUpAfresh) {
  HWND first = d.ShowController("FALSE 0");
  ReadControllerTitle();
  d.HideController();
  HWND second = d.ShowController("TRUES 2");
  ReadControllerTitle();
  d.SetTitle(second, "FALSE 3");
  ReadControllerTitle();

  EXPECT_EQ(hwndController, second);
  EXPECT_STREQ(TypingMode(), "FALSE");
  EXPECT_EQ(nTableVariant, 3);
  EXPECT_ALL_CALLS(d, ((TitleRead(first) + TitleRead(second)) + TitleRead(second)));
}

TEST_F(LibraryTest, TypingModeIsComparedIgnoringCase) {
  SetTypingMode(kTypingModeTrue);
  EXPECT_TRUE(TypingModeIsTrue());
  EXPECT_FALSE(TypingModeIsFalse());
  SetTypingMode(kTypingModeFalse);
  EXPECT_FALSE(TypingModeIsTrue());
  EXPECT_TRUE(TypingModeIsFalse());
}

// --- The Scroll Lock step -------------------------------------------------------------------

TEST_F(LibraryTest, ScrollLockStepSwitchesOnWhateverTheToggleAndRecordsTheFocus) {
  HWND controller = d.ShowController("FALSE 2");
  HWND edit = d.AddWindow("Edit", "", d.AddWindow("Notepad", "Untitled"));
  d.SetFocus(edit);
  d.SetToggled(VK_SCROLL, true);  // left on by another program
  nOpenGlyph = 0xE8;
  nPrevOpenGlyph = 0xE9;

  ScrollLockStep();

  EXPECT_EQ(fFarsiOn, 1);
  EXPECT_EQ(hwndFocusAtOn, edit);
  EXPECT_EQ(nOpenGlyph, 0);
  EXPECT_EQ(nPrevOpenGlyph, 0);
  EXPECT_EQ(nTableVariant, 2);
  EXPECT_ALL_CALLS(
      d, (TitleRead(controller) + std::vector<Call>{Notified(controller, MYWM_ZAFRELVK_ON, 0, 0)}));
}

TEST_F(LibraryTest, ScrollLockStepSwitchesOffAndKeepsTheFocusOfSwitchOn) {
  HWND controller = d.ShowController("TRUES 0");
  HWND before = d.AddWindow("Edit");
  fFarsiOn = 1;
  hwndFocusAtOn = before;
  nOpenGlyph = 0x95;
  d.SetFocus(d.AddWindow("Edit"));

  ScrollLockStep();

  EXPECT_EQ(fFarsiOn, 0);
  EXPECT_EQ(hwndFocusAtOn, before);  // only switching on records the focus
  EXPECT_EQ(nOpenGlyph, 0);
  EXPECT_ALL_CALLS(d, (TitleRead(controller) +
                       std::vector<Call>{Notified(controller, MYWM_ZAFRELVK_OFF, 0, 0)}));
}

TEST_F(LibraryTest, ScrollLockWithoutControllerStillSwitchesAndNotifiesNoWindow) {
  ScrollLockStep();
  EXPECT_EQ(fFarsiOn, 1);
  EXPECT_ALL_CALLS(
      d, {FindWindowCall("ZafrelXP908@2005", nullptr), Notified(nullptr, MYWM_ZAFRELVK_ON, 0, 0)});
}

// One Scroll Lock press as a hooked thread is told of it. Script letters:
//   p  the key-down peeked at (HC_NOREMOVE)      d  the key-down taken (HC_ACTION), after which
//   r  an auto-repeated key-down, taken             the thread's toggle turns over
//   u  the key-up taken                          n  a notification with a negative code
//   i  the press injected by the library comes back: its key-down taken (toggle over), key-up
//   w  2 s pass
// Expected calls: O the step switching on (title read, "on"), F off, L the light press injected.
struct PressCase {
  const char* name;
  int farsiBefore;
  bool lightBefore;
  const char* script;
  const char* calls;
  int farsiAfter;
  bool lightAfter;
  bool wine = false;  // under Wine the light is kept off
};

void PrintTo(const PressCase& c, std::ostream* os) { *os << c.name; }

class ScrollLockPressTest : public LibraryTestWithParam<PressCase> {};

TEST_P(ScrollLockPressTest, OnePressSwitchesOnceAndLeavesTheLightOnExactlyWhileOn) {
  const PressCase& c = GetParam();
  HWND controller = d.ShowController("FALSE 1");
  d.SetFocus(d.AddWindow("Edit"));
  fFarsiOn = c.farsiBefore;
  d.SetToggled(VK_SCROLL, c.lightBefore);
  d.wine = c.wine;
  const auto flip = [&] { d.SetToggled(VK_SCROLL, (d.KeyState(VK_SCROLL) & 1) == 0); };
  for (const char* step = c.script; *step != 0; ++step) {
    switch (*step) {
      case 'p':
        ScrollLockKey(HC_NOREMOVE, kKeyDown);
        break;
      case 'd':
        ScrollLockKey(HC_ACTION, kKeyDown);
        flip();
        break;
      case 'r':
        ScrollLockKey(HC_ACTION, kKeyDown | 0x40000000);
        break;
      case 'u':
        ScrollLockKey(HC_ACTION, kKeyUp);
        break;
      case 'n':
        ScrollLockKey(-1, kKeyDown);
        ScrollLockKey(-1, kKeyUp);
        break;
      case 'i':
        ScrollLockKey(HC_ACTION, kKeyDown);
        flip();
        ScrollLockKey(HC_ACTION, kKeyUp);
        break;
      case 'w':
        d.tick += 2000;
        break;
    }
  }
  std::vector<Call> want;
  for (const char* call = c.calls; *call != 0; ++call) {
    if (*call == 'O' || *call == 'F') {
      want = want + TitleRead(controller);
      want.push_back(
          Notified(controller, *call == 'O' ? MYWM_ZAFRELVK_ON : MYWM_ZAFRELVK_OFF, 0, 0));
    } else if (*call == 'L') {
      want.push_back(SendInputCall(2, sizeof(INPUT)));
      want.push_back(Injected(VK_SCROLL, 0x46, 0));
      want.push_back(Injected(VK_SCROLL, 0x46, KEYEVENTF_KEYUP));
    }
  }
  EXPECT_ALL_CALLS(d, want);
  EXPECT_EQ(fFarsiOn, c.farsiAfter);
  EXPECT_EQ(KeyToggleBit(VK_SCROLL), c.lightAfter ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Presses, ScrollLockPressTest,
    ::testing::Values(
        // The light agreed with this program: the press turns both over, nothing injected.
        PressCase{"OffLightOff_On", 0, false, "du", "O", 1, true},
        PressCase{"OnLightOn_Off", 1, true, "du", "F", 0, false},
        // A loop that peeks before it takes the key: still one switch.
        PressCase{"PeekedThenTaken", 0, false, "pdu", "O", 1, true},
        PressCase{"PeekedOnly", 0, false, "p", "", 0, false},
        PressCase{"HeldKeyRepeats", 0, false, "drrru", "O", 1, true},
        PressCase{"NegativeCodes", 0, false, "n", "", 0, false},
        // Another program left the light on (or this thread's toggle is old): the switch turns
        // over all the same, and the press injected at the release sets the light; that press
        // switches nothing when it comes back.
        PressCase{"OffLightOn_OnAndLightSet", 0, true, "dui", "OL", 1, true},
        PressCase{"OnLightOff_OffAndLightSet", 1, false, "dui", "FL", 0, false},
        // Two presses in a row behave as two presses.
        PressCase{"TwoPressesLightOn", 0, true, "duidu", "OLF", 0, false},
        // The injected press went to another program: after a second the next press switches.
        PressCase{"LightPressLost", 0, true, "duwdui", "OLFL", 0, false},
        // A release whose press this thread did not see (the focus came here meanwhile) leaves
        // the light alone.
        PressCase{"ReleaseOnly", 1, false, "u", "", 1, false},
        // Under Wine every press that leaves the light on is followed by one that puts it off,
        // since Wine would put it off itself at the next key with a press that switches.
        PressCase{"Wine_On", 0, false, "dui", "OL", 1, false, true},
        PressCase{"Wine_Off", 1, false, "dui", "FL", 0, false, true},
        PressCase{"Wine_TwoPresses", 0, false, "duidui", "OLFL", 0, false, true}));

TEST_F(LibraryTest, ThePressThatSetsTheLightComesBackThroughTheInputQueueWithoutSwitching) {
  HWND controller = d.ShowController("FALSE 1");
  HWND edit = d.AddWindow("Edit");
  d.SetFocus(edit);
  d.SetToggled(VK_SCROLL, true);
  MessageLoop loop(d);

  loop.UserKey(VK_SCROLL, true);
  loop.UserKey(VK_SCROLL, false);

  EXPECT_EQ(fFarsiOn, 1);
  EXPECT_EQ(KeyToggleBit(VK_SCROLL), 1);
  // One "on", one light press: the injected key-down, taken like a typed one, switched nothing.
  const auto count = [&](CallKind kind) {
    return std::count_if(d.log().begin(), d.log().end(),
                         [&](const Call& call) { return call.kind == kind; });
  };
  EXPECT_EQ(count(CallKind::Notified), 1);
  EXPECT_EQ(count(CallKind::SendInput), 1);
  EXPECT_EQ(hwndFocusAtOn, edit);
  EXPECT_EQ(hwndController, controller);
}

// --- The CBT procedure ----------------------------------------------------------------------

TEST_F(LibraryTest, KeySkippedWhileFarsiIsOffSendsNothing) {
  d.ShowController("TRUES 2");
  ahhookSlot[kSlotCbt] = reinterpret_cast<HHOOK>(uintptr_t{0xC0B7});

  EXPECT_EQ(CbtProc(HCBT_KEYSKIPPED, 'A', 0x1E0001), d.nextHookResult);

  EXPECT_ALL_CALLS(d, {NextHook(ahhookSlot[kSlotCbt], HCBT_KEYSKIPPED, 'A', 0x1E0001)});
}

TEST_F(LibraryTest, KeySkippedWhileFarsiIsOnTellsTheController) {
  HWND controller = d.ShowController("TRUES 3");
  fFarsiOn = 1;

  CbtProc(HCBT_KEYSKIPPED, 'A', 0x1E0001);

  EXPECT_ALL_CALLS(d, (TitleRead(controller) +
                       std::vector<Call>{Notified(controller, MYWM_ZAFRELVK_ON, 1, 1),
                                         NextHook(nullptr, HCBT_KEYSKIPPED, 'A', 0x1E0001)}));
  EXPECT_EQ(nTableVariant, 3);
  EXPECT_EQ(fFarsiOn, 1);
}

struct FocusCase {
  const char* name;
  uint32_t focusAtOn;  // 0: none recorded
  uint32_t losing;     // lParam of HCBT_SETFOCUS
  bool switchesOff;
};

void PrintTo(const FocusCase& c, std::ostream* os) { *os << c.name; }

class FocusRuleTest : public LibraryTestWithParam<FocusCase> {};

TEST_P(FocusRuleTest, LosingTheFocusWindowOfSwitchOnEndsFarsiTyping) {
  const FocusCase& c = GetParam();
  HWND controller = d.ShowController("FALSE 1");
  fFarsiOn = 1;
  hwndFocusAtOn = c.focusAtOn ? Hwnd(c.focusAtOn) : nullptr;
  const WPARAM gaining = 0x00020042;

  EXPECT_EQ(CbtProc(HCBT_SETFOCUS, gaining, c.losing), d.nextHookResult);

  const Call passOn = NextHook(nullptr, HCBT_SETFOCUS, gaining, c.losing);
  if (c.switchesOff) {
    EXPECT_EQ(fFarsiOn, 0);
    EXPECT_ALL_CALLS(d, {passOn});
  } else {
    EXPECT_EQ(fFarsiOn, 1);
    EXPECT_ALL_CALLS(d, (TitleRead(controller) +
                         std::vector<Call>{Notified(controller, MYWM_ZAFRELVK_OFF, 0, 0), passOn}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Handles, FocusRuleTest,
    ::testing::Values(
        FocusCase{"LowWordHandleMatches", 0x0000A0C4, 0x0000A0C4, true},
        // The whole handle takes part: a high word does not stop the match...
        FocusCase{"HighWordHandleMatches", 0x002300A4, 0x002300A4, true},
        // ...and a different window that shares the low word is not the same window.
        FocusCase{"SameLowWordOtherWindow", 0x002300A4, 0x000000A4, false},
        FocusCase{"SameLowWordOtherHighWord", 0x002300A4, 0x004100A4, false},
        FocusCase{"OtherWindow", 0x0000A0C4, 0x0000A0C8, false},
        // Never switched on in this process: a focus change with no losing window matches.
        FocusCase{"NothingRecordedNoLosingWindow", 0, 0, true},
        FocusCase{"NothingRecordedSomeLosingWindow", 0, 0x0000A0C4, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LibraryTest, FocusChangeWithoutControllerNotifiesNoWindow) {
  fFarsiOn = 1;
  hwndFocusAtOn = Hwnd(0x00010010);
  CbtProc(HCBT_SETFOCUS, 0, 0x00010020);
  EXPECT_ALL_CALLS(
      d, {FindWindowCall("ZafrelXP908@2005", nullptr), Notified(nullptr, MYWM_ZAFRELVK_OFF, 0, 0),
          NextHook(nullptr, HCBT_SETFOCUS, 0, 0x00010020)});
  EXPECT_EQ(fFarsiOn, 1);
}

TEST_F(LibraryTest, OtherAndNegativeCbtCodesAreOnlyHandedOn) {
  d.ShowController("TRUES 2");
  fFarsiOn = 1;
  hwndFocusAtOn = nullptr;
  ahhookSlot[kSlotCbt] = reinterpret_cast<HHOOK>(uintptr_t{0xC0B7});
  const HHOOK h = ahhookSlot[kSlotCbt];

  CbtProc(-1, 1, 0);                  // negative: not even HCBT_SETFOCUS's rule
  CbtProc(HCBT_SETFOCUS - 10, 0, 0);  // negative too
  CbtProc(5 /* HCBT_ACTIVATE */, 0x10, 0);
  CbtProc(3 /* HCBT_CREATEWND */, 0x10, 0x20);

  EXPECT_ALL_CALLS(d, {NextHook(h, -1, 1, 0), NextHook(h, HCBT_SETFOCUS - 10, 0, 0),
                       NextHook(h, 5, 0x10, 0), NextHook(h, 3, 0x10, 0x20)});
  EXPECT_EQ(fFarsiOn, 1);
}

// --- Loading into a process -------------------------------------------------------------------

TEST_F(LibraryTest, LoadIsRefusedWithoutControllerWindow) {
  const HINSTANCE module = reinterpret_cast<HINSTANCE>(uintptr_t{0x10000000});
  d.SetToggled(VK_SCROLL, true);
  EXPECT_EQ(LibMain(module, DLL_PROCESS_ATTACH, nullptr), FALSE);
  EXPECT_EQ(hwndController, nullptr);
  EXPECT_EQ(fFarsiOn, 0);
  EXPECT_ALL_CALLS(d, {FindWindowCall("ZafrelXP908@2005", nullptr)});
}

TEST_F(LibraryTest, LoadBesideControllerSamplesScrollLock) {
  const HINSTANCE module = reinterpret_cast<HINSTANCE>(uintptr_t{0x10000000});
  HWND controller = d.ShowController("TRUES 2");
  for (bool toggled : {true, false}) {
    ResetProcessState();
    d.SetToggled(VK_SCROLL, toggled);
    EXPECT_EQ(LibMain(module, DLL_PROCESS_ATTACH, nullptr), TRUE);
    EXPECT_EQ(fFarsiOn, toggled ? 1 : 0);
    EXPECT_EQ(hwndController, controller);
    EXPECT_EQ(hinstModule, module);
    // The title is not read at load: the mode stays empty until the first key.
    EXPECT_STREQ(TypingMode(), "");
  }
}

TEST_F(LibraryTest, ThreadAttachAndDetachDoNothing) {
  for (DWORD reason : {DWORD{0}, DWORD{2}, DWORD{3}}) {
    EXPECT_EQ(LibMain(nullptr, reason, nullptr), TRUE);
  }
  EXPECT_ALL_CALLS(d, {});
}

// Controller programs built elsewhere know these numbers, not our names: they may never move.
TEST(ControllerMessages, KeepTheNumbersControllersKnow) {
  const struct {
    UINT message, number;
  } rows[] = {{MYWM_ZAFRELVK_ON, 33113},
              {MYWM_ZAFRELVK_OFF, 33114},
              {MYWM_ZAFRELVK_TRUE, 33115},
              {MYWM_ZAFRELVK_RETURN2, 36260}};
  for (const auto& row : rows) EXPECT_EQ(row.message, row.number);
  EXPECT_STREQ(kControllerClass, "ZafrelXP908@2005");
}
