#!/usr/bin/env python3
"""Shows ZafrelXP typing Farsi into a real edit control under Wine.

Starts the reference controller (which loads ZafrelXP.dll and installs its hooks) and the target
program, switches Farsi typing on with Scroll Lock, types the keys one at a time, and prints what
the window received for each key, the text it holds afterwards as bytes, what each byte stands
for in the selected glyph table set, and whether the bytes are what the host engine predicts.
The window shows its text in the generated font of the font code ("ZafrelXP Nazli N", from the
host build); the glyphs Wine drew are compared with the font's own glyphs for the bytes, and a
picture is saved (build/demo.png unless --screenshot names a file).

Wine takes the ANSI code page from the Unix locale. Where it reads the glyph codes as
right-to-left letters (1256 under LANG=fa_IR.UTF-8), the edit control, which keeps Unicode text,
shows other letters; the demo then types into the target's canvas, which draws the bytes itself
as desktop-publishing programs do, unless --window names a window class.
"""
import argparse
import codecs
import pathlib
import subprocess
import sys
import tempfile
import time
import unicodedata

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from wine32 import WineError, project_version  # noqa: E402
from winedesk import (DEBIAN_PYTHON, Desktop, driver_flag, font_glyphs,  # noqa: E402
                      parse_results, take_picture)

# The keys of "salam donya" on the common Farsi keyboard layout: lam and alef (G, H) join into
# the lam-alef ligature; Space closes each word with its final or isolated form.
SENTENCE = "S G H L SPACE N K D H SPACE"

# Large enough that the joined letters and their dots read well in the picture.
FONT_PIXELS = 48
DEFAULT_PICTURE = pathlib.Path(__file__).resolve().parents[1] / "build" / "demo.png"

# The target's document view: it keeps its bytes and draws them with ExtTextOutA in a font of
# ANSI_CHARSET, which GDI reads through code page 1252 whatever the system's code page is.
CANVAS = "canvas"
CANVAS_CLASS = "ZafrelDocView"


def right_to_left(ch):
    """A character Uniscribe shapes or reorders as right-to-left text: the Hebrew and Arabic
    blocks and presentation forms (letters, vowel marks, digits) and the directional marks."""
    c = ord(ch)
    return (0x0590 <= c <= 0x08FF or 0xFB1D <= c <= 0xFDFF or 0xFE70 <= c <= 0xFEFE or
            c in (0x200E, 0x200F) or 0x202A <= c <= 0x202E or 0x2066 <= c <= 0x2069)


def readings(code_page, data):
    """{byte: character} for the bytes of `data` that code page `code_page` reads as
    right-to-left characters; None when Python does not know the code page."""
    try:
        codec = codecs.lookup(f"cp{code_page}")
    except LookupError:
        return None
    out = {}
    for b in data:
        ch = codec.decode(bytes([b]), errors="ignore")[0]
        if len(ch) == 1 and right_to_left(ch):
            out[b] = ch
    return out


def describe(reading, limit=4):
    """"FD as U+200E LEFT-TO-RIGHT MARK, F0 as U+064B ARABIC FATHATAN, ..." """
    items = [f"{b:02X} as U+{ord(ch):04X} {unicodedata.name(ch, '?')}"
             for b, ch in sorted(reading.items())]
    more = len(items) - limit
    return ", ".join(items[:limit]) + (f" and {more} more" if more > 0 else "")


def without_line_breaks(text, glyphs):
    """The glyph list with the entries of the text's CR and LF bytes left out: no font draws
    a line break, and Wine and the font's table tell that in different ways."""
    data, ids = text.split(), glyphs.split()
    if len(data) != len(ids):
        return glyphs
    return " ".join(g for b, g in zip(data, ids) if b not in ("0D", "0A"))


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--mode", choices=["TRUES", "FALSE"], default="FALSE",
                    help="typing mode word in the controller's title (default FALSE)")
    ap.add_argument("--font", default="1", help="font code 0-4 (default 1, the default set)")
    ap.add_argument("--frame", default="Untitled - Notepad",
                    help="title of the edit control's grand-parent, e.g. 'Adobe Illustrator 10'")
    ap.add_argument("--window",
                    help="class name of the focus window: Edit, the real edit control (the "
                         "default), another name for an edit control under that class, or "
                         "'canvas', a window that draws its bytes itself (the default where the "
                         "ANSI code page reads the glyph codes as right-to-left letters)")
    ap.add_argument("--keys", default=SENTENCE,
                    help="key tokens: key caps, SPACE, ENTER, BACK; ^ before a key holds Shift")
    ap.add_argument("--arch", choices=["x86", "x64"], default="x86",
                    help="x86: ZafrelXP.dll and 32-bit programs (default); x64: ZafrelXP64.dll, "
                         "the 64-bit controller and a 64-bit target under wine64")
    ap.add_argument("--bin", required=True, help="folder with ZafrelXP.dll and the programs")
    ap.add_argument("--predict", required=True, help="the host build's zafrel_predict")
    ap.add_argument("--prefix", required=True, help="the Wine prefix to use")
    ap.add_argument("--fonts", help="folder of the generated fonts (default: fonts/ beside "
                                    "--predict, in the host build)")
    ap.add_argument("--screenshot", metavar="FILE.png",
                    help=f"where to save the picture of the edit control (default {DEFAULT_PICTURE})")
    ap.add_argument("--cwd", help="the folder a relative --screenshot path starts from (default: "
                                  "the current one; ./zafrel passes the one it was started from)")
    ap.add_argument("--version", action="version", version=f"%(prog)s {project_version()}")
    args = ap.parse_args()
    if len(args.font) != 1 or args.font not in "01234":
        ap.error("the font code is one of 0-4")
    fonts = pathlib.Path(args.fonts or pathlib.Path(args.predict).parent / "fonts").resolve()
    typeface = f"ZafrelXP Nazli {args.font}"
    font_file = f"ZafrelXPNazli{args.font}.ttf"
    if not (fonts / font_file).exists():
        print(f"demo: {fonts / font_file} is missing; ./zafrel build makes the fonts")
        return 2
    picture = pathlib.Path(args.cwd or ".") / args.screenshot if args.screenshot \
        else DEFAULT_PICTURE
    picture = picture.resolve()

    work = pathlib.Path(tempfile.mkdtemp(prefix="zafrel-demo-"))
    bin_dir = str(pathlib.Path(args.bin).resolve())
    log_path = work / "wine.log"
    log = open(log_path, "w")
    desktop = None
    try:
        desktop = Desktop(pathlib.Path(args.prefix).resolve(), log, own_display=False,
                          arch=args.arch)
        print(desktop.route_line, flush=True)
        desktop.start()
        asked = desktop.run(["zafreltarget.exe", "--code-page"], cwd=bin_dir, timeout=120)
        code_page = int(next((line.split()[1] for line in asked.stdout.splitlines()
                              if line.startswith("ACP ")), "0"))
    except (WineError, subprocess.TimeoutExpired, ValueError) as e:
        print(f"demo: FAILED — the target program did not say its code page under Wine ({e}); "
              f"see {log_path}")
        if desktop is not None:
            desktop.stop()
        return 1
    # The legacy encodings keep their letters in the bytes 80-FF: what the code page reads there.
    page_reading = readings(code_page, range(0x80, 0x100)) or {}
    window = args.window or (CANVAS if page_reading else "Edit")
    canvas = window.lower() == CANVAS
    if page_reading:
        print(f"The ANSI code page is {code_page}: it reads the glyph codes as right-to-left "
              f"letters, as Windows does with Persian as the language for non-Unicode programs.")
        if args.window is None:
            print("Typing into the target's canvas, which draws its bytes itself as "
                  "desktop-publishing programs do (--window Edit types into the edit control).")
    print()
    scenario = work / "demo.txt"
    scenario.write_text("\n".join([
        "scenario demo", f"controller {args.mode} {args.font}",
        *([f"window {CANVAS_CLASS}", "canvas yes"] if canvas else [f"window {window} multiline"]),
        f"ancestor 2 {args.frame}", f"keys {args.keys}", f"fontfile {font_file}",
        f"typeface {typeface}", f"fontsize {FONT_PIXELS}", "picture yes", "end", ""]))

    predicted = subprocess.run([args.predict, str(scenario), "--explain"], capture_output=True,
                               text=True)
    if predicted.returncode != 0:
        reason = " ".join(predicted.stderr.split())
        print(f"demo: the keys could not be read ({reason}); see ./zafrel demo --help")
        desktop.stop()
        return 2
    prediction = [line.split(" ", 1)[1] if " " in line else "" for line in
                  predicted.stdout.splitlines()]
    predicted_text = next((v for line, v in zip(predicted.stdout.splitlines(), prediction)
                           if line.startswith("TEXT")), "")
    meanings = [line.split(" ", 2)[2] for line in predicted.stdout.splitlines()
                if line.startswith("BYTE ")]

    started = time.monotonic()
    pictured, picture_problem = False, None
    flag = driver_flag("picture", "demo")
    flag.unlink(missing_ok=True)
    try:
        _, _, lines = desktop.start_session(bin_dir, ["--mode", args.mode, "--font", args.font],
                                            scenario, fonts=fonts)
        output = []
        deadline = time.monotonic() + 600
        while (line := lines.next(deadline)) is not None:
            output.append(line)
            if line.startswith("PICTURE "):
                # The target keeps its window up, the caret hidden, until the flag is there.
                left, top, width, height = (int(v) for v in line.split()[-4:])
                picture.parent.mkdir(parents=True, exist_ok=True)
                try:
                    if not take_picture(desktop.env, left, top, width, height, picture):
                        picture_problem = "the window showed nothing on the X screen"
                except (OSError, subprocess.SubprocessError) as e:
                    picture_problem = f"ImageMagick's import or convert failed: {e}"
                else:
                    pictured = picture_problem is None
                flag.touch()
        output = "".join(output)
    except WineError as e:
        print(f"demo: FAILED — {e}")
        return 1
    except subprocess.TimeoutExpired:
        print(f"demo: FAILED — the target program did not finish typing in 600 s under Wine; "
              f"see {log_path}, then run ./zafrel test to see which part fails")
        return 1
    finally:
        desktop.stop()
        log.close()
    result = parse_results(output.splitlines()).get("demo")
    if result is None:
        hint = ""
        if page_reading and not canvas:
            # Measured under Wine 8: its 64-bit edit control can fault in its shaping of this.
            hint = (f" (an edit control that reads the glyph codes as Arabic-script text through "
                    f"code page {code_page} can bring the program down under Wine; the canvas, "
                    f"without --window, draws the bytes itself)")
        print(f"demo: FAILED — the target program gave no result{hint}; see {log_path}, then run "
              "./zafrel test to see which part fails")
        return 1

    dll = "ZafrelXP64.dll, 64-bit programs" if args.arch == "x64" else "ZafrelXP.dll, 32-bit programs"
    what = f"the canvas (class {CANVAS_CLASS})" if canvas else f"focus window of class {window}"
    print(f"ZafrelXP demo ({dll}): typing mode {args.mode}, font code {args.font}, "
          f"{what} under \"{args.frame}\", ANSI code page {code_page}")
    print(f"Farsi typing switched on with {result.get('SWITCH')} Scroll Lock press(es)\n")
    keys = args.keys.split()
    per_key = result.get("LOG", "").split("|")
    for i, token in enumerate(keys):
        received = per_key[i].strip(";").replace(";", ", ") if i < len(per_key) else ""
        print(f"  key {token:<7} -> {received or '(nothing)'}")
    text = result.get("TEXT", "")
    print(f"\nThe window holds (storage order, the screen's left to right): {text or '(empty)'}")
    if text == predicted_text:
        for byte, meaning in zip(text.split(), meanings):
            print(f"  {byte}  {meaning}")
    print(f"\nThe host engine predicts: {predicted_text or '(empty)'}")
    face = result.get("FACE", "")
    name = "canvas" if canvas else "edit control"
    print(f"The {name} draws them in \"{face}\", {FONT_PIXELS} px; its picture: "
          f"{shown_path(picture, args.cwd)}" if pictured else
          f"The {name} draws them in \"{face}\"; no picture was taken")
    drawn = without_line_breaks(text, result.get("GLYPHS", ""))
    try:
        font_has = without_line_breaks(text, font_glyphs(
            {"demo": (str(fonts / font_file), text.replace(" ", ""))})["demo"])
    except (OSError, subprocess.SubprocessError, ValueError, KeyError) as e:
        print(f"demo: FAILED — {DEBIAN_PYTHON} could not read the font's glyphs ({e}); "
              "./zafrel setup installs python3-fonttools")
        return 1
    print(f"Wine drew the glyphs {drawn or '(none)'}; the font's glyphs for the bytes are "
          f"{font_has or '(none)'}")
    print(f"(Wine part took {time.monotonic() - started:.1f} s)")
    text_reading = (readings(code_page, bytes.fromhex(text)) or {}) if text else {}
    if text != predicted_text or not text:
        print("demo: FAILED — the window's bytes differ from the prediction; run ./zafrel test to "
              "see which part of the typing engine disagrees with the real DLL")
        return 1
    if face != typeface:
        print(f"demo: FAILED — Wine did not take the generated font \"{typeface}\" from "
              f"{fonts / font_file}; the picture shows the bytes as Latin letters")
        return 1
    if not canvas and text_reading:
        # Not a fault of the typing: the edit control is a Unicode window.
        print(f"demo: not a success — the bytes are right, but the edit control keeps Unicode "
              f"text and reads them through code page {code_page}: {describe(text_reading)}. "
              "Uniscribe shapes and reorders those like any Arabic-script text, in a font that "
              "has them, so the picture shows other letters. Programs that draw their own text "
              "(the desktop-publishing programs, and the demo's canvas: leave out --window) "
              "show the glyphs; Windows' own controls do once the language for non-Unicode "
              "programs reads the bytes as the font expects (English: code page 1252; under "
              "Wine LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8)")
        return 1
    if drawn != font_has or not drawn:
        why = (f"; code page {code_page} reads them as {describe(text_reading)}"
               if text_reading else "")
        print(f"demo: FAILED — the bytes are right, but Wine did not draw the font's glyphs for "
              f"them{why}")
        return 1
    if not pictured:
        print(f"demo: FAILED — the bytes and glyphs are right, but the {name} could not be "
              f"pictured: {picture_problem or 'the target program never showed it'}")
        return 1
    print("demo: success — the window holds exactly the bytes the engine predicts, and Wine drew "
          "each with the font's glyph for it")
    return 0


def shown_path(path, cwd):
    """The path as it reads from the folder the demo was started in, where it lies below it."""
    try:
        return str(path.relative_to(pathlib.Path(cwd or ".").resolve()))
    except ValueError:
        return str(path)


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        print("demo: stopped")
        sys.exit(130)
    except Exception as e:  # one line for the person at the terminal, never a traceback
        print(f"demo: FAILED — {type(e).__name__}: {e}; run ./zafrel test to see which part fails")
        sys.exit(1)
