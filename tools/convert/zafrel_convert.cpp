// zafrel-convert: legacy Farsi bytes of one font encoding to UTF-8 and back, line by line.
//
//   zafrel-convert --to-unicode|--to-legacy --font 0-4 [--replace] [--stand-ins] [FILE...]
//   zafrel-convert --code-page --font 0-4
//
// --code-page lists what every byte of the font encoding stands for, one line a byte:
//   0xAF letter U+062F final     a letter in one of its forms (isolated, final, medial, initial)
//   0xE8 lam-alef U+0644 isolated
//   0x31 digit U+0031 | fixed U+002E | ascii U+0041 | other U+FFFD | nothing
//   0x95 shift U+0624            a Shift key's glyph, named by Windows' Persian layout
//
// Reads the files (or standard input) and writes standard output. Lines end with LF, CR LF or CR
// alone and keep their ending. A line that cannot be converted stops its file with the file, line
// and column on standard error (at most 10 problems of the line listed) and exit status 1; the
// other files are still converted; --replace writes '?' (to legacy) or U+FFFD (to Unicode) for what
// has no counterpart instead. Memory use does not grow with the input: lines up to 1 MiB are read
// through a fixed buffer.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "codepage/convert.h"
#include "win32/std_streams.h"

namespace {

constexpr size_t kMaxLine = size_t{1} << 20;
// A line of characters that have no byte would otherwise give a line of error each.
constexpr size_t kListedProblems = 10;
constexpr size_t kReadSize = size_t{1} << 20;
constexpr size_t kFlushAt = size_t{1} << 20;

struct Options {
  bool codePage = false;
  bool toUnicode = false;
  bool directionGiven = false;
  int font = -1;
  bool replace = false;
  bool standIns = false;
};

const char kHelp[] =
    "usage: zafrel-convert --to-unicode|--to-legacy --font 0-4 [--replace] [--stand-ins] "
    "[FILE...]\n"
    "       zafrel-convert --code-page --font 0-4\n"
    "       zafrel-convert --help | --version\n"
    "\n"
    "Converts text between the single-byte legacy Farsi encoding of a font code and UTF-8, line\n"
    "by line, from the FILEs one after another (or standard input) to standard output.\n"
    "\n"
    "  --to-unicode   legacy bytes in, UTF-8 out (the bytes in storage order, as typed)\n"
    "  --to-legacy    UTF-8 in, legacy bytes out, shaped as the typing engine shapes them\n"
    "  --font 0-4     the font code whose encoding the bytes are in\n"
    "  --replace      write '?' (to legacy) or U+FFFD (to Unicode) for what has no counterpart,\n"
    "                 and count them on standard error, instead of stopping at it\n"
    "  --stand-ins    (--to-legacy) write a readable stand-in for a character with no byte in\n"
    "                 the font, and count them on standard error: the Arabic comma, semicolon\n"
    "                 and question mark, the Arabic percent and decimal signs as their ASCII\n"
    "                 look-alikes, the guillemets as '\"', alef with madda or hamza as alef, waw\n"
    "                 and yeh with hamza as waw and yeh, teh marbuta and heh with yeh as heh,\n"
    "                 a no-break space as a space; tatweel, vowel marks, the joiner and the\n"
    "                 direction marks are left out\n"
    "  --code-page    list what each of the 256 bytes of the font code stands for, a line a\n"
    "                 byte: letter (with its form), lam-alef, digit, fixed, ascii, shift (a\n"
    "                 Shift key's glyph that Windows' Persian layout names), other (a key whose\n"
    "                 character is unknown: read as U+FFFD), nothing\n"
    "  --help         this page;  --version  the version\n"
    "\n"
    "Lines end with LF, CR LF or CR alone and keep their ending. A UTF-8 byte order mark at the\n"
    "start of --to-legacy input is dropped. A line may be up to 1 MiB (1,048,576 bytes) long on\n"
    "its UTF-8 side, in both directions, so that what one writes the other reads. Errors say\n"
    "FILE:LINE:COLUMN, the column counted in characters of the line read from 1 (bytes for\n"
    "--to-unicode), and list at most 10 problems of the line.\n"
    "\n"
    "Exit status: 0 every line converted; 1 a line could not be converted, a file could not be\n"
    "read (the others are still converted) or the output could not be written; 2 wrong usage.\n";

int Usage(const char* message) {
  if (message != nullptr) std::fprintf(stderr, "zafrel-convert: %s\n", message);
  std::fprintf(stderr,
               "usage: zafrel-convert --to-unicode|--to-legacy --font 0-4 [--replace] "
               "[--stand-ins] [FILE...]\n"
               "       zafrel-convert --code-page --font 0-4\n"
               "       zafrel-convert --help | --version\n");
  return 2;
}

std::string Describe(char32_t c) {
  char text[48];
  if (c == codepage::kInvalidUtf8) return "a byte sequence that is not UTF-8";
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  std::string out = text;
  if (c >= 0x21 && c < 0x7F) {
    out += " '";
    out += static_cast<char>(c);
    out += "'";
  }
  return out;
}

class Run {
 public:
  explicit Run(const Options& options) : options_(options), converter_(options.font) {
    converter_.SetStandIns(options.standIns);
    buffer_.resize(kReadSize + kMaxLine + 1);  // a held line may keep its CR
    out_.reserve(kFlushAt + 4 * kMaxLine);
  }

  // Converts one stream; false after a reported error.
  bool Convert(std::FILE* in, const char* name) {
    name_ = name;
    line_ = 0;
    size_t held = 0;  // bytes of an unfinished line at the start of the buffer
    bool first = true;
    for (;;) {
      const size_t got = std::fread(buffer_.data() + held, 1, kReadSize, in);
      if (got == 0) {
        if (std::ferror(in)) return Fail(std::string("cannot read: ") + std::strerror(errno));
        break;
      }
      size_t start = 0;
      const size_t end = held + got;
      if (first && options_.toUnicode == false && end >= 3 &&
          std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) {
        start = 3;  // a byte order mark says UTF-8; it is no character of the text
      }
      first = false;
      for (;;) {
        // A line ends at LF, CR LF or a CR alone (as old desktop-publishing programs end
        // them). CR is looked for only before the next LF, so that an LF file is read in one
        // pass; a CR at the very end of what is read may still be followed by an LF.
        const char* base = buffer_.data();
        const void* lf = std::memchr(base + start, '\n', end - start);
        const size_t lfAt = lf != nullptr ? static_cast<const char*>(lf) - base : end;
        const void* cr = std::memchr(base + start, '\r', lfAt - start);
        const size_t crAt = cr != nullptr ? static_cast<const char*>(cr) - base : end;
        if (crAt < end && crAt + 1 != lfAt && crAt + 1 < end) {
          if (!Line(std::string_view(base + start, crAt - start), "\r")) return false;
          start = crAt + 1;
        } else if (lf != nullptr) {
          const bool crlf = lfAt > start && base[lfAt - 1] == '\r';
          if (!Line(std::string_view(base + start, lfAt - start - (crlf ? 1 : 0)),
                    crlf ? "\r\n" : "\n"))
            return false;
          start = lfAt + 1;
        } else {
          break;
        }
      }
      held = end - start;
      if (held > kMaxLine + 1) return Fail("line is longer than 1 MiB");  // room for a CR
      std::memmove(buffer_.data(), buffer_.data() + start, held);
    }
    if (held > 0) {
      // The end of the input: a CR held back ends its line.
      const bool cr = buffer_[held - 1] == '\r';
      if (!Line(std::string_view(buffer_.data(), held - (cr ? 1 : 0)), cr ? "\r" : ""))
        return false;
    }
    return Flush();
  }

  bool writeFailed() const { return writeFailed_; }

  void Summary() const {
    if (converter_.unknown() > 0) {
      std::fprintf(stderr,
                   "zafrel-convert: %lld byte(s) of keys with no known character read as U+FFFD\n",
                   converter_.unknown());
    }
    if (converter_.replaced() > 0) {
      std::fprintf(stderr,
                   "zafrel-convert: %lld character(s) with no byte in font %d written as '?'\n",
                   converter_.replaced(), options_.font);
    }
    if (converter_.standIns() > 0) {
      std::fprintf(stderr,
                   "zafrel-convert: %lld character(s) with no byte in font %d written as "
                   "stand-ins\n",
                   converter_.standIns(), options_.font);
    }
  }

 private:
  const Options& options_;
  codepage::Converter converter_;
  std::string buffer_;
  std::string out_;
  const char* name_ = "";
  long long line_ = 0;
  bool writeFailed_ = false;

  // One line without its ending, and the ending it came with ("", "\n", "\r\n" or "\r").
  bool Line(std::string_view text, const char* ending) {
    // The same limit whether or not the line came in one read.
    if (text.size() > kMaxLine) return Fail("line is longer than 1 MiB");
    ++line_;
    const size_t before = out_.size();
    const bool ok = options_.toUnicode ? converter_.Decode(text, out_, options_.replace)
                                       : converter_.Encode(text, out_, options_.replace);
    if (!ok) return Report();
    // The limit holds for the UTF-8 side in both directions, so that what --to-unicode writes
    // --to-legacy reads back: a legacy line whose Unicode is longer is refused, not written.
    if (options_.toUnicode && out_.size() - before > kMaxLine) {
      out_.resize(before);
      --line_;
      return Fail("line is longer than 1 MiB in UTF-8");
    }
    out_ += ending;
    return out_.size() < kFlushAt || Flush();
  }

  bool Report() {
    Flush();
    size_t listed = 0;
    for (const codepage::Problem& problem : converter_.problems()) {
      if (listed++ == kListedProblems) break;
      if (options_.toUnicode) {
        std::fprintf(stderr,
                     "zafrel-convert: %s:%lld:%d: byte 0x%02X stands for nothing in font %d\n",
                     name_, line_, problem.column, problem.byte, options_.font);
      } else if (problem.character == codepage::kInvalidUtf8) {
        std::fprintf(stderr,
                     "zafrel-convert: %s:%lld:%d: byte 0x%02X starts no valid UTF-8 character\n",
                     name_, line_, problem.column, problem.byte);
      } else {
        std::fprintf(stderr, "zafrel-convert: %s:%lld:%d: %s has no key or byte in font %d\n",
                     name_, line_, problem.column, Describe(problem.character).c_str(),
                     options_.font);
      }
    }
    if (converter_.problems().size() > kListedProblems) {
      std::fprintf(stderr, "zafrel-convert: %s:%lld: %zu more problem(s) in this line not listed\n",
                   name_, line_, converter_.problems().size() - kListedProblems);
    }
    if (!options_.toUnicode && converter_.problems().back().character != codepage::kInvalidUtf8) {
      std::fprintf(stderr, "zafrel-convert: --replace writes '?' for such characters%s\n",
                   options_.standIns ? "" : ", --stand-ins a look-alike where there is one");
    }
    return false;
  }

  bool Fail(const std::string& message) {
    Flush();
    std::fprintf(stderr, "zafrel-convert: %s:%lld: %s\n", name_, line_ + 1, message.c_str());
    return false;
  }

  bool Flush() {
    if (!out_.empty() && std::fwrite(out_.data(), 1, out_.size(), stdout) != out_.size()) {
      std::fprintf(stderr, "zafrel-convert: cannot write the output: %s\n", std::strerror(errno));
      writeFailed_ = true;
      out_.clear();
      return false;
    }
    out_.clear();
    return true;
  }
};

int PrintCodePage(int font) {
  static const char* const kKinds[] = {"nothing", "other",    "ascii",  "digit",
                                       "fixed",   "lam-alef", "letter", "shift"};
  static const char* const kForms[] = {"isolated", "final", "medial", "initial"};
  const codepage::CodePage& page = codepage::CodePageOf(font);
  for (int byte = 0; byte < 256; ++byte) {
    const codepage::ByteMeaning& m = page.meaning[byte];
    std::printf("0x%02X %s", byte, kKinds[static_cast<int>(m.kind)]);
    if (m.kind != codepage::Kind::kNothing)
      std::printf(" U+%04X", static_cast<unsigned>(m.character));
    if (m.kind == codepage::Kind::kLetter || m.kind == codepage::Kind::kLamAlef) {
      std::printf(" %s", kForms[static_cast<int>(m.form)]);
    }
    std::printf("\n");
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryStandardStreams();
  Options options;
  int firstFile = argc;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--to-unicode" || arg == "--to-legacy") {
      if (options.directionGiven) return Usage("give one of --to-unicode and --to-legacy");
      options.directionGiven = true;
      options.toUnicode = arg == "--to-unicode";
    } else if (arg == "--font") {
      if (i + 1 >= argc) return Usage("--font needs a font code 0-4");
      const std::string_view code = argv[++i];
      if (code.size() != 1 || code[0] < '0' || code[0] > '4')
        return Usage("--font takes a font code 0-4");
      options.font = code[0] - '0';
    } else if (arg == "--code-page") {
      options.codePage = true;
    } else if (arg == "--replace") {
      options.replace = true;
    } else if (arg == "--stand-ins") {
      options.standIns = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    } else if (arg == "--version") {
      std::printf("zafrel-convert %s\n", ZAFREL_VERSION);
      return std::fflush(stdout) == 0 ? 0 : 1;
    } else if (arg == "--") {
      firstFile = i + 1;
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage(("unknown option " + std::string(arg)).c_str());
    } else {
      firstFile = i;
      break;
    }
  }
  if (options.codePage) {
    if (options.font < 0) return Usage("give --font 0-4");
    return PrintCodePage(options.font);
  }
  if (!options.directionGiven) return Usage("give --to-unicode or --to-legacy");
  if (options.font < 0) return Usage("give --font 0-4");

  Run run(options);
  bool ok = true;
  if (firstFile >= argc) {
    ok = run.Convert(stdin, "<stdin>");
  } else {
    // Every file is tried: one that is missing or bad is named, and the rest still converted.
    for (int i = firstFile; i < argc; ++i) {
      std::FILE* in = std::fopen(argv[i], "rb");
      if (in == nullptr) {
        std::fprintf(stderr, "zafrel-convert: %s: %s\n", argv[i], std::strerror(errno));
        ok = false;
        continue;
      }
      ok = run.Convert(in, argv[i]) && ok;
      std::fclose(in);
      if (run.writeFailed()) break;  // nowhere to write the others to
    }
  }
  run.Summary();
  if (run.writeFailed()) return 1;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "zafrel-convert: cannot write the output: %s\n", std::strerror(errno));
    return 1;
  }
  return ok ? 0 : 1;
}
