#include "tools/controller/rtl_reading.h"

namespace rtl_reading {

namespace {

// The fixed glyphs the editing keys and the keyboard hook type with Shift: Shift+2 (a glyph
// left open), Shift with the keypad separator, and the default set's two glyphs of the left
// Shift with semicolon.
constexpr unsigned char kFixedGlyphs[] = {132, 117};
constexpr unsigned char kDefaultSetSemicolonGlyphs[] = {188, 189};

void AddTable(ByteSet& set, const unsigned char* table) {
  for (int index = 0; index < kKeyIndexCount; ++index) set.has[table[index]] = true;
}

struct Range {
  char16_t first;
  char16_t last;
};

constexpr Range kRightToLeft[] = {
    {0x0590, 0x08FF},  // Hebrew to Arabic Extended-A
    {0x200E, 0x200F},  // LRM, RLM
    {0x202A, 0x202E},  // LRE, RLE, PDF, LRO, RLO
    {0x2066, 0x2069},  // LRI, RLI, FSI, PDI
    {0xFB1D, 0xFDFF},  // Hebrew presentation forms, Arabic presentation forms A
    {0xFE70, 0xFEFE},  // Arabic presentation forms B (FEFF is the byte order mark)
};

}  // namespace

ByteSet GlyphBytesOf(signed char fontCode) {
  const GlyphTableSet& glyphs = GlyphTableSetFor(fontCode);
  ByteSet set = {};
  const GlyphTable* const tables[] = {&glyphs.isolated, &glyphs.final, &glyphs.medial,
                                      &glyphs.initial, &glyphs.shift};
  for (const GlyphTable* table : tables) AddTable(set, *table);
  if (glyphs.variant == 1) {
    AddTable(set, abAltShiftTable);
    for (unsigned char byte : kDefaultSetSemicolonGlyphs) set.has[byte] = true;
  }
  for (unsigned char byte : glyphs.lamAlef) set.has[byte] = true;
  for (unsigned char byte : kFixedGlyphs) set.has[byte] = true;
  return set;
}

bool ReadsRightToLeft(char16_t c) {
  for (const Range& range : kRightToLeft) {
    if (c >= range.first && c <= range.last) return true;
  }
  return false;
}

Finding FindRightToLeftGlyphs(const char16_t (&reading)[256], signed char fontCode) {
  const ByteSet glyphs = GlyphBytesOf(fontCode);
  Finding finding = {false, 0, 0, 0};
  for (int byte = 0; byte < 256; ++byte) {
    if (!glyphs.has[byte] || !ReadsRightToLeft(reading[byte])) continue;
    if (!finding.found) {
      finding.found = true;
      finding.byte = static_cast<unsigned char>(byte);
      finding.character = reading[byte];
    }
    ++finding.count;
  }
  return finding;
}

}  // namespace rtl_reading
