#!/usr/bin/env python3
"""Shows ZafrelXP typing Farsi into a real edit control under Wine.

Starts the reference controller (which loads ZafrelXP.dll and installs its hooks) and the target
program, switches Farsi typing on with Scroll Lock, types the keys one at a time, and prints what
the window received for each key, the text it holds afterwards as bytes, what each byte stands
for in the selected glyph table set, and whether the bytes are what the host engine predicts.
The edit control shows its text in the generated font of the font code ("ZafrelXP Nazli N", from
the host build), and a picture of it is saved (build/demo.png unless --screenshot names a file).
"""
import argparse
import pathlib
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from wine32 import WineError  # noqa: E402
from winedesk import Desktop, driver_flag, parse_results, take_picture  # noqa: E402

# The keys of "salam donya" on the common Farsi keyboard layout: lam and alef (G, H) join into
# the lam-alef ligature; Space closes each word with its final or isolated form.
SENTENCE = "S G H L SPACE N K D H SPACE"

# Large enough that the joined letters and their dots read well in the picture.
FONT_PIXELS = 48
DEFAULT_PICTURE = pathlib.Path(__file__).resolve().parents[1] / "build" / "demo.png"


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--mode", choices=["TRUES", "FALSE"], default="FALSE",
                    help="typing mode word in the controller's title (default FALSE)")
    ap.add_argument("--font", default="1", help="font code 0-4 (default 1, the default set)")
    ap.add_argument("--frame", default="Untitled - Notepad",
                    help="title of the edit control's grand-parent, e.g. 'Adobe Illustrator 10'")
    ap.add_argument("--window", default="Edit",
                    help="class name of the focus window (default Edit, the real edit control)")
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
    scenario = work / "demo.txt"
    scenario.write_text("\n".join([
        "scenario demo", f"controller {args.mode} {args.font}", f"window {args.window} multiline",
        f"ancestor 2 {args.frame}", f"keys {args.keys}", f"fontfile {font_file}",
        f"typeface {typeface}", f"fontsize {FONT_PIXELS}", "picture yes", "end", ""]))

    predicted = subprocess.run([args.predict, str(scenario), "--explain"], capture_output=True,
                            text=True)
    if predicted.returncode != 0:
        reason = " ".join(predicted.stderr.split())
        print(f"demo: the keys could not be read ({reason}); see ./zafrel demo --help")
        return 2
    prediction = [line.split(" ", 1)[1] if " " in line else "" for line in
                  predicted.stdout.splitlines()]
    predicted_text = next((v for line, v in zip(predicted.stdout.splitlines(), prediction)
                           if line.startswith("TEXT")), "")
    meanings = [line.split(" ", 2)[2] for line in predicted.stdout.splitlines()
                if line.startswith("BYTE ")]

    bin_dir = str(pathlib.Path(args.bin).resolve())
    log_path = work / "wine.log"
    log = open(log_path, "w")
    started = time.monotonic()
    desktop = None
    pictured, picture_problem = False, None
    flag = driver_flag("picture", "demo")
    flag.unlink(missing_ok=True)
    try:
        desktop = Desktop(pathlib.Path(args.prefix).resolve(), log, own_display=False,
                          arch=args.arch)
        print(desktop.route_line, flush=True)
        desktop.start()
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
                        picture_problem = "the edit control showed nothing on the X screen"
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
        if desktop is not None:
            desktop.stop()
        log.close()
    result = parse_results(output.splitlines()).get("demo")
    if result is None:
        print(f"demo: FAILED — the target program gave no result; see {log_path}, then run "
              "./zafrel test to see which part fails")
        return 1

    dll = "ZafrelXP64.dll, 64-bit programs" if args.arch == "x64" else "ZafrelXP.dll, 32-bit programs"
    print(f"ZafrelXP demo ({dll}): typing mode {args.mode}, font code {args.font}, "
          f"focus window of class {args.window} under \"{args.frame}\"")
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
    print(f"The edit control draws them in \"{face}\", {FONT_PIXELS} px; its picture: "
          f"{shown_path(picture, args.cwd)}" if pictured else
          f"The edit control draws them in \"{face}\"; no picture was taken")
    print(f"(Wine part took {time.monotonic() - started:.1f} s)")
    if text != predicted_text or not text:
        print("demo: FAILED — the window's bytes differ from the prediction; run ./zafrel test to "
              "see which part of the typing engine disagrees with the real DLL")
        return 1
    if face != typeface:
        print(f"demo: FAILED — Wine did not take the generated font \"{typeface}\" from "
              f"{fonts / font_file}; the picture shows the bytes as Latin letters")
        return 1
    if not pictured:
        print("demo: FAILED — the bytes are right, but the edit control could not be pictured: "
              f"{picture_problem or 'the target program never showed it'}")
        return 1
    print("demo: success — the window holds exactly the glyphs the engine predicts")
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
