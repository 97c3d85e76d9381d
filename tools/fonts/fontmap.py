"""What a generated ZafrelXP font shows for legacy bytes, and what HarfBuzz shapes for Unicode.

Both need Debian's Python (/usr/bin/python3) for fontTools; HarfBuzz is its hb-shape program
(libharfbuzz-bin).
"""
import subprocess

from fontTools.ttLib import TTFont


def byte_reading(byte):
    """The character a Windows-1252 program reads a byte as (1252's five undefined bytes read as
    the C1 control of the same number, as Windows and Wine map them)."""
    try:
        return bytes([byte]).decode("cp1252")
    except UnicodeDecodeError:
        return chr(byte)


class GeneratedFont:
    def __init__(self, path):
        self.font = TTFont(path)
        self.cmap = self.font.getBestCmap()
        self.order = self.font.getGlyphOrder()

    def glyph_names(self, data):
        """The glyph each byte shows, left to right, as a program reading it as Windows-1252
        text finds it through the cmap (None where the font has none)."""
        return [self.cmap.get(ord(byte_reading(b))) for b in data]

    def glyph_ids(self, data):
        return [self.order.index(name) if name is not None else 0 for name in self.glyph_names(data)]


def shaped_glyph_names(font_path, lines, direction="rtl"):
    """HarfBuzz's glyphs for each Unicode line, shaped in one direction, in visual order (left to
    right): one hb-shape run for all the lines."""
    text = "\n".join(lines) + "\n"
    out = subprocess.run(["hb-shape", f"--direction={direction}", "--no-positions",
                          "--no-clusters", "--font-file", str(font_path), "--text-file",
                          "/dev/stdin"], input=text, capture_output=True, text=True,
                         check=True).stdout
    return [line.strip().strip("[]").split("|") for line in out.splitlines()]
