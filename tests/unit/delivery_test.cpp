// The delivery primitives: exactly which messages and injected keys reach which window.
#include "typing/delivery.h"
#include "tests/unit/expected_calls.h"
#include "tests/unit/library_test.h"
#include "typing/app_detect.h"
#include "typing/controller_link.h"
#include "typing/typing_state.h"

#include <vector>

using namespace fakewin;

namespace {

class DeliveryTest : public LibraryTest {
 protected:
  DeliveryTest() { d.SetFocus(edit); }

  HWND edit = d.AddWindow("Edit", "", d.AddWindow("Notepad", "Untitled - Notepad"));
};

}  // namespace

TEST_F(DeliveryTest, GlyphsAreCharactersWithLParamZero) {
  PostGlyph(0xE8);
  SendGlyph(0xFE, kGlyphTimeout);
  SendGlyph(0x2E, kShortTimeout);
  EXPECT_CALLS(d, {Posted(edit, WM_CHAR, 0xE8, 0), Sent(edit, WM_CHAR, 0xFE, 0, 200),
                   Sent(edit, WM_CHAR, 0x2E, 0, 100)});
}

TEST_F(DeliveryTest, KeyMessagesCarryOnlyTheVirtualKey) {
  PostKeyMessage(WM_KEYDOWN, VK_LEFT);
  PostKeyMessage(WM_KEYUP, VK_DELETE);
  SendKeyDown(VK_HOME);
  EXPECT_CALLS(d, {Posted(edit, WM_KEYDOWN, VK_LEFT, 0), Posted(edit, WM_KEYUP, VK_DELETE, 0),
                   Sent(edit, WM_KEYDOWN, VK_HOME, 0, 100)});
}

TEST_F(DeliveryTest, EveryInjectedSequenceIsKeyDownsInOneCall) {
  InjectKeys(VK_LEFT);
  InjectKeys(VK_DELETE);
  InjectKeys(VK_DELETE, VK_LEFT);
  InjectKeys(VK_HOME);
  InjectKeys(VK_DELETE, VK_LEFT, VK_HOME);
  const int size = sizeof(INPUT);
  EXPECT_CALLS(d, {SendInputCall(1, size), KeyDownRecord(VK_LEFT),  //
                   SendInputCall(1, size), KeyDownRecord(VK_DELETE), SendInputCall(2, size),
                   KeyDownRecord(VK_DELETE), KeyDownRecord(VK_LEFT), SendInputCall(1, size),
                   KeyDownRecord(VK_HOME),  //
                   SendInputCall(3, size), KeyDownRecord(VK_DELETE), KeyDownRecord(VK_LEFT),
                   KeyDownRecord(VK_HOME)});
  // Whatever a scan code is, it is the one the keyboard layout gives for the key.
  d.ClearLog();
  d.SetScanCode(VK_LEFT, 0x6B);
  InjectKeys(VK_LEFT);
  EXPECT_CALLS(d, {SendInputCall(1, size), Injected(VK_LEFT, 0x6B, KEYEVENTF_EXTENDEDKEY)});
}

TEST_F(DeliveryTest, SynthCaretLeftRepeatsTheVirtualKeyAsScanByte) {
  SynthCaretLeft();
  EXPECT_CALLS(d, {KeybdEvent(VK_LEFT, 37, KEYEVENTF_EXTENDEDKEY, 0)});
}

TEST_F(DeliveryTest, EveryMessageAsksForTheFocusAfresh) {
  HWND first = d.AddWindow("Edit");
  HWND second = d.AddWindow("Edit");
  HWND third = d.AddWindow("Edit");
  // PostReplaceGlyph asks once to recognise a Word window, then once per message.
  d.ScriptFocus({edit, first, second, third});
  PostReplaceGlyph(0x41);
  EXPECT_CALLS(d, {Posted(first, WM_CHAR, 0x41, 0), Posted(second, WM_KEYDOWN, VK_DELETE, 0),
                   Posted(third, WM_KEYUP, VK_DELETE, 0)});
}

TEST_F(DeliveryTest, NoFocusWindowMeansMessagesToNoWindow) {
  d.SetFocus(nullptr);
  PostGlyph(0x41);
  SendKeyDown(VK_LEFT);
  EXPECT_CALLS(d, {Posted(nullptr, WM_CHAR, 0x41, 0), Sent(nullptr, WM_KEYDOWN, VK_LEFT, 0, 100)});
}

struct CaretCase {
  const char* name;
  int appCode;
  bool sent;
};

void PrintTo(const CaretCase& c, std::ostream* os) { *os << c.name; }

class CaretLeftTest : public DeliveryTest, public ::testing::WithParamInterface<CaretCase> {};

TEST_P(CaretLeftTest, ThePostedRoutePostsTheSentRouteSendsOrInjectsForIllustrator) {
  const CaretCase& c = GetParam();
  CaretLeftAfterGlyph(c.appCode, c.sent);
  if (!c.sent) {
    EXPECT_CALLS(d, {Posted(edit, WM_KEYDOWN, VK_LEFT, 0)});
  } else if (c.appCode == kAppIllustrator) {
    EXPECT_CALLS(d, {SendInputCall(1, sizeof(INPUT)), KeyDownRecord(VK_LEFT)});
  } else {
    EXPECT_CALLS(d, {Sent(edit, WM_KEYDOWN, VK_LEFT, 0, 100)});
  }
}

INSTANTIATE_TEST_SUITE_P(Routes, CaretLeftTest,
                         ::testing::Values(CaretCase{"PostedEdit", kAppEdit, false},
                                           CaretCase{"PostedIllustrator", kAppIllustrator, false},
                                           CaretCase{"SentNone", kAppNone, true},
                                           CaretCase{"SentFreeHand", kAppFreeHand, true},
                                           CaretCase{"SentFlash", kAppFlash, true},
                                           CaretCase{"SentIllustrator", kAppIllustrator, true},
                                           CaretCase{"SentCorelDraw", kAppCorelDraw, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The keys after a glyph go its way, so they reach the window before keys typed ahead: posted
// after a posted glyph, sent after a sent one (Home as End: a sent key skips the pre-filter that
// swaps them), injected only for Illustrator.
TEST_F(DeliveryTest, KeysAfterAGlyphGoItsWay) {
  const struct {
    int appCode;
    bool sent;
    std::vector<Call> calls;
  } cases[] = {
      {kAppEdit,
       false,
       {Posted(edit, WM_KEYDOWN, VK_DELETE, 0), Posted(edit, WM_KEYDOWN, VK_LEFT, 0),
        Posted(edit, WM_KEYDOWN, VK_HOME, 0)}},
      {kAppNone,
       true,
       {Sent(edit, WM_KEYDOWN, VK_DELETE, 0, 100), Sent(edit, WM_KEYDOWN, VK_LEFT, 0, 100),
        Sent(edit, WM_KEYDOWN, VK_END, 0, 100)}},
      {kAppFreeHand,
       true,
       {Sent(edit, WM_KEYDOWN, VK_DELETE, 0, 100), Sent(edit, WM_KEYDOWN, VK_LEFT, 0, 100),
        Sent(edit, WM_KEYDOWN, VK_END, 0, 100)}},
      {kAppIllustrator,
       true,
       {SendInputCall(3, sizeof(INPUT)), KeyDownRecord(VK_DELETE), KeyDownRecord(VK_LEFT),
        KeyDownRecord(VK_HOME)}},
  };
  for (const auto& c : cases) {
    d.ClearLog();
    DeliverKeys(c.appCode, c.sent, VK_DELETE, VK_LEFT, VK_HOME);
    EXPECT_CALLS(d, c.calls) << c.appCode;
  }
}

TEST_F(DeliveryTest, SendReplaceGlyphSendsDeleteAndLeftInjectedOnlyForIllustrator) {
  SendReplaceGlyph(0xFE, kAppFlash);
  EXPECT_CALLS(d, {Sent(edit, WM_CHAR, 0xFE, 0, 100), Sent(edit, WM_KEYDOWN, VK_DELETE, 0, 100),
                   Sent(edit, WM_KEYDOWN, VK_LEFT, 0, 100)});
  d.ClearLog();
  SendReplaceGlyph(0xFE, kAppIllustrator);
  EXPECT_CALLS(d, {Sent(edit, WM_CHAR, 0xFE, 0, 100), SendInputCall(2, sizeof(INPUT)),
                   KeyDownRecord(VK_DELETE), KeyDownRecord(VK_LEFT)});
}

// At the release of a key whose glyph was posted at its press (Shift layer, digits): the glyph
// has been taken, so the keys go the window's way, read afresh; the Left right after a space
// posted in the same call is posted behind it (Illustrator's injected).
TEST_F(DeliveryTest, KeysAfterAPostedGlyph) {
  HWND canvas = d.AddWindow("Canvas", "", d.AddWindow("Pane", "", d.AddWindow("Frame", "Some")));
  HWND ai = d.AddWindow("Canvas", "",
                        d.AddWindow("Pane", "", d.AddWindow("Frame", "Adobe Illustrator 10")));
  const struct {
    const char* mode;
    HWND focus;
    std::vector<Call> calls;
  } cases[] = {
      {kTypingModeFalse,
       ai,
       {Posted(ai, WM_KEYDOWN, VK_DELETE, 0), Posted(ai, WM_KEYDOWN, VK_LEFT, 0),
        Posted(ai, WM_KEYDOWN, VK_LEFT, 0)}},
      {kTypingModeTrue,
       edit,
       {Posted(edit, WM_KEYDOWN, VK_DELETE, 0), Posted(edit, WM_KEYDOWN, VK_LEFT, 0),
        Posted(edit, WM_KEYDOWN, VK_LEFT, 0)}},
      {kTypingModeTrue,
       canvas,
       {Sent(canvas, WM_KEYDOWN, VK_DELETE, 0, 100), Sent(canvas, WM_KEYDOWN, VK_LEFT, 0, 100),
        Posted(canvas, WM_KEYDOWN, VK_LEFT, 0)}},
      {kTypingModeTrue,
       ai,
       {SendInputCall(2, sizeof(INPUT)), KeyDownRecord(VK_DELETE), KeyDownRecord(VK_LEFT),
        LeftEvent()}},
  };
  for (const auto& c : cases) {
    SetTypingMode(c.mode);
    nAppCode = kAppEdit;  // stale: the application is read afresh
    d.SetFocus(c.focus);
    d.ClearLog();
    KeysAfterPostedGlyph(VK_DELETE, VK_LEFT);
    CaretLeftAfterPostedGlyph();
    EXPECT_CALLS(d, c.calls) << c.mode;
  }
}

TEST_F(DeliveryTest, PostReplaceGlyphQueuesDeleteFirstOnlyInAWordDocument) {
  PostReplaceGlyph(0xFE);
  EXPECT_CALLS(d, {Posted(edit, WM_CHAR, 0xFE, 0), Posted(edit, WM_KEYDOWN, VK_DELETE, 0),
                   Posted(edit, WM_KEYUP, VK_DELETE, 0)});

  d.ClearLog();
  HWND word = d.AddWindow("_WwG", "", d.AddWindow("OpusApp", "Document1 - Microsoft Word"));
  d.SetFocus(word);
  PostReplaceGlyph(0xFE);
  EXPECT_CALLS(d, {Posted(word, WM_KEYDOWN, VK_DELETE, 0), Posted(word, WM_CHAR, 0xFE, 0)});

  // Only the exact class "_WwG" counts here, though detection takes "_wwg" for Word too.
  d.ClearLog();
  HWND lower = d.AddWindow("_wwg");
  d.SetFocus(lower);
  PostReplaceGlyph(0xFE);
  EXPECT_CALLS(d, {Posted(lower, WM_CHAR, 0xFE, 0), Posted(lower, WM_KEYDOWN, VK_DELETE, 0),
                   Posted(lower, WM_KEYUP, VK_DELETE, 0)});
}

TEST_F(LibraryTest, SentRouteOnlyInModeTrueForNegativeCodes) {
  const int codes[] = {1, 2, 3, 4, 5, -1, -2, -3, -4, -5};
  for (const char* mode : {"", kTypingModeTrue, kTypingModeFalse}) {
    if (*mode != 0) SetTypingMode(mode);
    for (int code : codes) {
      const bool sent = mode == kTypingModeTrue && code < 0;
      EXPECT_EQ(IsSentRoute(code), sent) << "mode \"" << mode << "\", code " << code;
    }
  }
}
