// The glyph data of the five font encodings: every code checked against the letter shapes it
// must have, so that a single mistyped byte fails somewhere here.
#include <set>
#include <string>

#include "tests/unit/library_test.h"
#include "typing/glyph_tables.h"

namespace {

struct SetInfo {
  char fontCode;
  int variant;
  unsigned char lamAlef0, lamAlef1;
  // FNV-1a of isolated, final, medial, initial and shift, taken when the tables were proofread.
  uint32_t fingerprint[5];
};

const SetInfo kSets[] = {
    {'0', 0, 0xE8, 0xE9, {0xBB564BF4, 0x78A35792, 0x4CCF01B0, 0x1FB2C6A8, 0x169ADA59}},
    {'1', 1, 0xE6, 0xE7, {0x541C1131, 0x832EC9CB, 0xF626F9B8, 0x7F0EF181, 0x0A3518B2}},
    {'2', 2, 0xE6, 0xE7, {0xFCD7AA48, 0xC0492D10, 0xD1FC6D50, 0x8DAE6EA5, 0xD40B0783}},
    {'3', 3, 0xBF, 0xC0, {0x14212FD2, 0xAB155E53, 0x8182DDA8, 0x4CEB5968, 0x77F6FB32}},
    {'4', 4, 0xE1, 0xE2, {0xC4C625E8, 0x8B669BBB, 0xA6196E65, 0xF526CBF0, 0x6B9380AA}},
};
constexpr uint32_t kAltShiftFingerprint = 0xEB37ED5D;

void PrintTo(const SetInfo& s, std::ostream* os) { *os << "font code '" << s.fontCode << "'"; }

uint32_t Fingerprint(const unsigned char* table) {
  uint32_t h = 0x811C9DC5u;
  for (int i = 0; i < kKeyIndexCount; ++i) h = (h ^ table[i]) * 0x01000193u;
  return h;
}

int Key(char letter) { return letter - 'A'; }

enum class Shape { JoinsBothSides, JoinsBeforeOnly, OneCode, Digit };

// The shape each key index has in the four form tables of a set.
Shape ShapeOf(int key, int variant) {
  if (key == kKeyIndexFullStop || key == kKeyIndexSlash || key == kKeyIndexSeparator)
    return Shape::OneCode;
  if (key >= kKeyIndexDigit4 && key <= kKeyIndexDigit4 + 2) return Shape::Digit;
  static const std::set<int> joinsBeforeOnly = {Key('B'), Key('C'), Key('H'), Key('N'),
                                                Key('V'), 29,       30};
  if (joinsBeforeOnly.count(key)) return Shape::JoinsBeforeOnly;
  if (key == Key('M')) return variant == 1 ? Shape::JoinsBothSides : Shape::JoinsBeforeOnly;
  return Shape::JoinsBothSides;
}

class GlyphSetTest : public LibraryTestWithParam<SetInfo> {
 protected:
  void SetUp() override { SelectGlyphTableSet(GetParam().fontCode); }
};

}  // namespace

TEST_P(GlyphSetTest, SelectionPointsAtTheSetOfTheFontCode) {
  const SetInfo& s = GetParam();
  const GlyphTableSet& set = GlyphTableSetFor(s.fontCode);
  EXPECT_EQ(nTableVariant, s.variant);
  EXPECT_EQ(pIsolatedTable, set.isolated);
  EXPECT_EQ(pFinalTable, set.final);
  EXPECT_EQ(pMedialTable, set.medial);
  EXPECT_EQ(pInitialTable, set.initial);
  EXPECT_EQ(pShiftTable, set.shift);
  EXPECT_EQ(pLamAlefPair, set.lamAlef);
  EXPECT_EQ(pLamAlefPair[0], s.lamAlef0);
  EXPECT_EQ(pLamAlefPair[1], s.lamAlef1);
}

TEST_P(GlyphSetTest, TablesMatchTheirProofreadFingerprints) {
  const unsigned char* tables[5] = {pIsolatedTable, pFinalTable, pMedialTable, pInitialTable,
                                    pShiftTable};
  for (int t = 0; t < 5; ++t) {
    EXPECT_EQ(Fingerprint(tables[t]), GetParam().fingerprint[t]) << "table " << t;
  }
}

TEST_P(GlyphSetTest, EveryKeyHasTheShapesOfItsLetterClass) {
  const int variant = GetParam().variant;
  for (int key = 0; key < kKeyIndexCount; ++key) {
    SCOPED_TRACE("key index " + std::to_string(key));
    const unsigned iso = pIsolatedTable[key], fin = pFinalTable[key], med = pMedialTable[key],
                   ini = pInitialTable[key];
    switch (ShapeOf(key, variant)) {
      case Shape::JoinsBothSides:
        EXPECT_EQ((std::set<unsigned>{iso, fin, med, ini}).size(), 4u);
        break;
      case Shape::JoinsBeforeOnly:
        EXPECT_EQ(ini, iso);
        EXPECT_EQ(med, fin);
        EXPECT_NE(ini, med);
        break;
      case Shape::OneCode: {
        const unsigned ascii = key == kKeyIndexFullStop ? 0x2E
                               : key == kKeyIndexSlash  ? 0x2F
                                                        : 0x2D;
        EXPECT_EQ((std::set<unsigned>{iso, fin, med, ini}), std::set<unsigned>{ascii});
        break;
      }
      case Shape::Digit: {
        const unsigned digit = "467"[key - kKeyIndexDigit4];
        const unsigned others = variant == 0 ? digit : 0x40;
        EXPECT_EQ(ini, digit);
        EXPECT_EQ((std::set<unsigned>{iso, fin, med}), std::set<unsigned>{others});
        break;
      }
    }
  }
}

TEST_P(GlyphSetTest, CodesAreNonZeroPrintableBytes) {
  for (const unsigned char* t :
       {pIsolatedTable, pFinalTable, pMedialTable, pInitialTable, pShiftTable, abAltShiftTable}) {
    for (int key = 0; key < kKeyIndexCount; ++key) {
      EXPECT_GE(t[key], 0x22) << "key index " << key;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(FontCodes, GlyphSetTest, ::testing::ValuesIn(kSets),
                         [](const auto& info) { return std::string("Set") + info.param.fontCode; });

TEST_F(LibraryTest, DefaultSetGivesMFourShapesAndTheOtherSetsTwo) {
  SelectGlyphTableSet('1');
  const int m = Key('M');
  EXPECT_EQ(pIsolatedTable[m], 0xA2);
  EXPECT_EQ(pFinalTable[m], 0xA1);
  EXPECT_EQ(pMedialTable[m], 0x45);
  EXPECT_EQ(pInitialTable[m], 0x44);
}

TEST_F(LibraryTest, ShiftLayerEdgeCodes) {
  SelectGlyphTableSet('2');
  EXPECT_EQ(pShiftTable[kKeyIndexSeparator], 0x40);
  EXPECT_EQ(pShiftTable[kKeyIndexDigit4], 0x40);
  SelectGlyphTableSet('4');
  EXPECT_EQ(pShiftTable[kKeyIndexSeparator], 0xFC);
  SelectGlyphTableSet('3');
  EXPECT_EQ(pShiftTable[kKeyIndexSeparator], 0xC7);
}

// Keys whose entries differ between two Shift layers, by key index.
std::set<int> DifferingKeys(const unsigned char* a, const unsigned char* b) {
  std::set<int> keys;
  for (int key = 0; key < kKeyIndexCount; ++key) {
    if (a[key] != b[key]) keys.insert(key);
  }
  return keys;
}

TEST_F(LibraryTest, ShiftLayersDifferOnlyWhereTheyMust) {
  const GlyphTableSet& set0 = GlyphTableSetFor('0');
  const GlyphTableSet& dflt = GlyphTableSetFor('1');
  EXPECT_EQ(DifferingKeys(set0.shift, dflt.shift), (std::set<int>{Key('H'), Key('M')}));
  EXPECT_EQ(set0.shift[Key('H')], 0x7B);
  EXPECT_EQ(dflt.shift[Key('H')], 0x40);
  EXPECT_EQ(set0.shift[Key('M')], 0x96);
  EXPECT_EQ(dflt.shift[Key('M')], 0x46);

  const std::set<int> altKeys = {Key('A'), Key('C'), Key('D'), Key('F'), Key('G'), Key('P'),
                                 Key('R'), Key('S'), Key('U'), Key('V'), Key('X'), Key('Z'),
                                 26,       27,       28,       31};
  EXPECT_EQ(DifferingKeys(abAltShiftTable, dflt.shift), altKeys);
  EXPECT_EQ(Fingerprint(abAltShiftTable), kAltShiftFingerprint);
}

TEST_F(LibraryTest, NoSetIsSelectedAtAttach) {
  EXPECT_FALSE(GlyphTableSetSelected());
  EXPECT_EQ(pInitialTable, nullptr);
  EXPECT_EQ(pLamAlefPair, nullptr);
  EXPECT_EQ(nTableVariant, 0);
  // Set 0 has the variant of no selection at all: only the pointers tell them apart.
  EXPECT_EQ(SelectGlyphTableSet('0'), 1);
  EXPECT_EQ(nTableVariant, 0);
  EXPECT_TRUE(GlyphTableSetSelected());
}

TEST_F(LibraryTest, EveryOtherFontCodeSelectsTheDefaultSet) {
  const GlyphTableSet& dflt = GlyphTableSetFor('1');
  for (int code = -128; code < 128; ++code) {
    const signed char fontCode = static_cast<signed char>(code);
    SelectGlyphTableSet('3');  // something else first: the selection must really change
    EXPECT_EQ(SelectGlyphTableSet(fontCode), 1);
    const bool ownSet = code == '0' || code == '2' || code == '3' || code == '4';
    if (ownSet) {
      EXPECT_EQ(nTableVariant, code - '0');
    } else {
      EXPECT_EQ(nTableVariant, 1) << "font code " << code;
      EXPECT_EQ(pMedialTable, dflt.medial) << "font code " << code;
    }
  }
}

TEST(KeyIndex, ThirtyNineKeysEachWithItsOwnColumn) {
  const std::map<UINT, int> punctuationAndDigits = {
      {0xC0, 26}, {0xDB, 27}, {0xDD, 28}, {0xDC, 29}, {0xBC, 30}, {0xBE, 31}, {0xBF, 32},
      {0xBA, 33}, {0xDE, 34}, {'4', 35},  {'6', 36},  {'7', 37},  {0x6C, 38}};
  for (UINT vk = 0; vk < 256; ++vk) {
    int expected = -1;
    if (vk >= 'A' && vk <= 'Z') expected = static_cast<int>(vk - 'A');
    auto it = punctuationAndDigits.find(vk);
    if (it != punctuationAndDigits.end()) expected = it->second;
    EXPECT_EQ(KeyIndexOfVirtualKey(vk), expected) << "virtual key " << vk;
  }
}
