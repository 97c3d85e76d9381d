// The clipboard command's text, as any program may have put it there: either every character
// has a key and the keys, typed on the host engine into a multi-line edit control, give exactly
// the bytes the converter makes of the same text, line by line; or the text is refused, with
// every character that has no key counted and the first of them named where they stand.
//
// The input's first byte picks the font code; each further byte a piece of text from a small
// alphabet (the layout's letters, yeh with hamza, Arabic yeh and kaf, spaces, the three line
// ends, characters with no key), or, with its top bit set, one raw UTF-16 unit from the next two
// bytes: lone surrogates, pairs, anything.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "codepage/convert.h"
#include "dll/entry.h"
#include "tools/controller/clipboard_keys.h"
#include "typing/controller_link.h"
#include "winsim/fakewin.h"
#include "winsim/message_loop.h"

namespace {

const char16_t* const kPieces[] = {
    u"\u0634", u"\u0630", u"\u0632", u"\u06CC", u"\u062B", u"\u0628",     u"\u0644", u"\u0627",
    u"\u0647", u"\u062A", u"\u0646", u"\u0645", u"\u062F", u"\u062E",     u"\u062D", u"\u0636",
    u"\u0642", u"\u0633", u"\u0641", u"\u0639", u"\u0631", u"\u0635",     u"\u0637", u"\u063A",
    u"\u0638", u"\u067E", u"\u062C", u"\u0686", u"\u0698", u"\u0648",     u"\u06A9", u"\u06AF",
    u"\u0626", u"\u064A", u"\u0643", u" ",      u"\r\n",   u"\n",         u"\r",     u"\u200C",
    u"\u0622", u"\u060C", u"a",      u"1",      u"\u06F1", u"\U0001F600",
};
constexpr size_t kPieceCount = sizeof kPieces / sizeof kPieces[0];
constexpr size_t kMaxUnits = 64;

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    char bytes[3];
    out.append(bytes, codepage::PutUtf8(bytes, c));
  }
  return out;
}

// A character has a key when it is a space, a line end or a letter of the set's layout.
bool HasKey(char32_t c, int set) {
  return c == ' ' || c == '\r' || c == '\n' ||
         layout::KeyIndexOfLetter(layout::FoldLetter(c), set) >= 0;
}

// The characters without a key, with where they start (from 1, in UTF-16 units).
std::vector<clipboard_keys::Refusal> WithoutKey(const std::u16string& text, int set) {
  std::vector<clipboard_keys::Refusal> out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    const int at = static_cast<int>(i) + 1;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (!HasKey(c, set)) out.push_back({c, at});
  }
  return out;
}

// What the converter makes of the text: each line's bytes, the last one closed by a space as the
// engine closes a word, the lines parted as a multi-line edit control keeps Enter.
std::string Converted(const std::u16string& text, int font) {
  codepage::Converter converter(font);
  std::string out;
  std::u16string line;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != u'\r' && text[i] != u'\n') {
      line += text[i];
      continue;
    }
    if (i == text.size()) line += u' ';
    if (!converter.Encode(Utf8(line), out, false)) std::abort();  // every character has a key
    if (i < text.size()) {
      out += "\r\n";
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    }
    line.clear();
  }
  return out;
}

// The keys, then Space, typed into a fresh multi-line edit control with Farsi typing on.
std::string Typed(const std::vector<unsigned char>& keys, int font) {
  ResetProcessState();
  std::string text;
  {
    fakewin::Desktop d;
    MessageLoop loop(d);
    d.ShowController(std::string("FALSE ") + static_cast<char>('0' + font) + " ZafrelXP");
    const HWND frame = d.AddWindow("Frame", "Untitled - Notepad");
    LibMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    const HWND edit = d.AddWindow("Edit", "", frame);
    loop.SetMultiline(edit);
    d.SetFocus(edit);
    d.SetToggled(VK_SCROLL, false);
    loop.UserKey(VK_SCROLL, true);
    loop.UserKey(VK_SCROLL, false);
    if (fFarsiOn == 0) std::abort();
    for (unsigned char vk : keys) {
      loop.UserKey(vk, true);
      loop.UserKey(vk, false);
    }
    loop.UserKey(VK_SPACE, true);
    loop.UserKey(VK_SPACE, false);
    text = loop.Text(edit);
  }
  ResetProcessState();
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int font = data[0] % 5;  // font codes 0-4 select the sets of the same numbers
  std::u16string text;
  for (size_t i = 1; i < size && text.size() < kMaxUnits; ++i) {
    if ((data[i] & 0x80) != 0 && i + 2 < size) {
      text += static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8));
      i += 2;
    } else {
      text += kPieces[data[i] % kPieceCount];
    }
  }
  const clipboard_keys::Keys keys = clipboard_keys::KeysOfText(text, font);
  const std::vector<clipboard_keys::Refusal> without = WithoutKey(text, font);
  if (keys.refused != static_cast<int>(without.size())) std::abort();
  for (int i = 0; i < keys.refused && i < clipboard_keys::kListed; ++i) {
    if (keys.listed[i].code != without[i].code || keys.listed[i].at != without[i].at) std::abort();
  }
  if (keys.refused > 0) return 0;
  if (Typed(keys.keys, font) != Converted(text, font)) std::abort();
  return 0;
}
