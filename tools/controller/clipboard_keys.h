// The clipboard's text as the keys of the Persian layout that type it, for the clipboard command.
// Only unshifted keys are typed: a Shift key's glyph leaves the letter before it open on the
// keyboard, so its bytes would depend on what follows.
#pragma once

#include <string>
#include <vector>

namespace clipboard_keys {

constexpr int kListed = 4;  // the characters without a key that are named, as the protocol has

struct Refusal {
  char32_t code;
  int at;  // from 1, in UTF-16 units
};

struct Keys {
  std::vector<unsigned char> keys;  // virtual keys, each pressed and released in turn
  std::vector<int> breaks;          // where each line break is, from 1 in UTF-16 units
  int refused = 0;                  // characters without a key
  Refusal listed[kListed] = {};     // the first of them
};

// `tableSet` is the glyph table set the font code selects (0-4): the default set (1) also types
// yeh with hamza, with M. CR LF, LF and CR are one Return each; a surrogate pair is one character,
// a lone surrogate one without a key.
Keys KeysOfText(const std::u16string& text, int tableSet);

}  // namespace clipboard_keys
