#!/usr/bin/env python3
"""Fast typing under Wine: a stream of Persian words, digit runs, line breaks and corrections
typed at the X server with xdotool, each key pressed before the one before it is released, and
each text compared byte for byte with the host engine's prediction for the same key events.

  1. into the target program's multiline edit control, 30 ms between key events, on the posted
     route and on the sent route (an edit control under a class no program is known by, the
     controller in mode "TRUE": glyphs and caret keys sent);
  2. into Wine's own Notepad, the same events 30 ms apart;
  3. into an edit control whose window takes 150 ms over every WM_CHAR (as a slow
     desktop-publishing canvas does), 50 ms between key events: the keys pile up in the queue
     and the window catches up long after the last one.

  speed_test.py --bin BUILD --predict zafrel_predict --prefix PREFIX [--arch x64] [--keys N]
"""
import argparse
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
import typist  # noqa: E402
from wine32 import WineError  # noqa: E402
from winedesk import Checks, Desktop, DeskHelper  # noqa: E402

FAST_MS, BUSY_MS, BUSY_INTERVAL_MS = 30, 150, 50
QUERY_ON, QUERY_LAST, LAST_ON = 0, 4, 1
FONT = "ZafrelXPNazli1.ttf"


class SpeedTest(Checks):
    def __init__(self, args, desktop, work):
        super().__init__()
        self.args, self.desktop, self.work = args, desktop, work
        self.events = typist.rollover(typist.key_stream(args.keys, args.seed))
        self.what = f"{args.keys} keys with rollover ({len(self.events)} key events)"

    def compare(self, got, want, what):
        """One check of a whole text; on a difference both texts and where they part."""
        ok = self.check(bool(want) and got == want, f"{what}: the host engine's text "
                                                    f"({len(want.split())} bytes)")
        if not ok:
            print(f"  {typist.difference_report(got or '', want)}")
            print(f"  got:      {got}")
            print(f"  expected: {want}")
        return ok

    def target(self, want):
        """Checks 1 and 3: one target program plays the three scenarios."""
        path = self.work / "speed.txt"
        path.write_text(typist.scenario("fast", self.events) +
                        typist.scenario("sent", self.events, route="sent") +
                        typist.scenario("busy", self.events, busy_ms=BUSY_MS))
        predicted = typist.predict(self.args.predict, path)
        want.update(predicted)
        plan = {"fast": (self.events, FAST_MS), "sent": (self.events, FAST_MS),
                "busy": (self.events, BUSY_INTERVAL_MS)}
        # The busy window takes a WM_CHAR per typed byte, each 150 ms, after the typing is over.
        seconds = 600 + len(self.events) * BUSY_MS / 1000
        results, code, controller, typed = typist.play_session(
            self.desktop, self.args.bin, path, plan, seconds)
        self.check(code == 0, f"the target program played the three scenarios (exit {code})")
        for name, interval, where in (
                ("fast", FAST_MS, "the edit control"),
                ("sent", FAST_MS, "an edit control on the sent route"),
                ("busy", BUSY_INTERVAL_MS, f"an edit control that takes {BUSY_MS} ms per WM_CHAR")):
            got = results.get(name, {})
            seconds, after = typed.get(name, (0, 0))
            self.check(got.get("TYPED") == "yes",
                       f"{name}: typed in {seconds:.1f} s; the target took it all "
                       f"{after:.1f} s after the last key")
            self.compare(got.get("TEXT"), predicted.get(name, ""),
                         f"{self.what}, {interval} ms apart, into {where}")
        return controller

    def switch_on(self, helper):
        """Scroll Lock at the X server until the library in Notepad tells the controller "on"."""
        for presses in range(1, 5):
            before = helper.ask(f"query {QUERY_ON}")
            subprocess.run(["xdotool", "key", "Scroll_Lock"], env=self.desktop.env, check=True)
            deadline = time.monotonic() + 3
            while time.monotonic() < deadline:
                if helper.ask(f"query {QUERY_ON}") != before:
                    return presses
                if helper.ask(f"query {QUERY_LAST}") != str(LAST_ON):
                    break
                time.sleep(0.05)
        return None

    def notepad(self, want):
        """Check 2: Wine's Notepad of this bitness, its text read back with WM_GETTEXT."""
        helper = DeskHelper(self.desktop, self.args.bin)
        try:
            helper.ask("font ZafrelXP Nazli 1")
            # Word wrap off, as the target's edit control has it: with it on, the Home key the
            # library sends after a digit run goes to the start of the line as drawn, not of
            # the text's line, once a line is wider than the window.
            self.desktop.run(["reg.exe", "add", "HKCU\\Software\\Microsoft\\Notepad", "/v",
                              "fWrap", "/t", "REG_DWORD", "/d", str(int(self.args.wrap)), "/f"],
                             cwd=self.work, timeout=120)
            self.desktop.spawn(["notepad.exe"], cwd=self.work, stdout=self.desktop.log,
                               stderr=self.desktop.log)
            if not self.check(helper.ask("wait-window Notepad 0 60000") == "ok",
                              "Wine's Notepad came up"):
                return
            helper.ask("front Notepad 0")
            helper.ask("clear Notepad 0 Edit")
            subprocess.run(["xdotool", "mousemove", *map(str, typist.POINTER)],
                           env=self.desktop.env, check=True)
            presses = self.switch_on(helper)
            if not self.check(presses is not None, f"Farsi typing on in Notepad ({presses} "
                                                   f"Scroll Lock presses)"):
                return
            seconds = typist.type_events(self.desktop.env, self.events, FAST_MS)
            # Notepad takes the last glyphs a moment after the last key: read until the text
            # is the expected one or has not changed for 3 s.
            text, since = None, time.monotonic()
            deadline = time.monotonic() + 60
            while time.monotonic() < deadline:
                now = helper.ask("text Notepad 0 Edit")
                if now != text:
                    text, since = now, time.monotonic()
                if text == want["fast"] or time.monotonic() - since > 3:
                    break
                time.sleep(0.2)
            self.compare(text, want["fast"],
                         f"{self.what}, {FAST_MS} ms apart (typed in {seconds:.1f} s), into "
                         f"Wine's Notepad (word wrap {'on' if self.args.wrap else 'off'})")
        finally:
            helper.quit()

    def run(self):
        want = {}
        self.target(want)
        self.notepad(want)


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--bin", required=True, help="the build with the DLL and the programs")
    ap.add_argument("--predict", required=True, help="the host build's zafrel_predict")
    ap.add_argument("--prefix", required=True, help="the Wine prefix to use (created if missing)")
    ap.add_argument("--arch", choices=("x86", "x64"), default="x86",
                    help="the programs' and the DLL's bitness (x64: under wine64)")
    ap.add_argument("--fonts", help="the generated fonts (default: fonts/ beside --predict)")
    ap.add_argument("--keys", type=int, default=300)
    ap.add_argument("--seed", type=int, default=typist.SEED)
    ap.add_argument("--wrap", action="store_true", help="Notepad with word wrap on")
    args = ap.parse_args()
    if args.fonts is None:
        args.fonts = str(pathlib.Path(args.predict).parent / "fonts")
    for name in ("bin", "predict", "prefix", "fonts"):
        setattr(args, name, str(pathlib.Path(getattr(args, name)).resolve()))
    for tool in ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            print(f"speed_test: '{tool}' is missing; './zafrel test' installs it", file=sys.stderr)
            return 2

    started = time.monotonic()
    work = pathlib.Path(tempfile.mkdtemp(prefix="zafrel-speed-"))
    log = open(pathlib.Path(args.bin) / "speed-wine.log", "w")
    desktop = Desktop(args.prefix, log, arch=args.arch)
    print(desktop.route_line, flush=True)
    test = SpeedTest(args, desktop, work)
    font = pathlib.Path(args.prefix) / "drive_c" / "windows" / "Fonts" / FONT
    try:
        desktop.start()
        # Notepad shows its text in the generated font, found by name among the prefix's fonts
        # (Wine's Uniscribe has crashed a 64-bit edit control on glyph bytes in its default one).
        shutil.copy2(pathlib.Path(args.fonts) / FONT, font)
        test.run()
    except (WineError, subprocess.TimeoutExpired, OSError) as e:
        test.check(False, f"Wine: {e}")
    finally:
        desktop.stop()
        log.close()
        font.unlink(missing_ok=True)
        shutil.rmtree(work, ignore_errors=True)
    print(f"speed_test: {time.monotonic() - started:.1f} s", flush=True)
    print(f"speed_test: {test.passed} passed, {test.failed} failed", flush=True)
    return 0 if test.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
