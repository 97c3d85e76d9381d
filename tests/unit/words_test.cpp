// Whole words typed key by key through both hooks into an edit control, replayed in the order
// Windows delivers posted, sent and injected input: the text must hold exactly the right glyphs,
// in storage order (the screen's left to right, so a Farsi word reads from its right end).
#include <functional>
#include <string>
#include <vector>

#include "tests/unit/library_test.h"
#include "tools/scenario.h"
#include "typing/glyph_tables.h"
#include "winsim/message_loop.h"

using namespace fakewin;

namespace {

constexpr int A = 0, B = 1, E = 4, G = 6, H = 7, M = 12, Q = 16;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

struct WordCase {
  const char* name;
  // Keys: letters and digits as on the key caps, ' ' Space, '\n' Enter, '^' Shift on the next
  // key (the left Shift key).
  std::string keys;
  std::function<std::string(const GlyphTableSet&)> text;
};

const WordCase kWords[] = {
    {"JoiningLetters", "EMQ ",
     [](const GlyphTableSet& s) {
       return Bytes({' ', s.final[Q], s.medial[M], s.initial[E]});
     }},
    {"EndsInNonJoiningLetter", "EB ",
     [](const GlyphTableSet& s) {
       return Bytes({' ', s.medial[B], s.initial[E]});
     }},
    {"LamAlefAtWordStart", "GH ",
     [](const GlyphTableSet& s) {
       return Bytes({' ', s.lamAlef[0]});
     }},
    {"LamAlefInsideAWord", "EGHB ",
     [](const GlyphTableSet& s) {
       return Bytes({' ', s.initial[B], s.lamAlef[1], s.initial[E]});
     }},
    {"AlefAfterAnotherLetter", "EH ",
     [](const GlyphTableSet& s) {
       return Bytes({' ', s.medial[H], s.initial[E]});
     }},
    {"ShiftCharacterBetweenLetters", "E^EA ",
     [](const GlyphTableSet& s) {
       return Bytes({' ', s.final[A], s.shift[E], s.initial[E]});
     }},
    {"TwoWords", "E EM ",
     [](const GlyphTableSet& s) {
       return Bytes({' ', s.final[M], s.initial[E], ' ', s.isolated[E]});
     }},
    {"DigitsEndALine", "E 12\nE ",
     [](const GlyphTableSet& s) {
       return Bytes({'1', '2', ' ', s.isolated[E], '\r', '\n', ' ', s.isolated[E]});
     }},
};

void PrintTo(const WordCase& c, std::ostream* os) { *os << c.name; }

// A user at the keyboard of a thread whose focus is an edit control.
class TypingLoopTest : public LibraryTest {
 protected:
  explicit TypingLoopTest(const std::string& title, const char* cls = "Edit",
                          const char* frameTitle = "Untitled - Notepad") {
    d.ShowController(title);
    edit = d.AddWindow(cls, "", d.AddWindow("Pane", "", d.AddWindow("Frame", frameTitle)));
    d.SetFocus(edit);
    loop.SetMultiline(edit);
    d.SetToggled(VK_SCROLL, true);
  }

  void Press(UINT vk) {
    loop.UserKey(vk, true);
    loop.UserKey(vk, false);
  }

  void TypeKeys(const std::string& keys) {
    // Farsi typing goes on with Scroll Lock, as a user switches it on.
    Press(VK_SCROLL);
    bool shift = false;
    for (char key : keys) {
      if (key == '^') {
        shift = true;
        continue;
      }
      const UINT vk = key == ' '    ? VK_SPACE
                      : key == '\n' ? VK_RETURN
                      : key == '\b' ? VK_BACK
                                    : static_cast<UINT>(key);
      if (shift) {
        d.SetKeyDown(VK_LSHIFT, true);
        loop.UserKey(VK_SHIFT, true);
      }
      Press(vk);
      if (shift) loop.UserKey(VK_SHIFT, false);
      shift = false;
    }
  }

  HWND edit;
  MessageLoop loop{d};
};

class WordTest : public TypingLoopTest,
                 public ::testing::WithParamInterface<std::tuple<char, WordCase>> {
 protected:
  WordTest() : TypingLoopTest(std::string("FALSE ") + std::get<0>(GetParam()) + " ZafrelXP") {}
};

std::string Hex(const std::string& s) {
  std::string out;
  char buf[4];
  for (unsigned char c : s) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    out += buf;
  }
  return out;
}

}  // namespace

TEST_P(WordTest, TypedOnThePostedRouteIntoAnEditControl) {
  const WordCase& c = std::get<1>(GetParam());
  TypeKeys(c.keys);
  const std::string expected = c.text(GlyphTableSetFor(std::get<0>(GetParam())));
  EXPECT_EQ(Hex(loop.Text(edit)), Hex(expected));
  EXPECT_EQ(loop.latinCharacters, 0);  // no Latin key reached the window as a character
}

INSTANTIATE_TEST_SUITE_P(AllSets, WordTest,
                         ::testing::Combine(::testing::Values('0', '1', '2', '3', '4'),
                                            ::testing::ValuesIn(kWords)),
                         [](const auto& info) {
                           return std::string("Set") + std::get<0>(info.param) + "_" +
                                  std::get<1>(info.param).name;
                         });

class WordDocumentTest : public TypingLoopTest {
 protected:
  WordDocumentTest() : TypingLoopTest("FALSE 1", "_WwG", "Document1 - Microsoft Word") {}
};

TEST_F(WordDocumentTest, DeleteFirstGivesTheSameWords) {
  TypeKeys("EMQ GH ");
  const GlyphTableSet& s = GlyphTableSetFor('1');
  EXPECT_EQ(Hex(loop.Text(edit)),
            Hex(Bytes({' ', s.lamAlef[0], ' ', s.final[Q], s.medial[M], s.initial[E]})));
}

class SentRouteWordTest : public TypingLoopTest {
 protected:
  SentRouteWordTest() : TypingLoopTest("TRUES 3", "Canvas", "Some Program") {}
};

TEST_F(SentRouteWordTest, SentGlyphsAndInjectedCaretKeysGiveTheSameWords) {
  TypeKeys("EMQ EGHB ");
  const GlyphTableSet& s = GlyphTableSetFor('3');
  EXPECT_EQ(Hex(loop.Text(edit)), Hex(Bytes({' ', s.initial[B], s.lamAlef[1], s.initial[E], ' ',
                                             s.final[Q], s.medial[M], s.initial[E]})));
  EXPECT_EQ(loop.latinCharacters, 0);
}

TEST_F(SentRouteWordTest, BackspaceRemovesTheLastGlyph) {
  TypeKeys("EMQ\b");
  const GlyphTableSet& s = GlyphTableSetFor('3');
  EXPECT_EQ(Hex(loop.Text(edit)), Hex(Bytes({s.medial[M], s.initial[E]})));
}

namespace {

// A key of a typed stream: a virtual key, typed with the left Shift key or without.
struct StreamKey {
  UINT vk;
  bool shift;
};

// Seeded words of every letter and punctuation key, with Shift-layer characters, digits (3, 5
// and 8 among them, which the application types itself), Backspace and Enter between them.
// Shift+Enter is left out: Enter's caret keys would select with Shift held, typed ahead or not.
std::vector<StreamKey> KeyStream(unsigned seed, int count) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ`[]\\,./;'";
  unsigned state = seed;
  const auto next = [&state](unsigned n) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % n;
  };
  std::vector<StreamKey> keys;
  while (static_cast<int>(keys.size()) < count) {
    const unsigned kind = next(10);
    if (kind == 0) {
      for (unsigned n = 1 + next(3); n > 0; --n) {
        const UINT digit = '0' + next(10);
        // Shift+3, 5 and 8 are the application's: not while a Space is held (see README).
        keys.push_back({digit, digit != '3' && digit != '5' && digit != '8' && next(4) == 0});
      }
    } else {
      for (unsigned n = 1 + next(6); n > 0; --n) {
        keys.push_back({ScenarioVirtualKey(std::string(1, kLetters[next(35)])), next(8) == 0});
        if (next(12) == 0) keys.push_back({VK_BACK, false});
      }
    }
    const bool enter = next(9) == 0;
    keys.push_back({enter ? static_cast<UINT>(VK_RETURN) : static_cast<UINT>(VK_SPACE),
                    !enter && next(15) == 0});
  }
  return keys;
}

struct StreamCase {
  const char* name;
  const char* title;
  const char* cls;
  const char* frame;
};

// A key event of the user's; `elsewhere`: it went to another program's window (the focus moved
// away between the key's press and its release), so only the key state changed.
struct KeyEvent {
  UINT vk;
  bool down;
  bool elsewhere = false;
};

}  // namespace

// The text a fresh edit control ends up with: each event taken with the queue drained after it,
// or all of them typed ahead.
std::string Play(const StreamCase& c, const std::vector<KeyEvent>& events, bool ahead);

namespace {

class TypedAheadTest : public ::testing::TestWithParam<StreamCase> {
 protected:
  // The text of the stream typed into a fresh edit control: one key event at a time with the
  // queue drained after each, all of them typed ahead, or typed ahead overlapping (each key down
  // before the one before it is up; a Shift-layer key is let go before the next).
  enum class Typist { kOneByOne, kAhead, kOverlapping };
  static std::string Typed(const StreamCase& c, const std::vector<StreamKey>& keys, Typist how) {
    std::vector<KeyEvent> events;
    const auto key = [&events](UINT vk, bool down) { events.push_back({vk, down}); };
    UINT held = 0;
    for (const StreamKey& k : keys) {
      // A key typed twice in a row comes up before it goes down again.
      if (held == k.vk) key(held, false);
      if (held == k.vk) held = 0;
      if (k.shift) key(VK_LSHIFT, true);
      key(k.vk, true);
      if (held != 0) key(held, false);
      held = 0;
      if (how == Typist::kOverlapping) {
        // Shift let go while its key is still down, the next key pressed before that one is up.
        if (k.shift) key(VK_LSHIFT, false);
        held = k.vk;
        continue;
      }
      key(k.vk, false);
      if (k.shift) key(VK_LSHIFT, false);
    }
    if (held != 0) key(held, false);
    return Play(c, events, how != Typist::kOneByOne);
  }
};

}  // namespace

std::string Play(const StreamCase& c, const std::vector<KeyEvent>& events, bool ahead) {
  fakewin::Desktop d;
  ResetProcessState();
  d.ShowController(c.title);
  LibMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
  HWND edit = d.AddWindow(c.cls, "", d.AddWindow("Pane", "", d.AddWindow("Frame", c.frame)));
  d.SetFocus(edit);
  MessageLoop loop(d);
  loop.SetMultiline(edit);
  d.SetToggled(VK_SCROLL, true);
  loop.UserKey(VK_SCROLL, true);
  loop.UserKey(VK_SCROLL, false);
  for (const KeyEvent& e : events) {
    if (e.elsewhere) {
      d.SetKeyDown(static_cast<int>(e.vk), e.down);  // taken by another program's window
    } else if (ahead) {
      loop.TypeAhead(e.vk, e.down);
    } else {
      loop.UserKey(e.vk, e.down);
    }
  }
  loop.RunQueued();
  // Digits 3, 5 and 8 are the application's own: only they may come as Latin characters.
  const std::string text =
      Hex(loop.Text(edit)) + "(Latin characters: " + std::to_string(loop.latinCharacters) + ")";
  LibMain(nullptr, DLL_PROCESS_DETACH, nullptr);
  return text;
}

// However far the user types ahead of the program, and however the keys overlap, the window
// ends up with the text the same keys give typed one at a time.
TEST_P(TypedAheadTest, SameTextAsKeysTypedOneAtATime) {
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE(seed);
    const std::vector<StreamKey> keys = KeyStream(seed, 200);
    const std::string one = Typed(GetParam(), keys, Typist::kOneByOne);
    EXPECT_GT(one.size(), 180u);
    EXPECT_EQ(Typed(GetParam(), keys, Typist::kAhead), one);
    EXPECT_EQ(Typed(GetParam(), keys, Typist::kOverlapping), one);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Routes, TypedAheadTest,
    ::testing::Values(StreamCase{"PostedEdit", "FALSE 1 ZafrelXP", "Edit", "Untitled - Notepad"},
                      StreamCase{"PostedEditModeTrue", "TRUES 2 ZafrelXP", "Edit", "Notepad"},
                      StreamCase{"WordDocument", "FALSE 0 ZafrelXP", "_WwG",
                                 "Document1 - Microsoft Word"},
                      StreamCase{"SentCanvas", "TRUES 3 ZafrelXP", "Canvas", "Some Program"},
                      StreamCase{"SentFreeHand", "TRUES 4 ZafrelXP", "Canvas", "FreeHand"}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

std::vector<KeyEvent> Taps(std::initializer_list<UINT> vks) {
  std::vector<KeyEvent> out;
  for (UINT vk : vks) {
    out.push_back({vk, true});
    out.push_back({vk, false});
  }
  return out;
}

std::vector<KeyEvent> operator+(std::vector<KeyEvent> a, const std::vector<KeyEvent>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct OverlapCase {
  const char* name;
  StreamCase window;
  std::vector<KeyEvent> overlapped;
  std::vector<KeyEvent> oneByOne;
};

const StreamCase kPosted{"", "FALSE 1 ZafrelXP", "Edit", "Untitled - Notepad"};
const StreamCase kSent{"", "TRUES 3 ZafrelXP", "Canvas", "Some Program"};

}  // namespace

// Overlaps a typist makes beside the plain roll: a letter held over a whole Space press; a Ctrl
// shortcut while a key is held; a key whose release went to another window; Shift-layer and
// separator keys held into the next key on the sent route.
TEST(OverlapTest, SameTextAsKeysTypedOneAtATime) {
  const UINT kShift = VK_LSHIFT, kSpace = VK_SPACE;
  const OverlapCase cases[] = {
      {"LetterHeldOverASpace", kPosted,
       Taps({'E'}) +
           std::vector<KeyEvent>{{'M', true}, {kSpace, true}, {kSpace, false}, {'M', false}} +
           Taps({'Q', kSpace}),
       Taps({'E', 'M', kSpace, 'Q', kSpace})},
      {"LetterHeldOverASpaceNoWordOpen", kPosted,
       Taps({'B'}) +
           std::vector<KeyEvent>{{'M', true}, {kSpace, true}, {kSpace, false}, {'M', false}} +
           Taps({'Q', kSpace}),
       Taps({'B', 'M', kSpace, 'Q', kSpace})},
      {"DigitHeldOverACtrlShortcut", kSent,
       std::vector<KeyEvent>{{'1', true},
                             {VK_CONTROL, true},
                             {'C', true},
                             {'C', false},
                             {VK_CONTROL, false},
                             {'1', false}} +
           Taps({'9'}),
       Taps({'1'}) +
           std::vector<KeyEvent>{
               {VK_CONTROL, true}, {'C', true}, {'C', false}, {VK_CONTROL, false}} +
           Taps({'9'})},
      {"SpaceReleasedInAnotherWindow", kPosted,
       Taps({'E'}) + std::vector<KeyEvent>{{kSpace, true}, {kSpace, false, true}} +
           Taps({'A', kSpace, 'B', kSpace}),
       Taps({'E', kSpace, 'A', kSpace, 'B', kSpace})},
      {"ShiftLayerHeldIntoALetterOnTheSentRoute", kSent,
       Taps({'E'}) +
           std::vector<KeyEvent>{{kShift, true},
                                 {'W', true},
                                 {kShift, false},
                                 {'A', true},
                                 {'W', false},
                                 {'A', false}} +
           Taps({kSpace}),
       Taps({'E'}) +
           std::vector<KeyEvent>{{kShift, true}, {'W', true}, {'W', false}, {kShift, false}} +
           Taps({'A', kSpace})},
      {"SeparatorHeldIntoALetterOnTheSentRoute", kSent,
       Taps({'E'}) +
           std::vector<KeyEvent>{
               {VK_SEPARATOR, true}, {'A', true}, {VK_SEPARATOR, false}, {'A', false}} +
           Taps({kSpace}),
       Taps({'E', VK_SEPARATOR, 'A', kSpace})},
  };
  for (const OverlapCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string one = Play(c.window, c.oneByOne, false);
    EXPECT_EQ(Play(c.window, c.overlapped, false), one);
    EXPECT_EQ(Play(c.window, c.overlapped, true), one);
  }
}
