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
inline constexpr int kKeyIndexM = 12;

// What Windows' own Persian keyboard layout (KLID 00000429, kbdfa.dll, as Microsoft's keyboard
// layout reference shows it) types for a key, where that names a key the typewriter layout above
// leaves open. Unshifted M is yeh with hamza above there; the default set's glyph tables agree,
// giving M four forms, as a letter that joins on both sides has. The other sets give M only two
// forms, which yeh with hamza cannot have, so there M stays unnamed.
constexpr char16_t LetterOfKey(int index, int fontCode) {
  if (index < 0 || index >= kKeyCount) return 0;
  if (index == kKeyIndexM) return fontCode == 1 ? u'\u0626' : 0;
  return kLetterOfKey[index];
}

// The same layout's Shift layer, by key index; 0 where it types ASCII, a character the layout above
// already has a key for (jeh) or folds (Arabic yeh), or nothing. Only the Shift tables of sets 0
// and 1 follow this layout (their Shift+I, O, ;, ' and backslash are the ASCII characters of
// Windows' keys), and only their bytes that nothing stronger claims take these characters (see
// code_page.cpp): where Windows types a character on a key whose byte is ASCII, such as آ on H,
// the byte stays ASCII, so that Latin text reads back as it was.
inline constexpr char16_t kWindowsShiftCharacter[35] = {
    u'\u064E',  // A fatha
    u'\u0625',  // B alef with hamza below
    0,          // C jeh: a letter of the layout
    u'\u0650',  // D kasra
    u'\u064D',  // E kasratan
    u'\u0651',  // F shadda
    u'\u06C0',  // G heh with yeh above
    u'\u0622',  // H alef with madda above
    0,          // I ]
    u'\u0640',  // J tatweel
    u'\u00AB',  // K left-pointing double angle quotation mark
    u'\u00BB',  // L right-pointing double angle quotation mark
    u'\u0621',  // M hamza
    u'\u0623',  // N alef with hamza above
    0,          // O [
    0,          // P backslash
    u'\u064B',  // Q fathatan
    0,          // R nothing
    u'\u064F',  // S damma
    u'\u060C',  // T Arabic comma
    0,          // U comma
    u'\u0624',  // V waw with hamza above
    u'\u064C',  // W dammatan
    0,          // X Arabic yeh: typed as Farsi yeh
    u'\u061B',  // Y Arabic semicolon
    u'\u0629',  // Z teh marbuta
    0,          // ` multiplication sign
    0,          // [ }
    0,          // ] {
    0,          // backslash: |
    0,          // , <
    0,          // . >
    u'\u061F',  // / Arabic question mark
    0,          // ; colon
    0,          // ' quotation mark
};

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

// The key index of a letter in the font code's layout (M is a letter in the default set only), or
// -1.
constexpr int KeyIndexOfLetter(char32_t letter, int fontCode) {
  if (letter == 0) return -1;
  for (int index = 0; index < kKeyCount; ++index) {
    if (LetterOfKey(index, fontCode) == letter) return index;
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
