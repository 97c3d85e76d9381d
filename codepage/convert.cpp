#include "codepage/convert.h"

#include <cstring>

namespace codepage {

namespace {

constexpr char32_t kZeroWidthNonJoiner = 0x200C;
constexpr char16_t kReplacementCharacter = u'\uFFFD';

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

}  // namespace

char* PutUtf8(char* out, char32_t c) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

namespace {

bool Mixes(bidi::Class cls) { return cls == bidi::Class::kL || cls == bidi::Class::kEN; }

// An ASCII character keeps its byte where no key of the set types that byte as something else.
bool IsOwnByte(const ByteMeaning& meaning, char32_t c) {
  return (meaning.kind == Kind::kAscii || meaning.kind == Kind::kDigit ||
          meaning.kind == Kind::kFixed) &&
         meaning.character == c;
}

}  // namespace

Converter::Converter(int fontCode) : page_(CodePageOf(fontCode)) {
  // The key of a letter of the U+0600 block after folding, by its low byte.
  for (int low = 0; low < 256; ++low) {
    foldedKeys_[low] = static_cast<signed char>(
        layout::KeyIndexOfLetter(FoldCharacter(char32_t(0x600 + low)), page_.fontCode));
  }
  for (int key = 0; key < layout::kKeyCount; ++key) {
    for (int joined = 0; joined < 2; ++joined) {
      for (int after = 0; after < 2; ++after) {
        const bool opens = after != 0 && page_.joinsOnward[key];
        const Form form = joined != 0 ? (opens ? Form::kMedial : Form::kFinal)
                                      : (opens ? Form::kInitial : Form::kIsolated);
        formByte_[key][joined][after] = page_.letterByte[key][static_cast<int>(form)];
      }
    }
  }
  for (unsigned c = 0; c < 128; ++c) {
    const bool own = IsOwnByte(page_.meaning[c], c);
    ascii_[c] = {static_cast<unsigned char>(own ? c : 0), bidi::ClassOfAscii(char16_t(c))};
  }
  for (unsigned byte = 0; byte < 256; ++byte) {
    const ByteMeaning& m = page_.meaning[byte];
    Reading& r = reading_[byte];
    r = {};
    char* end = PutUtf8(r.utf8, m.character);
    r.letter = m.kind == Kind::kLetter || m.kind == Kind::kLamAlef;
    if (m.kind == Kind::kLamAlef) end = PutUtf8(end, layout::kLetterOfKey[kKeyIndexAlef]);
    r.length = static_cast<unsigned char>(end - r.utf8);
    r.cls = r.letter || m.kind == Kind::kShifted                 ? bidi::Class::kAL
            : m.kind == Kind::kOther || m.kind == Kind::kNothing ? bidi::Class::kON
                                                                 : bidi::ClassOfAscii(m.character);
    r.closing = m.kind == Kind::kLetter && page_.joinsOnward[m.keyIndex] &&
                (m.form == Form::kIsolated || m.form == Form::kFinal);
    r.unknown = m.character == kReplacementCharacter;
    r.nothing = m.kind == Kind::kNothing;
    r.mixes = Mixes(r.cls);
    r.room = static_cast<unsigned char>(r.length + (r.closing ? 3 : 0));
  }
}

Converter::Unit* Converter::Units(size_t count) {
  if (units_.size() < count) units_.resize(count);
  return units_.data();
}

int Converter::KeyOfLetter(char32_t c) const {
  return c >= 0x600 && c < 0x700 ? foldedKeys_[c - 0x600] : -1;
}

// Every letter takes the form the typing engine gives it: joined to the letter before it when
// that one joins onward, open to the next when it joins onward itself and a letter follows; a
// lam followed by alef becomes the lam-alef ligature. As on the keyboard, the letter typed last
// waits for the next character to know its form.
void Converter::AddLetter(Line& line, int key) const {
  bool joined = false;
  if (line.open >= 0) {
    Unit& before = line.units[line.open];
    if (before.key == kKeyIndexLam && key == kKeyIndexAlef) {
      before.byte = page_.lamAlef[line.openJoined ? 1 : 0];  // the alef joins the lam
      line.open = -1;
      return;
    }
    before.byte = formByte_[before.key][line.openJoined][1];
    joined = page_.joinsOnward[before.key];
  }
  line.open = line.count;
  line.openJoined = joined;
  line.units[line.count++] = {0, static_cast<signed char>(key), bidi::Class::kAL};
}

// Anything but a letter ends the word; a unit with no byte (a non-joiner) takes no place.
void Converter::AddOther(Line& line, Unit unit) const {
  if (line.open >= 0) {
    Unit& last = line.units[line.open];
    last.byte = formByte_[last.key][line.openJoined][0];
    line.open = -1;
  }
  if (unit.byte != 0) line.units[line.count++] = unit;
  line.mixed = line.mixed || Mixes(unit.cls);
}

bool Converter::Encode(std::string_view utf8, std::string& out, bool replace) {
  // No character takes less than one byte of UTF-8: the line's length bounds the units.
  Line line{Units(utf8.size())};
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* end = p + utf8.size();
  while (p < end) {
    const unsigned lead = *p;
    if (lead < 0x80 && ascii_[lead].byte != 0) {
      AddOther(line, {ascii_[lead].byte, -1, ascii_[lead].cls});
      ++p;
      continue;
    }
    // The Persian letters: two bytes, D8-DB and a continuation byte.
    if ((lead & 0xFC) == 0xD8 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
      const int key = foldedKeys_[((lead & 3) << 6) | (p[1] & 0x3F)];
      if (key >= 0) {
        AddLetter(line, key);
        p += 2;
        continue;
      }
    }
    // Anything else (a non-joiner, Persian digits, a character with no byte, bad UTF-8): the
    // line goes the careful way, which also counts the columns.
    return EncodeSlowly(utf8, out, replace);
  }
  AddOther(line, {0, -1, bidi::Class::kON});
  problems_.clear();
  WriteScreenOrder(line, out);
  return true;
}

namespace {

// Readable stand-ins for everyday characters that no key of a font types, asked for by name
// (--stand-ins), never taken silently: the punctuation a Persian keyboard types as its ASCII
// look-alike, the hamza and madda letters as their base letter, a no-break space as a space. What
// only steers or stretches the text (direction marks, the joiners' tatweel, vowel marks) is left
// out: the legacy bytes are already in screen order and joined by their forms.
struct StandIn {
  char32_t character;
  char32_t standIn;  // 0: left out
};
constexpr StandIn kStandIns[] = {
    {0x060C, ','},    {0x061B, ';'},    {0x061F, '?'},    {0x00AB, '"'},    {0x00BB, '"'},
    {0x066A, '%'},    {0x066B, '.'},    {0x066C, ','},    {0x00A0, ' '},    {0x202F, ' '},
    {0x0622, 0x0627}, {0x0623, 0x0627}, {0x0625, 0x0627}, {0x0671, 0x0627}, {0x0624, 0x0648},
    {0x0626, 0x06CC}, {0x0629, 0x0647}, {0x06C0, 0x0647}, {0x0640, 0},      {0x200D, 0},
    {0x200E, 0},      {0x200F, 0},      {0x061C, 0},      {0x064B, 0},      {0x064C, 0},
    {0x064D, 0},      {0x064E, 0},      {0x064F, 0},      {0x0650, 0},      {0x0651, 0},
    {0x0652, 0},
};

}  // namespace

// Types the stand-in of `c`; false when it has none, or none with a byte in this font.
bool Converter::AddStandIn(Line& line, char32_t c) const {
  for (const StandIn& s : kStandIns) {
    if (s.character != c) continue;
    if (s.standIn == 0) return true;  // takes no place, parts no word
    if (s.standIn < 0x80) {
      if (ascii_[s.standIn].byte == 0) return false;
      AddOther(line, {ascii_[s.standIn].byte, -1, ascii_[s.standIn].cls});
      return true;
    }
    const int key = KeyOfLetter(s.standIn);
    if (key < 0) return false;
    AddLetter(line, key);
    return true;
  }
  return false;
}

bool Converter::EncodeSlowly(std::string_view utf8, std::string& out, bool replace) {
  problems_.clear();
  const long long standInsBefore = standIns_;
  Line line{Units(utf8.size())};
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
    const int key = KeyOfLetter(c);
    if (key >= 0) {
      AddLetter(line, key);
    } else if (c == kZeroWidthNonJoiner) {
      AddOther(line, {0, -1, bidi::Class::kON});  // breaks the joining, types nothing
    } else if (c < 0x80 && ascii_[c].byte != 0) {
      AddOther(line, {ascii_[c].byte, -1, ascii_[c].cls});
    } else if (const unsigned char shifted = ShiftedByteOf(page_, c); shifted != 0) {
      AddOther(line, {shifted, -1, bidi::Class::kAL});  // a Shift key's glyph ends the word
    } else if (useStandIns_ && AddStandIn(line, c)) {
      ++standIns_;
    } else {
      problems_.push_back({column, c, 0});
      AddOther(line, {kReplacementByte, -1, bidi::Class::kON});
    }
  }
  AddOther(line, {0, -1, bidi::Class::kON});
  if (!problems_.empty()) {
    if (!replace) {
      standIns_ = standInsBefore;  // the line is not written
      return false;
    }
    replaced_ += static_cast<long long>(problems_.size());
  }
  WriteScreenOrder(line, out);
  return true;
}

void Converter::WriteScreenOrder(const Line& line, std::string& out) {
  const Unit* units = line.units;
  const int count = line.count;
  const size_t at = out.size();
  out.resize(at + count);
  char* screen = out.data() + at;
  if (!line.mixed) {
    // Persian text, spaces and punctuation only: every level is right to left.
    for (int i = 0; i < count; ++i) screen[count - 1 - i] = static_cast<char>(units[i].byte);
    return;
  }
  classes_.resize(count);
  for (int i = 0; i < count; ++i) classes_[i] = units[i].cls;
  work_.resize(count);
  levels_.resize(count);
  bidi::LevelsOfLogical(classes_.data(), count, levels_.data(), work_.data());
  bidi::ForEachInScreenOrder(levels_.data(), count,
                             [&](int i) { *screen++ = static_cast<char>(units[i].byte); });
}

bool Converter::Decode(std::string_view bytes, std::string& out, bool replace) {
  problems_.clear();
  const int count = static_cast<int>(bytes.size());
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  // Bytes that need a second look set a flag: the common line only sums its room.
  size_t size = 0;  // of the UTF-8 written, with room for a non-joiner after every closing form
  bool mixed = false;
  bool nothing = false;
  long long unknown = 0;
  for (int i = 0; i < count; ++i) {
    const Reading& r = reading_[in[i]];
    size += r.room;
    mixed |= r.mixes;
    nothing |= r.nothing;
    unknown += r.unknown;
  }
  if (nothing) {
    for (int i = 0; i < count; ++i) {
      if (reading_[in[i]].nothing) problems_.push_back({i + 1, 0, in[i]});
    }
  }
  if (!problems_.empty() && !replace) return false;

  if (mixed) {
    classes_.resize(count);
    levels_.resize(count);
    work_.resize(count);
    for (int i = 0; i < count; ++i) classes_[i] = reading_[in[i]].cls;
    bidi::LevelsOfVisual(classes_.data(), count, levels_.data(), work_.data());
  }

  const size_t at = out.size();
  // The last reading is copied whole (4 bytes) whatever its length.
  out.resize(at + size + 4);
  char* const start = out.data() + at;
  // Locals only in the loop: the bytes written through `w` may alias any member.
  const Reading* const table = reading_;
  char* w = start;
  bool closing = false;
  auto put = [&](unsigned char byte) {
    const Reading& r = table[byte];
    // A letter that joins onward but shows a closing form right before another letter was
    // parted from it on purpose: the zero width non-joiner says so in Unicode.
    if (closing && r.letter) w = PutUtf8(w, kZeroWidthNonJoiner);
    std::memcpy(w, r.utf8, 4);
    w += r.length;
    closing = r.closing;
  };
  if (mixed) {
    // The screen-order levels visit the bytes in reading order.
    bidi::ForEachInScreenOrder(levels_.data(), count, [&](int i) { put(in[i]); });
  } else {
    for (int i = count - 1; i >= 0; --i) put(in[i]);
  }
  unknown_ += unknown;
  out.resize(at + static_cast<size_t>(w - start));
  return true;
}

}  // namespace codepage
