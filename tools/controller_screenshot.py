#!/usr/bin/env python3
"""Takes the picture of the reference controller's main window that the README shows.

    tools/controller_screenshot.py [--bin32 build/win32] [--bin64 build/win64]
                                   [--prefix build/wineprefix-shot64] [--out docs/controller.png]

Starts zafrelctl.exe from a folder of the four files, as a user does on 64-bit Windows (it starts
its 64-bit companion), on a private Xvfb display, in a 64-bit Wine prefix of its own (made on
first use, never the tests' prefixes), with the mouse monitor (slot 6) on beside the typing slots.
It clicks into the window and presses Scroll Lock until the library says Farsi typing is on, moves
the pointer over the window so that the monitor writes its status line, and captures the window
(menu bar and client area: there is no window manager to draw a frame) with ImageMagick's import,
as a PNG of at most 64 colours. Needs ./zafrel build first.
"""
import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import wine32  # noqa: E402
from winedesk import copy_four_files  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parents[1]
IMPORT = "/usr/bin/import"    # ImageMagick's own, not a wrapper earlier on the PATH
CONVERT = "/usr/bin/convert"
MAX_BYTES = 40 * 1024


def start_xvfb():
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=[write_fd], stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        display = f.readline().strip()
    if not display:
        raise wine32.WineError("Xvfb did not start")
    return xvfb, ":" + display


def xdotool(env, *args):
    p = subprocess.run(["xdotool"] + [str(a) for a in args], env=env, capture_output=True,
                       text=True)
    return p.stdout.strip()


def wait_for(what, check, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        result = check()
        if result:
            return result
        time.sleep(0.25)
    raise wine32.WineError(f"{what} did not happen within {seconds} s")


def take(args, wine, env, folder):
    copy_four_files(args.bin32, args.bin64, folder)
    controller = subprocess.Popen(
        wine.command(["zafrelctl.exe", "--mode", "FALSE", "--font", "1", "--slots", "1,2,5,6"]),
        cwd=folder, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # The X window carries the Windows title, "FALSE 1 ZafrelXP".
        window = wait_for("the controller's window", lambda: xdotool(
            env, "search", "--onlyvisible", "--name", "^FALSE 1 ZafrelXP").split("\n")[0], 120)
        # Wine's notification area shows in the same corner of the screen: the window goes on top.
        xdotool(env, "windowraise", window)
        geometry = dict(line.strip().split("=", 1) for line in
                        xdotool(env, "getwindowgeometry", "--shell", window).splitlines())
        x, y = int(geometry["X"]), int(geometry["Y"])
        xdotool(env, "mousemove", x + 320, y + 240, "click", "1")
        time.sleep(0.5)
        # The library reads the Scroll Lock toggle as it was before the press: one press may
        # switch it off first.
        for _ in range(3):
            if xdotool(env, "getwindowname", window).endswith("Farsi on"):
                break
            xdotool(env, "key", "Scroll_Lock")
            time.sleep(1)
        else:
            raise wine32.WineError("Scroll Lock did not switch Farsi typing on")
        # The companion has come up meanwhile: the window says both halves type.
        for dx in (200, 260, 300):  # the mouse monitor's line, with the pointer inside
            xdotool(env, "mousemove", x + dx, y + 220)
            time.sleep(0.3)
        time.sleep(1)
        shot = subprocess.run([IMPORT, "-window", window, "png:-"], env=env, check=True,
                              capture_output=True).stdout
        args.out.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([CONVERT, "png:-", "-bordercolor", "#8c8c8c", "-border", "1", "-strip",
                        "-colors", "64", f"PNG8:{args.out}"],
                       input=shot, check=True)
    finally:
        controller.terminate()


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bin32", type=pathlib.Path, default=ROOT / "build" / "win32",
                    help="the win32 build with zafrelctl.exe and ZafrelXP.dll")
    ap.add_argument("--bin64", type=pathlib.Path, default=ROOT / "build" / "win64",
                    help="the win64 build with zafrelctl64.exe and ZafrelXP64.dll")
    ap.add_argument("--prefix", type=pathlib.Path, default=ROOT / "build" / "wineprefix-shot64",
                    help="a Wine prefix for this script alone")
    ap.add_argument("--out", type=pathlib.Path, default=ROOT / "docs" / "controller.png")
    ap.add_argument("--version", action="version", version=f"%(prog)s {wine32.project_version()}")
    args = ap.parse_args()
    args.out = args.out.resolve()
    for tool in ("Xvfb", "xdotool", IMPORT, CONVERT, wine32.Wine64.LOADER):
        if shutil.which(tool) is None:
            print(f"controller_screenshot: {tool} is missing; run ./zafrel setup", file=sys.stderr)
            return 2
    for program in (args.bin32 / "zafrelctl.exe", args.bin64 / "zafrelctl64.exe"):
        if not program.exists():
            print(f"controller_screenshot: no {program}; run ./zafrel build", file=sys.stderr)
            return 2
    try:
        wine, _ = wine32.launcher64(prefix=args.prefix)
    except wine32.WineError as e:
        print(f"controller_screenshot: {e}", file=sys.stderr)
        return 2
    xvfb, display = start_xvfb()
    env = dict(wine.env(os.environ), DISPLAY=display)
    folder = pathlib.Path(tempfile.mkdtemp(prefix="zafrel-shot-"))
    try:
        wine.ensure_prefix(env)
        take(args, wine, env, folder)
    except (wine32.WineError, subprocess.CalledProcessError) as e:
        print(f"controller_screenshot: {e}", file=sys.stderr)
        return 1
    finally:
        wine.stop(env)
        shutil.rmtree(folder, ignore_errors=True)
        xvfb.terminate()
        xvfb.wait(timeout=10)
    size = args.out.stat().st_size
    print(f"controller_screenshot: wrote {args.out} ({size} bytes)")
    return 0 if size <= MAX_BYTES else 1


if __name__ == "__main__":
    sys.exit(main())
