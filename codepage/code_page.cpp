#include "codepage/code_page.h"

namespace codepage {

// The keys whose character the typewriter layout does not name: M, whose glyph differs from set to
// set (four forms in the default set, two elsewhere), the Shift layers, whose glyphs are the
// fonts' own, and the fixed glyphs the editing keys type with Shift. Their bytes read as the
// character given here; U+FFFD, counted by the decoder, while nothing better is known. The
// encoder never writes them. Where Windows' Persian layout names such a key and the set agrees
// with it (layout.h), the letters and the Shift step below name the byte after all. The ASCII
// characters the digit keys and Shift+Space type with Shift ('!', '(', ')', '|') are ordinary text
// and not listed.
const OtherKey kOtherKeys[kOtherKeyCount] = {
    {OtherKey::kShiftLayer, 0, u'\uFFFD'},        // every set's Shift table
    {OtherKey::kSecondShiftLayer, 0, u'\uFFFD'},  // the default set's other Shift key
    {OtherKey::kFixedByte, 132, u'\uFFFD'},       // Shift+2: a glyph left open
    {OtherKey::kFixedByte, 117, u'\uFFFD'},       // Shift with the keypad separator
    {OtherKey::kFixedByte, 188, u'\uFFFD'},       // the default set's left Shift+; after a letter
    {OtherKey::kFixedByte, 189, u'\uFFFD'},       // ... and elsewhere
    {OtherKey::kKeyM, 0, u'\uFFFD'},              // M, in each of its forms
};

namespace {

constexpr char16_t kUnknown = u'\uFFFD';  // what a byte no key types would read as

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

  // The Shift layers first, then ASCII text over them, then M's glyphs over that.
  for (const OtherKey& other : kOtherKeys) {
    if (other.source == OtherKey::kKeyM) continue;
    for (int index = 0; index < kKeyIndexCount; ++index) {
      if (other.source == OtherKey::kShiftLayer) {
        Claim(page, set.shift[index], Kind::kOther, other.character);
      } else if (other.source == OtherKey::kSecondShiftLayer && set.variant == 1) {
        Claim(page, abAltShiftTable[index], Kind::kOther, other.character);
      }
    }
    if (other.source == OtherKey::kFixedByte)
      Claim(page, other.byte, Kind::kOther, other.character);
  }
  for (unsigned byte = 0x20; byte < 0x7F; ++byte) Claim(page, byte, Kind::kAscii, char16_t(byte));
  Claim(page, '\t', Kind::kAscii, u'\t');
  for (const OtherKey& other : kOtherKeys) {
    if (other.source != OtherKey::kKeyM) continue;
    for (int form = 0; form < 4; ++form) {
      Claim(page, FormTable(set, Form(form))[layout::kKeyIndexM], Kind::kOther, other.character);
    }
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
    const char16_t letter = layout::LetterOfKey(index, fontCode);
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

// A set's Shift table follows Windows' Persian layout when it types that layout's ASCII characters
// on the keys that have one: the sets 0 and 1 do (Shift+I is ']', Shift+O '[' and so on), the
// others put other glyphs there.
bool ShiftFollowsWindowsLayout(const GlyphTableSet& set) {
  constexpr struct {
    int index;
    char character;
  } kAsciiKeys[] = {{key_index::KeyIndexOfKey('I'), ']'},
                    {key_index::KeyIndexOfKey('O'), '['},
                    {key_index::KeyIndexOfKey(0xDC), '|'},  // backslash
                    {kKeyIndexSemicolon, ':'},
                    {key_index::KeyIndexOfKey(0xDE), '"'}};  // apostrophe
  for (const auto& key : kAsciiKeys) {
    if (set.shift[key.index] != key.character) return false;
  }
  return true;
}

// True when no key but `index` types `byte` on either Shift layer, nor any fixed Shift glyph.
bool OnlyShiftKeyOf(const GlyphTableSet& set, int index, unsigned byte) {
  for (int other = 0; other < kKeyIndexCount; ++other) {
    if (other == index) continue;
    if (set.shift[other] == byte) return false;
    if (set.variant == 1 && abAltShiftTable[other] == byte) return false;
  }
  for (const OtherKey& other : kOtherKeys) {
    if (other.source == OtherKey::kFixedByte && other.byte == byte) return false;
  }
  return true;
}

// The Shift glyphs the layout names, where the set follows it: a byte that nothing stronger
// claims and that only that one Shift key types. A Shift key's glyph ends the word on the keyboard
// as in the encoder, so these are no letters that join.
void NameShiftedBytes(CodePage& page, const GlyphTableSet& set) {
  if (!ShiftFollowsWindowsLayout(set)) return;
  for (int index = 0; index < layout::kKeyCount; ++index) {
    const char16_t character = layout::kWindowsShiftCharacter[index];
    const unsigned byte = set.shift[index];
    if (character == 0 || page.meaning[byte].kind != Kind::kOther) continue;
    if (!OnlyShiftKeyOf(set, index, byte)) continue;
    Claim(page, byte, Kind::kShifted, character);
  }
}

struct Pages {
  CodePage page[kFontCodeCount];
  Pages() {
    for (int code = 0; code < kFontCodeCount; ++code) {
      Build(page[code], code);
      NameShiftedBytes(page[code], GlyphTableSetFor(static_cast<signed char>('0' + code)));
    }
  }
};

}  // namespace

const CodePage& CodePageOf(int fontCode) {
  static const Pages pages;
  return pages.page[fontCode >= 0 && fontCode < kFontCodeCount ? fontCode : 1];
}

unsigned char ShiftedByteOf(const CodePage& page, char32_t c) {
  for (unsigned byte = 0x80; byte < 256; ++byte) {  // a Shift glyph is never an ASCII byte
    const ByteMeaning& m = page.meaning[byte];
    if (m.kind == Kind::kShifted && m.character == c) return static_cast<unsigned char>(byte);
  }
  return 0;
}

}  // namespace codepage
