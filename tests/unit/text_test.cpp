// The comparisons behind window-name tests behave as the C runtime's _strnicmp / _strcmpi / strcmp.
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
