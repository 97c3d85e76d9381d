#include "hooklib/text.h"

namespace {

unsigned FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

}  // namespace

int TextCompareNoCaseN(const char* a, const char* b, unsigned count) {
  for (unsigned i = 0; i < count; ++i) {
    const unsigned ca = FoldAscii(static_cast<unsigned char>(a[i]));
    const unsigned cb = FoldAscii(static_cast<unsigned char>(b[i]));
    if (ca != cb) return static_cast<int>(ca) - static_cast<int>(cb);
    if (ca == 0) return 0;
  }
  return 0;
}

int TextCompareNoCase(const char* a, const char* b) { return TextCompareNoCaseN(a, b, ~0u); }

int TextCompare(const char* a, const char* b) {
  for (unsigned i = 0;; ++i) {
    const unsigned ca = static_cast<unsigned char>(a[i]);
    const unsigned cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return static_cast<int>(ca) - static_cast<int>(cb);
    if (ca == 0) return 0;
  }
}

void ClearBytes(void* p, unsigned count) {
  // volatile keeps GCC from turning the loop back into a call to memset.
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(p);
  for (unsigned i = 0; i < count; ++i) bytes[i] = 0;
}

void CopyText(char* dst, const char* src, unsigned capacity) {
  if (capacity == 0) return;
  unsigned i = 0;
  for (; i + 1 < capacity && src[i] != 0; ++i) dst[i] = src[i];
  dst[i] = 0;
}

unsigned TextLength(const char* s) {
  unsigned n = 0;
  while (s[n] != 0) ++n;
  return n;
}
