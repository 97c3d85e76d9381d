#!/usr/bin/env python3
"""The mutation script's choice of places: what a line of the library yields, what it must never
touch (template brackets, shifts, comments, strings, array sizes, glyph table rows), and that a
stopped run leaves the snapshot's file as it was."""
import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
import mutate  # noqa: E402


def mutants_of(line):
    code = mutate.code_only([line])[0]
    return sorted((op, line[:s] + new + line[e:])
                  for op, s, e, new in mutate.changes_on_line(code))


class LineTest(unittest.TestCase):
    def test_what_each_line_yields(self):
        cases = [
            ("if (nCode >= 0 && !KeyReleased(lParam)) Step();",
             [("cmp", "if (nCode > 0 && !KeyReleased(lParam)) Step();"),
              ("logic", "if (nCode >= 0 || !KeyReleased(lParam)) Step();"),
              ("not", "if (nCode >= 0 && KeyReleased(lParam)) Step();")]),
            ("return (static_cast<uint32_t>(lParam) & 0x40000000u) != 0;",
             [("bit", "return (static_cast<uint32_t>(lParam) & 0x80000000u) != 0;"),
              ("cmp", "return (static_cast<uint32_t>(lParam) & 0x40000000u) == 0;"),
              ("return", "return 0;")]),
            ("if (dwReason != DLL_PROCESS_ATTACH) return TRUE;",
             [("bool", "if (dwReason != DLL_PROCESS_ATTACH) return FALSE;"),
              ("cmp", "if (dwReason == DLL_PROCESS_ATTACH) return TRUE;")]),
            ("ReplaceLam(pLamAlefPair[0], sent);",
             [("index", "ReplaceLam(pLamAlefPair[1], sent);")]),
            ("return pShiftTable[index];",
             [("index", "return pShiftTable[index + 1];"), ("return", "return 0;")]),
            ("if (StartsNoCase(focusClass, \"Edit\", 9)) return -1;",
             [("const", "if (StartsNoCase(focusClass, \"Edit\", 10)) return -1;"),
              ("return", "if (StartsNoCase(focusClass, \"Edit\", 9)) return 0;")]),
            ("    case 0xDB:  // [ {", [("const", "    case 0xDC:  // [ {")]),
            ("constexpr int kTitleFetch = 10;", [("const", "constexpr int kTitleFetch = 11;")]),
            ("  if (msg != nullptr && vk <= '9') return 1;",  # a null check is never inverted
             [("cmp", "  if (msg != nullptr && vk < '9') return 1;"),
              ("logic", "  if (msg != nullptr || vk <= '9') return 1;"),
              ("return", "  if (msg != nullptr && vk <= '9') return 0;")]),
        ]
        for line, expected in cases:
            with self.subTest(line=line):
                self.assertEqual(mutants_of(line), sorted(expected))

    def test_lines_left_alone(self):
        for line in [
            "const unsigned ca = FoldAscii(static_cast<unsigned char>(a[i]));",
            "#include <windows.h>",
            "template <typename T> T* Next(T* p) { p->next = p->flags << 2 >> 1; }",
            "  // if (a == b && !c) return 0;",
            '  MessageBoxA(nullptr, "a < b && c == 1", "debug", MB_OK);',
            "char aszStatusLine[10][kStatusLineSize];",
            "const int anSlotHookType[kHookSlotCount] = {",
            "     0xBF, 0xB0, 0xB4, 0xFF, 0x99, 0x88, 0xED, 0x7D,",
            "    {'0', -1, '0', ')'},",
            "#pragma once",
            "extern int nLastDigit;   // digit of the last digit key; -1 when none was typed since",
            "void SendGlyph(BYTE glyph, UINT timeout);",
            "template <unsigned N>",
            "int wsprintfA(LPSTR b, LPCSTR f, ...) __attribute__((format(printf, 2, 3)));",
        ]:
            with self.subTest(line=line):
                self.assertEqual(mutants_of(line), [])

    def test_block_comment_across_lines(self):
        lines = ["x = 1; /* caret < glyph", "   && done */ if (a == b) f();"]
        self.assertEqual(mutate.code_only(lines),
                         ["x = 1;                 ", "              if (a == b) f();"])


class LiteralTest(unittest.TestCase):
    def test_rewritten_the_same_way(self):
        cases = [
            (mutate.other_bit, "0x40000000u", "0x80000000u"),
            (mutate.other_bit, "0x80000000u", "0x40000000u"),
            (mutate.other_bit, "0xFF", "0x7F"),
            (mutate.other_bit, "1", "2"),
            (mutate.plus_one, "0xDB", "0xDC"),
            (mutate.plus_one, "9", "10"),
        ]
        for change, literal, expected in cases:
            with self.subTest(literal=literal):
                self.assertEqual(change(literal), expected)


# Only the host's side of the platform seam is built with the unit tests; a compile-time check
# is no behaviour.
WIN32_H = """#pragma once
#if defined(_WIN32)
#include <windows.h>
static_assert(sizeof(INPUT) == 28, "32-bit INPUT");
#else
typedef struct tagMSG {
  UINT message;
} MSG;
int wsprintfA(LPSTR buffer, LPCSTR format, ...) __attribute__((format(printf, 2, 3)));
#endif  // _WIN32
static_assert(sizeof(EventNode) >= 20 &&
                  sizeof(MSG) > 0,
              "an event starts with an EVENTMSG");
inline bool ParamIsHandle(LPARAM value, HWND hwnd) {
#if defined(_WIN64)
  return static_cast<uintptr_t>(value) == reinterpret_cast<uintptr_t>(hwnd);
#else
  return static_cast<uint32_t>(value) == HandleBits(hwnd);
#endif
}
#ifndef _WIN64
inline bool Narrow() { return sizeof(void*) == 4; }
#endif
"""


class TreeTest(unittest.TestCase):
    def make_tree(self, d):
        tree = pathlib.Path(d)
        (tree / "typing").mkdir()
        (tree / "CMakeLists.txt").write_text(
            "set(ZAFREL_LIB_SOURCES\n  typing/a.cpp\n  win32/freestanding.cpp\n  typing/a.h\n)\n")
        (tree / "typing" / "a.cpp").write_bytes(  # Windows line ends survive a restore
            b"int f(int a) {\r\n  if (a == 1 || a == 2) return 0;\r\n")
        return tree

    def test_sources_ids_and_text(self):
        with tempfile.TemporaryDirectory() as d:
            tree = self.make_tree(d)
            self.assertEqual(mutate.library_sources(tree), ["typing/a.cpp"])
            found = [(m["id"], m["after"]) for m in mutate.find_mutants(tree, ["typing/a.cpp"])]
            self.assertEqual(found, [
                ("typing/a.cpp:2:cmp:1", "if (a != 1 || a == 2) return 0;"),
                ("typing/a.cpp:2:logic:1", "if (a == 1 && a == 2) return 0;"),
                ("typing/a.cpp:2:cmp:2", "if (a == 1 || a != 2) return 0;"),
                ("typing/a.cpp:2:return:1", "if (a == 1 || a == 2) return 1;"),
            ])

    def test_headers_less_what_only_windows_builds(self):
        with tempfile.TemporaryDirectory() as d:
            tree = self.make_tree(d)
            (tree / "typing" / "a.h").write_text('#pragma once\n#include "win32/win32.h"\n'
                                                 "extern int nLastDigit;\n")
            (tree / "win32").mkdir()
            (tree / "win32" / "win32.h").write_text(WIN32_H)
            (tree / "tools").mkdir()
            (tree / "tools" / "scenario.h").write_text("inline int f(int a) { return a; }\n")
            headers = mutate.library_headers(tree)
            self.assertEqual(headers, ["typing/a.h", "win32/win32.h"])
            found = [(m["id"], m["after"]) for m in mutate.find_mutants(tree, headers)]
            self.assertEqual(found, [
                ("win32/win32.h:18:return:1", "return 0;"),
                ("win32/win32.h:18:cmp:1",
                 "return static_cast<uint32_t>(value) != HandleBits(hwnd);"),
                ("win32/win32.h:22:return:1", "inline bool Narrow() { return 0; }"),
                ("win32/win32.h:22:cmp:1", "inline bool Narrow() { return sizeof(void*) != 4; }"),
            ])

    def test_interrupted_run_restores_the_file(self):
        with tempfile.TemporaryDirectory() as d:
            tree = self.make_tree(d)
            source = tree / "typing" / "a.cpp"
            original = source.read_bytes()
            seen = []

            def build_and_test(work):
                seen.append(source.read_bytes())
                raise KeyboardInterrupt

            mutant = mutate.find_mutants(tree, ["typing/a.cpp"])[1]
            saved, mutate.build_and_test = mutate.build_and_test, build_and_test
            try:
                with self.assertRaises(KeyboardInterrupt):
                    mutate.run_mutants(tree, tree, [mutant])
            finally:
                mutate.build_and_test = saved
            self.assertEqual(seen, [original.replace(b"||", b"&&")])
            self.assertEqual(source.read_bytes(), original)


if __name__ == "__main__":
    unittest.main()
