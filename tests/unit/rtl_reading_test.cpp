// The controller's test of the ANSI code page: does it read the selected font code's glyph bytes
// as right-to-left text? Checked against real code pages' readings and Unicode's bidi classes,
// both taken from Python's codecs and unicodedata at build time (code_page_tables.h).
#include "tools/controller/rtl_reading.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "code_page_tables.h"

namespace {

using code_page_tables::kCodePages;
using rtl_reading::FindRightToLeftGlyphs;
using rtl_reading::GlyphBytesOf;
using rtl_reading::ReadsRightToLeft;

const code_page_tables::CodePage& CodePage(int number) {
  for (const auto& page : kCodePages) {
    if (page.number == number) return page;
  }
  ADD_FAILURE() << "code page " << number << " is not in the generated tables";
  return kCodePages[0];
}

constexpr signed char kFontCodes[] = {'0', '1', '2', '3', '4'};

// Each code page's answer, the same for every font code: every set has letters at C0-FF.
struct Expectation {
  int codePage;
  bool rightToLeft;
  const char* why;
};

const Expectation kExpectations[] = {
    {1252, false, "Western: the reading the legacy fonts are drawn for"},
    {1250, false, "Central European: Latin letters"},
    {1251, false, "Cyrillic"},
    {1253, false, "Greek"},
    {1254, false, "Turkish"},
    {1257, false, "Baltic"},
    {1258, false, "Vietnamese: Latin letters and combining accents of no right-to-left script"},
    {874, false, "Thai, whose vowel marks are no Arabic or Hebrew marks"},
    {932, false, "Japanese: half-width katakana, lead bytes read as nothing alone"},
    {936, false, "Simplified Chinese"},
    {949, false, "Korean"},
    {950, false, "Traditional Chinese"},
    {437, false, "the US OEM code page"},
    {1256, true, "Arabic: letters, vowel marks, LRM and RLM"},
    {1255, true, "Hebrew: letters and points"},
    {720, true, "Arabic OEM: Arabic letters"},
    {864, true, "Arabic OEM: Arabic presentation forms"},
    {862, true, "Hebrew OEM: Hebrew letters"},
};

TEST(RtlReading, EachCodePageAnswersForEveryFontCode) {
  ASSERT_EQ(std::size(kExpectations), std::size(kCodePages)) << "every generated page checked";
  for (const Expectation& e : kExpectations) {
    for (signed char font : kFontCodes) {
      const auto finding = FindRightToLeftGlyphs(CodePage(e.codePage).reading, font);
      EXPECT_EQ(finding.found, e.rightToLeft)
          << "code page " << e.codePage << " (" << e.why << "), font code " << font;
      EXPECT_EQ(finding.count > 0, e.rightToLeft) << e.codePage << ", font code " << font;
    }
  }
}

// The lowest glyph byte that counts, with its character, and how many do: as found by going
// through every byte of every table by hand.
TEST(RtlReading, FindingNamesTheLowestGlyphByteAndCountsThemAll) {
  for (const auto& page : kCodePages) {
    for (signed char font : {'0', '1', '2', '3', '4', '7'}) {
      const auto glyphs = GlyphBytesOf(font);
      int lowest = -1;
      int count = 0;
      for (int byte = 0; byte < 256; ++byte) {
        if (!glyphs.has[byte] || !ReadsRightToLeft(page.reading[byte])) continue;
        if (lowest < 0) lowest = byte;
        ++count;
      }
      const auto finding = FindRightToLeftGlyphs(page.reading, font);
      const std::string where =
          "code page " + std::to_string(page.number) + ", font code " + char(font);
      EXPECT_EQ(finding.count, count) << where;
      ASSERT_EQ(finding.found, lowest >= 0) << where;
      if (lowest < 0) continue;
      EXPECT_EQ(finding.byte, lowest) << where;
      EXPECT_EQ(finding.character, page.reading[lowest]) << where;
    }
  }
}

// Under 1256 the default set's demo text "salam donya" (20 42 FD F0 6B 20 EF E7 75) loses FD and
// F0 in a Unicode control: an LRM and a vowel mark, which count. 1256 keeps French letters at
// some of C0-FF: EF and E7 read as i and c with diacritics, which do not.
TEST(RtlReading, The1256ReadingsOfTheDemoBytes) {
  const auto& page = CodePage(1256);
  const struct {
    unsigned char byte;
    char16_t reading;
    bool counts;
  } demo[] = {{0x42, u'B', false}, {0xFD, 0x200E, true},   {0xF0, 0x064B, true},
              {0x6B, u'k', false}, {0xEF, u'\xEF', false}, {0xE7, u'\xE7', false},
              {0x75, u'u', false}};
  const auto glyphs = GlyphBytesOf('1');
  for (const auto& d : demo) {
    EXPECT_EQ(page.reading[d.byte], d.reading) << std::hex << int(d.byte);
    EXPECT_EQ(ReadsRightToLeft(page.reading[d.byte]), d.counts) << std::hex << int(d.byte);
    EXPECT_TRUE(glyphs.has[d.byte]) << std::hex << int(d.byte);
  }
}

// Every character of bidi class R or AL in the BMP counts, and so does every nonspacing mark of
// the right-to-left scripts; neighbours of the counted blocks do not.
TEST(RtlReading, CountsEveryStrongRightToLeftCharacterAndMark) {
  for (const auto& r : code_page_tables::kStrongRightToLeft) {
    for (unsigned c = r.first; c <= r.last; ++c) {
      EXPECT_TRUE(ReadsRightToLeft(char16_t(c))) << "R or AL: U+" << std::hex << c;
    }
  }
  for (const auto& r : code_page_tables::kRightToLeftMarks) {
    for (unsigned c = r.first; c <= r.last; ++c) {
      EXPECT_TRUE(ReadsRightToLeft(char16_t(c))) << "mark: U+" << std::hex << c;
    }
  }
  for (char16_t c : {0x058F, 0x0900, 0x200D, 0x2010, 0x2029, 0x202F, 0x2065, 0x206A, 0xFB1C, 0xFE00,
                     0xFE6F, 0xFEFF, 0x0000, 0x0041, 0x00C0, 0xFFFD}) {
    EXPECT_FALSE(ReadsRightToLeft(c)) << "U+" << std::hex << unsigned(c);
  }
  for (char16_t c : {0x0590, 0x08FF, 0x200E, 0x200F, 0x202A, 0x202E, 0x2066, 0x2069, 0xFB1D, 0xFDFF,
                     0xFE70, 0xFEFE, 0x061C}) {
    EXPECT_TRUE(ReadsRightToLeft(c)) << "U+" << std::hex << unsigned(c);
  }
}

// What every real code page reads a byte as, against its bidi class: strong right-to-left always
// counts, strong left-to-right never (but LRM, which shows nothing), and a mark only when it is
// one of the right-to-left scripts' (1258's combining accents and Thai's vowels are not).
TEST(RtlReading, AgreesWithTheBidiClassOfEveryCodePageReading) {
  for (const auto& page : kCodePages) {
    for (int byte = 0; byte < 256; ++byte) {
      const char16_t c = page.reading[byte];
      const char* bidi = page.bidi[byte];
      const std::string where = std::to_string(page.number) + " byte " + std::to_string(byte);
      if (std::strcmp(bidi, "R") == 0 || std::strcmp(bidi, "AL") == 0) {
        EXPECT_TRUE(ReadsRightToLeft(c)) << where;
      } else if (std::strcmp(bidi, "L") == 0) {
        EXPECT_EQ(ReadsRightToLeft(c), c == 0x200E) << where;
      } else if (std::strcmp(bidi, "NSM") == 0) {
        bool rtlMark = false;
        for (const auto& r : code_page_tables::kRightToLeftMarks) {
          rtlMark = rtlMark || (c >= r.first && c <= r.last);
        }
        EXPECT_EQ(ReadsRightToLeft(c), rtlMark) << where;
      }
    }
  }
}

// The bytes a font code can type: every entry of its tables, the lam-alef pair and the fixed
// Shift glyphs, and nothing else.
TEST(RtlReading, GlyphBytesAreEveryTableEntryAndNothingElse) {
  for (signed char font : {'0', '1', '2', '3', '4', '7'}) {
    const GlyphTableSet& set = GlyphTableSetFor(font);
    bool typed[256] = {};
    for (const GlyphTable* table : {&set.isolated, &set.final, &set.medial, &set.initial,
                                    &set.shift, set.variant == 1 ? &abAltShiftTable : &set.shift}) {
      for (unsigned char byte : *table) typed[byte] = true;
    }
    typed[set.lamAlef[0]] = typed[set.lamAlef[1]] = true;
    typed[132] = typed[117] = true;
    if (set.variant == 1) typed[188] = typed[189] = true;
    const auto glyphs = GlyphBytesOf(font);
    for (int byte = 0; byte < 256; ++byte) {
      EXPECT_EQ(glyphs.has[byte], typed[byte]) << "font code " << font << ", byte " << byte;
    }
  }
  // A few from the tables, by their meaning: the default set's lam-alef pair, set 3's, and the
  // second Shift layer's 0xB4 (left Shift with A), which no other table of the default set has.
  EXPECT_TRUE(GlyphBytesOf('1').has[0xE6] && GlyphBytesOf('1').has[0xE7]);
  EXPECT_TRUE(GlyphBytesOf('3').has[0xBF] && GlyphBytesOf('3').has[0xC0]);
  EXPECT_TRUE(GlyphBytesOf('1').has[0xB4]);
  EXPECT_FALSE(GlyphBytesOf('1').has[0x80]);
}

// Only glyph bytes count: a right-to-left reading of a byte the font code never types is no
// reason to warn, and one glyph byte is enough.
TEST(RtlReading, OnlyTheFontCodesOwnBytesCount) {
  for (signed char font : kFontCodes) {
    const auto glyphs = GlyphBytesOf(font);
    char16_t reading[256];
    for (int byte = 0; byte < 256; ++byte) reading[byte] = u'\x41';
    int typed = -1;
    for (int byte = 0; byte < 256; ++byte) {
      if (!glyphs.has[byte]) {
        reading[byte] = 0x0627;  // alef, on a byte no key types
      } else if (typed < 0 && byte >= 0x80) {
        typed = byte;
      }
    }
    EXPECT_FALSE(FindRightToLeftGlyphs(reading, font).found) << font;
    ASSERT_GE(typed, 0x80);
    reading[typed] = 0xFE8E;  // alef, final form
    const auto finding = FindRightToLeftGlyphs(reading, font);
    EXPECT_TRUE(finding.found) << font;
    EXPECT_EQ(finding.byte, typed) << font;
    EXPECT_EQ(finding.character, 0xFE8E) << font;
    EXPECT_EQ(finding.count, 1) << font;
  }
}

}  // namespace
