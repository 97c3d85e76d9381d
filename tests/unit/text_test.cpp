// The comparisons behind window-name tests behave as the C runtime's _strnicmp / _strcmpi / strcmp.
#include <cctype>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "hooklib/text.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

struct CompareCase {
  const char* a;
  const char* b;
  unsigned count;
  int noCaseN;  // sign of TextCompareNoCaseN(a, b, count)
};

void PrintTo(const CompareCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(std::string(c.a)) << " / "
      << ::testing::PrintToString(std::string(c.b)) << " over " << c.count;
}

}  // namespace

class CompareNoCaseN : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareNoCaseN, StopsAtTheFirstDifferenceOrTerminatorWithinCount) {
  const CompareCase& c = GetParam();
  EXPECT_EQ(Sign(TextCompareNoCaseN(c.a, c.b, c.count)), c.noCaseN) << c.a << " / " << c.b;
  EXPECT_EQ(Sign(TextCompareNoCaseN(c.b, c.a, c.count)), -c.noCaseN) << "not antisymmetric";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareNoCaseN,
    ::testing::Values(CompareCase{"Edit", "Edit", 9, 0},     //
                      CompareCase{"EDIT", "Edit", 9, 0},     // letters fold
                      CompareCase{"EditBox", "Edit", 9, 1},  // the terminator takes part
                      CompareCase{"EditBox", "Edit", 4, 0},  // ...unless beyond the count
                      CompareCase{"_wwgX", "_WwG", 4, 0},    //
                      CompareCase{"Edi", "Edit", 9, -1},     //
                      CompareCase{"", "Edit", 9, -1},        //
                      CompareCase{"", "", 9, 0},             //
                      CompareCase{"abc", "xyz", 0, 0},       // nothing compared
                      CompareCase{"_", "a", 1, -1},          // folded to lower: '_' < 'a'
                      CompareCase{"[", "A", 1, -1},          // '[' (0x5B) < 'a' (0x61)
                      CompareCase{"\xC9", "\xE9", 1, -1},    // above 0x7F: not folded
                      CompareCase{"\xE9", "\x41", 1, 1},     // and compared unsigned
                      CompareCase{"Adobe Photoshop CS", "adobe photoshop", 15, 0}));

TEST(TextCompare, NoCaseWithoutLimitAndExact) {
  EXPECT_EQ(TextCompareNoCase("false", "FALSE"), 0);
  EXPECT_NE(TextCompareNoCase("FALSE ", "FALSE"), 0);
  EXPECT_NE(TextCompareNoCase("", "TRUE"), 0);
  EXPECT_EQ(TextCompare("_WwG", "_WwG"), 0);
  EXPECT_NE(TextCompare("_wwg", "_WwG"), 0);
  EXPECT_LT(TextCompare("A", "\xC1"), 0);  // unsigned bytes
  EXPECT_GT(TextCompare("AfxFrameOrView42x", "AfxFrameOrView42"), 0);
}

TEST(TextCopy, CutsToCapacityAndAlwaysTerminates) {
  char buf[6];
  std::memset(buf, 'x', sizeof buf);
  CopyText(buf, "FALSE", sizeof buf);
  EXPECT_STREQ(buf, "FALSE");
  CopyText(buf, "TRUESXYZ", sizeof buf);
  EXPECT_STREQ(buf, "TRUES");
  CopyText(buf, "", sizeof buf);
  EXPECT_STREQ(buf, "");
  CopyText(buf, "unchanged", 0);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(TextLength("WH_DEBUG"), 8u);
  EXPECT_EQ(TextLength(""), 0u);
}

TEST(TextClear, ClearsExactlyTheGivenBytes) {
  char buf[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
  ClearBytes(buf + 1, 5);
  EXPECT_EQ(std::string(buf, 8), std::string("a\0\0\0\0\0gh", 8));
}

// The literal comparisons must answer exactly as the counted ones they stand for, whatever the
// text: shorter, longer, another case, a terminator in the middle, bytes above 0x7F.
TEST(TextLiteral, AgreesWithTheCountedComparisons) {
  const char* const texts[] = {"",
                               "A",
                               "Adobe",
                               "Adobe ",
                               "adobe photoshop",
                               "ADOBE PHOTOSHOP 7",
                               "Adobe Photoshoq",
                               "Adobe\0Photoshop",
                               "Edit",
                               "EDIT",
                               "Edit2",
                               "Edi",
                               "_wwG",
                               "\xC1"
                               "dobe",
                               "Photoshop",
                               "FreeHand",
                               "FreeHand 9"};
  for (const char* t : texts) {
    const std::string shown = ::testing::PrintToString(std::string(t));
    EXPECT_EQ(StartsWithNoCase(t, "Adobe Photoshop"),
              TextCompareNoCaseN(t, "Adobe Photoshop", 15) == 0)
        << shown;
    EXPECT_EQ(StartsWithNoCase(t, "Edit"), TextCompareNoCaseN(t, "Edit", 4) == 0) << shown;
    EXPECT_EQ(EqualsNoCase(t, "Edit"), TextCompareNoCaseN(t, "Edit", 9) == 0) << shown;
    EXPECT_EQ(EqualsNoCase(t, "FreeHand"), TextCompareNoCase(t, "FreeHand") == 0) << shown;
    EXPECT_EQ(StartsWith(t, "Adobe "), std::strncmp(t, "Adobe ", 6) == 0) << shown;
    EXPECT_EQ(Equals(t, "Edit"), TextCompare(t, "Edit") == 0) << shown;
    EXPECT_EQ(Equals(t, "FreeHand"), TextCompare(t, "FreeHand") == 0) << shown;
  }
}

// A name buffer readied for a count-limited read: the first byte and every byte from the
// count's last one on are zero, and nothing else is written.
TEST(TextClear, ReadiesANameBufferAtItsEnds) {
  struct Case {
    unsigned size, count;
    const char* after;
  };
  const Case cases[] = {
      {8, 6, "\0bcde\0\0\0"},  // the read may end its text at [5]: [5..7] zeroed
      {8, 8, "\0bcdefg\0"},   {8, 1, "\0\0\0\0\0\0\0\0"},  // only a terminator fits
      {8, 0, "\0bcdefgh"},   // nothing will be written: only the first byte
      {8, 20, "\0bcdefgh"},  // a count past the buffer is not honoured
  };
  for (const Case& c : cases) {
    char buf[9] = "abcdefgh";
    ClearNameBuffer(buf, c.size, c.count);
    EXPECT_EQ(std::string(buf, 9), std::string(c.after, 8) + '\0')
        << "size " << c.size << ", count " << c.count;
  }
}

// Whole words in the middle, single bytes at unaligned ends: exactly the range, at every offset.
TEST(TextClear, ClearsExactlyTheRangeAtEveryAlignment) {
  for (unsigned offset = 0; offset < 8; ++offset) {
    for (unsigned count = 0; count <= 40; ++count) {
      alignas(8) unsigned char buf[64];
      std::memset(buf, 0xAA, sizeof buf);
      ClearBytes(buf + offset, count);
      for (unsigned i = 0; i < sizeof buf; ++i) {
        const bool inside = i >= offset && i < offset + count;
        ASSERT_EQ(buf[i], inside ? 0 : 0xAA)
            << "offset " << offset << ", count " << count << ", byte " << i;
      }
    }
  }
}

// Exactly 'A' to 'Z' fold: the two ends of the range do, their neighbours '@' and '[' do not
// (else they would equal '`' and '{', 0x20 above them).
TEST(TextCompare, FoldsTheLettersAToZAndNoNeighbour) {
  struct FoldCase {
    const char* a;
    const char* b;
    int sign;
  };
  for (const FoldCase& c : {FoldCase{"A", "a", 0}, FoldCase{"Z", "z", 0}, FoldCase{"@", "`", -1},
                            FoldCase{"[", "{", -1}, FoldCase{"\xC1", "\xE1", -1}}) {
    EXPECT_EQ(Sign(TextCompareNoCase(c.a, c.b)), c.sign) << c.a << " / " << c.b;
    EXPECT_EQ(Sign(TextCompareNoCase(c.b, c.a)), -c.sign) << c.b << " / " << c.a;
  }
}

// Byte against byte, the no-case comparison answers as the C library's tolower in the "C" locale
// says: every pair of bytes.
TEST(TextCompare, NoCaseAgreesWithTheCLocaleForEveryPairOfBytes) {
  int disagreements = 0;
  for (int i = 1; i < 256; ++i) {
    for (int j = 1; j < 256; ++j) {
      const char a[2] = {static_cast<char>(i), 0};
      const char b[2] = {static_cast<char>(j), 0};
      const int want = Sign(std::tolower(i) - std::tolower(j));
      if (Sign(TextCompareNoCase(a, b)) != want) ++disagreements;
    }
  }
  EXPECT_EQ(disagreements, 0);
}
