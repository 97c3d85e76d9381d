#include "tools/controller/clipboard_keys.h"

#include "codepage/layout.h"
#include "win32/win32.h"

namespace clipboard_keys {

Keys KeysOfText(const std::u16string& text, int tableSet) {
  Keys out;
  for (size_t i = 0; i < text.size(); ++i) {
    const int at = static_cast<int>(i) + 1;
    char32_t c = text[i];
    unsigned vk = 0;
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      vk = VK_RETURN;
      out.breaks.push_back(at);
    } else if (c == u' ') {
      vk = VK_SPACE;
    } else {
      const char32_t low = i + 1 < text.size() ? text[i + 1] : 0;
      if (c >= 0xD800 && c < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
      const int index = layout::KeyIndexOfLetter(layout::FoldLetter(c), tableSet);
      if (index >= 0) vk = layout::VirtualKeyOfKeyIndex(index);
    }
    if (vk != 0) {
      out.keys.push_back(static_cast<unsigned char>(vk));
    } else {
      if (out.refused < kListed) out.listed[out.refused] = Refusal{c, at};
      ++out.refused;
    }
  }
  return out;
}

}  // namespace clipboard_keys
