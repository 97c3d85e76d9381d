#!/usr/bin/python3
"""Writes one TrueType font per legacy Farsi font encoding, drawn from a free Persian font.

  make_fonts.py --convert ZAFREL-CONVERT --source FONT.ttf --out DIR [--family NAME]
                [--license FILE]

For font codes 0-4 it reads what every byte stands for (zafrel-convert --code-page) and writes
DIR/ZafrelXPNazli<N>.ttf, family "ZafrelXP Nazli <N>", in which byte B shows the glyph of the
letter and form B stands for, taken from the source font: through the Arabic presentation form of
that letter and form in the source's cmap, or, where the source has no such code point, through
its GSUB isol/init/medi/fina single substitutions. Digits show as Persian digits; the fixed
characters and ASCII text as the source's own glyphs; a byte of unknown meaning, or one the
source has no glyph for, as a hollow box.

A legacy font is a single-byte font: programs hand it bytes. Edit controls and GDI under Windows
and Wine turn those bytes into Unicode through the ANSI code page before they look up glyphs, so
the cmap (a Windows Unicode one) maps the Windows-1252 reading of every byte 0x20-0xFF to its
glyph. Wine 8's edit control and GDI find every byte's glyph that way, 0x80-0x9F included (the
five bytes 1252 leaves undefined arrive as the C1 controls U+0081, U+008D, U+008F, U+0090,
U+009D), whether the font is asked for with ANSI_CHARSET or DEFAULT_CHARSET. The cmap also maps
U+F020-U+F0FF, where symbol fonts keep byte B at U+F000+B: Wine never looks there for such text,
a font with only those entries shows no glyph at all; they are kept for programs that pass symbol
code points. The font claims the Latin 1 code page, so programs that ask for ANSI_CHARSET get it
by name. Layout tables (GSUB, GPOS, GDEF) are dropped: the bytes already are shaped glyphs.

Run with Debian's /usr/bin/python3, whose fontTools (python3-fonttools) it needs.
"""
import argparse
import pathlib
import shutil
import subprocess
import sys
import unicodedata

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
from wine32 import project_version  # noqa: E402

import code_page_listing  # noqa: E402  (beside this file)

# fontTools (through fontmap too) is imported where fonts are read and written: --help and
# --version answer on a machine without python3-fonttools.

FORMS = ("isolated", "final", "medial", "initial")
FEATURE_OF_FORM = {"isolated": "isol", "final": "fina", "medial": "medi", "initial": "init"}
PLACEHOLDER = "zafrel.unknown"
FONT_CODES = range(5)


def presentation_forms():
    """(letters, form) -> the presentation-form code point, from the Unicode decompositions."""
    forms = {}
    for cp in list(range(0xFB50, 0xFE00)) + list(range(0xFE70, 0xFF00)):
        parts = unicodedata.decomposition(chr(cp)).split()
        if parts and parts[0] in ("<isolated>", "<final>", "<medial>", "<initial>"):
            letters = tuple(int(p, 16) for p in parts[1:])
            forms.setdefault((letters, parts[0][1:-1]), cp)
    return forms


def read_code_page(convert, font_code):
    """byte -> (kind, character or None, form or None); a listing that is not whole and well
    formed stops the build with the line that is wrong."""
    out = subprocess.run([convert, "--code-page", "--font", str(font_code)], capture_output=True,
                         text=True, check=True).stdout
    try:
        return code_page_listing.parse(out)
    except code_page_listing.CodePageError as e:
        raise SystemExit(f"make_fonts: {convert} --code-page --font {font_code}: {e}")


def single_substitutions(font, feature):
    """The single substitutions of one GSUB feature: base glyph -> substituted glyph."""
    out = {}
    if "GSUB" not in font:
        return out
    gsub = font["GSUB"].table
    for record in gsub.FeatureList.FeatureRecord:
        if record.FeatureTag != feature:
            continue
        for index in record.Feature.LookupListIndex:
            lookup = gsub.LookupList.Lookup[index]
            for sub in lookup.SubTable:
                if lookup.LookupType == 7:  # an extension wraps the real subtable
                    sub = sub.ExtSubTable
                if getattr(sub, "mapping", None):
                    for base, glyph in sub.mapping.items():
                        out.setdefault(base, glyph)
    return out


class Source:
    def __init__(self, path):
        from fontTools.ttLib import TTFont
        self.path = path
        self.font = TTFont(path)
        self.cmap = self.font.getBestCmap()
        self.forms = presentation_forms()
        self.gsub = {form: single_substitutions(self.font, tag)
                     for form, tag in FEATURE_OF_FORM.items()}

    def letter(self, letters, form):
        """The glyph of a letter (or the lam-alef pair) in one contextual form, or None."""
        cp = self.forms.get((letters, form))
        if cp is not None and cp in self.cmap:
            return self.cmap[cp]
        if len(letters) == 1 and letters[0] in self.cmap:
            base = self.cmap[letters[0]]
            if base in self.gsub[form]:
                return self.gsub[form][base]
            if form == "isolated":
                return base
        return None

    def glyph_of_byte(self, meaning):
        kind, character, form = meaning
        if kind == "letter":
            return self.letter((character,), form)
        if kind == "lam-alef":
            return self.letter((0x0644, 0x0627), form)
        if kind == "digit":
            persian = 0x06F0 + character - 0x30
            return self.cmap.get(persian, self.cmap.get(character))
        if kind in ("fixed", "ascii", "shift"):  # shift: a Shift key's character, as it stands
            return self.cmap.get(character)
        return None  # other, nothing: no known meaning


def add_placeholder(font):
    """A hollow box as wide as a digit: what a byte of unknown meaning shows."""
    from fontTools.pens.ttGlyphPen import TTGlyphPen
    upm = font["head"].unitsPerEm
    width, left, bottom, top, stroke = upm // 2, upm // 16, 0, upm * 6 // 10, upm // 20
    pen = TTGlyphPen(None)
    for (x0, y0, x1, y1), clockwise in (((left, bottom, width - left, top), True),
                                        ((left + stroke, bottom + stroke, width - left - stroke,
                                          top - stroke), False)):
        points = [(x0, y0), (x0, y1), (x1, y1), (x1, y0)]
        if not clockwise:
            points.reverse()
        pen.moveTo(points[0])
        for point in points[1:]:
            pen.lineTo(point)
        pen.closePath()
    font["glyf"][PLACEHOLDER] = pen.glyph()
    font["hmtx"][PLACEHOLDER] = (width, left)
    order = font.getGlyphOrder()
    if PLACEHOLDER not in order:
        font.setGlyphOrder(order + [PLACEHOLDER])


def set_names(font, family, source_name):
    name = font["name"]
    postscript = family.replace(" ", "")
    keep = {0, 10, 11, 13, 14}  # copyright, description, vendor URL, license, license URL
    name.names = [n for n in name.names if n.nameID in keep]
    for name_id, text in (
            (1, family), (2, "Regular"), (3, f"{family}: generated from {source_name}"),
            (4, family), (5, "Version 1.0"), (6, postscript.replace(" ", "-")),
            (10, f"{family}: the glyphs of {source_name}, one per byte of a legacy Farsi font "
                 "encoding, for ZafrelXP. You may redistribute, change or rename this font "
                 "according to the GPL, as the font it was made from.")):
        name.setName(text, name_id, 3, 1, 0x409)
        name.setName(text, name_id, 1, 0, 0)


def make_font(source, page, family, out_path):
    from fontmap import byte_reading
    from fontTools import subset
    from fontTools.ttLib import TTFont
    from fontTools.ttLib.tables._c_m_a_p import cmap_format_4
    font = TTFont(source.path)
    add_placeholder(font)
    glyph_of = {}
    drawn = {}
    for byte in range(0x20, 0x100):
        kind = page[byte][0]
        glyph = source.glyph_of_byte(page[byte])
        if glyph is None and kind in ("letter", "lam-alef", "digit"):
            raise SystemExit(f"make_fonts: {source.path} has no glyph for byte 0x{byte:02X} "
                             f"({' '.join(str(f) for f in page[byte])})")
        if glyph is None:
            glyph, kind = PLACEHOLDER, "placeholder"
        glyph_of[byte] = glyph
        drawn[kind] = drawn.get(kind, 0) + 1

    # Only the glyphs the bytes show (composite glyphs keep their components).
    options = subset.Options()
    options.glyph_names = True
    options.notdef_outline = True
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.name_legacy = True
    options.layout_features = []
    options.drop_tables += ["GSUB", "GPOS", "GDEF", "kern", "VDMX"]
    subsetter = subset.Subsetter(options)
    subsetter.populate(glyphs=sorted(set(glyph_of.values())))
    subsetter.subset(font)

    mapping = {}
    for byte, glyph in glyph_of.items():
        mapping[0xF000 + byte] = glyph
        mapping[ord(byte_reading(byte))] = glyph
    tables = []
    for platform, encoding in ((3, 1), (0, 3)):
        table = cmap_format_4(4)
        table.platformID, table.platEncID, table.language = platform, encoding, 0
        table.cmap = dict(mapping)
        tables.append(table)
    font["cmap"].tables = tables

    os2 = font["OS/2"]
    os2.ulCodePageRange1 = 1  # Latin 1: ANSI_CHARSET selects it
    os2.ulCodePageRange2 = 0
    os2.ulUnicodeRange1 = 0b11  # Basic Latin, Latin-1 Supplement
    os2.ulUnicodeRange2 = 1 << (60 - 32)  # the private use area of the symbol bytes
    os2.ulUnicodeRange3 = os2.ulUnicodeRange4 = 0
    os2.usFirstCharIndex, os2.usLastCharIndex = min(mapping), max(mapping)
    set_names(font, family, source.font["name"].getDebugName(1))
    font.save(out_path)
    return drawn


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--convert", required=True, help="the host build's zafrel-convert")
    ap.add_argument("--source", required=True, help="the Persian TrueType font to draw from")
    ap.add_argument("--out", required=True, help="folder for the fonts")
    ap.add_argument("--family", default="ZafrelXP Nazli", help="family name before the font code")
    ap.add_argument("--license", help="the source font's license text, copied beside the fonts")
    ap.add_argument("--version", action="version", version=f"%(prog)s {project_version()}")
    args = ap.parse_args()
    out = pathlib.Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    source = Source(args.source)
    if args.license:
        # The generated fonts are the source font's glyphs: its license goes with them.
        shutil.copyfile(args.license, out / "LICENSE.txt")
    for code in FONT_CODES:
        family = f"{args.family} {code}"
        path = out / f"{family.replace(' ', '')}.ttf"
        page = read_code_page(args.convert, code)
        drawn = make_font(source, page, family, path)
        counts = ", ".join(f"{drawn.get(kind, 0)} {kind}" for kind in
                           ("letter", "lam-alef", "digit", "fixed", "ascii", "shift",
                            "placeholder"))
        print(f"{path.name} (bytes 0x20-0xFF): {counts}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
