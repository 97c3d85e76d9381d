// Whole words typed key by key through both hooks into an edit control, replayed in the order
// Windows delivers posted, sent and injected input: the text must hold exactly the right glyphs,
// in storage order (the screen's left to right, so a Farsi word reads from its right end).
#include <functional>
#include <string>

#include "tests/unit/library_test.h"
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
