// The five legacy font encodings as code pages: what every byte of a set stands for, read from
// the glyph tables the typing engine types from, so that no code exists twice.
#pragma once

#include "codepage/layout.h"

namespace codepage {

constexpr int kFontCodeCount = 5;  // font codes 0-4; 1 is the default set

// A letter's contextual shape, in the order of the glyph set's form tables.
enum class Form : unsigned char { kIsolated, kFinal, kMedial, kInitial };

enum class Kind : unsigned char {
  kNothing,  // no key types this byte and it is no ASCII character
  kOther,    // typed by a key whose character we cannot name: M, the Shift layer
  kAscii,    // typed by no key of the set: the ASCII character itself (Latin typed with Farsi off)
  kDigit,    // an ASCII digit: the digit keys type them left to right
  kFixed,    // space, full stop, slash, hyphen-minus and the fixed Shift characters
  kLamAlef,  // the lam-alef ligature (form kIsolated or kFinal)
  kLetter,   // a letter of the layout in one contextual form
  kShifted,  // typed by a Shift key whose character Windows' Persian layout names
};

struct ByteMeaning {
  Kind kind;
  Form form;             // kLetter and kLamAlef only
  signed char keyIndex;  // kLetter: the letter's key; -1 otherwise
  char16_t character;    // the Unicode character it reads as (U+FFFD: unknown); lam for kLamAlef
};

struct CodePage {
  int fontCode;
  ByteMeaning meaning[256];
  unsigned char letterByte[layout::kKeyCount][4];  // by key index and Form; 0 if no letter
  bool joinsOnward[layout::kKeyCount];             // a letter with initial and medial shapes
  unsigned char lamAlef[2];                        // [0] isolated, [1] final
};

// The kShifted byte whose character is `c` in this code page, or 0.
unsigned char ShiftedByteOf(const CodePage& page, char32_t c);

// The code page of font code 0-4, built at the first call from the glyph tables.
const CodePage& CodePageOf(int fontCode);

// A key the layout gives no letter, and the character its bytes read as (see code_page.cpp).
struct OtherKey {
  enum Source : unsigned char { kShiftLayer, kSecondShiftLayer, kFixedByte, kKeyM } source;
  unsigned char byte;  // kFixedByte only
  char16_t character;
};
constexpr int kOtherKeyCount = 7;
extern const OtherKey kOtherKeys[kOtherKeyCount];

}  // namespace codepage
