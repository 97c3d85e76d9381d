// The benchmark's typing: a fixed, seeded mix of Farsi words, digit runs, Backspace and Enter,
// the same on the host engine and under Wine. Keys are virtual-key codes, each pressed and
// released once; the mix never holds Shift, Ctrl or Alt.
#pragma once

#include <string>
#include <vector>

#include "tools/scenario.h"

// xorshift32: the same numbers from the same seed on every compiler and machine.
class BenchRandom {
 public:
  explicit BenchRandom(unsigned seed) : state_(seed != 0 ? seed : 0x5EED5EEDu) {}
  unsigned Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  unsigned Below(unsigned n) { return Next() % n; }

 private:
  unsigned state_;
};

// `count` key presses: words of 2-7 letters on the Persian typewriter layout's letter keys,
// every eighth word a run of 1-4 digits instead; a word ends in Space, every sixth in Enter;
// one letter in ten is followed by Backspace.
inline std::vector<unsigned> BenchKeyMix(unsigned seed, size_t count) {
  static const char kLetterCaps[] = "QWERTYUIOP[]ASDFGHJKL;'ZXCVBNM,\\`";
  const size_t letterCount = sizeof kLetterCaps - 1;
  BenchRandom random(seed);
  std::vector<unsigned> keys;
  unsigned word = 0;
  while (keys.size() < count) {
    ++word;
    if (random.Below(8) == 0) {
      const unsigned digits = 1 + random.Below(4);
      for (unsigned i = 0; i < digits; ++i) keys.push_back('0' + random.Below(10));
    } else {
      const unsigned letters = 2 + random.Below(6);
      for (unsigned i = 0; i < letters; ++i) {
        keys.push_back(ScenarioVirtualKey(std::string(1, kLetterCaps[random.Below(letterCount)])));
        if (random.Below(10) == 0) keys.push_back(ScenarioVirtualKey("BACK"));
      }
    }
    keys.push_back(ScenarioVirtualKey(word % 6 == 0 ? "ENTER" : "SPACE"));
  }
  keys.resize(count);
  return keys;
}
