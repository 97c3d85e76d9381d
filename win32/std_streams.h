// Standard input and output as plain bytes, for the command-line tools. The Windows C runtime
// opens them in text mode, which writes every LF as CR LF and stops reading at a 0x1A byte: a
// converted file would gain a CR on each line, and input would end early.
#pragma once

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include <cstdio>

inline void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}
#else
inline void UseBinaryStandardStreams() {}
#endif
