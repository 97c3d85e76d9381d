// The target program's canvas edits its bytes as a multi-line edit control does: the text and
// caret each message leaves, and the same messages against the host engine's edit model, which
// predicts what the end-to-end tests type into the canvas.
#include "tools/target/canvas_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/unit/library_test.h"
#include "winsim/message_loop.h"

namespace {

// One message to the window.
struct Step {
  enum Kind { kChar, kKeyDown, kShiftKeyDown, kKeyUp } kind;
  unsigned code;
};

std::vector<Step> Chars(const std::string& text) {
  std::vector<Step> steps;
  for (unsigned char c : text) steps.push_back({Step::kChar, c});
  return steps;
}

std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<Step> kLeft = {{Step::kKeyDown, VK_LEFT}};
const std::vector<Step> kShiftLeft = {{Step::kShiftKeyDown, VK_LEFT}};
const std::vector<Step> kDelete = {{Step::kKeyDown, VK_DELETE}};
const std::vector<Step> kHome = {{Step::kKeyDown, VK_HOME}};
const std::vector<Step> kEnd = {{Step::kKeyDown, VK_END}};
const std::vector<Step> kLeftUp = {{Step::kKeyUp, VK_LEFT}};

CanvasText OnCanvas(const std::vector<Step>& steps) {
  CanvasText t;
  for (const Step& s : steps) {
    if (s.kind == Step::kChar) {
      CanvasChar(t, static_cast<unsigned char>(s.code));
    } else if (s.kind == Step::kKeyUp) {
      CanvasOtherKey(t);
    } else {
      CanvasKeyDown(t, s.code, s.kind == Step::kShiftKeyDown);
    }
  }
  return t;
}

// The same messages sent to a multi-line edit control of the host engine's model, then '|',
// which shows where the caret is and replaces a selection.
std::string OnEditModel(const std::vector<Step>& steps) {
  fakewin::Desktop d;
  ResetProcessState();
  HWND edit = d.AddWindow("ZafrelDocView", "", d.AddWindow("Pane", "", d.AddWindow("Frame", "")));
  MessageLoop loop(d);
  loop.SetMultiline(edit);
  for (const Step& s : steps + Chars("|")) {
    const UINT message = s.kind == Step::kChar    ? static_cast<UINT>(WM_CHAR)
                         : s.kind == Step::kKeyUp ? static_cast<UINT>(WM_KEYUP)
                                                  : static_cast<UINT>(WM_KEYDOWN);
    d.SetKeyDown(VK_SHIFT, s.kind == Step::kShiftKeyDown);
    SendMessageTimeoutA(edit, message, s.code, 0, SMTO_NORMAL, 1000, nullptr);
    loop.RunQueued();
  }
  const std::string text = loop.Text(edit);
  ResetProcessState();
  return text;
}

std::string WithCaretMark(const std::vector<Step>& steps) {
  CanvasText t = OnCanvas(steps);
  CanvasChar(t, '|');
  return t.bytes;
}

}  // namespace

// Each case: the bytes, the caret and the selection's other end afterwards.
TEST(CanvasText, EditsAsAMultiLineEditControl) {
  struct Case {
    const char* what;
    std::vector<Step> steps;
    std::string bytes;
    size_t caret, anchor;
  };
  const Case cases[] = {
      {"bytes in order", Chars("ab\xFD"), "ab\xFD", 3, 3},
      {"a byte at the caret", Chars("ab") + kLeft + Chars("\xE7"),
       "a\xE7"
       "b",
       2, 2},
      {"Left at the start", kLeft + Chars("a") + kLeft + kLeft, "a", 0, 0},
      {"Delete", Chars("abc") + kLeft + kLeft + kDelete, "ac", 1, 1},
      {"Delete at the end", Chars("ab") + kDelete, "ab", 2, 2},
      {"Enter", Chars("ab") + kLeft + Chars("\r"), "a\r\nb", 3, 3},
      {"Backspace over a line break", Chars("a\rb") + kLeft + Chars("\b"), "ab", 1, 1},
      {"Backspace at the start", Chars("a") + kLeft + Chars("\b"), "a", 0, 0},
      {"Left over a line break", Chars("a\rb") + kLeft + kLeft + Chars("x"), "ax\r\nb", 2, 2},
      {"Delete of a line break", Chars("a\rb") + kLeft + kLeft + kDelete, "ab", 1, 1},
      {"Home on the second line", Chars("a\rbc") + kHome + Chars("x"), "a\r\nxbc", 4, 4},
      {"Home at a line's start", Chars("a\r") + kHome, "a\r\n", 3, 3},
      {"End before a line break", Chars("ab\rc") + kHome + kLeft + kLeft + kHome + kEnd, "ab\r\nc",
       2, 2},
      {"End on the last line", Chars("ab") + kHome + kEnd, "ab", 2, 2},
      {"control characters do nothing", Chars("a\n\x01\x1B"), "a", 1, 1},
      {"Shift+Left selects", Chars("abc") + kShiftLeft + kShiftLeft, "abc", 1, 3},
      {"a byte replaces the selection", Chars("abc") + kShiftLeft + kShiftLeft + Chars("x"), "ax",
       2, 2},
      {"Delete deletes the selection", Chars("abc") + kShiftLeft + kShiftLeft + kDelete, "a", 1, 1},
      {"Left without Shift ends it", Chars("abc") + kShiftLeft + kLeft + Chars("x"), "axbc", 2, 2},
      {"a key-up ends it", Chars("abc") + kShiftLeft + kLeftUp + Chars("x"), "abxc", 3, 3},
      {"Backspace deletes before the caret and ends it",
       Chars("abc") + kShiftLeft + kShiftLeft + Chars("\b"), "bc", 0, 0},
  };
  for (const Case& c : cases) {
    const CanvasText t = OnCanvas(c.steps);
    EXPECT_EQ(t.bytes, c.bytes) << c.what;
    EXPECT_EQ(t.caret, c.caret) << c.what;
    EXPECT_EQ(t.anchor, c.anchor) << c.what;
    EXPECT_EQ(WithCaretMark(c.steps), OnEditModel(c.steps)) << c.what;
  }
}

// Random messages, a few at a time, over glyph bytes, line breaks and the editing keys: the
// canvas and the edit model agree on every sequence.
TEST(CanvasText, AgreesWithTheEditModel) {
  const std::vector<Step> kinds = {
      {Step::kChar, 0x42},
      {Step::kChar, 0xFD},
      {Step::kChar, ' '},
      {Step::kChar, '\r'},
      {Step::kChar, '\b'},
      {Step::kChar, 0x01},
      {Step::kKeyDown, VK_LEFT},
      {Step::kKeyDown, VK_DELETE},
      {Step::kKeyDown, VK_HOME},
      {Step::kKeyDown, VK_END},
      {Step::kShiftKeyDown, VK_LEFT},
      {Step::kShiftKeyDown, VK_HOME},
      {Step::kKeyUp, VK_LEFT},
      {Step::kKeyDown, 'E'},
  };
  std::mt19937 random(25);
  std::uniform_int_distribution<size_t> pick(0, kinds.size() - 1), length(1, 24);
  for (int round = 0; round < 300; ++round) {
    std::vector<Step> steps;
    for (size_t n = length(random); n > 0; --n) steps.push_back(kinds[pick(random)]);
    ASSERT_EQ(WithCaretMark(steps), OnEditModel(steps)) << "round " << round;
  }
}
