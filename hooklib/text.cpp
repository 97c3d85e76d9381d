#include "hooklib/text.h"

void ClearBytes(void* p, unsigned count) {
  // volatile keeps GCC from turning the loops back into a call to memset. Whole aligned words
  // in the middle: injection records are cleared on every typed key.
  typedef unsigned __attribute__((may_alias)) Word;
  unsigned char* bytes = static_cast<unsigned char*>(p);
  if ((reinterpret_cast<__UINTPTR_TYPE__>(p) | count) % sizeof(Word) == 0) {
    for (unsigned i = 0; i < count; i += sizeof(Word))
      *reinterpret_cast<volatile Word*>(bytes + i) = 0;
    return;
  }
  unsigned i = 0;
  for (; i < count && reinterpret_cast<__UINTPTR_TYPE__>(bytes + i) % sizeof(Word) != 0; ++i)
    static_cast<volatile unsigned char*>(p)[i] = 0;
  for (; i + sizeof(Word) <= count; i += sizeof(Word))
    *reinterpret_cast<volatile Word*>(bytes + i) = 0;
  for (; i < count; ++i) static_cast<volatile unsigned char*>(p)[i] = 0;
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
