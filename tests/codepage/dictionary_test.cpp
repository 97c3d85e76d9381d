// The Persian word list against two independent engines, in every font encoding: GNU FriBidi's
// Arabic joining and shaping must give each letter the form the encoder gave it, typing the
// word's keys on the host typing engine must put exactly the encoded bytes in an edit control,
// and decoding must give the word back.
//
// The list is large: by default a fixed-seed sample is checked. The whole list:
//   ZAFREL_DICTIONARY_SAMPLE=all build/host/codepage_tests --gtest_filter='*Dictionary*'
#include <fribidi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "codepage/convert.h"
#include "dll/entry.h"
#include "typing/controller_link.h"
#include "winsim/fakewin.h"
#include "winsim/message_loop.h"

namespace {

constexpr char32_t kZwnj = 0x200C;
constexpr size_t kDefaultSample = 1500;

std::u32string FromUtf8(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out += c;
    i += length;
  }
  return out;
}

struct Word {
  std::string utf8;
  std::u32string text;
};

// The words whose letters all have keys (a zero width non-joiner may part them).
const std::vector<Word>& Words() {
  static const std::vector<Word> words = [] {
    const char* path = std::getenv("ZAFREL_WORDLIST");
    std::ifstream in(path != nullptr ? path : "/usr/share/hunspell/fa_IR.dic");
    std::vector<Word> all;
    std::string line;
    std::getline(in, line);  // the entry count
    while (std::getline(in, line)) {
      line = line.substr(0, line.find('/'));
      if (line.empty()) continue;
      Word w{line, FromUtf8(line)};
      const bool typable = std::all_of(w.text.begin(), w.text.end(), [](char32_t c) {
        return c == kZwnj || layout::KeyIndexOfLetter(c) >= 0;
      });
      if (typable && w.text.front() != kZwnj && w.text.back() != kZwnj) all.push_back(w);
    }
    const char* sample = std::getenv("ZAFREL_DICTIONARY_SAMPLE");
    const size_t size = sample == nullptr              ? kDefaultSample
                        : std::string(sample) == "all" ? all.size()
                                                       : std::strtoul(sample, nullptr, 10);
    if (size < all.size()) {
      std::mt19937 rng(1403);
      std::shuffle(all.begin(), all.end(), rng);
      all.resize(size);
    }
    return all;
  }();
  return words;
}

// The form FriBidi gives each letter of a word, in reading order: 0 isolated, 1 final, 2 medial,
// 3 initial as the code page counts them; a lam-alef ligature is one entry (its form) and the
// non-joiner none.
std::vector<int> FriBidiForms(const std::u32string& word) {
  const auto n = static_cast<FriBidiStrIndex>(word.size());
  std::vector<FriBidiChar> text(word.begin(), word.end());
  std::vector<FriBidiCharType> types(n);
  std::vector<FriBidiBracketType> brackets(n);
  std::vector<FriBidiLevel> levels(n);
  std::vector<FriBidiArabicProp> props(n);
  fribidi_get_bidi_types(text.data(), n, types.data());
  fribidi_get_bracket_types(text.data(), n, types.data(), brackets.data());
  FriBidiParType direction = FRIBIDI_PAR_RTL;
  if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), n, &direction,
                                          levels.data()) == 0) {
    return {};
  }
  fribidi_get_joining_types(text.data(), n, props.data());
  fribidi_join_arabic(types.data(), n, levels.data(), props.data());
  std::vector<FriBidiChar> shaped = text;
  fribidi_shape_arabic(FRIBIDI_FLAG_SHAPE_ARAB_PRES | FRIBIDI_FLAG_SHAPE_ARAB_LIGA, levels.data(),
                       n, props.data(), shaped.data());
  std::vector<int> forms;
  for (FriBidiStrIndex i = 0; i < n; ++i) {
    // The ligature takes one of the two places (lam-alef isolated FEFB, final FEFC) and FriBidi
    // fills the other with U+FEFF.
    if (text[i] == kZwnj || shaped[i] == 0xFEFF) continue;
    if (shaped[i] == 0xFEFB || shaped[i] == 0xFEFC) {
      forms.push_back(shaped[i] == 0xFEFB ? 10 : 11);
      continue;
    }
    // Joins right: to the letter before it; joins left: to the one after it.
    const bool before = (props[i] & FRIBIDI_MASK_JOINS_RIGHT) != 0;
    const bool after = (props[i] & FRIBIDI_MASK_JOINS_LEFT) != 0;
    forms.push_back(before ? (after ? 2 : 1) : (after ? 3 : 0));
  }
  return forms;
}

// The form of every byte of an encoded word, in reading order, coded as FriBidiForms codes it.
std::vector<int> EncodedForms(const codepage::CodePage& page, const std::string& bytes) {
  std::vector<int> forms;
  for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
    const codepage::ByteMeaning& m = page.meaning[static_cast<unsigned char>(*it)];
    const int form = static_cast<int>(m.form);
    forms.push_back(m.kind == codepage::Kind::kLamAlef  ? 10 + form
                    : m.kind == codepage::Kind::kLetter ? form
                                                        : -1);
  }
  return forms;
}

// A parting non-joiner after a letter that never joins onward leaves no trace in the bytes.
bool HasSilentNonJoiner(const std::u32string& word, const codepage::CodePage& page) {
  for (size_t i = 1; i < word.size(); ++i) {
    const int key = layout::KeyIndexOfLetter(word[i - 1]);
    if (word[i] == kZwnj && (key < 0 || !page.joinsOnward[key])) return true;
  }
  return false;
}

class Typist {
 public:
  explicit Typist(int font) {
    ResetProcessState();
    d_.ShowController(std::string("FALSE ") + static_cast<char>('0' + font) + " ZafrelXP");
    frame_ = d_.AddWindow("Frame", "Untitled - Notepad");
    LibMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
  }
  ~Typist() { ResetProcessState(); }

  // The word's keys, then Space to end it, into a fresh edit control.
  std::string Type(const std::u32string& word) {
    HWND edit = d_.AddWindow("Edit", "", frame_);
    d_.SetFocus(edit);
    d_.SetToggled(VK_SCROLL, fFarsiOn == 0);
    if (fFarsiOn == 0) Press(VK_SCROLL);
    for (char32_t c : word) Press(layout::VirtualKeyOfKeyIndex(layout::KeyIndexOfLetter(c)));
    Press(VK_SPACE);
    const std::string text = loop_.Text(edit);
    d_.DestroyWindow(edit);
    return text;
  }

 private:
  void Press(unsigned vk) {
    loop_.UserKey(vk, true);
    loop_.UserKey(vk, false);
  }
  fakewin::Desktop d_;
  MessageLoop loop_{d_};
  HWND frame_;
};

class Dictionary : public ::testing::TestWithParam<int> {};

TEST_P(Dictionary, EveryWordShapesAsFriBidiShapesItTypesAsEncodedAndDecodesBack) {
  const int font = GetParam();
  const codepage::CodePage& page = codepage::CodePageOf(font);
  codepage::Converter converter(font);
  Typist typist(font);
  ASSERT_GT(Words().size(), 0u) << "the Persian word list (myspell-fa) is not installed";
  int checked = 0, typed = 0, roundTrips = 0, silent = 0;
  std::vector<std::string> faults;
  for (const Word& word : Words()) {
    std::string bytes;
    if (!converter.Encode(word.utf8, bytes, false)) {
      faults.push_back(word.utf8 + ": not encoded");
      continue;
    }
    ++checked;
    if (EncodedForms(page, bytes) != FriBidiForms(word.text))
      faults.push_back(word.utf8 + ": forms differ from FriBidi's");
    if (word.text.find(kZwnj) == std::u32string::npos) {
      ++typed;
      if (typist.Type(word.text) != " " + bytes)
        faults.push_back(word.utf8 + ": typed differently");
    }
    if (HasSilentNonJoiner(word.text, page)) {
      ++silent;
    } else {
      std::string back;
      ++roundTrips;
      if (!converter.Decode(bytes, back, false) || back != word.utf8)
        faults.push_back(word.utf8 + ": decodes as " + back);
    }
    if (faults.size() >= 20) break;
  }
  std::printf(
      "font %d: %d words encoded and shaped as FriBidi shapes them, %d typed on the host engine, "
      "%d decoded "
      "back, %d with a non-joiner after a letter that never joins\n",
      font, checked, typed, roundTrips, silent);
  std::string list;
  for (const std::string& fault : faults) list += fault + "\n";
  EXPECT_TRUE(faults.empty()) << list;
}

INSTANTIATE_TEST_SUITE_P(FontCodes, Dictionary, ::testing::Range(0, 5));

}  // namespace
