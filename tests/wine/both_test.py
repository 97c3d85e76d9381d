#!/usr/bin/env python3
"""Both bitnesses on one 64-bit desktop, as a user has it: one 64-bit prefix, the four files in
one folder, zafrelctl.exe started from there (it starts zafrelctl64.exe --companion), keys typed
at the X server with xdotool.

  1. the project's 32-bit and 64-bit target programs, alternately, several switches;
  2. Wine's own 32-bit and 64-bit Notepad, both open, alternately;
  3. the companion killed: the controller says the 64-bit half is gone, the 32-bit target still
     types Farsi and the 64-bit one gets the Latin letters;
  4. the controller ended with --exit and started again: both halves type again, in the targets
     and in the Notepads that stayed open;
  5. the folder without zafrelctl64.exe, then without ZafrelXP64.dll: the controller says which
     half is missing and why, and the 32-bit half types.

Each text is compared byte for byte with the host engine's prediction for the same keys.

  both_test.py --bin32 WIN32-BUILD --bin64 WIN64-BUILD --predict zafrel_predict --prefix PREFIX
"""
import argparse
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from wine32 import WineError, processes_of_prefix  # noqa: E402
from winedesk import (Checks, Desktop, DeskHelper, Lines, copy_four_files, driver_flag,  # noqa: E402
                      mappings, parse_results, type_with_xdotool, windows_path)

# The controller's queries (tools/controller/protocol.h).
QUERY_ON, QUERY_OFF, QUERY_REACH, QUERY_COMPANION, QUERY_FRONT = 0, 1, 13, 14, 15
REACH_32, REACH_BOTH = 1, 3
COMPANION_RUNNING, COMPANION_NO_PROGRAM, COMPANION_NO_LIBRARY, COMPANION_ENDED = 2, 3, 4, 5

# Words of the common Farsi layout, one per round, so that no two rounds type the same text.
WORDS = ["E M Q SPACE G H SPACE", "S G H M SPACE", "D F SPACE J K L SPACE", "B U T SPACE E SPACE",
         "R W SPACE Y X SPACE", "A ^E SPACE H SPACE", "N O SPACE P I SPACE", "C V SPACE Z SPACE"]
NOTEPAD64 = "notepad.exe"
NOTEPAD32 = "C:\\windows\\syswow64\\notepad.exe"


def latin(keys):
    """What a window holds when the keys reach it untranslated: lower-case letters and spaces."""
    return " ".join("20" if k == "SPACE" else f"{ord(k.lower()):02X}" for k in keys.split())


def scenario(name, keys, window="Edit", ancestor="Untitled - Notepad"):
    return (f"scenario {name}\ncontroller FALSE 1\nwindow {window}\n"
            f"ancestor 2 {ancestor}\ntypist xdotool\nkeys {keys}\nend\n")


class BothTest(Checks):
    def __init__(self, args, desktop, work):
        self.args, self.desktop, self.work = args, desktop, work
        super().__init__()
        self.folder = work / "ZafrelXP"
        self.helper = None
        self.controller = None
        self.round = 0

    def ask(self, command, seconds=90):
        """One command to the desktop helper, and its answer."""
        return self.helper.ask(command, seconds)

    def predict(self, text):
        path = self.work / "predict.txt"
        path.write_text(text)
        return parse_results(subprocess.run([self.args.predict, str(path)], check=True,
                                            capture_output=True, text=True).stdout.splitlines())

    def start_controller(self, what):
        """zafrelctl.exe from the folder, as a user starts it; its companion comes up beside it."""
        self.controller = self.desktop.spawn(["zafrelctl.exe", "--mode", "FALSE", "--font", "1"],
                                             cwd=self.folder, stdout=self.desktop.log,
                                             stderr=self.desktop.log)
        status = self.ask(f"wait {QUERY_COMPANION} {COMPANION_RUNNING} 60000")
        self.check(status == str(COMPANION_RUNNING),
                   f"{what}: the companion runs beside the controller (status {status})")
        reach = self.ask(f"query {QUERY_REACH}")
        self.check(reach == str(REACH_BOTH),
                   f"{what}: the controller says Farsi typing reaches 32-bit and 64-bit programs "
                   f"(reach {reach})")

    def next_keys(self):
        keys = WORDS[self.round % len(WORDS)]
        self.round += 1
        return keys

    def type_into_target(self, bits, farsi=True):
        """One round in the project's target program of that bitness: it switches Farsi typing
        on itself, the keys come from the X server."""
        keys = self.next_keys()
        name = f"both_{bits}_{self.round}"
        path = self.work / f"{name}.txt"
        path.write_text(scenario(name, keys))
        bin_dir = self.args.bin32 if bits == 32 else self.args.bin64
        target = self.desktop.spawn(["zafreltarget.exe", windows_path(path)], cwd=bin_dir,
                                    stdout=subprocess.PIPE, stderr=self.desktop.log)
        output = Lines(target.stdout)
        lines = []
        deadline = time.monotonic() + 240
        while (line := output.next(deadline)) is not None:
            lines.append(line)
            if line.startswith("XDOTOOL "):
                type_with_xdotool(self.desktop.env, keys.split())
                driver_flag("xdotool", name).touch()
        target.wait(timeout=60)
        got = parse_results(lines).get(name, {})
        if farsi:
            want = self.predict(path.read_text()).get(name, {}).get("TEXT")
            self.check(target.returncode == 0 and got.get("TEXT") == want and want,
                       f"{bits}-bit target, '{keys}': {got.get('TEXT')} (the host engine: {want}; "
                       f"{got.get('SWITCH')} Scroll Lock presses)")
        else:
            want = latin(keys)
            self.check(target.returncode == 0 and got.get("TEXT") == want,
                       f"{bits}-bit target, '{keys}': the Latin letters {got.get('TEXT')} ({want})")

    def switch_on_here(self):
        """Scroll Lock at the X server until the library in the program in front says "on"."""
        for presses in range(1, 5):
            before = self.ask(f"query {QUERY_ON}")
            subprocess.run(["xdotool", "key", "Scroll_Lock"], env=self.desktop.env, check=True)
            deadline = time.monotonic() + 2
            while time.monotonic() < deadline:
                if self.ask(f"query {QUERY_ON}") != before:
                    return presses
                time.sleep(0.05)
        return None

    def type_into_notepad(self, bits):
        keys = self.next_keys()
        started = time.monotonic()
        front = self.ask(f"front Notepad {bits}")
        # The controller puts this Notepad's half first a moment after it comes to the front.
        first = self.ask(f"wait {QUERY_FRONT} {bits} 5000")
        moved = (time.monotonic() - started) * 1000
        self.ask(f"clear Notepad {bits} Edit")
        subprocess.run(["xdotool", "mousemove", "300", "200"], env=self.desktop.env, check=True)
        presses = self.switch_on_here()
        type_with_xdotool(self.desktop.env, keys.split())
        name = "notepad"
        want = self.predict(scenario(name, keys, window="Edit multiline",
                                     ancestor="Untitled - Notepad")).get(name, {}).get("TEXT")
        # Notepad takes the last glyphs a moment after the last key (longer under emulation).
        deadline = time.monotonic() + 10
        while (text := self.ask(f"text Notepad {bits} Edit")) != want and \
                time.monotonic() < deadline:
            time.sleep(0.2)
        self.check(front == str(bits) and first == str(bits) and presses is not None
                   and text == want and want,
                   f"Wine's {bits}-bit Notepad, '{keys}': {text} (the host engine: {want}; its "
                   f"half first {moved:.0f} ms after it was brought to the front; Farsi on after "
                   f"{presses} Scroll Lock presses)")

    def libraries_in_notepads(self):
        """Each Notepad holds the library of its own bitness, from the user's folder."""
        for library in ("ZafrelXP.dll", "ZafrelXP64.dll"):
            held = {cmd: files for cmd, files in mappings(library.lower()).items()
                    if "notepad" in cmd.lower()}
            want = {str(self.folder / library)}
            self.check(len(held) == 1 and set().union(*held.values()) == want,
                       f"one Notepad holds {library}, the folder's ({held})")

    def kill_companion(self):
        killed = 0
        for pid in processes_of_prefix(self.args.prefix):
            try:
                cmd = pathlib.Path(f"/proc/{pid}/cmdline").read_bytes()
            except OSError:
                continue
            if b"zafrelctl64.exe" in cmd and b"--companion" in cmd:
                os.kill(pid, signal.SIGKILL)
                killed += 1
        self.check(killed == 1, f"the companion was killed ({killed} processes)")
        status = self.ask(f"wait {QUERY_COMPANION} {COMPANION_ENDED} 10000")
        reach = self.ask(f"query {QUERY_REACH}")
        self.check(status == str(COMPANION_ENDED) and reach == str(REACH_32),
                   f"the controller says the companion ended and Farsi typing reaches 32-bit "
                   f"programs only (status {status}, reach {reach})")

    def restart_controller(self):
        p = self.desktop.run(["zafrelctl.exe", "--exit"], cwd=self.folder, timeout=120)
        try:
            code = self.controller.wait(timeout=60)
        except subprocess.TimeoutExpired:
            code = None
        self.check(p.returncode == 0 and code == 0,
                   f"--exit ended the controller (exit {p.returncode}, controller exit {code})")
        self.start_controller("started again")

    def half_missing(self, name, status, why):
        """The folder without one of the 64-bit files: the controller says why it reaches only
        the 32-bit programs, and they type."""
        (self.folder / name).rename(self.work / name)
        self.controller = self.desktop.spawn(["zafrelctl.exe", "--mode", "FALSE", "--font", "1"],
                                             cwd=self.folder, stdout=self.desktop.log,
                                             stderr=self.desktop.log)
        got = self.ask(f"wait {QUERY_COMPANION} {status} 60000")
        self.type_into_target(32)
        # Still said after the round, not only for a moment.
        later = self.ask(f"query {QUERY_COMPANION}")
        reach = self.ask(f"query {QUERY_REACH}")
        self.check(got == later == str(status) and reach == str(REACH_32),
                   f"without {name} the controller says {why} and Farsi typing reaches 32-bit "
                   f"programs only (status {got}, then {later}; reach {reach})")
        p = self.desktop.run(["zafrelctl.exe", "--exit"], cwd=self.folder, timeout=120)
        self.controller.wait(timeout=60)
        self.check(p.returncode == 0, f"--exit ended it (exit {p.returncode})")
        (self.work / name).rename(self.folder / name)

    def run(self):
        copy_four_files(self.args.bin32, self.args.bin64, self.folder)
        self.helper = DeskHelper(self.desktop, self.args.bin64)
        self.ask("font ZafrelXP Nazli 1")
        self.start_controller("first start")
        for bits in (32, 64, 32, 64):
            self.type_into_target(bits)
        for notepad in (NOTEPAD32, NOTEPAD64):
            self.desktop.spawn([notepad], cwd=self.work, stdout=self.desktop.log,
                               stderr=self.desktop.log)
        for bits in (32, 64):
            self.ask(f"wait-window Notepad {bits} 60000")
        for bits in (32, 64, 32, 64):
            self.type_into_notepad(bits)
        self.libraries_in_notepads()
        self.kill_companion()
        self.type_into_target(32)
        self.type_into_target(64, farsi=False)
        self.restart_controller()
        for bits in (64, 32):
            self.type_into_target(bits)
        for bits in (64, 32):
            self.type_into_notepad(bits)
        self.ask("close Notepad")
        self.desktop.run(["zafrelctl.exe", "--exit"], cwd=self.folder, timeout=120)
        self.controller.wait(timeout=60)
        self.half_missing("zafrelctl64.exe", COMPANION_NO_PROGRAM, "zafrelctl64.exe could not start")
        self.half_missing("ZafrelXP64.dll", COMPANION_NO_LIBRARY, "the companion lacks its library")


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--bin32", required=True, help="the win32 build (ZafrelXP.dll, zafrelctl.exe)")
    ap.add_argument("--bin64", required=True, help="the win64 build (ZafrelXP64.dll, ...)")
    ap.add_argument("--predict", required=True, help="the host build's zafrel_predict")
    ap.add_argument("--fonts", help="the generated fonts (default: fonts/ beside --predict)")
    ap.add_argument("--prefix", required=True, help="the 64-bit Wine prefix (created if missing)")
    args = ap.parse_args()
    if args.fonts is None:
        args.fonts = str(pathlib.Path(args.predict).parent / "fonts")
    for name in ("bin32", "bin64", "predict", "fonts", "prefix"):
        setattr(args, name, str(pathlib.Path(getattr(args, name)).resolve()))
    for tool in ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            print(f"both_test: '{tool}' is missing; './zafrel test' installs it", file=sys.stderr)
            return 2

    started = time.monotonic()
    work = pathlib.Path(tempfile.mkdtemp(prefix="zafrel-both-"))
    log = open(pathlib.Path(args.bin64) / "both-wine.log", "w")
    desktop = Desktop(args.prefix, log, arch="x64")
    print(desktop.route_line, flush=True)
    test = BothTest(args, desktop, work)
    font = pathlib.Path(args.prefix) / "drive_c" / "windows" / "Fonts" / "ZafrelXPNazli1.ttf"
    try:
        desktop.start()
        # Notepad shows its text in the generated font, found by name among the prefix's fonts.
        shutil.copy2(pathlib.Path(args.fonts) / "ZafrelXPNazli1.ttf", font)
        test.run()
    except (WineError, subprocess.TimeoutExpired, OSError) as e:
        test.check(False, f"Wine: {e}")
    finally:
        if test.helper is not None:
            test.helper.quit()
        desktop.stop()
        log.close()
        font.unlink(missing_ok=True)
        shutil.rmtree(work, ignore_errors=True)
    print(f"both_test: {time.monotonic() - started:.1f} s", flush=True)
    print(f"both_test: {test.passed} passed, {test.failed} failed", flush=True)
    return 0 if test.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
