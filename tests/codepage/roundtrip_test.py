#!/usr/bin/env python3
"""zafrel-convert round-trips the whole Persian word list in all five font encodings.

  roundtrip_test.py ZAFREL-CONVERT

Every word of myspell-fa whose characters all have a byte in a font (its letters, and the Shift
keys' characters it names, as --code-page lists them: yeh with hamza and waw with hamza in the
default set, for one) goes to legacy bytes and back, as one file per font code, through the
program itself; what comes back must be the list. Left out: words with a zero width non-joiner
right after a letter that never joins onward (ذ ز ا د ر ژ و), where the non-joiner changes nothing
on screen and so leaves no trace in the bytes, or next to a Shift key's character, which parts the
word as the non-joiner does.
"""
import pathlib
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools" / "fonts"))
import code_page_listing  # noqa: E402

WORDLIST = pathlib.Path("/usr/share/hunspell/fa_IR.dic")
ALPHABET = set("ضصثقفغعهخحجچشسیبلاتنمکگظطزرذدوژپ")
NON_JOINING = set("ذزادرژو")
ZWNJ = "\u200c"


def characters_of(converter, font):
    """The letters and the named Shift characters of a font, and the latter alone."""
    page = code_page_listing.parse(subprocess.run(
        [converter, "--code-page", "--font", str(font)], capture_output=True, text=True,
        check=True).stdout)
    named = {kind: {chr(c) for k, c, _ in page.values() if k == kind} for kind in ("letter", "shift")}
    return named["letter"] | named["shift"], named["shift"]


def typable(word, characters, shifted):
    if not word or word[0] == ZWNJ or word[-1] == ZWNJ:
        return False
    if any(c not in characters and c != ZWNJ for c in word):
        return False
    closing = NON_JOINING | shifted | {ZWNJ}
    return not any((b == ZWNJ and a in closing) or (a == ZWNJ and b in shifted)
                   for a, b in zip(word, word[1:]))


def main():
    converter = sys.argv[1]
    with WORDLIST.open(encoding="utf-8") as f:
        next(f)
        entries = [line.strip().split("/")[0] for line in f]
    failed = False
    for font in range(5):
        characters, shifted = characters_of(converter, font)
        words = [w for w in entries if typable(w, characters, shifted)]
        text = ("\n".join(words) + "\n").encode("utf-8")
        legacy = subprocess.run([converter, "--to-legacy", "--font", str(font)], input=text,
                                capture_output=True)
        back = subprocess.run([converter, "--to-unicode", "--font", str(font)],
                              input=legacy.stdout, capture_output=True)
        extra = sorted(shifted | (characters - ALPHABET))
        with_extra = sum(1 for w in words if any(c in extra for c in w))
        if legacy.returncode or back.returncode or back.stdout != text:
            failed = True
            got = back.stdout.decode("utf-8", errors="replace").split("\n")
            wrong = [(w, g) for w, g in zip(words, got) if w != g][:5]
            print(f"font {font}: FAILED {legacy.stderr.decode()} {back.stderr.decode()} {wrong}")
        else:
            print(f"font {font}: {len(words)} words ({with_extra} with {' '.join(extra) or '-'}), "
                  f"{len(legacy.stdout)} legacy bytes, read back unchanged")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
