// ANSI text helpers for a library that links no C runtime. Both builds use this same code, so
// the window-name tests behave identically on the host and in the DLL. The comparisons and the
// name-buffer preparation are inline: window names are read and compared several times per
// typed key, mostly against constant texts that the compiler then folds into the loops.
#pragma once

// ASCII letters to lower case; every other byte as it is.
inline unsigned FoldAsciiLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// Case-insensitive comparison as the C runtime's _strnicmp: ASCII letters are folded to lower
// case, bytes above 0x7F compare as they are (unsigned), and the comparison stops at the first
// difference or at a terminator within the first `count` characters. Returns <0, 0 or >0.
inline int TextCompareNoCaseN(const char* a, const char* b, unsigned count) {
  for (unsigned i = 0; i < count; ++i) {
    unsigned ca = static_cast<unsigned char>(a[i]);
    unsigned cb = static_cast<unsigned char>(b[i]);
    // Names mostly agree byte for byte as far as they agree at all: fold only on a difference.
    if (ca != cb) {
      ca = FoldAsciiLetter(static_cast<unsigned char>(ca));
      cb = FoldAsciiLetter(static_cast<unsigned char>(cb));
      if (ca != cb) return static_cast<int>(ca) - static_cast<int>(cb);
    }
    if (ca == 0) return 0;
  }
  return 0;
}

// As _strcmpi / _stricmp: TextCompareNoCaseN without a length limit.
inline int TextCompareNoCase(const char* a, const char* b) { return TextCompareNoCaseN(a, b, ~0u); }

// As strcmp: case counts, bytes compare unsigned.
inline int TextCompare(const char* a, const char* b) {
  for (unsigned i = 0;; ++i) {
    const unsigned ca = static_cast<unsigned char>(a[i]);
    const unsigned cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return static_cast<int>(ca) - static_cast<int>(cb);
    if (ca == 0) return 0;
  }
}

// Whether `text` starts with the whole of the literal `prefix`, ignoring case as
// TextCompareNoCaseN does (so StartsWithNoCase(t, "Photoshop") is TextCompareNoCaseN(t,
// "Photoshop", 9) == 0). The loop is unrolled over the literal: each character becomes a compare
// with a constant, and a shorter text fails at its terminator, never reading past it.
template <unsigned N>
inline bool StartsWithNoCase(const char* text, const char (&prefix)[N]) {
#pragma GCC unroll 24
  for (unsigned i = 0; i + 1 < N; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const unsigned char p = static_cast<unsigned char>(prefix[i]);
    if (c != p && FoldAsciiLetter(c) != FoldAsciiLetter(p)) return false;
  }
  return true;
}

// The same with case counting, as TextCompare on the literal's length.
template <unsigned N>
inline bool StartsWith(const char* text, const char (&prefix)[N]) {
#pragma GCC unroll 24
  for (unsigned i = 0; i + 1 < N; ++i) {
    if (text[i] != prefix[i]) return false;
  }
  return true;
}

// Whole-text equality with a literal: TextCompareNoCase(text, literal) == 0 and
// TextCompare(text, literal) == 0.
template <unsigned N>
inline bool EqualsNoCase(const char* text, const char (&literal)[N]) {
  return StartsWithNoCase(text, literal) && text[N - 1] == 0;
}
template <unsigned N>
inline bool Equals(const char* text, const char (&literal)[N]) {
  return StartsWith(text, literal) && text[N - 1] == 0;
}

// Fills `count` bytes with zero (the DLL has no memset of its own to call). Inline: injection
// records are cleared on every typed key, and their size is then known where they are.
inline void ClearBytes(void* p, unsigned count) {
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

// Readies a `size`-byte buffer for a name that an API call writes into it, at most `count` bytes
// with its terminator: the first byte and every byte from the count's last one on are zeroed. A
// call that writes nothing leaves an empty name, and any name ends inside the buffer, exactly as
// in a buffer cleared whole; no reader looks past a name's terminator. Clearing 260-byte name
// buffers whole cost more than all the rest of typing a key.
inline void ClearNameBuffer(char* buffer, unsigned size, unsigned count) {
  if (size == 0) return;
  buffer[0] = 0;
  for (unsigned i = (count == 0 || count > size) ? size : count - 1; i < size; ++i) buffer[i] = 0;
}

// Copies `src` with its terminator into `dst`, which must hold at least `capacity` bytes; a
// longer text is cut so that `dst` always ends in a terminator within `capacity`.
void CopyText(char* dst, const char* src, unsigned capacity);

// Length of a NUL-terminated text in bytes.
unsigned TextLength(const char* s);
