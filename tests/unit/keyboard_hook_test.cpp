// Letters and punctuation typed right to left with joined shapes, as exact output sequences.
#include "tests/unit/expected_calls.h"
#include "tests/unit/typing_test.h"
#include "typing/typing_state.h"

using namespace fakewin;

namespace {

constexpr int A = 0, B = 1, C = 2, E = 4, G = 6, H = 7, I = 8, M = 12, X = 23;

// Every letter and punctuation key, in key-index order.
const std::string kKeys = "ABCDEFGHIJKLMNOPQRSTUVWXYZ`[]\\,./;'";
constexpr int kSemicolon = 33;

}  // namespace

TEST_F(TypingTest, JoiningThenNonJoiningLetterOnThePostedRoute) {
  Type("AB");
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this,
                   {Char(focus, s.initial[A]), Left(focus), Char(focus, s.medial[B]), Left(focus)});
  EXPECT_EQ(nOpenGlyph, 0);
  EXPECT_EQ(nPrevOpenGlyph, s.initial[A]);
  EXPECT_EQ(nKeyIndex, B);
  EXPECT_EQ(nAppCode, 1);
}

TEST_F(TypingTest, ThreeJoiningLettersGiveInitialMedialMedial) {
  Type("EMQ");
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this, {Char(focus, s.initial[E]), Left(focus), Char(focus, s.medial[M]),
                           Left(focus), Char(focus, s.medial[16]), Left(focus)});
  EXPECT_EQ(nOpenGlyph, s.medial[16]);
  EXPECT_EQ(nPrevOpenGlyph, s.medial[M]);
}

TEST_F(TypingTest, LamAlefAtWordStartInAnEditWindow) {
  Type("GHB");
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this,
                   {Char(focus, s.initial[G]), Left(focus), Char(focus, s.lamAlef[0]),
                    Posted(focus, WM_KEYDOWN, VK_DELETE, 0), Posted(focus, WM_KEYUP, VK_DELETE, 0),
                    Left(focus), Char(focus, s.initial[B]), Left(focus)});
  EXPECT_EQ(nOpenGlyph, 0);
}

TEST_F(TypingTest, LamAlefAtWordStartInAWordDocument) {
  HWND word = d.AddWindow("_WwG", "", d.AddWindow("OpusApp", "Document1 - Microsoft Word"));
  d.SetFocus(word);
  Type("GHB");
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this,
                   {Char(word, s.initial[G]), Left(word), Posted(word, WM_KEYDOWN, VK_DELETE, 0),
                    Char(word, s.lamAlef[0]), Left(word), Char(word, s.initial[B]), Left(word)});
  EXPECT_EQ(nAppCode, 3);
}

TEST_F(TypingTest, LamAlefAfterAJoiningLetterTakesTheMedialLigature) {
  Type("EGH");
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this,
                   {Char(focus, s.initial[E]), Left(focus), Char(focus, s.medial[G]), Left(focus),
                    Char(focus, s.lamAlef[1]), Posted(focus, WM_KEYDOWN, VK_DELETE, 0),
                    Posted(focus, WM_KEYUP, VK_DELETE, 0), Left(focus)});
  EXPECT_EQ(nOpenGlyph, 0);
}

TEST_F(TypingTest, AlefAfterAnotherOpenLetterIsItsFinalForm) {
  Type("EH");
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this,
                   {Char(focus, s.initial[E]), Left(focus), Char(focus, s.medial[H]), Left(focus)});
  EXPECT_EQ(nOpenGlyph, 0);
  EXPECT_EQ(nPrevOpenGlyph, s.initial[E]);
}

TEST_F(TypingTest, AlefAloneIsItsIsolatedForm) {
  Type("H");
  EXPECT_DELIVERED(*this, {Char(focus, Set().initial[H]), Left(focus)});
}

// The sent route: typing mode "TRUE" and an application with a negative code.
struct SentCase {
  const char* name;
  const char* grandParentTitle;
  bool injectedLeft;
};

void PrintTo(const SentCase& c, std::ostream* os) { *os << c.name; }

class SentRouteTest : public TypingTest, public ::testing::WithParamInterface<SentCase> {};

TEST_P(SentRouteTest, GlyphsAreSentAndTheCaretStepsBySentOrInjectedLeft) {
  d.ShowController("TRUES 2 ZafrelXP");
  HWND canvas = d.AddWindow(
      "Canvas", "", d.AddWindow("Pane", "", d.AddWindow("Frame", GetParam().grandParentTitle)));
  d.SetFocus(canvas);
  Type("AA");
  const GlyphTableSet& s = Set();
  const bool injected = GetParam().injectedLeft;
  const std::vector<Call> left = injected ? std::vector<Call>{Inject(1), KeyDownRecord(VK_LEFT)}
                                          : std::vector<Call>{SentLeft(canvas)};
  std::vector<Call> expected = {SentChar(canvas, s.initial[A], 200)};
  expected.insert(expected.end(), left.begin(), left.end());
  expected.push_back(SentChar(canvas, s.medial[A], 200));
  expected.insert(expected.end(), left.begin(), left.end());
  EXPECT_DELIVERED(*this, expected);
  EXPECT_EQ(nOpenGlyph, s.medial[A]);
}

INSTANTIATE_TEST_SUITE_P(Applications, SentRouteTest,
                         ::testing::Values(SentCase{"Illustrator", "Adobe Illustrator 10", true},
                                           SentCase{"Unrecognised", "Some Program", false},
                                           SentCase{"FreeHand", "FreeHand", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TypingTest, SentRouteLamAlefIsReplacedInPlace) {
  d.ShowController("TRUES 1");
  d.SetFocus(d.AddWindow("Canvas"));
  HWND canvas = d.focus();
  Type("GH");
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this, {SentChar(canvas, s.initial[G], 200), SentLeft(canvas),
                           SentChar(canvas, s.lamAlef[0], 100),
                           Sent(canvas, WM_KEYDOWN, VK_DELETE, 0, 100), SentLeft(canvas)});
}

TEST_F(TypingTest, SentRouteFinalAlefTakesTheShortTimeOut) {
  d.ShowController("TRUES 1");
  d.SetFocus(d.AddWindow("Canvas"));
  HWND canvas = d.focus();
  Type("EH");
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this, {SentChar(canvas, s.initial[E], 200), SentLeft(canvas),
                           SentChar(canvas, s.medial[H], 100), SentLeft(canvas)});
}

TEST_F(TypingTest, ShiftLayerCharacterStepsLeftAtItsRelease) {
  Press(Vk('A'));
  ShiftPress(Vk('E'));
  Press(Vk('A'));
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this, {Char(focus, s.initial[A]), Left(focus), Char(focus, s.shift[E]),
                           Left(focus), Char(focus, s.medial[A]), Left(focus)});
}

TEST_F(TypingTest, ResettingShiftRuleEndsTheJoin) {
  Press(Vk('A'));
  ShiftPress(Vk('I'));
  Press(Vk('A'));
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this, {Char(focus, s.initial[A]), Left(focus), Char(focus, s.shift[I]),
                           Left(focus), Char(focus, s.initial[A]), Left(focus)});
}

TEST_F(TypingTest, PendingShiftCharacterIsCompletedOnceByAnyLetterRelease) {
  d.SetKeyDown(VK_SHIFT, true);
  Down(Vk('E'));
  d.SetKeyDown(VK_SHIFT, false);
  EXPECT_EQ(fShiftPending, 1);
  Up(Vk('K'));  // another key's release completes it
  Up(Vk('E'));  // nothing left to do
  EXPECT_EQ(fShiftPending, 0);
  EXPECT_DELIVERED(*this, {Char(focus, Set().shift[E]), Left(focus)});
}

// Keys that overlap as a fast typist's do: a letter pressed while the key of a Shift-layer
// character is still down first gets that character's caret step, as if the key had come up;
// the late releases then do nothing.
TEST_F(TypingTest, LetterPressedBeforeAShiftKeyIsReleasedStepsLeftFirst) {
  Press(Vk('E'));
  d.SetKeyDown(VK_SHIFT, true);
  Down(Vk('W'));
  d.SetKeyDown(VK_SHIFT, false);
  Down(Vk('B'));
  Down(Vk('H'));
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this,
                   {Char(focus, s.initial[E]), Left(focus), Char(focus, s.shift[22]), Left(focus),
                    Char(focus, s.medial[B]), Left(focus), Char(focus, s.initial[H]), Left(focus)});
  EXPECT_EQ(fShiftPending, 0);
  d.ClearLog();
  Up(Vk('W'));
  Up(Vk('B'));
  Up(Vk('H'));
  EXPECT_DELIVERED(*this, {});
}

struct ShiftChoice {
  const char* name;
  char fontCode;
  int key;
  bool leftShift;
  bool alternative;  // abAltShiftTable rather than the set's shift table
};

void PrintTo(const ShiftChoice& c, std::ostream* os) { *os << c.name; }

class ShiftChoiceTest : public TypingTest, public ::testing::WithParamInterface<ShiftChoice> {};

TEST_P(ShiftChoiceTest, LeftOrRightShiftPicksTheTableInTheDefaultSetOnly) {
  const ShiftChoice& c = GetParam();
  d.ShowController(std::string("FALSE ") + c.fontCode);
  ShiftPress('A' + c.key, c.leftShift);
  const BYTE glyph = c.alternative ? abAltShiftTable[c.key] : Set().shift[c.key];
  EXPECT_DELIVERED(*this, {Char(focus, glyph), Left(focus)});
}

INSTANTIATE_TEST_SUITE_P(Keys, ShiftChoiceTest,
                         ::testing::Values(ShiftChoice{"DefaultLeftA", '1', A, true, true},
                                           ShiftChoice{"DefaultRightA", '1', A, false, false},
                                           ShiftChoice{"DefaultLeftC", '1', C, true, false},
                                           ShiftChoice{"DefaultRightC", '1', C, false, true},
                                           ShiftChoice{"Set2LeftA", '2', A, true, false},
                                           ShiftChoice{"Set2RightA", '2', A, false, false},
                                           ShiftChoice{"Set0LeftC", '0', C, true, false},
                                           ShiftChoice{"Set4RightC", '4', C, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TypingTest, OpenGlyphAlternativeDependsOnTheOpenLetter) {
  ShiftPress(Vk('X'));  // nothing open: the set's shift table
  Press(Vk('E'));
  ShiftPress(Vk('X'));  // after an open letter: the alternative table
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this, {Char(focus, s.shift[X]), Left(focus), Char(focus, s.initial[E]),
                           Left(focus), Char(focus, abAltShiftTable[X]), Left(focus)});
  EXPECT_EQ(nOpenGlyph, 0);
}

TEST_F(TypingTest, SemicolonPairWithTheLeftShiftInTheDefaultSet) {
  const UINT semicolon = Vk(';');
  ShiftPress(semicolon);  // nothing open: 189
  Press(Vk('E'));
  ShiftPress(semicolon);  // after an open letter: 188
  EXPECT_EQ(nOpenGlyph, 0);
  ShiftPress(semicolon, false);  // the right Shift key: the set's shift table
  EXPECT_DELIVERED(
      *this, {Char(focus, 189), Left(focus), Char(focus, Set().initial[E]), Left(focus),
              Char(focus, 188), Left(focus), Char(focus, Set().shift[kSemicolon]), Left(focus)});
}

TEST_F(TypingTest, SemicolonPairInAnotherSetIsTheShiftTable) {
  d.ShowController("FALSE 3");
  ShiftPress(Vk(';'));
  EXPECT_DELIVERED(*this, {Char(focus, Set().shift[kSemicolon]), Left(focus)});
}

TEST_F(TypingTest, ShiftCharacterLeavesHistoryAndApplicationCodeAlone) {
  Press(Vk('E'));
  nAppCode = 77;  // a Shift rule does not look at the application
  ShiftPress(Vk('M'));
  EXPECT_EQ(nAppCode, 77);
  EXPECT_EQ(nPrevOpenGlyph, 0);
  EXPECT_EQ(nOpenGlyph, Set().initial[E]);
  EXPECT_EQ(nKeyIndex, M);
}

struct HeldKeyCase {
  const char* name;
  int heldVk;
  bool bTranslated;
};

void PrintTo(const HeldKeyCase& c, std::ostream* os) { *os << c.name; }

class HeldModifierTest : public TypingTest, public ::testing::WithParamInterface<HeldKeyCase> {};

TEST_P(HeldModifierTest, NoLetterIsTranslatedButBWhileOnlySpaceIsHeld) {
  d.SetKeyDown(GetParam().heldVk, true);
  for (char key : kKeys) {
    if (key != 'B') Press(Vk(key));
  }
  EXPECT_DELIVERED(*this, {});
  Press(Vk('B'));
  if (GetParam().bTranslated) {
    EXPECT_DELIVERED(*this, {Char(focus, Set().initial[B]), Left(focus)});
  } else {
    EXPECT_DELIVERED(*this, {});
  }
}

INSTANTIATE_TEST_SUITE_P(Modifiers, HeldModifierTest,
                         ::testing::Values(HeldKeyCase{"Ctrl", VK_CONTROL, false},
                                           HeldKeyCase{"Alt", VK_MENU, false},
                                           HeldKeyCase{"Space", VK_SPACE, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TypingTest, FarsiOffTranslatesNothing) {
  fFarsiOn = 0;
  Type("ABCGH/;'");
  EXPECT_DELIVERED(*this, {});
  for (const Call& c : d.log()) {  // not even the bypass test reads a title
    EXPECT_FALSE(c.IsRead()) << c.ToString();
  }
}

TEST_F(TypingTest, BypassedApplicationInModeFalsePassesItsBypassKeys) {
  HWND canvas = d.AddWindow("Canvas", "",
                            d.AddWindow("Pane", "", d.AddWindow("Frame", "QuarkXPress Passport")));
  d.SetFocus(canvas);
  SetTypingMode(kTypingModeFalse);  // as the last title read left it
  Type("CDFJNORS");
  EXPECT_DELIVERED(*this, {});
  Type("AB");
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(
      *this, {Char(canvas, s.initial[A]), Left(canvas), Char(canvas, s.medial[B]), Left(canvas)});
}

TEST_F(TypingTest, BypassGateSeesTheModeOfThePreviousTitleRead) {
  HWND canvas =
      d.AddWindow("Canvas", "", d.AddWindow("Pane", "", d.AddWindow("Frame", "Adobe InDesign CS")));
  d.SetFocus(canvas);
  d.ShowController("TRUES 1");
  Press(Vk('C'));  // mode still empty: not "FALSE", so C is translated, and the read sets "TRUE"
  d.ShowController("FALSE 1");
  Press(Vk('C'));  // mode "TRUE" from the last read: translated again; this read sets "FALSE"
  Press(Vk('C'));  // now bypassed
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this, {SentChar(canvas, s.initial[C], 200), SentLeft(canvas),
                           Char(canvas, s.initial[C]), Left(canvas)});
}

TEST_F(TypingTest, NoRemoveNotificationsChangeNothing) {
  d.SetKeyDown(VK_SHIFT, true);
  Down(Vk('E'));
  d.SetKeyDown(VK_SHIFT, false);
  d.ClearLog();
  const int pending = fShiftPending, open = nOpenGlyph, index = nKeyIndex;
  Down(Vk('A'), HC_NOREMOVE);
  Up(Vk('E'), HC_NOREMOVE);
  Down(Vk('H'), HC_NOREMOVE);
  EXPECT_DELIVERED(*this, {});
  EXPECT_ALL_CALLS(d, {NextHook(nullptr, HC_NOREMOVE, 'A', 0x1E0001),
                       NextHook(nullptr, HC_NOREMOVE, 'E', static_cast<int32_t>(0xC0120001u)),
                       NextHook(nullptr, HC_NOREMOVE, 'H', 0x230001)});
  EXPECT_EQ(fShiftPending, pending);
  EXPECT_EQ(nOpenGlyph, open);
  EXPECT_EQ(nKeyIndex, index);
}

TEST_F(TypingTest, AutoRepeatTypesEveryKeyDown) {
  Down(Vk('E'));
  Down(Vk('E'));
  Down(Vk('E'));
  Up(Vk('E'));
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this, {Char(focus, s.initial[E]), Left(focus), Char(focus, s.medial[E]),
                           Left(focus), Char(focus, s.medial[E]), Left(focus)});
}

TEST_F(TypingTest, SlashRightAfterADigitMakesNoCaretStep) {
  nLastDigit = 4;
  Press(Vk('/'));
  nLastDigit = -1;
  Press(Vk('/'));
  const BYTE slash = Set().initial[32];
  EXPECT_DELIVERED(*this, {Char(focus, slash), Char(focus, slash), Left(focus)});
}

TEST_F(TypingTest, SentSlashAfterADigitStepsOnlyAfterAnOpenLetter) {
  d.ShowController("TRUES 1");
  d.SetFocus(d.AddWindow("Canvas"));
  HWND canvas = d.focus();
  nLastDigit = 2;
  Press(Vk('/'));
  Press(Vk('E'));
  nLastDigit = 2;
  Press(Vk('/'));
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this,
                   {SentChar(canvas, s.initial[32], 200), SentChar(canvas, s.initial[E], 200),
                    SentLeft(canvas), SentChar(canvas, s.medial[32], 200), SentLeft(canvas)});
}

TEST_F(TypingTest, KeysWithoutAHandlerAreNeverTranslated) {
  for (UINT vk : {UINT{'3'}, UINT{'5'}, UINT{'8'}, UINT{187}, UINT{189}, UINT{VK_SHIFT},
                  UINT{VK_DELETE}, UINT{VK_LEFT}, UINT{VK_HOME}, UINT{226}}) {
    Press(vk);
  }
  EXPECT_DELIVERED(*this, {});
  EXPECT_EQ(nKeyIndex, 0);
}

TEST_F(TypingTest, WithoutAnyControllerWindowNoKeyIsTranslated) {
  d.HideController();
  Type("AGH");
  d.SetKeyDown(VK_SHIFT, true);
  Down(Vk('E'));
  EXPECT_DELIVERED(*this, {});
  EXPECT_EQ(nKeyIndex, 0);
  EXPECT_EQ(nOpenGlyph, 0);
  EXPECT_EQ(nAppCode, 0);
  EXPECT_EQ(fShiftPending, 0);
}

TEST_F(TypingTest, ControllerGoneAfterAReadKeepsTheLastSet) {
  d.ShowController("FALSE 3");
  Press(Vk('E'));
  d.HideController();
  Press(Vk('E'));
  const GlyphTableSet& s3 = GlyphTableSetFor('3');
  EXPECT_DELIVERED(
      *this, {Char(focus, s3.initial[E]), Left(focus), Char(focus, s3.medial[E]), Left(focus)});
}

TEST_F(TypingTest, FontCodeChangeMidWordTakesEffectWithTheNextKey) {
  Press(Vk('E'));
  d.ShowController("FALSE 4");
  Press(Vk('E'));
  EXPECT_DELIVERED(*this, {Char(focus, GlyphTableSetFor('1').initial[E]), Left(focus),
                           Char(focus, GlyphTableSetFor('4').medial[E]), Left(focus)});
}

TEST_F(TypingTest, EveryKeyIsPassedOnWithTheKeyboardSlotsHandle) {
  ahhookSlot[kSlotKeyboard] = reinterpret_cast<HHOOK>(uintptr_t{0x00C0005});
  const HHOOK h = ahhookSlot[kSlotKeyboard];
  KeyboardProc(HC_ACTION, 'E', 0x120001);
  KeyboardProc(HC_ACTION, 'E', static_cast<int32_t>(0xC0120001u));
  KeyboardProc(-1, 'E', 0x120001);
  KeyboardProc(HC_ACTION, VK_F2, 0x3C0001);
  KeyboardProc(HC_ACTION, VK_SCROLL, 0x460001);
  std::vector<Call> passOn;
  for (const Call& c : d.Outputs()) {
    if (c.kind == CallKind::NextHook) passOn.push_back(c);
  }
  EXPECT_TRUE(
      CallsMatch(passOn, {NextHook(h, HC_ACTION, 'E', 0x120001),
                          NextHook(h, HC_ACTION, 'E', static_cast<int32_t>(0xC0120001u)),
                          NextHook(h, -1, 'E', 0x120001), NextHook(h, HC_ACTION, VK_F2, 0x3C0001),
                          NextHook(h, HC_ACTION, VK_SCROLL, 0x460001)}));
}

TEST_F(TypingTest, ScrollLockKeyDownGoesToTheFarsiSwitch) {
  fFarsiOn = 0;
  d.SetToggled(VK_SCROLL, true);
  Press(VK_SCROLL);
  EXPECT_EQ(fFarsiOn, 1);
  EXPECT_DELIVERED(*this, {Notified(controller, MYWM_ZAFRELVK_ON, 0, 0)});
}

// The whole key table, key by key: typing class, Shift rule and gate of every letter and
// punctuation key.
namespace {

bool In(const std::string& keys, char key) { return keys.find(key) != std::string::npos; }

}  // namespace

TEST_F(TypingTest, EveryKeyAtWordStartAndAfterAnOpenLetterOnThePostedRoute) {
  const GlyphTableSet& s = Set();
  for (size_t index = 0; index < kKeys.size(); ++index) {
    const char key = kKeys[index];
    SCOPED_TRACE(std::string("key ") + key);
    nOpenGlyph = 0;
    d.ClearLog();
    Press(Vk(key));  // at the start of a word: the initial form
    nOpenGlyph = 0;  // a new word
    Press(Vk('E'));
    Press(Vk(key));  // after an open letter: the medial form (final form for the others)
    EXPECT_DELIVERED(*this, {Char(focus, s.initial[index]), Left(focus), Char(focus, s.initial[E]),
                             Left(focus), Char(focus, s.medial[index]), Left(focus)});
    const int expected = In("BCNV\\,.H/", key) ? 0 : s.medial[index];
    EXPECT_EQ(nOpenGlyph, expected);
    EXPECT_EQ(nPrevOpenGlyph, s.initial[E]);
  }
}

TEST_F(TypingTest, EveryKeyAfterAnOpenLetterOnTheSentRoute) {
  d.ShowController("TRUES 4");
  d.SetFocus(d.AddWindow("Canvas"));
  HWND canvas = d.focus();
  const GlyphTableSet& s = Set();
  for (size_t index = 0; index < kKeys.size(); ++index) {
    const char key = kKeys[index];
    SCOPED_TRACE(std::string("key ") + key);
    nOpenGlyph = 0;
    Press(Vk('E'));
    d.ClearLog();
    Press(Vk(key));
    const UINT timeout = key == 'H' ? 100 : 200;  // a closing alef takes the short time-out
    EXPECT_DELIVERED(*this, {SentChar(canvas, s.medial[index], timeout), SentLeft(canvas)});
  }
}

TEST_F(TypingTest, EveryKeysShiftRuleInTheDefaultSet) {
  for (bool leftShift : {true, false}) {
    for (size_t index = 0; index < kKeys.size(); ++index) {
      const char key = kKeys[index];
      SCOPED_TRACE(std::string("key ") + key + (leftShift ? " left Shift" : " right Shift"));
      Press(Vk('E'));
      const int open = nOpenGlyph;
      d.ClearLog();
      ShiftPress(Vk(key), leftShift);

      BYTE glyph = Set().shift[index];
      if (In("ADS", key) && leftShift) glyph = abAltShiftTable[index];
      if (In("CFGPRV[]", key) && !leftShift) glyph = abAltShiftTable[index];
      if (In("XZ", key)) glyph = abAltShiftTable[index];  // a letter is open
      if (key == ';' && leftShift) glyph = 188;
      EXPECT_DELIVERED(*this, {Char(focus, glyph), Left(focus)});
      EXPECT_EQ(nOpenGlyph, In("IKLOTYXZ[];", key) ? 0 : open);
    }
  }
}

TEST_F(TypingTest, EveryKeysGateInABypassedApplication) {
  HWND canvas = d.AddWindow("Canvas", "",
                            d.AddWindow("Pane", "", d.AddWindow("Frame", "Adobe PageMaker 7.0")));
  d.SetFocus(canvas);
  SetTypingMode(kTypingModeFalse);
  std::string untranslated;
  for (char key : kKeys) {
    d.ClearLog();
    Press(Vk(key));
    if (Delivered().empty()) untranslated += key;
  }
  EXPECT_EQ(untranslated, "CDFJNORS");
}

// Every digit key typed through both hooks, then the slash: the digit leaves its value for the
// slash to see, 0 as much as 9, and the slash stays right of the digit on either route (no
// caret step after it).
class SlashAfterDigitTest : public TypingTest, public ::testing::WithParamInterface<char> {};

TEST_P(SlashAfterDigitTest, StaysRightOfTheDigitOnBothRoutes) {
  const UINT digit = static_cast<UINT>(GetParam());
  prefilter = true;
  Press(digit);
  EXPECT_EQ(nLastDigit, GetParam() - '0');
  d.ClearLog();
  Press(Vk('/'));
  EXPECT_DELIVERED(*this, {Char(focus, Set().initial[32])});
  EXPECT_EQ(nLastDigit, -1);

  d.ShowController("TRUES 1");
  d.SetFocus(d.AddWindow("Canvas"));
  HWND canvas = d.focus();
  Press(digit);
  d.ClearLog();
  Press(Vk('/'));
  EXPECT_DELIVERED(*this, {SentChar(canvas, Set().initial[32], 200)});
}

INSTANTIATE_TEST_SUITE_P(EveryDigitKey, SlashAfterDigitTest,
                         ::testing::Values('0', '1', '2', '3', '4', '5', '6', '7', '8', '9'));
