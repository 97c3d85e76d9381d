#include "hooklib/text.h"

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
