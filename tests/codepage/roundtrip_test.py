#!/usr/bin/env python3
"""zafrel-convert round-trips the whole Persian word list in all five font encodings.

  roundtrip_test.py ZAFREL-CONVERT

Every word of myspell-fa whose letters all have keys goes to legacy bytes and back, as one file
per font code, through the program itself; what comes back must be the list. Left out: words
with a zero width non-joiner right after a letter that never joins onward (ذ ز ا د ر ژ و), where
the non-joiner changes nothing on screen and so leaves no trace in the bytes.
"""
import pathlib
import subprocess
import sys
import tempfile

WORDLIST = pathlib.Path("/usr/share/hunspell/fa_IR.dic")
LETTERS = set("ضصثقفغعهخحجچشسیبلاتنمکگظطزرذدوژپ")
NON_JOINING = set("ذزادرژو")
ZWNJ = "\u200c"


def typable(word):
    if not word or word[0] == ZWNJ or word[-1] == ZWNJ:
        return False
    if any(c not in LETTERS and c != ZWNJ for c in word):
        return False
    return not any(b == ZWNJ and (a in NON_JOINING or a == ZWNJ) for a, b in zip(word, word[1:]))


def main():
    converter = sys.argv[1]
    with WORDLIST.open(encoding="utf-8") as f:
        next(f)
        words = [w for w in (line.strip().split("/")[0] for line in f) if typable(w)]
    text = ("\n".join(words) + "\n").encode("utf-8")
    failed = False
    with tempfile.TemporaryDirectory() as tmp:
        for font in range(5):
            legacy = subprocess.run([converter, "--to-legacy", "--font", str(font)], input=text,
                                    capture_output=True)
            back = subprocess.run([converter, "--to-unicode", "--font", str(font)],
                                  input=legacy.stdout, capture_output=True)
            if legacy.returncode or back.returncode or back.stdout != text:
                failed = True
                got = back.stdout.decode("utf-8", errors="replace").split("\n")
                wrong = [(w, g) for w, g in zip(words, got) if w != g][:5]
                print(f"font {font}: FAILED {legacy.stderr.decode()} {back.stderr.decode()} {wrong}")
            else:
                print(f"font {font}: {len(words)} words, {len(legacy.stdout)} legacy bytes, "
                      f"read back unchanged")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
