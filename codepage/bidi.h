// Line order of mixed text. Legacy Farsi text is stored in the order the screen shows it, left to
// right: the typing engine builds every word from the right, while digits and Latin text run left
// to right. Unicode keeps the reading order. The reordering between the two is the Unicode
// bidirectional algorithm for a right-to-left paragraph with no explicit embeddings, as GNU
// FriBidi applies it, with two simplifications: brackets are ordinary neutrals (no bracket pairs)
// and nothing is mirrored, because a legacy byte stands for one glyph whichever way it faces.
#pragma once

namespace bidi {

enum class Class : unsigned char {
  kL,   // Latin letters
  kR,   // (internal) right-to-left after W3
  kAL,  // Persian letters
  kEN,  // ASCII digits
  kAN,  // (internal) digits after a Persian letter
  kES,  // + -
  kET,  // # $ %
  kCS,  // , . / :
  kWS,  // space
  kS,   // tab
  kON,  // every other character
};

// The class of an ASCII character (tab and 0x20-0x7E); kON for anything else.
Class ClassOfAscii(char16_t c);

// Resolves the embedding levels (1 or 2) of one line in reading order. `work` holds `count`
// classes of scratch space.
void LevelsOfLogical(const Class* classes, int count, unsigned char* levels, Class* work);

// The levels of one line given in screen order, for reading it back: Latin text, and the digits
// and punctuation that follow Latin text up to its last Latin letter or digit, run left to right;
// so do digit runs (with a single separator between digits, as the rules above join them); all
// else is right to left. Text that the rules above display is read back exactly, except where two
// reading orders display alike (a number right before Latin text reads as following it).
// `work` holds `count` classes of scratch space.
void LevelsOfVisual(const Class* classes, int count, unsigned char* levels, Class* work);

// Calls visit(i) for the items of a line in screen order, left to right, i being their index in
// reading order; levels 1 and 2 only (rule L2: the whole line reversed, then every left-to-right
// run back again). Given the levels of a line in screen order, it visits the line's items in
// reading order instead: the reordering is its own inverse.
template <typename Visit>
void ForEachInScreenOrder(const unsigned char* levels, int count, Visit visit) {
  for (int i = count - 1; i >= 0;) {
    if (levels[i] == 1) {
      visit(i--);
      continue;
    }
    int first = i;  // the run's first item in reading order
    while (first > 0 && levels[first - 1] == 2) --first;
    for (int k = first; k <= i; ++k) visit(k);
    i = first - 1;
  }
}

}  // namespace bidi
