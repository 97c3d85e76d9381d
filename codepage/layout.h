// The standard Persian typewriter layout: the letter each key of the glyph tables types. The
// typing engine only knows key indices and glyph codes; this table gives them their letters, so
// that legacy bytes can be read as Unicode text and Unicode text typed as keys.
#pragma once

#include "typing/glyph_tables.h"

namespace layout {

// By key index (A-Z, then grave, [, ], \, comma, full stop, slash, semicolon, apostrophe); 0 for
// a key that types no letter we can name: M, whose glyph differs from set to set, and the full
// stop and slash, which type ASCII punctuation.
inline constexpr char16_t kLetterOfKey[35] = {
    u'\u0634',  // A sheen
    u'\u0630',  // B thal
    u'\u0632',  // C zain
    u'\u06CC',  // D Farsi yeh
    u'\u062B',  // E theh
    u'\u0628',  // F beh
    u'\u0644',  // G lam
    u'\u0627',  // H alef
    u'\u0647',  // I heh
    u'\u062A',  // J teh
    u'\u0646',  // K noon
    u'\u0645',  // L meem
    0,          // M
    u'\u062F',  // N dal
    u'\u062E',  // O khah
    u'\u062D',  // P hah
    u'\u0636',  // Q dad
    u'\u0642',  // R qaf
    u'\u0633',  // S seen
    u'\u0641',  // T feh
    u'\u0639',  // U ain
    u'\u0631',  // V reh
    u'\u0635',  // W sad
    u'\u0637',  // X tah
    u'\u063A',  // Y ghain
    u'\u0638',  // Z zah
    u'\u067E',  // ` peh
    u'\u062C',  // [ jeem
    u'\u0686',  // ] tcheh
    u'\u0698',  // \ jeh
    u'\u0648',  // , waw
    0,          // . full stop
    0,          // / slash
    u'\u06A9',  // ; keheh
    u'\u06AF',  // ' gaf
};

inline constexpr int kKeyCount = 35;

// Persian text from Arabic sources writes yeh and kaf with the Arabic letters; in Persian writing
// they are the same letters as Farsi yeh and keheh, which the layout has. Any other character is
// returned as is.
constexpr char32_t FoldLetter(char32_t c) {
  if (c == 0x064A || c == 0x0649) return 0x06CC;  // Arabic yeh, alef maksura
  if (c == 0x0643) return 0x06A9;                 // Arabic kaf
  return c;
}

// The key index of a letter of the layout, or -1.
constexpr int KeyIndexOfLetter(char32_t letter) {
  if (letter == 0) return -1;
  for (int index = 0; index < kKeyCount; ++index) {
    if (kLetterOfKey[index] == letter) return index;
  }
  return -1;
}

// The virtual key of a key index, for programs that inject the layout's keys.
constexpr unsigned VirtualKeyOfKeyIndex(int index) {
  for (unsigned vk = 0; vk < 256; ++vk) {
    if (key_index::KeyIndexOfKey(vk) == index) return vk;
  }
  return 0;
}

}  // namespace layout
