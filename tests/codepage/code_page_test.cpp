// The code pages read from the glyph tables: the layout's letters fit the tables' shape classes,
// every letter form has a byte of its own, and a byte that several keys type keeps one meaning.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "codepage/code_page.h"
#include "codepage/convert.h"

using codepage::CodePageOf;
using codepage::Form;
using codepage::Kind;

namespace {

class EverySet : public ::testing::TestWithParam<int> {};

// The letters of each set's layout, M's yeh with hamza in the default set included, fall in the
// tables' shape classes: four different forms for a letter that joins both ways, two otherwise.
TEST_P(EverySet, LayoutLettersFitTheTables) {
  const int font = GetParam();
  const GlyphTableSet& set = GlyphTableSetFor(static_cast<signed char>('0' + font));
  EXPECT_EQ(layout::kLetterOfKey[kKeyIndexLam], u'\u0644');   // G is lam: the ligature follows it
  EXPECT_EQ(layout::kLetterOfKey[kKeyIndexAlef], u'\u0627');  // H is alef
  const std::u16string nonJoining = u"\u0630\u0632\u0627\u062F\u0631\u0698\u0648";
  std::set<char16_t> letters;
  for (int key = 0; key < layout::kKeyCount; ++key) {
    const char16_t letter = layout::LetterOfKey(key, font);
    if (letter == 0) continue;
    letters.insert(letter);
    const bool closedClass =
        set.initial[key] == set.isolated[key] && set.medial[key] == set.final[key];
    EXPECT_EQ(closedClass, nonJoining.find(letter) != std::u16string::npos) << "key index " << key;
    if (!closedClass) {  // a joining letter has four different shapes
      EXPECT_EQ(
          (std::set<int>{set.isolated[key], set.final[key], set.medial[key], set.initial[key]})
              .size(),
          4u);
    }
  }
  // The whole Persian alphabet, each letter on one key; in the default set M's ئ besides.
  EXPECT_EQ(letters.size(), font == 1 ? 33u : 32u);
}

TEST_P(EverySet, EveryLetterFormReadsBackAsItself) {
  const codepage::CodePage& page = CodePageOf(GetParam());
  std::set<int> seen;
  for (int key = 0; key < layout::kKeyCount; ++key) {
    if (layout::LetterOfKey(key, GetParam()) == 0) continue;
    const int forms = page.joinsOnward[key] ? 4 : 2;
    for (int form = 0; form < forms; ++form) {
      const int byte = page.letterByte[key][form];
      const codepage::ByteMeaning& m = page.meaning[byte];
      EXPECT_EQ(m.kind, Kind::kLetter) << "key " << key << " form " << form;
      EXPECT_EQ(m.keyIndex, key);
      EXPECT_EQ(static_cast<int>(m.form), form);
      EXPECT_EQ(m.character, layout::LetterOfKey(key, GetParam()));
      EXPECT_TRUE(seen.insert(byte).second) << "byte " << byte << " is two letter forms";
    }
  }
  for (int form = 0; form < 2; ++form) {
    EXPECT_EQ(page.meaning[page.lamAlef[form]].kind, Kind::kLamAlef);
    EXPECT_EQ(static_cast<int>(page.meaning[page.lamAlef[form]].form), form);
  }
}

// Every character a Shift key's byte is named by has that byte and no other: the encoder writes
// it, the decoder reads it back, and no character is named twice.
TEST_P(EverySet, EveryNamedShiftGlyphReadsBackAsItself) {
  const codepage::CodePage& page = CodePageOf(GetParam());
  int named = 0;
  std::set<char16_t> characters;
  for (int byte = 0; byte < 256; ++byte) {
    const codepage::ByteMeaning& m = page.meaning[byte];
    if (m.kind != Kind::kShifted) continue;
    ++named;
    EXPECT_TRUE(characters.insert(m.character).second);
    // The character alone, as UTF-8 (all of them are in U+0080-U+07FF), and its byte.
    const std::string utf8 = {static_cast<char>(0xC0 | (m.character >> 6)),
                              static_cast<char>(0x80 | (m.character & 0x3F))};
    codepage::Converter converter(GetParam());
    std::string legacy, text;
    ASSERT_TRUE(converter.Encode(utf8, legacy, false)) << "byte " << byte;
    EXPECT_EQ(legacy, std::string(1, static_cast<char>(byte)));
    ASSERT_TRUE(converter.Decode(legacy, text, false));
    EXPECT_EQ(text, utf8);
  }
  const int kExpected[] = {1, 11, 0, 0, 0};  // set 0: hamza only; sets 2-4 follow no layout
  EXPECT_EQ(named, kExpected[GetParam()]);
}

INSTANTIATE_TEST_SUITE_P(FontCodes, EverySet, ::testing::Range(0, 5));

struct ByteCase {
  int font;
  int byte;
  Kind kind;
  char16_t character;
  const char* why;
};

// Bytes that more than one key types, and bytes at the edges of the rules.
const ByteCase kBytes[] = {
    {0, 0xAF, Kind::kLetter, u'\u062F', "final dal, also Shift+A: the letter wins"},
    {0, 0xF7, Kind::kLetter, u'\u0648', "final waw, also Shift+U"},
    {2, 0xFE, Kind::kLetter, u'\u06CC', "final yeh, also Shift+D"},
    {3, 0x5B, Kind::kLetter, u'\u062C', "final jeem, also Shift+[ and ASCII ["},
    {1, 0x41, Kind::kLetter, u'\u0627', "isolated alef, not the Latin A"},
    {1, 0x44, Kind::kLetter, u'\u0626', "M's initial glyph: yeh with hamza, not the Latin D"},
    {0, 0x82, Kind::kOther, u'\uFFFD', "M in set 0: two forms, which yeh with hamza has not"},
    {1, 0x95, Kind::kShifted, u'\u0624', "Shift+V: waw with hamza, as Windows' layout has it"},
    {1, 0xBA, Kind::kShifted, u'\u0625', "Shift+B, the same byte on both Shift layers"},
    {1, 0xB4, Kind::kOther, u'\uFFFD', "the second Shift layer's A: no layout names it"},
    {1, 0xA4, Kind::kOther, u'\uFFFD', "Shift+X, Arabic yeh: the layout's yeh is on D"},
    {1, 0xF6, Kind::kOther, u'\uFFFD', "Shift+comma: also the second layer's comma key"},
    {1, 0x40, Kind::kAscii, u'@', "Shift+H, alef with madda on Windows, also ASCII @"},
    {0, 0x96, Kind::kShifted, u'\u0621', "set 0's Shift+M: hamza"},
    {0, 0xA6, Kind::kLetter, u'\u062D', "set 0's Shift+Z, also medial hah: the letter wins"},
    {2, 0x84, Kind::kOther, u'\uFFFD', "set 2's Shift+H: its Shift layer is not Windows'"},
    {0, 0x44, Kind::kAscii, u'D', "no key of set 0 types it: Latin D"},
    {0, 0x43, Kind::kAscii, u'C', "Shift+full stop, also Latin C: ASCII wins over the Shift layer"},
    {1, 0x3F, Kind::kAscii, u'?', "Shift+slash and the question mark"},
    {0, 0x84, Kind::kOther, u'\uFFFD', "M's final glyph, and Shift+2's fixed glyph"},
    {1, 0x75, Kind::kLetter, u'\u0633', "initial seen, also Shift+separator's fixed glyph"},
    {1, 0xBC, Kind::kOther, u'\uFFFD', "Shift+; after a letter in the default set"},
    {0, 0xE8, Kind::kLamAlef, u'\u0644', "the isolated lam-alef"},
    {1, 0xE7, Kind::kLamAlef, u'\u0644', "the final lam-alef"},
    {2, 0x34, Kind::kDigit, u'4', "digit 4 from the initial table"},
    {2, 0x40, Kind::kAscii, u'@',
     "set 2's Shift+digit 4, also ASCII @; the digit columns' 0x40 is never typed"},
    {4, 0x2D, Kind::kFixed, u'-', "the keypad separator's hyphen-minus"},
    {4, 0x7C, Kind::kFixed, u'|', "Shift+Space with no open letter, also Shift+,"},
    {3, 0x09, Kind::kAscii, u'\t', "a tab stays a tab"},
    {0, 0x00, Kind::kNothing, u'\uFFFD', "no key types NUL"},
    {0, 0x90, Kind::kNothing, u'\uFFFD', "a byte no key of set 0 types"},
    {0, 0x7F, Kind::kNothing, u'\uFFFD', "DEL is no text"},
};

void PrintTo(const ByteCase& c, std::ostream* os) {
  *os << "font " << c.font << " byte " << c.byte << ": " << c.why;
}

class AmbiguousByte : public ::testing::TestWithParam<ByteCase> {};

TEST_P(AmbiguousByte, KeepsTheMeaningOfTheStrongestKey) {
  const ByteCase& c = GetParam();
  const codepage::ByteMeaning& m = CodePageOf(c.font).meaning[c.byte];
  EXPECT_EQ(m.kind, c.kind) << c.why;
  EXPECT_EQ(m.character, c.character) << c.why;
}

INSTANTIATE_TEST_SUITE_P(Rules, AmbiguousByte, ::testing::ValuesIn(kBytes));

}  // namespace
