"""The listing `zafrel-convert --code-page --font N` prints: what each of the 256 bytes of a font
encoding stands for, one line a byte, in byte order:

  0xAF letter U+062F final       a letter in one of its forms (isolated, final, medial, initial)
  0xE8 lam-alef U+0644 isolated  the lam-alef ligature, by its lam
  0x31 digit U+0031 | 0x2E fixed U+002E | 0x41 ascii U+0041 | 0x95 shift U+0624
  0x84 other U+FFFD              a key whose character is unknown
  0x90 nothing                   no key types it

The font generator draws its glyphs from it, so a listing that is not whole and well formed is
refused with the line that is wrong, never turned into a font with a glyph missing or misplaced.
"""

KINDS_WITH_FORM = ("letter", "lam-alef")
KINDS_WITH_CHARACTER = ("other", "ascii", "digit", "fixed", "shift") + KINDS_WITH_FORM
KINDS = ("nothing",) + KINDS_WITH_CHARACTER
FORMS = ("isolated", "final", "medial", "initial")


class CodePageError(Exception):
    """The listing is not a whole, well-formed code page; the message names the line."""


def _number(text, prefix, digits, line):
    if not text.startswith(prefix) or len(text) - len(prefix) not in digits or \
            any(c not in "0123456789ABCDEF" for c in text[len(prefix):]):
        raise CodePageError(f"line {line}: '{text}' is not {prefix} and "
                            f"{'-'.join(str(d) for d in (digits[0], digits[-1]))} hex digits")
    return int(text[len(prefix):], 16)


def parse(text):
    """byte -> (kind, character or None, form or None), for all 256 bytes."""
    page = {}
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    for number, line in enumerate(lines, 1):
        fields = line.split(" ")
        if len(fields) < 2:
            raise CodePageError(f"line {number}: a byte and its kind are wanted")
        byte = _number(fields[0], "0x", (2,), number)
        if byte != number - 1:
            raise CodePageError(f"line {number}: byte 0x{byte:02X} where 0x{number - 1:02X} is due")
        kind = fields[1]
        if kind not in KINDS:
            raise CodePageError(f"line {number}: unknown kind '{kind}'")
        want = 2 + (kind in KINDS_WITH_CHARACTER) + (kind in KINDS_WITH_FORM)
        if len(fields) != want:
            raise CodePageError(f"line {number}: a {kind} byte has {want} fields, not {len(fields)}")
        character = form = None
        if kind in KINDS_WITH_CHARACTER:
            character = _number(fields[2], "U+", (4, 5, 6), number)
            if character > 0x10FFFF or 0xD800 <= character <= 0xDFFF:
                raise CodePageError(f"line {number}: U+{character:04X} is no character")
        if kind in KINDS_WITH_FORM:
            form = fields[3]
            if form not in FORMS:
                raise CodePageError(f"line {number}: unknown form '{form}'")
        page[byte] = (kind, character, form)
    if len(page) != 256:
        raise CodePageError(f"line {len(lines) + 1}: the listing ends after {len(page)} of 256 bytes")
    return page


def write(page):
    """The listing of a parsed page, as zafrel-convert prints it."""
    out = []
    for byte in range(256):
        kind, character, form = page[byte]
        fields = [f"0x{byte:02X}", kind]
        if character is not None:
            fields.append(f"U+{character:04X}")
        if form is not None:
            fields.append(form)
        out.append(" ".join(fields) + "\n")
    return "".join(out)
