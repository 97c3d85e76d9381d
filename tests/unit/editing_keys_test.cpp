// Space, Enter, Backspace, the digits and the separator key, as exact output sequences.
#include "tests/unit/expected_calls.h"
#include "tests/unit/typing_test.h"
#include "typing/typing_state.h"

using namespace fakewin;

namespace {

constexpr int E = 4, M = 12;

class EditingKeysTest : public TypingTest {
 protected:
  // A window of an unrecognised program (application code -1): the sent route in mode "TRUE".
  HWND UseCanvas() {
    HWND canvas = d.AddWindow("Canvas", "", d.AddWindow("Pane", "", d.AddWindow("Frame", "Paint")));
    d.SetFocus(canvas);
    return canvas;
  }
  HWND UseWord() {
    HWND word = d.AddWindow("_WwG", "", d.AddWindow("OpusApp", "Document1 - Microsoft Word"));
    d.SetFocus(word);
    return word;
  }
  void OpenLetterThenClearLog(const char* keys = "EM") {
    Type(keys);
    d.ClearLog();
  }
};

}  // namespace

TEST_F(EditingKeysTest, SpaceAfterAnOpenLetterOnThePostedRoute) {
  OpenLetterThenClearLog();
  const BYTE closing = Set().final[M];  // joined to the letter before it
  Down(VK_SPACE);
  EXPECT_DELIVERED(*this, {Char(focus, closing), Key(focus, WM_KEYDOWN, VK_DELETE),
                           Key(focus, WM_KEYUP, VK_DELETE), Key(focus, WM_KEYDOWN, VK_LEFT)});
  d.ClearLog();
  Up(VK_SPACE);
  EXPECT_DELIVERED(*this, {Char(focus, ' '), Left(focus)});
  EXPECT_EQ(nOpenGlyph, 0);
  EXPECT_EQ(nPrevOpenGlyph, 0);
}

TEST_F(EditingKeysTest, SpaceAfterAnOpenLetterInAWordDocument) {
  HWND word = UseWord();
  OpenLetterThenClearLog("E");
  Press(VK_SPACE);
  EXPECT_DELIVERED(*this, {Key(word, WM_KEYDOWN, VK_DELETE), Char(word, Set().isolated[E]),
                           Key(word, WM_KEYDOWN, VK_LEFT), Char(word, ' '), Left(word)});
}

TEST_F(EditingKeysTest, SpaceAfterAnOpenLetterOnTheSentRoute) {
  d.ShowController("TRUES 1");
  HWND canvas = UseCanvas();
  OpenLetterThenClearLog();
  Down(VK_SPACE);
  EXPECT_EQ(fKeyLatch, 1);
  Up(VK_SPACE);
  EXPECT_EQ(fKeyLatch, 0);
  EXPECT_DELIVERED(*this, {Sent(canvas, WM_CHAR, Set().final[M], 0, 100),
                           Sent(canvas, WM_KEYDOWN, VK_DELETE, 0, 100), SentLeft(canvas),
                           Sent(canvas, WM_CHAR, ' ', 0, 100), SentLeft(canvas)});
}

TEST_F(EditingKeysTest, SpaceWithNoOpenLetterTypesTheSpaceAtTheKeyDown) {
  Down(VK_SPACE);
  EXPECT_EQ(fSpaceTyped, 1);
  Up(VK_SPACE);
  EXPECT_EQ(fSpaceTyped, 0);
  EXPECT_DELIVERED(*this, {Char(focus, ' '), Key(focus, WM_KEYDOWN, VK_LEFT)});

  d.ClearLog();
  d.ShowController("TRUES 1");
  HWND canvas = UseCanvas();
  Press(VK_SPACE);
  EXPECT_DELIVERED(*this,
                   {Sent(canvas, WM_CHAR, ' ', 0, 100), Sent(canvas, WM_KEYDOWN, VK_LEFT, 0, 100)});
}

TEST_F(EditingKeysTest, SpaceAfterDigitsSteersTheCaretHomeFirst) {
  nLastDigit = 2;  // as the pre-filter leaves it after the 2 key
  Press(VK_SPACE);
  EXPECT_EQ(nLastDigit, -1);
  Press(VK_SPACE);  // only the first
  EXPECT_DELIVERED(
      *this, {Key(focus, WM_KEYDOWN, VK_HOME), Char(focus, ' '), Key(focus, WM_KEYDOWN, VK_LEFT),
              Char(focus, ' '), Key(focus, WM_KEYDOWN, VK_LEFT)});

  d.ClearLog();
  d.ShowController("TRUES 1");
  HWND canvas = UseCanvas();
  nLastDigit = 0;
  Press(VK_SPACE);
  EXPECT_DELIVERED(*this,
                   {Sent(canvas, WM_KEYDOWN, VK_HOME, 0, 100), Sent(canvas, WM_CHAR, ' ', 0, 100),
                    Sent(canvas, WM_KEYDOWN, VK_LEFT, 0, 100)});
}

TEST_F(EditingKeysTest, FirstSpaceInAFreshProcessDeliversNoHome) {
  prefilter = true;
  Press(VK_SPACE);
  EXPECT_DELIVERED(*this, {Char(focus, ' '), Key(focus, WM_KEYDOWN, VK_LEFT)});
}

TEST_F(EditingKeysTest, SpaceReleasedWhileALetterIsHeldSettlesNothing) {
  OpenLetterThenClearLog();
  Down(VK_SPACE);
  d.SetKeyDown('K', true);
  nOpenGlyph = 0x77;  // anything: the release must leave it
  d.ClearLog();
  Up(VK_SPACE);
  EXPECT_DELIVERED(*this, {});
  EXPECT_EQ(nOpenGlyph, 0x77);

  d.SetKeyDown('K', false);
  nOpenGlyph = 0;
  Down(VK_SPACE);  // no open letter: the space is typed at once
  d.SetKeyDown(0xDE, true);
  d.ClearLog();
  Up(VK_SPACE);
  EXPECT_DELIVERED(*this, {});
  EXPECT_EQ(fSpaceTyped, 1);
}

TEST_F(EditingKeysTest, ShiftSpaceClosesTheOpenLetterWithoutASpace) {
  OpenLetterThenClearLog("E");
  ShiftPress(VK_SPACE);
  EXPECT_DELIVERED(*this,
                   {Char(focus, Set().final[E]), Key(focus, WM_KEYDOWN, VK_DELETE), Left(focus)});
  EXPECT_EQ(nOpenGlyph, 0);
  EXPECT_EQ(fShiftPending, 0);

  d.ClearLog();
  ShiftPress(VK_SPACE);  // no open letter: a vertical bar
  EXPECT_DELIVERED(*this, {Char(focus, 124), Left(focus)});
}

TEST_F(EditingKeysTest, BackspaceDeletesRightOfTheCaretByTypingMode) {
  OpenLetterThenClearLog("E");
  Press(VK_BACK);  // the only letter of its word: nothing stays open
  EXPECT_DELIVERED(*this, {Key(focus, WM_KEYDOWN, VK_DELETE), Key(focus, WM_KEYUP, VK_DELETE)});
  EXPECT_EQ(nOpenGlyph, 0);

  d.ShowController("TRUES 1");
  Type("EM");
  const int open = nOpenGlyph;
  d.ClearLog();
  Press(VK_BACK);  // a joined letter: the join state stays as it was
  EXPECT_DELIVERED(*this, {Key(focus, WM_KEYDOWN, VK_DELETE), Key(focus, WM_KEYUP, VK_DELETE)});
  EXPECT_EQ(nOpenGlyph, open);
}

TEST_F(EditingKeysTest, EnterClosesTheWordAndTypesTheLineBreakAtTheKeyUp) {
  OpenLetterThenClearLog("E");
  Press(VK_RETURN);
  EXPECT_DELIVERED(*this, {Char(focus, Set().isolated[E]), Key(focus, WM_KEYDOWN, VK_DELETE),
                           Left(focus), Key(focus, WM_KEYDOWN, VK_HOME), Char(focus, 13)});
  EXPECT_EQ(nEnterCount, 2);
  EXPECT_EQ(nOpenGlyph, 0);
}

TEST_F(EditingKeysTest, EnterIsNotTranslatedInAButtonOrWithCtrlOrAlt) {
  d.SetFocus(d.AddWindow("Button", "OK"));
  Press(VK_RETURN);
  d.SetFocus(focus);
  for (int held : {VK_CONTROL, VK_MENU}) {
    d.SetKeyDown(held, true);
    Press(VK_RETURN);
    d.SetKeyDown(held, false);
  }
  EXPECT_DELIVERED(*this, {});
  EXPECT_EQ(nEnterCount, 0);
}

TEST_F(EditingKeysTest, RunOfThreeEntersWithThePreFilter) {
  prefilter = true;
  Type("E");
  d.ClearLog();
  Press(VK_RETURN);
  EXPECT_EQ(lastMessage, kNeutralisedKeyMessage);
  Press(VK_RETURN);
  EXPECT_EQ(lastMessage, static_cast<UINT>(WM_KEYDOWN));  // the second reaches the application
  Press(VK_RETURN);
  EXPECT_EQ(lastMessage, static_cast<UINT>(WM_KEYDOWN));
  // The second Enter's key-up and the whole third Enter fail the count: the application types
  // those line breaks itself.
  EXPECT_EQ(nEnterCount, 3);
  EXPECT_DELIVERED(
      *this, {Char(focus, Set().isolated[E]), Key(focus, WM_KEYDOWN, VK_DELETE), Left(focus),
              Key(focus, WM_KEYDOWN, VK_HOME), Char(focus, 13), Key(focus, WM_KEYDOWN, VK_HOME)});
}

TEST_F(EditingKeysTest, HeldDigitTypesOnceOnTheSentRouteAndEveryTimeOnThePostedRoute) {
  Down('1');
  Down('1');
  Up('1');
  EXPECT_DELIVERED(*this, {Char(focus, '1'), Char(focus, '1')});

  d.ShowController("TRUES 1");
  HWND canvas = UseCanvas();
  d.ClearLog();
  Down('1');
  Down('1');
  Down('1');
  EXPECT_EQ(fKeyLatch, 1);
  Up('1');
  EXPECT_EQ(fKeyLatch, 0);
  Press('1');
  EXPECT_DELIVERED(*this, {Char(canvas, '1'), Char(canvas, '1')});
}

TEST_F(EditingKeysTest, TwoKeyLatchesByTypingModeAlone) {
  d.ShowController("TRUES 1");  // an Edit window: posted route, but mode "TRUE"
  Down('2');
  Down('2');
  EXPECT_DELIVERED(*this, {Char(focus, '2')});
}

TEST_F(EditingKeysTest, DigitCharactersWithAndWithoutShift) {
  d.ShowController("FALSE 2");
  for (UINT vk :
       {UINT{'0'}, UINT{'1'}, UINT{'4'}, UINT{'6'}, UINT{'7'}, UINT{'9'}, UINT{VK_SEPARATOR}}) {
    Press(vk);
  }
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this, {Char(focus, '0'), Char(focus, '1'), Char(focus, '4'), Char(focus, '6'),
                           Char(focus, '7'), Char(focus, '9'), Char(focus, '-')});
  EXPECT_EQ(nKeyIndex, 38);

  d.ClearLog();
  for (UINT vk :
       {UINT{'0'}, UINT{'1'}, UINT{'4'}, UINT{'6'}, UINT{'7'}, UINT{'9'}, UINT{VK_SEPARATOR}}) {
    ShiftPress(vk);
  }
  EXPECT_DELIVERED(*this, {Char(focus, ')'), Left(focus), Char(focus, '!'), Left(focus),
                           Char(focus, s.shift[35]), Left(focus), Char(focus, s.shift[36]),
                           Left(focus), Char(focus, s.shift[37]), Left(focus), Char(focus, '('),
                           Left(focus), Char(focus, 117), Left(focus)});
}

TEST_F(EditingKeysTest, ShiftTwoLeavesGlyph132OpenAsColumnThree) {
  ShiftPress('2');
  EXPECT_EQ(nOpenGlyph, 132);
  EXPECT_EQ(nKeyIndex, 3);
  Press(VK_SPACE);
  EXPECT_DELIVERED(*this, {Char(focus, 132), Left(focus), Char(focus, Set().isolated[3]),
                           Key(focus, WM_KEYDOWN, VK_DELETE), Key(focus, WM_KEYUP, VK_DELETE),
                           Key(focus, WM_KEYDOWN, VK_LEFT), Char(focus, ' '), Left(focus)});

  d.ClearLog();
  Press('E');
  ShiftPress('2');  // after a letter: closes with the final form
  Press(VK_RETURN);
  EXPECT_DELIVERED(
      *this, {Char(focus, Set().initial[E]), Key(focus, WM_KEYDOWN, VK_LEFT), Char(focus, 132),
              Left(focus), Char(focus, Set().final[3]), Key(focus, WM_KEYDOWN, VK_DELETE),
              Left(focus), Key(focus, WM_KEYDOWN, VK_HOME), Char(focus, 13)});
}

TEST_F(EditingKeysTest, DigitsThreeFiveEightPassUntouchedByBothHooks) {
  prefilter = true;
  for (UINT vk : {UINT{'3'}, UINT{'5'}, UINT{'8'}}) {
    ShiftPress(vk);
    EXPECT_EQ(lastMessage, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(nLastDigit, static_cast<int>(vk - '0'));
  }
  EXPECT_DELIVERED(*this, {});
}

TEST_F(EditingKeysTest, DigitReleasedWhileSpaceIsHeldKeepsTheLatch) {
  d.ShowController("TRUES 1");
  HWND canvas = UseCanvas();
  Down('1');
  d.SetKeyDown(VK_SPACE, true);
  Up('1');  // fails the gate
  d.SetKeyDown(VK_SPACE, false);
  EXPECT_EQ(fKeyLatch, 1);
  Press('4');  // types nothing: the latch is still set
  EXPECT_DELIVERED(*this, {Char(canvas, '1')});
}

TEST_F(EditingKeysTest, SeparatorStepsLeftAtItsReleaseOnTheSentRoute) {
  d.ShowController("TRUES 1");
  HWND canvas = UseCanvas();
  Press(VK_SEPARATOR);
  ShiftPress(VK_SEPARATOR);
  EXPECT_DELIVERED(*this,
                   {Char(canvas, '-'), SentLeft(canvas), Char(canvas, 117), SentLeft(canvas)});
  d.ClearLog();
  Press('4');  // a digit on the sent route steps nowhere without Shift
  EXPECT_DELIVERED(*this, {Char(canvas, '4')});
}

TEST_F(EditingKeysTest, SevenReadsTheTitleAgainAtItsRelease) {
  Down('7');
  d.ClearLog();
  Up('7');
  std::vector<Call> reads;
  for (const Call& c : d.log()) {
    if (c.IsRead()) reads.push_back(c);
  }
  EXPECT_TRUE(CallsMatch(
      reads, {FindWindowCall("ZafrelXP908@2005", nullptr), GetWindowTextCall(controller, 10)}));
}

TEST_F(EditingKeysTest, NoRemoveAndFailedGatesChangeNothing) {
  OpenLetterThenClearLog();
  for (UINT vk : {UINT{VK_SPACE}, UINT{VK_RETURN}, UINT{VK_BACK}, UINT{'1'}, UINT{VK_SEPARATOR}}) {
    Down(vk, HC_NOREMOVE);
    Up(vk, HC_NOREMOVE);
  }
  fFarsiOn = 0;
  Type(" \n\b1");
  EXPECT_DELIVERED(*this, {});
  EXPECT_EQ(nOpenGlyph, Set().medial[M]);
}

TEST_F(EditingKeysTest, WithoutAnyControllerWindowOnlyTableFreeKeysAreTyped) {
  d.HideController();
  ShiftPress('2');  // would leave a glyph open that no table could close
  Press('4');       // its glyph is in the tables
  Press(VK_SEPARATOR);
  EXPECT_DELIVERED(*this, {});
  EXPECT_EQ(nOpenGlyph, 0);
  EXPECT_EQ(fShiftPending, 0);
  EXPECT_EQ(nKeyIndex, 0);
  Press('1');
  Press(VK_SPACE);
  EXPECT_DELIVERED(*this, {Char(focus, '1'), Char(focus, ' '), Key(focus, WM_KEYDOWN, VK_LEFT)});
}

TEST_F(EditingKeysTest, DigitsTypedThroughThePreFilterThenTwoSpaces) {
  prefilter = true;
  Type("12  ");
  EXPECT_DELIVERED(
      *this, {Char(focus, '1'), Char(focus, '2'), Key(focus, WM_KEYDOWN, VK_HOME), Char(focus, ' '),
              Key(focus, WM_KEYDOWN, VK_LEFT), Char(focus, ' '), Key(focus, WM_KEYDOWN, VK_LEFT)});

  d.ShowController("TRUES 1");
  HWND canvas = UseCanvas();
  d.ClearLog();
  Type("9  ");
  EXPECT_DELIVERED(*this,
                   {Char(canvas, '9'), Sent(canvas, WM_KEYDOWN, VK_HOME, 0, 100),
                    Sent(canvas, WM_CHAR, ' ', 0, 100), Sent(canvas, WM_KEYDOWN, VK_LEFT, 0, 100),
                    Sent(canvas, WM_CHAR, ' ', 0, 100), Sent(canvas, WM_KEYDOWN, VK_LEFT, 0, 100)});
}

TEST_F(EditingKeysTest, DigitsThreeFiveEightResetTheEnterCount) {
  prefilter = true;
  for (UINT vk : {UINT{'3'}, UINT{'5'}, UINT{'8'}}) {
    nEnterCount = 5;
    Press(vk);
    EXPECT_EQ(nEnterCount, 0) << "key " << static_cast<char>(vk);
  }
}

TEST_F(EditingKeysTest, BackspacePostsInAProcessThatHasReadNoTitleYet) {
  Press(VK_BACK);  // the typing mode is still empty: not "TRUE"
  EXPECT_DELIVERED(*this, {Key(focus, WM_KEYDOWN, VK_DELETE), Key(focus, WM_KEYUP, VK_DELETE)});
}

TEST_F(EditingKeysTest, OnlyTheExactButtonClassStopsEnter) {
  HWND lower = d.AddWindow("button", "OK");
  d.SetFocus(lower);
  Press(VK_RETURN);
  EXPECT_DELIVERED(*this, {Key(lower, WM_KEYDOWN, VK_HOME), Char(lower, 13)});
}

TEST_F(EditingKeysTest, SeparatorReleasedWhileSpaceIsHeldKeepsTheLatch) {
  d.ShowController("TRUES 1");
  HWND canvas = UseCanvas();
  Down(VK_SEPARATOR);
  d.SetKeyDown(VK_SPACE, true);
  Up(VK_SEPARATOR);
  d.SetKeyDown(VK_SPACE, false);
  EXPECT_EQ(fKeyLatch, 1);
  Press(VK_SEPARATOR);  // types nothing; its release clears the latch and steps left
  EXPECT_DELIVERED(*this, {Char(canvas, '-'), SentLeft(canvas)});
  EXPECT_EQ(fKeyLatch, 0);
}

TEST_F(EditingKeysTest, EnterOnTheSentRouteSendsTheClosingGlyph) {
  d.ShowController("TRUES 1");
  HWND canvas = UseCanvas();
  OpenLetterThenClearLog();
  Press(VK_RETURN);
  EXPECT_DELIVERED(*this, {Sent(canvas, WM_CHAR, Set().final[M], 0, 100),
                           Sent(canvas, WM_KEYDOWN, VK_DELETE, 0, 100), SentLeft(canvas),
                           Sent(canvas, WM_KEYDOWN, VK_END, 0, 100), Char(canvas, 13)});
}

TEST_F(EditingKeysTest, SpaceInIllustratorStepsWithAnInjectedLeft) {
  d.ShowController("TRUES 1");
  HWND canvas = d.AddWindow("Canvas", "",
                            d.AddWindow("Pane", "", d.AddWindow("Frame", "Adobe Illustrator 10")));
  d.SetFocus(canvas);
  Press(VK_SPACE);
  EXPECT_DELIVERED(*this, {Sent(canvas, WM_CHAR, ' ', 0, 100), Inject(1), KeyDownRecord(VK_LEFT)});
}

TEST_F(EditingKeysTest, ShiftDigitOnTheSentRouteStepsLeftAtTheRelease) {
  d.ShowController("TRUES 1");
  HWND canvas = UseCanvas();
  ShiftPress('9');
  EXPECT_EQ(fKeyLatch, 0);
  EXPECT_EQ(fShiftPending, 0);
  EXPECT_DELIVERED(*this, {Char(canvas, '('), SentLeft(canvas)});
}

TEST_F(EditingKeysTest, SpaceAfterTheDigitZeroSteersTheCaretHomeFirst) {
  prefilter = true;
  Type("0 ");
  EXPECT_DELIVERED(*this, {Char(focus, '0'), Key(focus, WM_KEYDOWN, VK_HOME), Char(focus, ' '),
                           Key(focus, WM_KEYDOWN, VK_LEFT)});
}

// Every digit key typed through both hooks, then Space: the Home comes first on either route,
// whether the hook typed the digit or left it to the application (3, 5, 8).
class SpaceAfterDigitTest : public EditingKeysTest, public ::testing::WithParamInterface<char> {};

TEST_P(SpaceAfterDigitTest, SteersTheCaretHomeFirstOnBothRoutes) {
  const UINT digit = static_cast<UINT>(GetParam());
  prefilter = true;
  Press(digit);
  d.ClearLog();
  Press(VK_SPACE);
  EXPECT_DELIVERED(
      *this, {Key(focus, WM_KEYDOWN, VK_HOME), Char(focus, ' '), Key(focus, WM_KEYDOWN, VK_LEFT)});
  EXPECT_EQ(nLastDigit, -1);

  d.ShowController("TRUES 1");
  HWND canvas = UseCanvas();
  Press(digit);
  d.ClearLog();
  Press(VK_SPACE);
  EXPECT_DELIVERED(*this,
                   {Sent(canvas, WM_KEYDOWN, VK_HOME, 0, 100), Sent(canvas, WM_CHAR, ' ', 0, 100),
                    Sent(canvas, WM_KEYDOWN, VK_LEFT, 0, 100)});
  EXPECT_EQ(nLastDigit, -1);
}

INSTANTIATE_TEST_SUITE_P(EveryDigitKey, SpaceAfterDigitTest,
                         ::testing::Values('0', '1', '2', '3', '4', '5', '6', '7', '8', '9'));

// Mode "TRUE" in an Edit window is still the posted route: the space after a word's last letter
// is posted at the Space key's release and the caret stepped by a posted Left. A 2 key still
// held when the letter goes down is released there and then: its digit latch is cleared as if
// it had come up before the letter, and its own release does nothing more.
TEST_F(EditingKeysTest, SpaceAfterALetterInModeTrueInAnEditWindow) {
  d.ShowController("TRUES 1");
  for (bool twoHeld : {false, true}) {
    SCOPED_TRACE(twoHeld ? "2 held down" : "no digit held");
    if (twoHeld) Down('2');
    OpenLetterThenClearLog("E");
    Press(VK_SPACE);
    EXPECT_DELIVERED(*this, {Char(focus, Set().isolated[E]), Key(focus, WM_KEYDOWN, VK_DELETE),
                             Key(focus, WM_KEYUP, VK_DELETE), Key(focus, WM_KEYDOWN, VK_LEFT),
                             Char(focus, ' '), Left(focus)});
    EXPECT_EQ(fKeyLatch, 0);
    d.ClearLog();
    Up('2');
    EXPECT_DELIVERED(*this, {});
    EXPECT_EQ(fKeyLatch, 0);
  }
}

TEST_F(EditingKeysTest, WithoutAnyControllerWindowTheAsciiDigitCharactersAreTyped) {
  d.HideController();
  Press('2');
  ShiftPress('1');
  EXPECT_DELIVERED(*this, {Char(focus, '2'), Char(focus, '!')});
  EXPECT_EQ(fShiftPending, 0);
  EXPECT_EQ(nOpenGlyph, 0);
}

// In mode "TRUE" an Edit window takes the posted route and no latch is set: a digit's or the
// separator's character, with Shift or without, is typed with no caret step at the release.
TEST_F(EditingKeysTest, DigitsAndSeparatorInModeTrueInAnEditWindowStepNowhere) {
  d.ShowController("TRUES 1");
  struct KeyCase {
    UINT vk;
    BYTE plain;
    BYTE shifted;
  };
  for (const KeyCase& key : {KeyCase{'0', '0', ')'}, KeyCase{'1', '1', '!'}, KeyCase{'9', '9', '('},
                             KeyCase{VK_SEPARATOR, '-', 117}}) {
    SCOPED_TRACE(key.vk);
    d.ClearLog();
    Press(key.vk);
    ShiftPress(key.vk);
    EXPECT_DELIVERED(*this, {Char(focus, key.plain), Char(focus, key.shifted)});
    EXPECT_EQ(fShiftPending, 0);
    EXPECT_EQ(fKeyLatch, 0);
  }
}

// Backspace acts at its key-down, again at every auto-repeat, and never at its release.
TEST_F(EditingKeysTest, BackspaceDeletesAtEachKeyDownAndNotAtTheRelease) {
  for (const char* title : {"FALSE 1", "TRUES 1"}) {
    SCOPED_TRACE(title);
    d.ShowController(title);
    OpenLetterThenClearLog("E");
    const std::vector<Call> deleted =
        std::string(title) == "TRUES 1"
            ? std::vector<Call>{Key(focus, WM_KEYDOWN, VK_DELETE), Key(focus, WM_KEYUP, VK_DELETE)}
            : std::vector<Call>{Key(focus, WM_KEYDOWN, VK_DELETE), Key(focus, WM_KEYUP, VK_DELETE)};
    Down(VK_BACK);
    EXPECT_DELIVERED(*this, deleted);
    Down(VK_BACK);
    EXPECT_DELIVERED(*this, deleted + deleted);
    d.ClearLog();
    Up(VK_BACK);
    EXPECT_DELIVERED(*this, {});
  }
}
