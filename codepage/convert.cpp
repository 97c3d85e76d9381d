#include "codepage/convert.h"

namespace codepage {

namespace {

constexpr char32_t kZeroWidthNonJoiner = 0x200C;
constexpr char16_t kReplacementCharacter = u'\uFFFD';

// The key of every letter of the Arabic block the layout types, by its low byte.
struct LetterKeys {
  signed char key[256];
  constexpr LetterKeys() : key() {
    for (int low = 0; low < 256; ++low) {
      key[low] = static_cast<signed char>(layout::KeyIndexOfLetter(char32_t(0x600 + low)));
    }
  }
};
constexpr LetterKeys kLetterKeys;

int KeyOfCharacter(char32_t c) { return c >= 0x600 && c < 0x700 ? kLetterKeys.key[c - 0x600] : -1; }

// Reads one UTF-8 sequence at `p`; returns its length, or 0 when it is not a well-formed one.
int ReadUtf8(const unsigned char* p, const unsigned char* end, char32_t* c) {
  const unsigned char lead = p[0];
  if (lead < 0x80) {
    *c = lead;
    return 1;
  }
  int length;
  char32_t value;
  char32_t least;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (end - p < length) return 0;
  for (int k = 1; k < length; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[k] & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *c = value;
  return length;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// An ASCII character keeps its byte where no key of the set types that byte as something else.
bool IsOwnByte(const ByteMeaning& meaning, char32_t c) {
  return (meaning.kind == Kind::kAscii || meaning.kind == Kind::kDigit ||
          meaning.kind == Kind::kFixed) &&
         meaning.character == c;
}

}  // namespace

char32_t FoldCharacter(char32_t c) {
  switch (c) {
    case 0x064A:  // Arabic yeh
    case 0x0649:  // alef maksura
      return 0x06CC;
    case 0x0643:  // Arabic kaf
      return 0x06A9;
    default:
      break;
  }
  if (c >= 0x06F0 && c <= 0x06F9) return '0' + (c - 0x06F0);
  if (c >= 0x0660 && c <= 0x0669) return '0' + (c - 0x0660);
  return c;
}

Converter::Converter(int fontCode) : page_(CodePageOf(fontCode)) {}

bool Converter::Encode(std::string_view utf8, std::string& out, bool replace) {
  problems_.clear();
  units_.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* end = p + utf8.size();
  int column = 0;
  while (p < end) {
    char32_t c;
    const int length = ReadUtf8(p, end, &c);
    ++column;
    if (length == 0) {
      problems_.push_back({column, kInvalidUtf8, *p});
      return false;
    }
    p += length;
    c = FoldCharacter(c);
    const int key = KeyOfCharacter(c);
    if (key >= 0) {
      units_.push_back({0, static_cast<signed char>(key), bidi::Class::kAL, 0});
    } else if (c == kZeroWidthNonJoiner) {
      units_.push_back({0, -1, bidi::Class::kON, 0});  // breaks the joining, types nothing
    } else if (c < 0x80 && IsOwnByte(page_.meaning[c], c)) {
      units_.push_back({static_cast<unsigned char>(c), -1, bidi::ClassOfAscii(char16_t(c)), 0});
    } else {
      problems_.push_back({column, c, 0});
      units_.push_back({kReplacementByte, -1, bidi::Class::kON, 0});
    }
  }
  if (!problems_.empty()) {
    if (!replace) return false;
    replaced_ += static_cast<long long>(problems_.size());
  }
  Shape();
  // Word breaks and the alefs merged into a ligature take no place on the screen.
  int count = 0;
  for (const Unit& unit : units_) {
    if (unit.byte != 0) units_[count++] = unit;
  }
  Reorder(count);
  for (int v = 0; v < count; ++v) out.push_back(static_cast<char>(units_[order_[v]].byte));
  return true;
}

// Every letter takes the form the typing engine gives it: joined to the letter before it when
// that one joins onward, open to the next when it joins onward itself and a letter follows; a
// lam followed by alef becomes the lam-alef ligature.
void Converter::Shape() {
  const int n = static_cast<int>(units_.size());
  for (int i = 0; i < n; ++i) {
    const int key = units_[i].key;
    if (key < 0 || units_[i].byte != 0) continue;
    const bool joinedBefore =
        i > 0 && units_[i - 1].key >= 0 && page_.joinsOnward[units_[i - 1].key];
    const bool letterAfter = i + 1 < n && units_[i + 1].key >= 0;
    if (key == kKeyIndexLam && letterAfter && units_[i + 1].key == kKeyIndexAlef) {
      units_[i].byte = page_.lamAlef[joinedBefore ? 1 : 0];
      ++i;  // the alef is part of the ligature; it keeps byte 0
      continue;
    }
    const bool joinsAfter = page_.joinsOnward[key] && letterAfter;
    const Form form = joinedBefore ? (joinsAfter ? Form::kMedial : Form::kFinal)
                                   : (joinsAfter ? Form::kInitial : Form::kIsolated);
    units_[i].byte = page_.letterByte[key][static_cast<int>(form)];
  }
}

void Converter::Reorder(int count) {
  classes_.resize(count);
  work_.resize(count);
  levels_.resize(count);
  order_.resize(count);
  for (int i = 0; i < count; ++i) classes_[i] = units_[i].cls;
  bidi::LevelsOfLogical(classes_.data(), count, levels_.data(), work_.data());
  bidi::ScreenOrder(levels_.data(), count, order_.data());
}

bool Converter::Decode(std::string_view bytes, std::string& out, bool replace) {
  problems_.clear();
  units_.clear();
  const int count = static_cast<int>(bytes.size());
  for (int i = 0; i < count; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const ByteMeaning& meaning = page_.meaning[byte];
    switch (meaning.kind) {
      case Kind::kLetter:
      case Kind::kLamAlef:
        units_.push_back({byte, meaning.keyIndex, bidi::Class::kAL, meaning.character});
        break;
      case Kind::kAscii:
      case Kind::kDigit:
      case Kind::kFixed:
        units_.push_back({byte, -1, bidi::ClassOfAscii(meaning.character), meaning.character});
        break;
      case Kind::kNothing:
        problems_.push_back({i + 1, 0, byte});
        [[fallthrough]];
      case Kind::kOther:
        units_.push_back({byte, -1, bidi::Class::kON, kReplacementCharacter});
        break;
    }
  }
  if (!problems_.empty() && !replace) return false;

  classes_.resize(count);
  levels_.resize(count);
  order_.resize(count);
  for (int i = 0; i < count; ++i) classes_[i] = units_[i].cls;
  bidi::LevelsOfVisual(classes_.data(), count, levels_.data());
  // The screen-order levels give, position by position in reading order, the byte shown there.
  bidi::ScreenOrder(levels_.data(), count, order_.data());

  const Unit* previous = nullptr;
  for (int i = 0; i < count; ++i) {
    const Unit& unit = units_[order_[i]];
    if (unit.character == kReplacementCharacter) ++unknown_;
    if (unit.cls == bidi::Class::kAL) {
      // A letter that joins onward but shows a closing form right before another letter was
      // parted from it on purpose: the zero width non-joiner says so in Unicode.
      if (previous != nullptr && previous->key >= 0) {
        const Form form = page_.meaning[previous->byte].form;
        if (page_.joinsOnward[previous->key] && (form == Form::kIsolated || form == Form::kFinal)) {
          AppendUtf8(out, kZeroWidthNonJoiner);
        }
      }
      AppendUtf8(out, unit.character);
      if (page_.meaning[unit.byte].kind == Kind::kLamAlef)
        AppendUtf8(out, layout::kLetterOfKey[kKeyIndexAlef]);
    } else {
      AppendUtf8(out, unit.character);
    }
    previous = unit.cls == bidi::Class::kAL ? &unit : nullptr;
  }
  return true;
}

}  // namespace codepage
