#!/usr/bin/env python3
"""The typist of the speed tests and the benchmark: the layout's letters read from its header,
words turned into keys, the generated key stream, the two ways of pressing keys, the xdotool
command, and where two texts part."""
import pathlib
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
import typist  # noqa: E402

# The layout header's table as it is written there: sheen, reh, the Farsi yeh, keheh, and keys
# with no letter (0).
HEADER = "inline constexpr char16_t kLetterOfKey[35] = {\n" + "".join(
    {"A": "    u'\\u0634',  // A sheen\n", "V": "    u'\\u0631',  // V reh\n",
     "D": "    u'\\u06CC',  // D Farsi yeh\n", ";": "    u'\\u06A9',  // ; keheh\n"}
    .get(cap, "    0,          // none\n") for cap in typist.KEY_CAPS) + "};\n"


class LayoutTest(unittest.TestCase):
    def write(self, folder, name, text):
        path = pathlib.Path(folder) / name
        path.write_text(text, encoding="utf-8")
        return path

    def test_letters_by_key_index(self):
        with tempfile.TemporaryDirectory() as d:
            letters = typist.letters_of_keys(self.write(d, "layout.h", HEADER))
        self.assertEqual(letters, {"\u0634": "A", "\u0631": "V", "\u06CC": "D", "\u06A9": ";"})

    def test_a_table_of_another_length_is_refused(self):
        with tempfile.TemporaryDirectory() as d:
            short = self.write(d, "layout.h", HEADER.replace("    0,          // none\n", "", 1))
            with self.assertRaisesRegex(ValueError, "34 entries, not 35"):
                typist.letters_of_keys(short)

    def test_the_project_layout(self):
        letters = typist.letters_of_keys()
        # M, the full stop and the slash type no letter; the other 32 keys one each.
        self.assertEqual(len(letters), 32)
        self.assertEqual([letters[c] for c in "\u0633\u0644\u0627\u0645\u067E\u06AF\u0698"],
                         ["S", "G", "H", "L", "`", "'", "\\"])

    def test_words_to_keys(self):
        letters = typist.letters_of_keys()
        cases = [
            ("\u0633\u0644\u0627\u0645", ["S", "G", "H", "L"]),  # salam
            ("\u0643\u064A", [";", "D"]),  # Arabic kaf and yeh are the layout's keheh and yeh
            ("\u0649", ["D"]),  # alef maksura
            ("\u0622\u0628", None),  # alef madda has no key
            ("\u0645\u06CC\u200C\u0631\u0648\u062F", None),  # nor has the zero width non-joiner
            ("abc", None),
        ]
        for word, keys in cases:
            self.assertEqual(typist.keys_of_word(word, letters), keys, word)

    def test_word_list(self):
        with tempfile.TemporaryDirectory() as d:
            dic = self.write(d, "fa.dic", "5\n\u0634\u0631/AB\n\u0622\u0628\n\n\u0643\u064A\n"
                                          "\u0631 \n")
            header = self.write(d, "layout.h", HEADER)
            self.assertEqual(typist.read_words(dic, header), [["A", "V"], [";", "D"], ["V"]])

    def test_debian_word_list(self):
        words = typist.words()
        self.assertGreater(len(words), 10000)
        letters = set(typist.letters_of_keys().values())
        self.assertTrue(all(set(w) <= letters for w in words))


class StreamTest(unittest.TestCase):
    VOCABULARY = [["G", "H"], ["S", "L", "H", "L"], ["K"]]

    def split(self, tokens):
        """The stream's items with each wrong letter and its BACK taken out."""
        kept = []
        for t in tokens:
            if t == "BACK":
                self.assertIn(kept[-1], typist.KEY_CAPS[:26])
                kept.pop()
            else:
                kept.append(t)
        return " ".join(kept).replace("ENTER", "SPACE").split(" SPACE ")

    def test_same_seed_same_stream(self):
        a = typist.key_stream(500, seed=7, vocabulary=self.VOCABULARY)
        self.assertEqual(a, typist.key_stream(500, seed=7, vocabulary=self.VOCABULARY))
        self.assertNotEqual(a, typist.key_stream(500, seed=8, vocabulary=self.VOCABULARY))
        self.assertEqual(len(a), 500)

    def test_made_of_words_digit_runs_and_corrections(self):
        tokens = typist.key_stream(3000, seed=1, vocabulary=self.VOCABULARY)
        items = self.split(tokens)[:-1]  # the last one may be cut short
        words = {" ".join(w) for w in self.VOCABULARY}
        for item in items:
            digits = item.split()
            self.assertTrue(item in words or (1 <= len(digits) <= 4 and
                                              all(d in typist.DIGITS for d in digits)), item)
        for wanted in ["ENTER", "BACK", "3", "5", "8", "0"]:
            self.assertIn(wanted, tokens)
        self.assertLess(tokens.count("ENTER"), tokens.count("SPACE") / 4)
        self.assertLess(tokens.count("BACK"), len(items) / 4)

    def test_from_the_word_list(self):
        tokens = typist.key_stream(400)
        self.assertEqual(tokens, typist.key_stream(400, seed=typist.SEED))
        self.assertEqual(len(tokens), 400)
        allowed = set(typist.KEY_CAPS) | set(typist.DIGITS) | {"SPACE", "ENTER", "BACK"}
        self.assertTrue(set(tokens) <= allowed)


class PressTest(unittest.TestCase):
    def test_plain(self):
        self.assertEqual(typist.plain(["E", "SPACE", "E"]),
                         ["+E", "-E", "+SPACE", "-SPACE", "+E", "-E"])

    def test_rollover(self):
        cases = [
            ([], []),
            (["E"], ["+E", "-E"]),
            (["E", "M", "Q"], ["+E", "+M", "-E", "+Q", "-M", "-Q"]),
            # A key twice in a row: up before it goes down again.
            (["L", "L", "H"], ["+L", "-L", "+L", "+H", "-L", "-H"]),
            (["H", "BACK", "BACK"], ["+H", "+BACK", "-H", "-BACK", "+BACK", "-BACK"]),
        ]
        for tokens, events in cases:
            self.assertEqual(typist.rollover(tokens), events, tokens)

    def test_rollover_of_a_stream(self):
        tokens = typist.key_stream(1000, seed=3, vocabulary=StreamTest.VOCABULARY)
        events = typist.rollover(tokens)
        down, most = set(), 0
        for e in events:
            key = e[1:]
            if e[0] == "+":
                self.assertNotIn(key, down)
                down.add(key)
            else:
                down.remove(key)
            most = max(most, len(down))
        self.assertEqual((down, most), (set(), 2))
        self.assertEqual([e[1:] for e in events if e[0] == "+"], tokens)

    def test_xdotool_command(self):
        self.assertEqual(
            typist.xdotool_command(["+E", "+SPACE", "-E", "-SPACE", "+[", "-[", "+3", "-3"], 15),
            ["xdotool", "mousemove", "300", "200",
             "keydown", "--delay", "15", "e", "keydown", "--delay", "15", "space",
             "keyup", "--delay", "15", "e", "keyup", "--delay", "15", "space",
             "keydown", "--delay", "15", "bracketleft", "keyup", "--delay", "15", "bracketleft",
             "keydown", "--delay", "15", "3", "keyup", "--delay", "15", "3"])
        with self.assertRaises(ValueError):
            typist.xdotool_command(["E"], 15)

    def test_scenario(self):
        self.assertEqual(typist.scenario("busy", ["+E", "-E"], busy_ms=150),
                         "scenario busy\ncontroller FALSE 1\nwindow Edit multiline\n"
                         "typist xdotool\nbusy 150\nkeys +E -E\nend\n")
        self.assertEqual(typist.scenario("ai", ["E"], route="illustrator"),
                         "scenario ai\ncontroller TRUES 1\nwindow Canvas multiline\n"
                         "ancestor 2 Adobe Illustrator 10\ntypist xdotool\nkeys E\nend\n")


class DifferenceTest(unittest.TestCase):
    def test_first_difference(self):
        cases = [("20 41 42", "20 41 42", None), ("20 41 43", "20 41 42", 2),
                 ("20 41", "20 41 42", 2), ("20 41 42 43", "20 41 42", 3), ("", "20", 0)]
        for got, want, at in cases:
            self.assertEqual(typist.first_difference(got, want), at, (got, want))

    def test_report(self):
        self.assertEqual(typist.difference_report("0D 0A 41", "0D 0A 41"), "")
        self.assertEqual(
            typist.difference_report("01 02 03 04 05 06", "01 02 03 FF 05", context=2),
            "first difference at byte 3 of 5 (got 6): got ...02 03 [04 05]... "
            "expected ...02 03 [FF 05]...")


if __name__ == "__main__":
    unittest.main()
