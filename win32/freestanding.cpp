// The DLL links no C runtime, but GCC may still emit calls to these four routines for struct
// copies and large zero-fills even with -ffreestanding. They live only in the Windows build.
#include <stddef.h>

extern "C" {

void* memset(void* dst, int value, size_t n) {
  volatile unsigned char* d = static_cast<volatile unsigned char*>(dst);
  for (size_t i = 0; i < n; ++i) d[i] = static_cast<unsigned char>(value);
  return dst;
}

void* memcpy(void* dst, const void* src, size_t n) {
  volatile unsigned char* d = static_cast<volatile unsigned char*>(dst);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  for (size_t i = 0; i < n; ++i) d[i] = s[i];
  return dst;
}

void* memmove(void* dst, const void* src, size_t n) {
  volatile unsigned char* d = static_cast<volatile unsigned char*>(dst);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  if (d < s) {
    for (size_t i = 0; i < n; ++i) d[i] = s[i];
  } else {
    for (size_t i = n; i > 0; --i) d[i - 1] = s[i - 1];
  }
  return dst;
}

int memcmp(const void* a, const void* b, size_t n) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (size_t i = 0; i < n; ++i) {
    if (x[i] != y[i]) return x[i] - y[i];
  }
  return 0;
}

}  // extern "C"
