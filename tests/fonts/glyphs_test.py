#!/usr/bin/python3
"""The generated fonts show what a real shaping engine shows.

  glyphs_test.py --convert ZAFREL-CONVERT --fonts DIR --source FONT.ttf

For every font code, Persian text is turned into legacy bytes by zafrel-convert; the glyphs the
generated font maps those bytes to (left to right, through the Windows-1252 reading a program
gives them) must be, one for one, the glyphs HarfBuzz shapes the Unicode text into with the source
font, right to left. The texts: every letter in each of its forms, the lam-alef in both, the demo
sentence and a fixed-seed sample of the Persian word list. The digits must show as the source's
Persian digits, and a byte of unknown meaning as the placeholder box, never as a letter.
"""
import argparse
import pathlib
import random
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools" / "fonts"))
import code_page_listing  # noqa: E402
from fontmap import GeneratedFont, shaped_glyph_names  # noqa: E402

WORDLIST = pathlib.Path("/usr/share/hunspell/fa_IR.dic")
LETTERS = "ضصثقفغعهخحجچشسیبلاتنمکگظطزرذدوژپ"
NON_JOINING = set("ذزادرژو")
BEH = "ب"


def letter_forms():
    """Each letter alone, at a word's start, inside it and at its end (the last three only for a
    letter that joins onward; one that never does has only its isolated and final forms)."""
    words = []
    for letter in LETTERS:
        words += [letter, BEH + letter]
        if letter not in NON_JOINING:
            words += [letter + BEH, BEH + letter + BEH]
    return words + ["لا", "بلا", "سلام دنیا"]


def named_beyond_the_alphabet(page):
    """Lines for what a font names besides the alphabet: each further letter in its forms (M's
    yeh with hamza in the default set) and each Shift key's character alone, as it is typed."""
    lines = []
    for kind, character, form in page.values():
        c = chr(character) if character is not None else None
        if kind == "shift":
            lines.append(c)
        elif kind == "letter" and c not in LETTERS and form == "isolated":
            lines += [c, BEH + c, c + BEH, BEH + c + BEH]
    return lines


def sample_words(count, seed=1385):
    with WORDLIST.open(encoding="utf-8") as f:
        next(f)
        words = [w for w in (line.strip().split("/")[0] for line in f)
                 if w and all(c in LETTERS for c in w)]
    return random.Random(seed).sample(words, count)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--convert", required=True)
    ap.add_argument("--fonts", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--words", type=int, default=400)
    args = ap.parse_args()

    lines = letter_forms() + sample_words(args.words)
    expected = shaped_glyph_names(args.source, lines)
    digits = shaped_glyph_names(args.source, ["۰۱۲۳۴۵۶۷۸۹"])[0][::-1]  # shaped right to left
    failures = []
    for code in range(5):
        font = GeneratedFont(pathlib.Path(args.fonts) / f"ZafrelXPNazli{code}.ttf")
        page = code_page_listing.parse(subprocess.run(
            [args.convert, "--code-page", "--font", str(code)], capture_output=True, text=True,
            check=True).stdout)
        extra = named_beyond_the_alphabet(page)
        texts = lines + extra
        legacy = subprocess.run([args.convert, "--to-legacy", "--font", str(code)],
                                input="\n".join(texts).encode() + b"\n", capture_output=True,
                                check=True).stdout.split(b"\n")
        wanted = expected + (shaped_glyph_names(args.source, extra) if extra else [])
        for line, data, want in zip(texts, legacy, wanted):
            got = font.glyph_names(data)
            if got != want:
                failures.append(f"font {code}: {line}: bytes {data.hex(' ')} show {got}, "
                                f"HarfBuzz shapes {want}")
        if font.glyph_names(b"0123456789") != digits:
            failures.append(f"font {code}: the digits show {font.glyph_names(b'0123456789')}")
        for byte, (kind, _, _) in page.items():
            if byte < 0x20:
                continue
            shown = font.glyph_names(bytes([byte]))[0]
            if (kind in ("other", "nothing")) != (shown == "zafrel.unknown"):
                failures.append(f"font {code}: byte 0x{byte:02X} ({kind}) shows {shown}")
        print(f"font {code}: {len(texts)} lines and the digits show HarfBuzz's glyphs"
              if not failures else f"font {code}: checked")
    for failure in failures[:20]:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
