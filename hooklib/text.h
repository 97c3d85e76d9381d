// ANSI text helpers for a library that links no C runtime. Both builds use this same code, so
// the window-name tests behave identically on the host and in the DLL.
#pragma once

// Case-insensitive comparison as the C runtime's _strnicmp: ASCII letters are folded to lower
// case, bytes above 0x7F compare as they are (unsigned), and the comparison stops at the first
// difference or at a terminator within the first `count` characters. Returns <0, 0 or >0.
int TextCompareNoCaseN(const char* a, const char* b, unsigned count);

// As _strcmpi / _stricmp: TextCompareNoCaseN without a length limit.
int TextCompareNoCase(const char* a, const char* b);

// As strcmp: case counts, bytes compare unsigned.
int TextCompare(const char* a, const char* b);

// Fills `count` bytes with zero (the DLL has no memset of its own to call).
void ClearBytes(void* p, unsigned count);

// Copies `src` with its terminator into `dst`, which must hold at least `capacity` bytes; a
// longer text is cut so that `dst` always ends in a terminator within `capacity`.
void CopyText(char* dst, const char* src, unsigned capacity);

// Length of a NUL-terminated text in bytes.
unsigned TextLength(const char* s);
