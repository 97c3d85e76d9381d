// Lines converted both ways with whole byte strings worked out from the glyph tables by hand, and
// zafrel-convert's behaviour as a program: streams, line endings, errors and exit codes.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "codepage/convert.h"

namespace {

std::string Hex(const std::string& s) {
  std::string out;
  char buf[4];
  for (unsigned char c : s) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    out += buf;
  }
  return out;
}

struct LineCase {
  int font;
  const char* unicode;
  const char* legacy;  // hex, screen order
  const char* why;
};

const LineCase kLines[] = {
    // seen ini, lam-alef final (after a joined lam), meem iso | dal iso, noon ini, yeh med, alef
    // fin
    {1, "سلام دنیا", "42 FD F0 6B 20 EF E7 75 ", "two words, the first one rightmost"},
    {0, "سلام دنیا", "7E FD F2 AE 20 F1 E9 B8 ", "the same words in set 0"},
    {1, "لا", "E6 ", "lam-alef at a word's start"},
    {1, "سال 1385", "31 33 38 35 20 EB 42 75 ", "a number after a word keeps its order"},
    {1, "ب 12 34", "33 34 20 31 32 20 4A ", "numbers parted by a space, as the engine types them"},
    {0, "ب 1385/12/05", "31 33 38 35 2F 31 32 2F 30 35 20 88 ", "a date"},
    {0, "ZafrelXP ب", "88 20 5A 61 66 72 65 6C 58 50 ", "Latin text keeps its reading order"},
    {1, "به‌ب", "4A FA 47 ", "the non-joiner closes a word without a space"},
    {3, "ببب", "4B 4C 4D ", "initial, medial, final"},
    {2, "ر", "B0 ", "a letter that never joins, alone"},
    {4, "بر", "AC 87 ", "a letter that never joins, after a joining one"},
    {1, "يك", "E0 FC ", "the Arabic yeh and kaf are typed as the Persian ones"},
    {1, "۱۲ ب", "4A 20 31 32 ", "Persian digits are typed as ASCII digits"},
    // meem ini, seen med, yeh with hamza (M) med, lam med, heh fin
    {1, "مسئله", "FA E9 45 76 EC ", "M is yeh with hamza in the default set, joined both ways"},
    // meem iso, Shift+V, seen ini, seen med, heh fin
    {1, "مؤسسه", "FA 76 75 95 EF ", "waw with hamza is Shift+V's glyph and ends the word"},
    {0, "جزء", "96 B5 9A ", "set 0's Shift+M is hamza"},
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << "font " << c.font << ": " << c.why; }

class Line : public ::testing::TestWithParam<LineCase> {};

TEST_P(Line, EncodesToItsBytes) {
  const LineCase& c = GetParam();
  codepage::Converter converter(c.font);
  std::string out;
  ASSERT_TRUE(converter.Encode(c.unicode, out, false));
  EXPECT_EQ(Hex(out), c.legacy);
}

TEST_P(Line, DecodesBackToItsText) {
  const LineCase& c = GetParam();
  codepage::Converter converter(c.font);
  std::string legacy, back, again;
  ASSERT_TRUE(converter.Encode(c.unicode, legacy, false));
  ASSERT_TRUE(converter.Decode(legacy, back, false));
  // Folded characters come back in the layout's spelling; the bytes are the same.
  ASSERT_TRUE(converter.Encode(back, again, false));
  EXPECT_EQ(Hex(again), Hex(legacy));
  if (std::string(c.why).find("typed as") == std::string::npos) {
    EXPECT_EQ(back, c.unicode);
  }
  EXPECT_EQ(converter.unknown(), 0);
}

INSTANTIATE_TEST_SUITE_P(Lines, Line, ::testing::ValuesIn(kLines));

// Lines the quick path takes must come out as the careful path gives them: a non-joiner at the
// end of a line changes no byte but sends the line the careful way.
TEST(Encode, QuickAndCarefulPathsAgree) {
  const std::vector<std::string> pieces = {"س", "ل", "ا", "م", "ب", "ر",   "و", "ی", " ",
                                           "1", "2", "/", ".", "-", "Win", "!", "\t"};
  std::mt19937 rng(1384);
  for (int font = 0; font < 5; ++font) {
    codepage::Converter converter(font);
    for (int round = 0; round < 3000; ++round) {
      std::string line;
      for (int k = 1 + static_cast<int>(rng() % 12); k > 0; --k)
        line += pieces[rng() % pieces.size()];
      std::string quick, careful;
      if (!converter.Encode(line, quick, false)) continue;  // Latin with no bytes in this font
      ASSERT_TRUE(converter.Encode(line + "\u200C", careful, false));
      ASSERT_EQ(Hex(quick), Hex(careful)) << "font " << font << ": " << line;
    }
  }
}

TEST(Encode, RefusesEveryCharacterWithNoKeyAndItsColumn) {
  codepage::Converter converter(1);
  std::string out;
  EXPECT_FALSE(converter.Encode("آب ءA", out, false));
  ASSERT_EQ(converter.problems().size(), 3u);
  EXPECT_EQ(converter.problems()[0].column, 1);
  EXPECT_EQ(converter.problems()[0].character, U'\u0622');
  EXPECT_EQ(converter.problems()[1].column, 4);
  EXPECT_EQ(converter.problems()[1].character, U'\u0621');
  EXPECT_EQ(converter.problems()[2].column, 5);  // A's byte is alef's glyph in the default set
  EXPECT_EQ(converter.problems()[2].character, U'A');
  EXPECT_EQ(out, "");
  EXPECT_TRUE(converter.Encode("آب ءA", out, true));
  EXPECT_EQ(Hex(out), "3F 3F 20 4A 3F ");
  EXPECT_EQ(converter.replaced(), 3);
}

struct StandInCase {
  int font;
  const char* unicode;
  const char* legacy;  // hex, screen order; "" when the line is refused
  long long standIns;
  const char* why;
};

const StandInCase kStandIns[] = {
    {1, "آب،", "2C 4A 41 ", 2, "alef with madda as alef, the Arabic comma as ','"},
    {2, "«ب»", "22 8E 22 ", 2, "guillemets as quotation marks"},
    {1, "بـه", "FA 47 ", 1, "tatweel left out: the letters around it stay joined"},
    {1, "ب\u200Fب", "49 47 ", 1, "a direction mark left out"},
    {0, "مؤسسه", "FA B9 B8 F7 EE ", 1, "no Shift glyph for waw with hamza in set 0: waw, joined"},
    {1, "مسئله", "FA E9 45 76 EC ", 0, "a character with a byte of its own takes it"},
    {1, "ب ء", "", 0, "hamza has no byte in the default set and no stand-in"},
};

void PrintTo(const StandInCase& c, std::ostream* os) { *os << "font " << c.font << ": " << c.why; }

class StandIn : public ::testing::TestWithParam<StandInCase> {};

TEST_P(StandIn, IsWrittenOnlyWhenAskedFor) {
  const StandInCase& c = GetParam();
  codepage::Converter converter(c.font);
  std::string out;
  converter.SetStandIns(true);
  EXPECT_EQ(converter.Encode(c.unicode, out, false), *c.legacy != 0);
  EXPECT_EQ(Hex(out), c.legacy);
  EXPECT_EQ(converter.standIns(), c.standIns);
  if (c.standIns == 0) return;
  converter.SetStandIns(false);
  out.clear();
  EXPECT_FALSE(converter.Encode(c.unicode, out, false));  // never without being asked
  EXPECT_EQ(converter.standIns(), c.standIns);
}

INSTANTIATE_TEST_SUITE_P(Characters, StandIn, ::testing::ValuesIn(kStandIns));

TEST(Encode, StopsAtBytesThatAreNoUtf8) {
  codepage::Converter converter(0);
  std::string out;
  for (const char* bad : {"\xC0\x80", "\xED\xA0\x80", "\xE2\x82", "\xFF", "\xF4\x90\x80\x80"}) {
    EXPECT_FALSE(converter.Encode(std::string("ab") + bad, out, true)) << Hex(bad);
    ASSERT_EQ(converter.problems().size(), 1u);
    EXPECT_EQ(converter.problems()[0].column, 3);
    EXPECT_EQ(converter.problems()[0].character, codepage::kInvalidUtf8);
  }
}

TEST(Decode, BytesOfUnknownKeysReadAsReplacementCharactersAndAreCounted) {
  codepage::Converter converter(1);
  std::string out;
  // The second Shift layer's A and Shift+R, which Windows' layout leaves empty, around an
  // isolated beh.
  ASSERT_TRUE(converter.Decode("\xB4\x4A\x9B", out, false));
  EXPECT_EQ(out, "\uFFFDب\uFFFD");
  EXPECT_EQ(converter.unknown(), 2);
  out.clear();
  EXPECT_FALSE(converter.Decode("\x4A\x01\x7F", out, false));
  ASSERT_EQ(converter.problems().size(), 2u);
  EXPECT_EQ(converter.problems()[0].column, 2);
  EXPECT_EQ(converter.problems()[1].column, 3);
  EXPECT_TRUE(converter.Decode("\x4A\x01", out, true));
  EXPECT_EQ(out, "\uFFFDب");
}

// --- zafrel-convert, the program ---------------------------------------------------------------

struct Result {
  int status;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Result RunConvert(const std::string& arguments, const std::string& input) {
  const char* program = std::getenv("ZAFREL_CONVERT");
  if (program == nullptr) program = "build/host/zafrel-convert";
  // A folder of its own: the suite's tests run side by side.
  std::string dir = ::testing::TempDir() + "zafrel-convert-XXXXXX";
  if (mkdtemp(dir.data()) == nullptr) return {-1, "", "no temporary folder"};
  dir += "/";
  { std::ofstream(dir + "in.txt", std::ios::binary) << input; }
  const std::string command = std::string(program) + " " + arguments + " <" + dir + "in.txt >" +
                              dir + "out.txt 2>" + dir + "err.txt";
  const int status = std::system(command.c_str());
  Result result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir + "out.txt"),
                ReadFile(dir + "err.txt")};
  for (const char* file : {"in.txt", "out.txt", "err.txt"}) std::remove((dir + file).c_str());
  rmdir(dir.c_str());
  return result;
}

TEST(Program, KeepsLineEndsAndConvertsEveryLine) {
  const Result r = RunConvert("--to-legacy --font 1", "\xEF\xBB\xBFلا\r\nب\n\nب");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Hex(r.out), "E6 0D 0A 4A 0A 0A 4A ");
  const Result back = RunConvert("--to-unicode --font 1", r.out);
  EXPECT_EQ(back.status, 0);
  EXPECT_EQ(back.out, "لا\r\nب\n\nب");
}

struct ErrorCase {
  const char* arguments;
  const char* input;
  int status;
  const char* message;
};

const ErrorCase kErrors[] = {
    {"--to-legacy --font 1", "ب\nسآء\n", 1,
     "zafrel-convert: <stdin>:2:2: U+0622 has no key or byte in font 1\n"
     "zafrel-convert: <stdin>:2:3: U+0621 has no key or byte in font 1\n"
     "zafrel-convert: --replace writes '?' for such characters, --stand-ins a look-alike where "
     "there is one\n"},
    {"--to-legacy --font 0", "ab\xC3", 1,
     "zafrel-convert: <stdin>:1:3: byte 0xC3 starts no valid UTF-8 character\n"},
    {"--to-unicode --font 0", "\x88\n\x88\x90", 1,
     "zafrel-convert: <stdin>:2:2: byte 0x90 stands for nothing in font 0\n"},
    {"--to-unicode --font 1 --replace", "\xB4", 0,
     "zafrel-convert: 1 byte(s) of keys with no known character read as U+FFFD\n"},
    {"--to-legacy --font 5", "", 2,
     "zafrel-convert: --font takes a font code 0-4\n"
     "usage: zafrel-convert --to-unicode|--to-legacy --font 0-4 [--replace] [--stand-ins] "
     "[FILE...]\n"
     "       zafrel-convert --code-page --font 0-4\n"
     "       zafrel-convert --help | --version\n"},
    {"--font 1", "", 2,
     "zafrel-convert: give --to-unicode or --to-legacy\n"
     "usage: zafrel-convert --to-unicode|--to-legacy --font 0-4 [--replace] [--stand-ins] "
     "[FILE...]\n"
     "       zafrel-convert --code-page --font 0-4\n"
     "       zafrel-convert --help | --version\n"},
    {"--to-legacy --font 1 --stand-ins", "آب،\nب\n", 0,
     "zafrel-convert: 2 character(s) with no byte in font 1 written as stand-ins\n"},
    {"--to-legacy --font 1 --stand-ins", "ءآ\n", 1,
     "zafrel-convert: <stdin>:1:1: U+0621 has no key or byte in font 1\n"
     "zafrel-convert: --replace writes '?' for such characters\n"},
    {"--to-unicode --font 1 /nonexistent/file", "", 1,
     "zafrel-convert: /nonexistent/file: No such file or directory\n"},
    // Twelve characters without a byte in one line: ten listed, the rest counted.
    {"--to-legacy --font 1",
     "ب\u0622\u0622\u0622\u0622\u0622\u0622\u0622\u0622\u0622\u0622\u0622\u0622\n", 1,
     "zafrel-convert: <stdin>:1:2: U+0622 has no key or byte in font 1\n"
     "zafrel-convert: <stdin>:1:3: U+0622 has no key or byte in font 1\n"
     "zafrel-convert: <stdin>:1:4: U+0622 has no key or byte in font 1\n"
     "zafrel-convert: <stdin>:1:5: U+0622 has no key or byte in font 1\n"
     "zafrel-convert: <stdin>:1:6: U+0622 has no key or byte in font 1\n"
     "zafrel-convert: <stdin>:1:7: U+0622 has no key or byte in font 1\n"
     "zafrel-convert: <stdin>:1:8: U+0622 has no key or byte in font 1\n"
     "zafrel-convert: <stdin>:1:9: U+0622 has no key or byte in font 1\n"
     "zafrel-convert: <stdin>:1:10: U+0622 has no key or byte in font 1\n"
     "zafrel-convert: <stdin>:1:11: U+0622 has no key or byte in font 1\n"
     "zafrel-convert: <stdin>:1: 2 more problem(s) in this line not listed\n"
     "zafrel-convert: --replace writes '?' for such characters, --stand-ins a look-alike where "
     "there is one\n"},
    {"--to-legacy --font 1 --frobnicate", "", 2,
     "zafrel-convert: unknown option --frobnicate\n"
     "usage: zafrel-convert --to-unicode|--to-legacy --font 0-4 [--replace] [--stand-ins] "
     "[FILE...]\n"
     "       zafrel-convert --code-page --font 0-4\n"
     "       zafrel-convert --help | --version\n"},
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.arguments; }

class ProgramError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ProgramError, SaysWhereAndExits) {
  const Result r = RunConvert(GetParam().arguments, GetParam().input);
  EXPECT_EQ(r.status, GetParam().status);
  EXPECT_EQ(r.err, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Errors, ProgramError, ::testing::ValuesIn(kErrors));

TEST(Program, RefusesALineLongerThanItsBuffer) {
  const std::string ok(size_t{1} << 20, ' ');  // 1 MiB: the longest line it takes
  const Result longest = RunConvert("--to-legacy --font 0", "b\n" + ok + "\r\n");
  EXPECT_EQ(longest.status, 0);
  EXPECT_EQ(longest.out.size(), ok.size() + 4);
  const Result r = RunConvert("--to-legacy --font 0", "b\n" + ok + " \n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "zafrel-convert: <stdin>:2: line is longer than 1 MiB\n");
  EXPECT_EQ(r.out, "b\n");
}

// Every file is tried: a missing one and a bad one are named, the good ones around them
// converted, and the exit status says that some failed.
TEST(Program, TriesEveryFileAndNamesEachFailure) {
  std::string dir = ::testing::TempDir() + "zafrel-files-XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  { std::ofstream(dir + "/good.txt", std::ios::binary) << "\x4A\n"; }
  { std::ofstream(dir + "/bad.txt", std::ios::binary) << "\x4A\x90\n\x4A\n"; }
  const Result r = RunConvert("--to-unicode --font 0 " + dir + "/good.txt " + dir +
                                  "/missing.txt " + dir + "/bad.txt " + dir + "/good.txt",
                              "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "J\nJ\n");  // 0x4A is the Latin J in font 0
  EXPECT_EQ(r.err, "zafrel-convert: " + dir + "/missing.txt: No such file or directory\n" +
                       "zafrel-convert: " + dir + "/bad.txt:1:2: byte 0x90 stands for nothing in " +
                       "font 0\n");
  for (const char* file : {"/good.txt", "/bad.txt"}) std::remove((dir + file).c_str());
  rmdir(dir.c_str());
}

TEST(Program, AWriteErrorIsReportedWithItsReason) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  const char* program = std::getenv("ZAFREL_CONVERT");
  std::string dir = ::testing::TempDir() + "zafrel-full-XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  { std::ofstream(dir + "/in.txt", std::ios::binary) << "\x4A\n"; }
  // A small output fails only when the stream is flushed at the end.
  const std::string run = std::string(program != nullptr ? program : "build/host/zafrel-convert") +
                          " --to-unicode --font 1 " + dir + "/in.txt >/dev/full 2>" + dir +
                          "/err.txt";
  const int status = std::system(run.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  EXPECT_EQ(ReadFile(dir + "/err.txt"),
            "zafrel-convert: cannot write the output: No space left on device\n");
  for (const char* file : {"/in.txt", "/err.txt"}) std::remove((dir + file).c_str());
  rmdir(dir.c_str());
}

TEST(Program, HelpAndVersionGoToStandardOutput) {
  const Result help = RunConvert("--help", "");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  for (const char* part : {"--to-unicode", "--replace", "--code-page", "1 MiB", "byte order mark",
                           "COLUMN", "Exit status: 0"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }
  const Result version = RunConvert("--version", "");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("zafrel-convert ") + ZAFREL_VERSION + "\n");
}

// CR alone ends a line too (old desktop-publishing exports): every ending kept as it came, in
// both directions, and --replace no longer merges such lines into one.
TEST(Program, ReadsCrOnlyLineEndsAsLines) {
  const Result r = RunConvert("--to-legacy --font 1", "ب\rب\r\nب\nب\r\rب");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Hex(r.out), "4A 0D 4A 0D 0A 4A 0A 4A 0D 0D 4A ");
  const Result back = RunConvert("--to-unicode --font 1", r.out);
  EXPECT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(back.out, "ب\rب\r\nب\nب\r\rب");
  const Result replaced = RunConvert("--to-legacy --font 1 --replace", "ب\rآ\r");
  EXPECT_EQ(Hex(replaced.out), "4A 0D 3F 0D ");
  const Result bad = RunConvert("--to-legacy --font 1", "ب\rب\rآ\r");
  EXPECT_EQ(
      bad.err,
      "zafrel-convert: <stdin>:3:1: U+0622 has no key or byte in font 1\n"
      "zafrel-convert: --replace writes '?' for such characters, --stand-ins a look-alike where "
      "there is one\n");
}

// The line limit counts the UTF-8 side both ways: a 900 KB Unicode line goes to legacy bytes and
// back unchanged; a legacy line whose Unicode would pass 1 MiB is refused, not written.
TEST(Program, TheLineLimitHoldsForBothDirections) {
  std::string unicode;
  for (int i = 0; i < 450000; ++i) unicode += "ب";  // 900,000 bytes
  const Result legacy = RunConvert("--to-legacy --font 1", unicode + "\n");
  ASSERT_EQ(legacy.status, 0) << legacy.err;
  const Result back = RunConvert("--to-unicode --font 1", legacy.out);
  EXPECT_EQ(back.status, 0) << back.err;
  EXPECT_TRUE(back.out == unicode + "\n") << back.out.size();
  const Result wide = RunConvert("--to-unicode --font 1", "\x4A\n" + std::string(600000, '\x4A'));
  EXPECT_EQ(wide.status, 1);
  EXPECT_EQ(wide.out, "\u0628\n");
  EXPECT_EQ(wide.err, "zafrel-convert: <stdin>:2: line is longer than 1 MiB in UTF-8\n");
}

TEST(Program, WritesTheLinesBeforeABadOne) {
  const Result r = RunConvert("--to-legacy --font 1", "ب\nآ\nب\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Hex(r.out), "4A 0A ");
}

}  // namespace
