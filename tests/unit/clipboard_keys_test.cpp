// The clipboard command's text as keys: which key each character takes in each font code's set,
// where the line breaks are, and which characters are refused, by their place in UTF-16 units.
#include <gtest/gtest.h>

#include <string>

#include "tools/controller/clipboard_keys.h"
#include "win32/win32.h"

namespace {

struct Case {
  const char16_t* text;
  int set;
  const char* keys;     // the virtual keys as characters; \r for Return
  const char* refused;  // "U+XXXX@at ..." of the listed ones, then "+N" for the rest
  const char* why;
};

const Case kCases[] = {
    {u"سلام دنیا", 1, "SGHL NKDH", "", "letters and a space"},
    {u"كتاب يك", 2, "\xBAJHF D\xBA", "", "Arabic kaf and yeh as keheh and Farsi yeh"},
    {u"مسئله", 1, "LSMGI", "", "yeh with hamza is M in the default set"},
    {u"مسئله", 0, "LSGI", "U+0626@3", "and no key in set 0, where M has two forms"},
    {u"ب\r\nب\nب\rب", 1, "F\rF\rF\rF", "", "CR LF, LF and CR are one Return each"},
    {u"آب\u200cها،", 1, "FIH", "U+0622@1 U+200C@3 U+060C@6", "no Shift keys: alef madda, comma"},
    {u"\U0001F600ب\xD800", 1, "F", "U+1F600@1 U+D800@4", "a surrogate pair, then a lone one"},
    {u"a1.؟ءۀؤإة", 1, "", "U+0061@1 U+0031@2 U+002E@3 U+061F@4+5", "four listed, the rest counted"},
};

void PrintTo(const Case& c, std::ostream* os) { *os << "set " << c.set << ": " << c.why; }

class ClipboardKeys : public ::testing::TestWithParam<Case> {};

TEST_P(ClipboardKeys, TypeTheLayoutsKeys) {
  const Case& c = GetParam();
  const clipboard_keys::Keys keys = clipboard_keys::KeysOfText(c.text, c.set);
  std::string typed(keys.keys.begin(), keys.keys.end());
  for (char& k : typed) k = k == VK_RETURN ? '\r' : k;
  EXPECT_EQ(typed, std::string(c.keys));
  std::string refused;
  for (int i = 0; i < keys.refused && i < clipboard_keys::kListed; ++i) {
    char one[24];
    std::snprintf(one, sizeof one, "%sU+%04X@%d", i > 0 ? " " : "",
                  static_cast<unsigned>(keys.listed[i].code), keys.listed[i].at);
    refused += one;
  }
  if (keys.refused > clipboard_keys::kListed) {
    refused += "+" + std::to_string(keys.refused - clipboard_keys::kListed);
  }
  EXPECT_EQ(refused, c.refused);
}

INSTANTIATE_TEST_SUITE_P(Texts, ClipboardKeys, ::testing::ValuesIn(kCases));

TEST(ClipboardKeysBreaks, AreCountedInUtf16UnitsFromOne) {
  const clipboard_keys::Keys keys = clipboard_keys::KeysOfText(u"ب\r\n\U0001F600\nب\r", 1);
  EXPECT_EQ(keys.breaks, (std::vector<int>{2, 6, 8}));
}

}  // namespace
