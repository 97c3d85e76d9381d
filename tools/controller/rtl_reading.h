// Whether the system's ANSI code page reads a font code's glyph bytes as right-to-left text.
//
// A window that keeps its text as Unicode (the edit control, Notepad, WordPad, Word) turns every
// WM_CHAR byte the library types into a character through the ANSI code page (GetACP). The
// legacy fonts only show their glyphs for the Windows-1252 reading of the bytes; a program that
// keeps the bytes and draws them with ExtTextOutA in a font of ANSI_CHARSET gets that reading
// whatever the system's code page. Under a code page that reads the bytes as Arabic or Hebrew,
// Uniscribe then shapes and reorders the Unicode controls' text as such, in another font.
//
// Pure: the caller gives the code page's reading of every byte (on Windows MultiByteToWideChar
// of CP_ACP, byte by byte; in the tests tables of real code pages), so it runs on the host too.
#pragma once

#include "typing/glyph_tables.h"

namespace rtl_reading {

// The bytes one font code's glyph tables can type: every form table and the Shift layer (the
// default set's second Shift layer too), the lam-alef pair and the fixed glyphs the editing keys
// type with Shift. Any font code the library accepts, '0'-'4' or another character (the default
// set's, as the library types it).
struct ByteSet {
  bool has[256];
};
ByteSet GlyphBytesOf(signed char fontCode);

// A character a Unicode control does not show as one glyph of its own, in left-to-right order:
//  - anything in the blocks of the right-to-left scripts (U+0590-08FF: Hebrew, Arabic, Syriac,
//    Arabic Supplement, Thaana, N'Ko, Samaritan, Mandaic, Arabic Extended; U+FB1D-FDFF: the
//    Hebrew and Arabic presentation forms A; U+FE70-FEFE: Arabic presentation forms B). That is
//    every character of bidi class R or AL in the BMP but RLM, and with them the vowel marks
//    (which 1256 puts among F0-FA: drawn onto the letter before them), the Arabic digits and
//    punctuation, which the same shaping engine draws, and the code points still unassigned
//    there, whose default bidi class is R or AL (but for the noncharacters FDD0-FDEF);
//  - the bidi formatting characters: LRM and RLM (1256's FD and FE), ALM (in the Arabic block),
//    the embeddings and overrides U+202A-202E and the isolates U+2066-2069. They show nothing,
//    so the byte's glyph disappears, and they reorder the text around them.
bool ReadsRightToLeft(char16_t c);

// What a code page makes of a font code's glyphs: the lowest glyph byte it reads as a character
// that counts above (with that character), and how many glyph bytes do. found is false when
// none does: the Unicode controls then show the glyphs in the typed order.
struct Finding {
  bool found;
  unsigned char byte;
  char16_t character;
  int count;
};

// reading[b]: the character the code page reads byte b as; 0 for a byte it reads as none.
Finding FindRightToLeftGlyphs(const char16_t (&reading)[256], signed char fontCode);

}  // namespace rtl_reading
