#include "codepage/bidi.h"

namespace bidi {

Class ClassOfAscii(char16_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return Class::kL;
  if (c >= '0' && c <= '9') return Class::kEN;
  switch (c) {
    case '+':
    case '-':
      return Class::kES;
    case '#':
    case '$':
    case '%':
      return Class::kET;
    case ',':
    case '.':
    case '/':
    case ':':
      return Class::kCS;
    case ' ':
      return Class::kWS;
    case '\t':
      return Class::kS;
    default:
      return Class::kON;
  }
}

namespace {

// Persian letters are always right to left, and so is a stretch between two of them that holds
// neither Latin letters nor digits: both get level 1 here. Only the other stretches ("islands",
// [start, end)) need the rules, which `resolve` applies; both reading and screen order split a
// line this way.
template <typename Resolve>
void ForEachMixedIsland(const Class* classes, int count, unsigned char* levels, Resolve resolve) {
  for (int i = 0; i < count;) {
    if (classes[i] == Class::kAL) {
      levels[i++] = 1;
      continue;
    }
    int end = i;
    bool mixed = false;
    for (; end < count && classes[end] != Class::kAL; ++end) {
      mixed = mixed || classes[end] == Class::kL || classes[end] == Class::kEN;
    }
    if (mixed) {
      resolve(i, end);
    } else {
      for (int k = i; k < end; ++k) levels[k] = 1;
    }
    i = end;
  }
}

bool IsNumber(Class c) { return c == Class::kEN || c == Class::kAN; }
bool IsNeutral(Class c) { return c == Class::kWS || c == Class::kS || c == Class::kON; }

// The direction a character lends the neutrals next to it: numbers count as right to left.
Class NeutralSide(Class c) { return c == Class::kL ? Class::kL : Class::kR; }

// The rules on a stretch of the line between Persian letters (or the line's ends): `start` is the
// strong class before it, kAL after a Persian letter, kR at the start of the line. A Persian
// letter or the end of the line after it both count as right to left.
void ResolveIsland(const Class* classes, int count, unsigned char* levels, Class* t, Class start,
                   bool lineEnd) {
  // W2, W3: a number after a Persian letter is an Arabic number; Persian letters are R.
  Class strong = start;
  for (int i = 0; i < count; ++i) {
    t[i] = classes[i];
    if (t[i] == Class::kL || t[i] == Class::kR || t[i] == Class::kAL) strong = t[i];
    if (t[i] == Class::kEN && strong == Class::kAL) t[i] = Class::kAN;
    if (t[i] == Class::kAL) t[i] = Class::kR;
  }
  // W4: a single separator between two numbers of one kind joins them.
  for (int i = 1; i + 1 < count; ++i) {
    if (t[i] == Class::kES && t[i - 1] == Class::kEN && t[i + 1] == Class::kEN) {
      t[i] = Class::kEN;
    } else if (t[i] == Class::kCS && IsNumber(t[i - 1]) && t[i + 1] == t[i - 1]) {
      t[i] = t[i - 1];
    }
  }
  // W5: terminators next to a European number belong to it.
  for (int i = 0; i < count;) {
    if (t[i] != Class::kET) {
      ++i;
      continue;
    }
    int end = i;
    while (end < count && t[end] == Class::kET) ++end;
    const bool number = (i > 0 && t[i - 1] == Class::kEN) || (end < count && t[end] == Class::kEN);
    for (int k = i; k < end; ++k) t[k] = number ? Class::kEN : Class::kON;
    i = end;
  }
  // W6, W7: left-over separators are neutral; a number after Latin text is Latin.
  strong = Class::kR;  // whatever came before the stretch is not Latin
  for (int i = 0; i < count; ++i) {
    if (t[i] == Class::kES || t[i] == Class::kET || t[i] == Class::kCS) t[i] = Class::kON;
    if (t[i] == Class::kL || t[i] == Class::kR) strong = t[i];
    if (t[i] == Class::kEN && strong == Class::kL) t[i] = Class::kL;
  }
  // N1, N2: neutrals between two sides of one direction take it, the others the paragraph's.
  for (int i = 0; i < count;) {
    if (!IsNeutral(t[i])) {
      ++i;
      continue;
    }
    int end = i;
    while (end < count && IsNeutral(t[end])) ++end;
    const Class before = i > 0 ? NeutralSide(t[i - 1]) : Class::kR;
    const Class after = end < count ? NeutralSide(t[end]) : Class::kR;
    const Class side = before == after ? before : Class::kR;
    for (int k = i; k < end; ++k) levels[k] = side == Class::kL ? 2 : 1;
    i = end;
  }
  // I2: in a right-to-left paragraph Latin text and numbers go one level up.
  for (int i = 0; i < count; ++i) {
    if (!IsNeutral(t[i])) levels[i] = t[i] == Class::kR ? 1 : 2;
  }
  // L1: tabs, and the spaces before a tab or at the end of the line, take the paragraph level.
  bool trailing = lineEnd;
  for (int i = count - 1; i >= 0; --i) {
    if (classes[i] == Class::kS) {
      levels[i] = 1;
      trailing = true;
    } else if (classes[i] == Class::kWS && trailing) {
      levels[i] = 1;
    } else {
      trailing = false;
    }
  }
}

}  // namespace

void LevelsOfLogical(const Class* classes, int count, unsigned char* levels, Class* work) {
  ForEachMixedIsland(classes, count, levels, [&](int start, int end) {
    ResolveIsland(classes + start, end - start, levels + start, work + start,
                  start > 0 ? Class::kAL : Class::kR, end == count);
  });
}

namespace {

// A stretch of a screen line between Persian letters (or the line's ends): `after` is the strong
// class right of it, kAL before a Persian letter, kON at the line's end.
void ResolveVisualIsland(const Class* c, int count, unsigned char* levels, Class* strongRight,
                         Class after) {
  // The first strong class right of each position (kON: none). Read backwards, that is the
  // strong character that came before.
  Class strong = after;
  for (int i = count - 1; i >= 0; --i) {
    if (c[i] == Class::kL || c[i] == Class::kAL) strong = c[i];
    strongRight[i] = strong;
  }
  for (int i = 0; i < count; ++i) levels[i] = 1;
  for (int i = 0; i < count;) {
    const Class before = c[i] == Class::kEN ? strongRight[i] : Class::kON;
    if (c[i] == Class::kL || before == Class::kL) {
      // Latin text runs on to its last Latin letter or digit before a Persian letter or tab; so
      // do digits that came after Latin text, which count as Latin.
      int last = i;
      int k = i + 1;
      for (; k < count && c[k] != Class::kAL && c[k] != Class::kS; ++k) {
        if (c[k] == Class::kL || c[k] == Class::kEN) last = k;
      }
      for (int m = i; m <= last; ++m) levels[m] = 2;
      i = last + 1;
    } else if (c[i] == Class::kEN) {
      // A digit run. After a Persian letter only a common separator joins digits; at the start
      // of the line a plus or minus sign does too, and terminators stick to the digits.
      const bool arabic = before == Class::kAL;
      int end = i;
      while (end < count && c[end] == Class::kEN) ++end;
      for (;;) {
        if (end + 1 < count && c[end + 1] == Class::kEN &&
            (c[end] == Class::kCS || (!arabic && c[end] == Class::kES))) {
          end += 2;
          while (end < count && c[end] == Class::kEN) ++end;
        } else {
          break;
        }
      }
      int start = i;
      if (!arabic) {
        while (start > 0 && c[start - 1] == Class::kET && levels[start - 1] == 1) --start;
        while (end < count && c[end] == Class::kET) ++end;
      }
      for (int m = start; m < end; ++m) levels[m] = 2;
      i = end;
    } else {
      ++i;
    }
  }
}

}  // namespace

void LevelsOfVisual(const Class* classes, int count, unsigned char* levels, Class* work) {
  ForEachMixedIsland(classes, count, levels, [&](int start, int end) {
    ResolveVisualIsland(classes + start, end - start, levels + start, work + start,
                        end < count ? Class::kAL : Class::kON);
  });
}

}  // namespace bidi
