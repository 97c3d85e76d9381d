// Typing scenarios, as the target program plays them under Wine and the host predictor plays
// them against the fake desktop. A scenario file is a list of blocks:
//
//   scenario NAME
//   controller FALSE 1          mode word and font code the controller's title is to carry
//   window Edit multiline       class of the focus window ("Edit" is the real edit control; any
//                               other name is an edit control under that class name)
//   canvas yes                  the focus window is not an edit control but the target's own
//                               document view under the window line's class name, as a
//                               desktop-publishing program has: it keeps the bytes its WM_CHARs
//                               bring, edits as a multi-line edit control does and draws the
//                               bytes with ExtTextOutA (a class name is a canvas in every
//                               scenario of a file or in none, and never "Edit")
//   ancestor 2 Adobe Illustrator 10   title of the grand-parent (2) or great-grand-parent (3)
//   ancestor 4 CorelDRAW 12     class name of the 4th ancestor
//   hold ctrl                   Ctrl is held while the keys are typed
//   typist xdotool              the keys come from the X server, typed by the test driver
//   switch no                   Farsi typing is left as the program finds it, not switched on
//                               first (the driver presses Scroll Lock at the X server itself)
//   clipboard "\u0622\u0628 "   instead of keys: the target puts this text on the clipboard and
//                               the controller types it (a JSON-style string: \n, \r, \", \\ and
//                               \uXXXX escapes); asked by WM_COMMAND, with "typist xdotool" by the
//                               hot key Ctrl+Shift+Insert at the X server, with "typist menu" as
//                               from the controller's own menu (its window in the foreground first)
//   confirm no                  the answer to the controller's question before text with line
//                               breaks is typed (yes when not given)
//   outcome typed 10            how the controller says the clipboard command ended
//   keys E M Q SPACE ^E >E      key tokens: a key cap, SPACE, ENTER, BACK, SCROLL; ^ = the left
//                               Shift key held, > = the right one (typed at the X server only:
//                               Wine turns an injected right Shift into the left one); +E only
//                               presses E and -E only releases it, for keys that overlap as a
//                               fast typist's do (the next key down before the last one is up)
//   expect 20 7B 6E             the focus window's text afterwards, as bytes
//   latin yes                   Latin key-downs may reach the window (Farsi typing off, Ctrl)
//   notify off=1                on/off notifications the controller is to get while typing
//   fontfile ZafrelXPNazli1.ttf a TrueType file the target loads for itself alone (a name in the
//                               folder given with --fonts, or a Windows path)
//   typeface ZafrelXP Nazli 1   the face the edit control or the canvas shows its text in; the
//                               target then reports the face Wine chose and the glyphs it draws
//   fontsize 40                 the typeface's character height in pixels
//   busy 150                    the focus window's procedure takes this many milliseconds over
//                               every WM_CHAR, as a slow desktop-publishing canvas does
//   codepages 1252 1256         the ANSI code pages (which Wine takes from the Unix locale)
//                               the scenario's outcome holds under; 1252 alone when not given.
//                               The end-to-end driver plays the scenarios of its locale's one
//   picture yes                 after its result the target keeps the window up, says where the
//                               edit's text area is on the screen and waits for the driver to
//                               take a picture of it
//   end
//
// Blank lines and lines starting with # are ignored.
#pragma once

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct ScenarioKey {
  enum Press : unsigned char { kDownUp, kDownOnly, kUpOnly };
  unsigned vk;
  bool shift;
  bool rightShift = false;  // the Shift held is the right one
  Press press = kDownUp;
};

struct Scenario {
  std::string name;
  int line = 0;  // of its "scenario" line, for errors found once it has ended
  std::string mode = "FALSE";
  char font = '1';
  std::string focusClass = "Edit";
  bool multiline = false;
  std::string ancestorTitle[4];  // [2] grand-parent, [3] great-grand-parent
  std::string fourthAncestorClass;
  bool holdCtrl = false;
  bool xdotool = false;
  bool switchOn = true;
  bool menu = false;
  bool hasClipboard = false;
  bool confirmLines = true;
  std::string clipboard;  // UTF-8
  std::string outcome;
  std::vector<ScenarioKey> keys;
  std::vector<std::string> keyTokens;
  bool latinAllowed = false;
  std::string notify = "on=0 off=0";
  bool hasExpect = false;
  std::string expect;  // bytes
  std::string fontFile;
  std::string typeface;
  int fontSize = 0;  // pixels; 0 leaves the typeface's own default height
  int busyMs = 0;    // time the focus window takes over each WM_CHAR
  bool picture = false;
  bool canvas = false;
  std::vector<unsigned> codePages;  // empty: 1252 alone
};

// The virtual key of a token, or 0.
inline unsigned ScenarioVirtualKey(const std::string& token) {
  if (token == "SPACE") return 0x20;
  if (token == "ENTER") return 0x0D;
  if (token == "BACK") return 0x08;
  if (token == "SCROLL") return 0x91;
  if (token == "SEPARATOR") return 0x6C;
  if (token.size() != 1) return 0;
  const char c = token[0];
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<unsigned>(c);
  switch (c) {
    case '`':
      return 0xC0;
    case '[':
      return 0xDB;
    case ']':
      return 0xDD;
    case '\\':
      return 0xDC;
    case ',':
      return 0xBC;
    case '.':
      return 0xBE;
    case '/':
      return 0xBF;
    case ';':
      return 0xBA;
    case '\'':
      return 0xDE;
    default:
      return 0;
  }
}

constexpr char kHexDigits[] = "0123456789abcdefABCDEF";

// The text of a JSON-style string literal, as UTF-8: \n, \r, \", \\ and \uXXXX (a character of
// the Basic Multilingual Plane) decoded; false when it is not one.
inline bool ReadQuoted(const std::string& in, std::string* out) {
  if (in.size() < 2 || in.front() != '"' || in.back() != '"') return false;
  out->clear();
  for (size_t i = 1; i + 1 < in.size(); ++i) {
    if (in[i] != '\\') {
      *out += in[i];
      continue;
    }
    if (i + 2 >= in.size()) return false;  // the closing quote escaped
    const char escaped = in[++i];
    if (escaped == 'n' || escaped == 'r') {
      *out += escaped == 'n' ? '\n' : '\r';
    } else if (escaped == '"' || escaped == '\\') {
      *out += escaped;
    } else if (escaped == 'u' && i + 5 < in.size() &&
               in.substr(i + 1, 4).find_first_not_of(kHexDigits) == std::string::npos) {
      const unsigned code =
          static_cast<unsigned>(std::strtoul(in.substr(i + 1, 4).c_str(), nullptr, 16));
      i += 4;
      if (code < 0x80) {
        *out += static_cast<char>(code);
      } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | code >> 6);
        *out += static_cast<char>(0x80 | (code & 0x3F));
      } else {
        *out += static_cast<char>(0xE0 | code >> 12);
        *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
      }
    } else {
      return false;
    }
  }
  return true;
}

inline bool EqualsIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return i == a.size() && b[i] == '\0';
}

// Reads one line of any length (a long keys line must not be split into two), with its line end;
// false at the end of the file.
// One line, its line end kept, NUL bytes and all (a C string would end at one and join what
// follows it with the next line). False at the end of the file.
inline bool ReadLine(FILE* f, std::string* line) {
  line->clear();
  int c;
  while ((c = std::getc(f)) != EOF) {
    *line += static_cast<char>(c);
    if (c == '\n') return true;
  }
  return !line->empty();
}

// Hex bytes parted by blanks ("20 7B 6E"), each one or two digits; false for anything else.
inline bool ReadHexBytes(const std::string& text, std::string* bytes) {
  bytes->clear();
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == ' ') {
      ++at;
      continue;
    }
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string digits = text.substr(at, end - at);
    if (digits.size() > 2 || digits.find_first_not_of(kHexDigits) != std::string::npos)
      return false;
    *bytes += static_cast<char>(std::strtoul(digits.c_str(), nullptr, 16));
    at = end;
  }
  return true;
}

// Reads every scenario of an open file, named `path` in errors; on a malformed line or a file
// whose scenarios cannot be played by one process, writes why to `error` as "PATH:LINE: why" and
// returns false.
inline bool ReadScenarioStream(FILE* f, const char* path, std::vector<Scenario>* out,
                               std::string* error) {
  std::string line;
  int lineNumber = 0;
  Scenario current;
  bool open = false;
  bool ok = true;
  while (ok && ReadLine(f, &line)) {
    ++lineNumber;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    auto fail = [&](const std::string& why) {
      *error = std::string(path) + ":" + std::to_string(lineNumber) + ": " + why;
      ok = false;
    };
    if (line.find('\0') != std::string::npos) {
      fail("a NUL byte in the line");
      break;
    }
    if (line.empty() || line[0] == '#') continue;
    const size_t space = line.find(' ');
    const std::string word = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    if (word == "scenario") {
      if (open) fail("scenario inside a scenario");
      current = Scenario();
      current.name = rest;
      current.line = lineNumber;
      open = true;
    } else if (!open) {
      fail("'" + word + "' outside a scenario");
    } else if (word == "controller") {
      if (rest.size() != 7 ||
          (rest.compare(0, 5, "TRUES") != 0 && rest.compare(0, 5, "FALSE") != 0))
        fail("controller wants TRUES or FALSE and a font code");
      else if (rest[5] != ' ' || rest[6] < '0' || rest[6] > '4')
        fail("controller wants a blank and a font code 0-4 after the mode word");
      current.mode = rest.substr(0, 5);
      current.font = rest.size() == 7 ? rest[6] : '1';
    } else if (word == "window") {
      const size_t sp = rest.find(' ');
      current.focusClass = rest.substr(0, sp);
      current.multiline = sp != std::string::npos && rest.substr(sp + 1) == "multiline";
    } else if (word == "ancestor") {
      const int level = rest.size() < 2 || rest[1] != ' ' ? 0 : rest[0] - '0';
      const std::string text = rest.size() > 2 ? rest.substr(2) : "";
      if (level == 2 || level == 3) {
        current.ancestorTitle[level] = text;
      } else if (level == 4) {
        current.fourthAncestorClass = text;
      } else {
        fail("ancestor wants 2, 3 or 4");
      }
    } else if (word == "hold") {
      if (rest != "ctrl") fail("hold wants ctrl");
      current.holdCtrl = true;
    } else if (word == "typist") {
      if (rest != "xdotool" && rest != "menu") fail("typist wants xdotool or menu");
      current.xdotool = rest == "xdotool";
      current.menu = rest == "menu";
    } else if (word == "confirm") {
      if (rest != "yes" && rest != "no") fail("confirm wants yes or no");
      current.confirmLines = rest == "yes";
    } else if (word == "switch") {
      if (rest != "yes" && rest != "no") fail("switch wants yes or no");
      current.switchOn = rest == "yes";
    } else if (word == "clipboard") {
      current.hasClipboard = true;
      if (!ReadQuoted(rest, &current.clipboard)) fail("clipboard wants a quoted string");
    } else if (word == "outcome") {
      current.outcome = rest;
    } else if (word == "keys") {
      size_t at = 0;
      while (at < rest.size()) {
        size_t end = rest.find(' ', at);
        if (end == std::string::npos) end = rest.size();
        std::string token = rest.substr(at, end - at);
        at = end + 1;
        if (token.empty()) continue;
        current.keyTokens.push_back(token);
        ScenarioKey key{0, false};
        if (token.size() > 1 && (token[0] == '+' || token[0] == '-')) {
          key.press = token[0] == '+' ? ScenarioKey::kDownOnly : ScenarioKey::kUpOnly;
          token = token.substr(1);
        } else if (token.size() > 1 && (token[0] == '^' || token[0] == '>')) {
          key.shift = true;
          key.rightShift = token[0] == '>';
          token = token.substr(1);
        }
        key.vk = ScenarioVirtualKey(token);
        if (key.vk == 0) fail("unknown key '" + token + "'");
        current.keys.push_back(key);
      }
    } else if (word == "expect") {
      current.hasExpect = true;
      if (!ReadHexBytes(rest, &current.expect)) fail("expect wants bytes in hex, 00 to FF");
    } else if (word == "latin") {
      if (rest != "yes" && rest != "no") fail("latin wants yes or no");
      current.latinAllowed = rest == "yes";
    } else if (word == "notify") {
      current.notify = rest;
    } else if (word == "fontfile") {
      current.fontFile = rest;
    } else if (word == "typeface") {
      // CreateFont takes at most LF_FACESIZE (32) characters with the terminating NUL.
      if (rest.empty() || rest.size() > 31) fail("typeface wants a face name of 1-31 characters");
      current.typeface = rest;
    } else if (word == "fontsize") {
      char* end = nullptr;
      const long size = std::strtol(rest.c_str(), &end, 10);
      if (rest.empty() || *end != '\0' || size < 1 || size > 500)
        fail("fontsize wants a height of 1-500 pixels");
      current.fontSize = static_cast<int>(size);
    } else if (word == "busy") {
      char* end = nullptr;
      const long ms = std::strtol(rest.c_str(), &end, 10);
      if (rest.empty() || *end != '\0' || ms < 1 || ms > 2000)
        fail("busy wants a time of 1-2000 milliseconds");
      current.busyMs = static_cast<int>(ms);
    } else if (word == "picture") {
      if (rest != "yes" && rest != "no") fail("picture wants yes or no");
      current.picture = rest == "yes";
    } else if (word == "canvas") {
      if (rest != "yes" && rest != "no") fail("canvas wants yes or no");
      current.canvas = rest == "yes";
    } else if (word == "codepages") {
      current.codePages.clear();
      const char* p = rest.c_str();
      while (std::isdigit(static_cast<unsigned char>(*p))) {
        char* end = nullptr;
        const unsigned long page = std::strtoul(p, &end, 10);
        if (page < 1 || page > 65535 || (*end != ' ' && *end != '\0')) break;
        current.codePages.push_back(static_cast<unsigned>(page));
        for (p = end; *p == ' ';) ++p;
      }
      if (current.codePages.empty() || *p != '\0')
        fail("codepages wants code page numbers of 1-65535");
    } else if (word == "end") {
      out->push_back(current);
      open = false;
    } else {
      fail("unknown line '" + word + "'");
    }
  }
  // A folder opens but does not read (EISDIR): it holds no scenarios, it is no scenario file.
  if (ok && std::ferror(f) != 0) {
    *error = std::string("cannot read ") + path + ": " + std::strerror(errno);
    ok = false;
  }
  if (ok && open) {
    *error = std::string(path) + ":" + std::to_string(current.line) + ": scenario " + current.name +
             " has no end";
    ok = false;
  }
  // One process plays the whole file, and a window class is registered once in it.
  for (size_t i = 0; ok && i < out->size(); ++i) {
    const Scenario& s = (*out)[i];
    const std::string where = std::string(path) + ":" + std::to_string(s.line) + ": ";
    if (s.canvas && EqualsIgnoringCase(s.focusClass, "Edit")) {
      *error = where + s.name + ": a canvas needs a class of its own, not Edit";
      ok = false;
    }
    for (size_t j = 0; ok && j < i; ++j) {
      if ((*out)[j].focusClass == s.focusClass && (*out)[j].canvas != s.canvas) {
        *error = where + s.name + ": class " + s.focusClass +
                 " is a canvas in one scenario and an edit control in another";
        ok = false;
      }
    }
  }
  return ok;
}

// Reads every scenario of the file at `path` (see ReadScenarioStream).
inline bool ReadScenarios(const char* path, std::vector<Scenario>* out, std::string* error) {
  FILE* f = std::fopen(path, "r");
  if (f == nullptr) {
    *error = std::string("cannot open ") + path;
    return false;
  }
  const bool ok = ReadScenarioStream(f, path, out, error);
  std::fclose(f);
  return ok;
}

inline std::string HexBytes(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%s%02X", out.empty() ? "" : " ", c);
    out += buf;
  }
  return out;
}
