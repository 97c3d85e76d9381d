// Glyph tables of the five legacy Farsi font encodings. Every table holds one single-byte glyph
// code per key index; the keyboard hook types these codes as WM_CHAR characters.
#pragma once

#include "win32/win32.h"

constexpr int kKeyIndexCount = 39;

// Key indices that have a meaning of their own beyond "the n-th key".
constexpr int kKeyIndexLam = 6;         // key G: lam
constexpr int kKeyIndexAlef = 7;        // key H: alef
constexpr int kKeyIndexFullStop = 31;   // VK_OEM_PERIOD
constexpr int kKeyIndexSlash = 32;      // VK_OEM_2
constexpr int kKeyIndexSemicolon = 33;  // VK_OEM_1
constexpr int kKeyIndexDigit4 = 35;     // digit keys 4, 6, 7 follow in that order
constexpr int kKeyIndexSeparator = 38;  // VK_SEPARATOR (108)

typedef unsigned char GlyphTable[kKeyIndexCount];

// One font encoding: four letter-shape tables, the Shift layer and the lam-alef ligatures.
struct GlyphTableSet {
  GlyphTable isolated;       // last letter of a word, not joined to the letter before it
  GlyphTable final;          // last letter of a word, joined to the letter before it
  GlyphTable medial;         // a letter typed after a letter that is open to it
  GlyphTable initial;        // a letter typed with no open letter before it
  GlyphTable shift;          // the character typed with Shift
  unsigned char lamAlef[2];  // [0] replaces an initial lam, [1] a medial lam, when alef follows
  int variant;               // the font code's digit; 1 for the default set
};

// The current set of this process: null pointers and variant 0 until the first selection.
extern const unsigned char* pInitialTable;
extern const unsigned char* pMedialTable;
extern const unsigned char* pFinalTable;
extern const unsigned char* pIsolatedTable;
extern const unsigned char* pShiftTable;
extern const unsigned char* pLamAlefPair;
extern int nTableVariant;

// The default set's second Shift layer, chosen by which Shift key is held.
extern const GlyphTable abAltShiftTable;

// '0', '2', '3' and '4' select those sets; any other character (signed), '1' included, the
// default set. Always returns 1.
int SelectGlyphTableSet(signed char fontCode);

namespace key_index {

constexpr int KeyIndexOfKey(UINT vk) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<int>(vk - 'A');
  switch (vk) {
    case 0xC0:  // grave accent, tilde
      return 26;
    case 0xDB:  // [ {
      return 27;
    case 0xDD:  // ] }
      return 28;
    case 0xDC:  // \ |
      return 29;
    case 0xBC:  // , <
      return 30;
    case 0xBE:  // . >
      return kKeyIndexFullStop;
    case 0xBF:  // / ?
      return kKeyIndexSlash;
    case 0xBA:  // ; :
      return kKeyIndexSemicolon;
    case 0xDE:  // ' "
      return 34;
    case '4':
      return kKeyIndexDigit4;
    case '6':
      return 36;
    case '7':
      return 37;
    case VK_SEPARATOR:
      return kKeyIndexSeparator;
    default:
      return -1;
  }
}

// The same answers as a table: the keyboard hook and the pre-filter look a key up several times
// per typed key.
struct KeyIndexTable {
  signed char index[256];
  constexpr KeyIndexTable() : index() {
    for (UINT vk = 0; vk < 256; ++vk) index[vk] = static_cast<signed char>(KeyIndexOfKey(vk));
  }
};
inline constexpr KeyIndexTable kKeyIndexTable;

}  // namespace key_index

// The key index of a virtual key, or -1 for a key that has none.
inline int KeyIndexOfVirtualKey(UINT vk) {
  return vk < 256 ? key_index::kKeyIndexTable.index[vk] : -1;
}

// True once a set has been selected in this process: no table may be read before.
inline bool GlyphTableSetSelected() {
  return __atomic_load_n(&pInitialTable, __ATOMIC_ACQUIRE) != nullptr;
}

// The set of a font code without selecting it, for callers that compare sets.
const GlyphTableSet& GlyphTableSetFor(signed char fontCode);

// The selection as it is at attach: no set.
void ResetGlyphTableSet();
