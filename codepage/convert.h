// Converts lines between Unicode and the legacy bytes of one font encoding.
//
// Legacy bytes are stored in screen order, left to right, each letter in the contextual form the
// typing engine gives it; Unicode text is in reading order with base letters (U+0600 block). See
// bidi.h for the order of mixed lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "codepage/bidi.h"
#include "codepage/code_page.h"

namespace codepage {

// What stops a line from converting: a character (or byte) and its 1-based column, counted in
// characters of the Unicode line or bytes of the legacy line.
struct Problem {
  int column;
  char32_t character;  // kInvalidUtf8 for a byte sequence that is no UTF-8
  unsigned char byte;  // the legacy byte (decoding)
};
constexpr char32_t kInvalidUtf8 = 0xFFFFFFFF;

// The byte that stands for a character with no byte of its own when replacing is asked for.
constexpr unsigned char kReplacementByte = '?';

class Converter {
 public:
  explicit Converter(int fontCode);

  // One line of UTF-8 without its line ending → legacy bytes, appended to `out`. Returns false,
  // with every offending character in problems(), when the line is not UTF-8 or holds
  // characters with no byte in this font; with `replace`, such characters become '?' instead
  // (invalid UTF-8 always fails).
  bool Encode(std::string_view utf8, std::string& out, bool replace);

  // One line of legacy bytes without its line ending → UTF-8, appended to `out`. Bytes that a key
  // of unknown meaning types read as U+FFFD and are counted in unknown(). Returns false, with
  // the offending bytes in problems(), for bytes that no key types and no ASCII text holds;
  // with `replace` they read as U+FFFD too.
  bool Decode(std::string_view bytes, std::string& out, bool replace);

  // Encode writes a readable stand-in (',' for the Arabic comma, alef for alef with madda, ...)
  // for a character that has no byte, and counts it in standIns(), instead of refusing it.
  void SetStandIns(bool on) { useStandIns_ = on; }

  const std::vector<Problem>& problems() const { return problems_; }
  long long unknown() const { return unknown_; }    // U+FFFD written by Decode
  long long replaced() const { return replaced_; }  // characters Encode replaced
  long long standIns() const { return standIns_; }  // characters Encode wrote as stand-ins

 private:
  struct Unit {
    unsigned char byte;  // legacy byte; 0 for a letter before shaping and for a word break
    signed char key;     // a letter's key index, -1 otherwise
    bidi::Class cls;
  };
  // What an ASCII character is typed as in this font: byte 0 where a glyph holds its byte.
  struct AsciiUnit {
    unsigned char byte;
    bidi::Class cls;
  };
  // What a legacy byte reads as, ready to be written.
  struct Reading {
    char utf8[4];
    unsigned char length;
    bidi::Class cls;
    bool letter;         // a letter or the lam-alef
    bool closing;        // a letter that joins onward, in its isolated or final form
    bool unknown;        // reads as U+FFFD: a key of unknown meaning
    bool nothing;        // no key types it and it is no ASCII character
    bool mixes;          // a Latin letter or digit: the line needs the full reordering
    unsigned char room;  // the most UTF-8 it can take, a non-joiner after it included
  };

  const CodePage& page_;
  AsciiUnit ascii_[128];
  // A letter's byte by key, joined to the letter before it, followed by a letter.
  unsigned char formByte_[layout::kKeyCount][2][2];
  Reading reading_[256];
  std::vector<Problem> problems_;
  std::vector<Unit> units_;
  std::vector<bidi::Class> classes_;
  std::vector<bidi::Class> work_;
  std::vector<unsigned char> levels_;
  long long unknown_ = 0;
  long long replaced_ = 0;
  long long standIns_ = 0;
  bool useStandIns_ = false;
  signed char foldedKeys_[256];  // a letter's key by the low byte of its (folded) U+06xx

  Unit* Units(size_t count);  // room for `count` units, kept from line to line
  // A line being encoded: its units so far, and the letter that waits for its form.
  struct Line {
    Unit* units;
    int count = 0;
    int open = -1;            // the last letter's unit, or -1 after anything but a letter
    bool openJoined = false;  // that letter is joined to the letter before it
    bool mixed = false;       // Latin letters or digits: the line needs the full reordering
  };
  void AddLetter(Line& line, int key) const;
  void AddOther(Line& line, Unit unit) const;
  int KeyOfLetter(char32_t c) const;  // a (folded) letter's key in this font, or -1
  bool AddStandIn(Line& line, char32_t c) const;
  bool EncodeSlowly(std::string_view utf8, std::string& out, bool replace);
  // Appends a shaped line's units in screen order.
  void WriteScreenOrder(const Line& line, std::string& out);
};

// Writes a character of the Basic Multilingual Plane as UTF-8 (1 to 3 bytes) at `out`; returns
// the end of what it wrote.
char* PutUtf8(char* out, char32_t c);

// Maps a character to the one the layout types for it: the Arabic yeh and kaf to their Persian
// forms, Persian and Arabic-Indic digits to ASCII digits. Any other character is returned as is.
constexpr char32_t FoldCharacter(char32_t c) {
  if (c >= 0x06F0 && c <= 0x06F9) return '0' + (c - 0x06F0);
  if (c >= 0x0660 && c <= 0x0669) return '0' + (c - 0x0660);
  return layout::FoldLetter(c);
}

}  // namespace codepage
