#include "codepage/code_page.h"

namespace codepage {

// The fixed glyphs the Shift layer of the editing keys types in every set: Shift+2 (a glyph
// left open), Shift with the keypad separator, and the two halves of the default set's Shift+;
// pair. Their letters are not known, so they read as U+FFFD; the ASCII ones the digit keys and
// Shift+Space type with Shift ('!', '(', ')', '|') are ordinary ASCII bytes.
const OtherKeyByte kFixedShiftBytes[4] = {
    {132, u'\uFFFD'},
    {117, u'\uFFFD'},
    {188, u'\uFFFD'},
    {189, u'\uFFFD'},
};

namespace {

constexpr char16_t kUnknown = u'\uFFFD';
constexpr int kKeyIndexM = 12;

const GlyphTable& FormTable(const GlyphTableSet& set, Form form) {
  switch (form) {
    case Form::kIsolated:
      return set.isolated;
    case Form::kFinal:
      return set.final;
    case Form::kMedial:
      return set.medial;
    case Form::kInitial:
      break;
  }
  return set.initial;
}

void Claim(CodePage& page, unsigned byte, Kind kind, char16_t character,
           Form form = Form::kIsolated, int keyIndex = -1) {
  page.meaning[byte] = {kind, form, static_cast<signed char>(keyIndex), character};
}

// One byte may be typed by several keys. A byte keeps the meaning of the most certain key that
// types it, in this order from weakest to strongest: the Shift layer, an ASCII character typed
// with Farsi typing off, M's glyphs, the digits, the fixed characters, the lam-alef ligature,
// the letters. No byte is the glyph of two letters or two forms in any set.
void Build(CodePage& page, int fontCode) {
  const GlyphTableSet& set = GlyphTableSetFor(static_cast<signed char>('0' + fontCode));
  page.fontCode = fontCode;
  for (unsigned byte = 0; byte < 256; ++byte) Claim(page, byte, Kind::kNothing, kUnknown);

  for (int index = 0; index < kKeyIndexCount; ++index) {
    Claim(page, set.shift[index], Kind::kOther, kUnknown);
    if (set.variant == 1) Claim(page, abAltShiftTable[index], Kind::kOther, kUnknown);
  }
  for (const OtherKeyByte& fixed : kFixedShiftBytes)
    Claim(page, fixed.byte, Kind::kOther, kUnknown);
  for (unsigned byte = 0x20; byte < 0x7F; ++byte) Claim(page, byte, Kind::kAscii, char16_t(byte));
  Claim(page, '\t', Kind::kAscii, u'\t');
  for (int form = 0; form < 4; ++form) {
    Claim(page, FormTable(set, Form(form))[kKeyIndexM], Kind::kOther, kUnknown);
  }
  for (unsigned digit = '0'; digit <= '9'; ++digit)
    Claim(page, digit, Kind::kDigit, char16_t(digit));
  for (const char* fixed = " ./-!()|"; *fixed != 0; ++fixed) {
    Claim(page, static_cast<unsigned char>(*fixed), Kind::kFixed, char16_t(*fixed));
  }
  page.lamAlef[0] = set.lamAlef[0];
  page.lamAlef[1] = set.lamAlef[1];
  Claim(page, set.lamAlef[0], Kind::kLamAlef, layout::kLetterOfKey[kKeyIndexLam], Form::kIsolated);
  Claim(page, set.lamAlef[1], Kind::kLamAlef, layout::kLetterOfKey[kKeyIndexLam], Form::kFinal);

  for (int index = 0; index < layout::kKeyCount; ++index) {
    const char16_t letter = layout::kLetterOfKey[index];
    // A letter that never joins the next one has the same code in its initial and isolated
    // columns: those bytes are its isolated shape, the medial and final ones its final shape.
    page.joinsOnward[index] = set.initial[index] != set.isolated[index];
    for (int form = 0; form < 4; ++form) {
      page.letterByte[index][form] = letter != 0 ? FormTable(set, Form(form))[index] : 0;
    }
    if (letter == 0) continue;
    for (int form = 0; form < 4; ++form) {
      const Form shape = Form(form);
      Claim(page, FormTable(set, shape)[index], Kind::kLetter, letter,
            page.joinsOnward[index]   ? shape
            : shape == Form::kInitial ? Form::kIsolated
            : shape == Form::kMedial  ? Form::kFinal
                                      : shape,
            index);
    }
  }
}

struct Pages {
  CodePage page[kFontCodeCount];
  Pages() {
    for (int code = 0; code < kFontCodeCount; ++code) Build(page[code], code);
  }
};

}  // namespace

const CodePage& CodePageOf(int fontCode) {
  static const Pages pages;
  return pages.page[fontCode >= 0 && fontCode < kFontCodeCount ? fontCode : 1];
}

}  // namespace codepage
