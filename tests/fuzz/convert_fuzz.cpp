// Random lines through both directions of every code page: no input may crash the converter or
// make it write past its buffers, and what it accepts must hold together.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "codepage/convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int font = data[0] % 5;
  const bool replace = (data[0] & 0x80) != 0;
  const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);
  codepage::Converter converter(font);

  std::string unicode;
  if (converter.Decode(line, unicode, replace)) {
    // What the bytes read as is text the encoder takes back (U+FFFD excepted, which has no
    // byte), in no more bytes: a lam and an alef read from two glyphs come back as the ligature.
    std::string legacy;
    if (converter.unknown() == 0 && !converter.Encode(unicode, legacy, false)) std::abort();
    if (converter.unknown() == 0 && legacy.size() > line.size()) std::abort();
  } else if (converter.problems().empty()) {
    std::abort();  // a refusal always says where
  }

  std::string bytes;
  if (!converter.Encode(line, bytes, replace) && converter.problems().empty()) std::abort();
  return 0;
}
