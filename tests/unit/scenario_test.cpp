// The scenario files the predictor and the Windows target program both read.
#include "tools/scenario.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string WriteFile(const std::string& text) {
  char path[] = "/tmp/zafrel-scenario-XXXXXX";
  const int fd = mkstemp(path);
  FILE* f = fdopen(fd, "w");
  std::fputs(text.c_str(), f);
  std::fclose(f);
  return path;
}

std::string Repeat(const std::string& token, int n) {
  std::string keys;
  for (int i = 0; i < n; ++i) keys += (i ? " " : "") + token;
  return keys;
}

}  // namespace

// A keys line longer than any read buffer stays one line: every key is read, and the line
// numbers of later errors stay right.
TEST(ScenarioFile, LinesOfAnyLength) {
  struct Case {
    int keys;
    const char* after;  // what follows the long scenario
    size_t scenarios;
    std::string error;
  };
  const Case cases[] = {
      {600, "", 1, ""},
      {1023, "scenario two\nkeys E\nend\n", 2, ""},
      {2000, "bogus line\n", 0, ":5: 'bogus' outside a scenario"},
  };
  for (const Case& c : cases) {
    const std::string path =
        WriteFile("# long\nscenario long\nkeys " + Repeat("E", c.keys) + "\nend\n" + c.after);
    std::vector<Scenario> scenarios;
    std::string error;
    const bool ok = ReadScenarios(path.c_str(), &scenarios, &error);
    std::remove(path.c_str());
    EXPECT_EQ(ok, c.error.empty()) << c.keys;
    EXPECT_EQ(error, c.error.empty() ? "" : path + c.error) << c.keys;
    if (!ok) continue;
    ASSERT_EQ(scenarios.size(), c.scenarios);
    EXPECT_EQ(scenarios[0].keys.size(), static_cast<size_t>(c.keys));
  }
}

// ^ holds the left Shift key, > the right one; a lone ^ or > is no key at all.
TEST(ScenarioFile, ShiftPrefixesNameTheShiftKey) {
  const std::string path =
      WriteFile("scenario s\nkeys E ^E >E ^; >'\nend\nscenario t\nkeys >\nend\n");
  std::vector<Scenario> scenarios;
  std::string error;
  EXPECT_FALSE(ReadScenarios(path.c_str(), &scenarios, &error));
  EXPECT_EQ(error, path + ":5: unknown key '>'");
  ASSERT_EQ(scenarios.size(), 1u);
  struct Expected {
    unsigned vk;
    bool shift, right;
  };
  const Expected expected[] = {{'E', false, false},
                               {'E', true, false},
                               {'E', true, true},
                               {0xBA, true, false},
                               {0xDE, true, true}};
  ASSERT_EQ(scenarios[0].keys.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(scenarios[0].keys[i].vk, expected[i].vk) << i;
    EXPECT_EQ(scenarios[0].keys[i].shift, expected[i].shift) << i;
    EXPECT_EQ(scenarios[0].keys[i].rightShift, expected[i].right) << i;
  }
  std::remove(path.c_str());
}

// The clipboard text of a scenario: a quoted string whose escapes give the characters a test
// puts on the clipboard, as UTF-8.
TEST(ScenarioFile, QuotedClipboardText) {
  struct Case {
    const char* in;
    bool ok;
    const char* out;
  };
  const Case cases[] = {
      {R"("")", true, ""},
      {R"("a b")", true, "a b"},
      {R"("\u0633\u0644\u0627\u0645 ")", true, "سلام "},
      {R"("x\r\ny\n")", true, "x\r\ny\n"},
      {R"("\"\\")", true, "\"\\"},
      {R"("\u0041\u00e9\u200C")", true, "A\xC3\xA9\xE2\x80\x8C"},
      {R"("\u06")", false, ""},    // four hex digits or nothing
      {R"("\u06CG")", false, ""},  // hex digits only
      {R"("\t")", false, ""},      // an escape the format does not know
      {R"("ab\")", false, ""},     // the closing quote escaped
      {R"(ab)", false, ""},        // no quotes
      {R"(")", false, ""},         // one quote is no string
  };
  for (const Case& c : cases) {
    std::string out = "unchanged";
    EXPECT_EQ(ReadQuoted(c.in, &out), c.ok) << c.in;
    if (c.ok) {
      EXPECT_EQ(out, c.out) << c.in;
    }
  }
}

// The bytes a scenario expects: one or two hex digits each, parted by blanks; nothing else.
TEST(ScenarioFile, ExpectedBytes) {
  struct Case {
    const char* in;
    bool ok;
    std::string bytes;
  };
  const Case cases[] = {
      {"20 7b 6E", true, "\x20\x7b\x6e"},
      {"", true, ""},
      {" 9  A ", true, "\x09\x0a"},
      {"00 FF", true, std::string("\0\xff", 2)},
      {"100", false, ""},
      {"2g", false, ""},
      {"-1", false, ""},
      {"0x20", false, ""},
  };
  for (const Case& c : cases) {
    std::string bytes = "unchanged";
    EXPECT_EQ(ReadHexBytes(c.in, &bytes), c.ok) << c.in;
    if (c.ok) {
      EXPECT_EQ(bytes, c.bytes) << c.in;
    }
  }
}

// A scenario may show its edit control's text in a font of its own, loaded from a file, and keep
// the window up for a picture; a face name CreateFont cannot take, or a height that is not a
// whole number of pixels in range, is refused with its line.
TEST(ScenarioFile, FontAndPictureLines) {
  struct Case {
    const char* lines;
    std::string error;  // after the path; empty: the file reads
  };
  const Case cases[] = {
      {"fontfile ZafrelXPNazli4.ttf\ntypeface ZafrelXP Nazli 4\nfontsize 36\npicture yes\n", ""},
      {"typeface \n", ":2: typeface wants a face name of 1-31 characters"},
      {"typeface 0123456789012345678901234567890123\n",
       ":2: typeface wants a face name of 1-31 characters"},
      {"fontsize 0\n", ":2: fontsize wants a height of 1-500 pixels"},
      {"fontsize 501\n", ":2: fontsize wants a height of 1-500 pixels"},
      {"fontsize 36px\n", ":2: fontsize wants a height of 1-500 pixels"},
      {"fontsize\n", ":2: fontsize wants a height of 1-500 pixels"},
  };
  for (const Case& c : cases) {
    const std::string path = WriteFile(std::string("scenario s\n") + c.lines + "end\n");
    std::vector<Scenario> scenarios;
    std::string error;
    const bool ok = ReadScenarios(path.c_str(), &scenarios, &error);
    std::remove(path.c_str());
    EXPECT_EQ(error, c.error.empty() ? "" : path + c.error) << c.lines;
    if (!c.error.empty()) continue;
    ASSERT_TRUE(ok);
    ASSERT_EQ(scenarios.size(), 1u);
    EXPECT_EQ(scenarios[0].fontFile, "ZafrelXPNazli4.ttf");
    EXPECT_EQ(scenarios[0].typeface, "ZafrelXP Nazli 4");
    EXPECT_EQ(scenarios[0].fontSize, 36);
    EXPECT_TRUE(scenarios[0].picture);
  }
}

// A canvas is a class of the target's own, never the system's edit control, and one process
// registers a class once: a class is a canvas in every scenario of a file or in none. The code
// pages a scenario holds under are whole numbers of 1-65535.
TEST(ScenarioFile, CanvasAndCodePageLines) {
  struct Case {
    const char* text;
    std::string error;  // after the path; empty: the file reads
    std::vector<bool> canvas;
    std::vector<std::vector<unsigned>> codePages;
  };
  const Case cases[] = {
      {"scenario a\nwindow DocView\ncanvas yes\ncodepages 1252 1256\nend\n"
       "scenario b\nwindow DocView\ncanvas yes\nend\n"
       "scenario c\nwindow Edit\ncanvas no\ncodepages 1256\nend\n",
       "",
       {true, true, false},
       {{1252, 1256}, {}, {1256}}},
      {"scenario a\ncanvas yes\nend\n",
       ":1: a: a canvas needs a class of its own, not Edit",
       {},
       {}},
      {"scenario a\nwindow EDIT\ncanvas yes\nend\n",
       ":1: a: a canvas needs a class of its own, not Edit",
       {},
       {}},
      {"scenario a\nwindow DocView\ncanvas yes\nend\nscenario b\nwindow DocView\nend\n",
       ":5: b: class DocView is a canvas in one scenario and an edit control in another",
       {},
       {}},
      {"scenario a\ncanvas maybe\nend\n", ":2: canvas wants yes or no", {}, {}},
      // Words that were once taken silently as "no", and bytes that did not fit a byte.
      {"scenario a\nhold shift\nend\n", ":2: hold wants ctrl", {}, {}},
      {"scenario a\ntypist keyboard\nend\n", ":2: typist wants xdotool or menu", {}, {}},
      {"scenario a\nlatin YES\nend\n", ":2: latin wants yes or no", {}, {}},
      {"scenario a\npicture\nend\n", ":2: picture wants yes or no", {}, {}},
      {"scenario a\nancestor 2x\nend\n", ":2: ancestor wants 2, 3 or 4", {}, {}},
      {"scenario a\nexpect 20 1FF\nend\n", ":2: expect wants bytes in hex, 00 to FF", {}, {}},
      {"scenario a\nexpect 20 zz\nend\n", ":2: expect wants bytes in hex, 00 to FF", {}, {}},
      {"scenario a\nkeys E\nend\nscenario b\nkeys E\n", ":4: scenario b has no end", {}, {}},
      {"scenario a\ncodepages\nend\n", ":2: codepages wants code page numbers of 1-65535", {}, {}},
      {"scenario a\ncodepages 1252 0\nend\n",
       ":2: codepages wants code page numbers of 1-65535",
       {},
       {}},
      {"scenario a\ncodepages 65536\nend\n",
       ":2: codepages wants code page numbers of 1-65535",
       {},
       {}},
      {"scenario a\ncodepages 1252,1256\nend\n",
       ":2: codepages wants code page numbers of 1-65535",
       {},
       {}},
      {"scenario a\ncodepages -1252\nend\n",
       ":2: codepages wants code page numbers of 1-65535",
       {},
       {}},
  };
  for (const Case& c : cases) {
    const std::string path = WriteFile(c.text);
    std::vector<Scenario> scenarios;
    std::string error;
    const bool ok = ReadScenarios(path.c_str(), &scenarios, &error);
    std::remove(path.c_str());
    EXPECT_EQ(ok, c.error.empty()) << c.text;
    EXPECT_EQ(error, c.error.empty() ? "" : path + c.error) << c.text;
    if (!ok) continue;
    ASSERT_EQ(scenarios.size(), c.canvas.size()) << c.text;
    for (size_t i = 0; i < scenarios.size(); ++i) {
      EXPECT_EQ(scenarios[i].canvas, c.canvas[i]) << c.text << i;
      EXPECT_EQ(scenarios[i].codePages, c.codePages[i]) << c.text << i;
    }
  }
}
