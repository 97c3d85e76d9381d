#!/usr/bin/env python3
"""The Farsi switch as a user meets it under Wine: Wine's Notepad and WordPad and the project's
target program open side by side, the reference controller running, every key at the X server
(xdotool), each program brought to the front in turn.

After every step the driver checks, in the program in front:
  - what one letter key types there: the glyph of the host engine's prediction while Farsi typing
    is on, the Latin letter while it is off (one Scroll Lock press switches, whatever the program's
    message loop, and a program keeps its own switch while others are used);
  - what the controller shows for it (kQueryShown: on, off, or not yet switched in this program)
    and for which process;
  - the Scroll Lock light as Wine keeps it (GetKeyState in a helper between messages). Wine holds
    the toggle at the X server's Scroll Lock lock, which X's keymap never sets: the library keeps
    the light off under Wine, since a toggle left on comes back at the next key as a Scroll Lock
    press of Wine's own.

Two series: with one switch per program (the default), then with "Switch Farsi typing in all
programs at once", where the controller brings each program that comes to the front to the last
switch.

  switch_test.py --bin BUILD --predict zafrel_predict --prefix PREFIX [--arch x64]
"""
import argparse
import pathlib
import shutil
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from winedesk import Checks, DeskHelper, driver_flag, parse_results, run_driver  # noqa: E402

# tools/controller/protocol.h
QUERY_SHOWN, QUERY_SHOWN_PROCESS, QUERY_ALL_PROGRAMS = 18, 19, 20
QUERY_BRING_DONE, QUERY_BRING_RESULT = 21, 22
CMD_ALL_PROGRAMS = 209
UNKNOWN, ON, OFF = 0, 1, 2
BRING_SWITCHED = 1
SHOWN = {UNKNOWN: "not yet switched in this program", ON: "on", OFF: "off"}
LATIN_E = "65"
WORDPAD = "C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe"

# Each program: its top-level window class and the class of the window typed into.
PROGRAMS = {"Notepad": ("Notepad", "Edit"), "WordPad": ("WORDPADTOP", "RichEdit20W"),
            "target": ("ZafrelTarget", "Edit")}
# (program, Scroll Lock pressed there) in turn, one switch per program: each program's switch
# survives the others being used, and the first press in a program switches it on.
PER_PROGRAM = [("Notepad", True), ("WordPad", True), ("target", True), ("target", True),
               ("Notepad", False), ("WordPad", True), ("Notepad", True), ("target", False),
               ("WordPad", False)]
# With one switch for all programs: the programs coming to the front are brought to the last
# switch by the controller.
ALL_PROGRAMS = [("Notepad", True), ("WordPad", False), ("target", False), ("target", True),
                ("Notepad", False), ("WordPad", False), ("target", False)]


class SwitchTest(Checks):
    def __init__(self, args, desktop, work):
        super().__init__()
        self.args, self.desktop, self.work = args, desktop, work
        self.helper = None
        self.pids = {}
        self.actual = {name: False for name in PROGRAMS}  # each library's switch
        self.heard = {name: UNKNOWN for name in PROGRAMS}  # what the controller has been told
        self.choice = UNKNOWN
        self.glyph = None

    def ask(self, command, seconds=90):
        return self.helper.ask(command, seconds)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.desktop.env, check=True, timeout=60)

    def predict_glyph(self):
        """What the E key alone types with Farsi typing on, font code 1, posted route."""
        path = self.work / "e.txt"
        path.write_text("scenario e\ncontroller FALSE 1\nwindow Edit\nkeys E\nend\n")
        got = parse_results(subprocess.run([self.args.predict, str(path)], check=True,
                                           capture_output=True, text=True).stdout.splitlines())
        return got["e"]["TEXT"]

    def start(self):
        scenario = self.work / "switch.txt"
        scenario.write_text("scenario switch\ncontroller FALSE 1\nwindow Edit\nswitch no\n"
                            "typist xdotool\nlatin yes\nend\n")
        self.controller, self.target, self.output = self.desktop.start_session(
            self.args.bin, ["--mode", "FALSE", "--font", "1"], scenario)
        while (line := self.output.next(time.monotonic() + 120)) is not None:
            if line.startswith("XDOTOOL"):
                break
        self.helper = DeskHelper(self.desktop, self.args.bin)
        for command in (["notepad.exe"], [WORDPAD]):
            self.desktop.spawn(command, cwd=self.work, stdout=self.desktop.log,
                               stderr=self.desktop.log)
        for name, (cls, _) in PROGRAMS.items():
            if not self.check(self.ask(f"wait-window {cls} 0 60000") == "ok", f"{name} is up"):
                return False
            self.pids[name] = self.ask(f"pid {cls} 0")
        # A window that is up may not take keys yet (on a loaded machine Notepad has taken the
        # first ones only seconds later): each program first types a Latin x, Farsi typing off.
        for name, (cls, child) in PROGRAMS.items():
            self.front(name)
            deadline = time.monotonic() + 30
            while True:
                self.xdotool("key", "x")
                time.sleep(0.3)
                text = self.ask(f"text {cls} 0 {child}")
                if "78" in text.split() or time.monotonic() > deadline:
                    break
            if not self.check("78" in text.split(), f"{name} takes keys at the X server"):
                return False
            self.ask(f"clear {cls} 0 {child}")
        return True

    def front(self, name):
        cls, child = PROGRAMS[name]
        self.ask(f"front {cls} 0")
        self.xdotool("mousemove", "300", "200")
        # The controller follows the foreground: this program is the one it shows.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and self.ask(f"query {QUERY_SHOWN_PROCESS}") != \
                self.pids[name]:
            time.sleep(0.05)
        self.ask(f"clear {cls} 0 {child}")

    def shown(self, want, seconds=3):
        """What the controller shows, once it has settled on `want` or after `seconds`."""
        got = self.ask(f"wait {QUERY_SHOWN} {want} {seconds * 1000}")
        return int(got) if got.lstrip("-").isdigit() else None

    def typed(self, name):
        """The E key at the X server, and what the window then holds."""
        cls, child = PROGRAMS[name]
        self.xdotool("key", "e")
        want = self.glyph if self.actual[name] else LATIN_E
        deadline = time.monotonic() + 5
        while True:
            text = self.ask(f"text {cls} 0 {child}")
            if text == want or time.monotonic() > deadline:
                break
            time.sleep(0.1)
        # Space ends the word, so that the next letter typed here starts one of its own. Its
        # release must reach this window before the next one comes to the front: a release that
        # goes elsewhere leaves the library here waiting for it.
        self.xdotool("key", "space")
        time.sleep(0.3)
        return text

    def step(self, series, name, press, bring):
        brought_before = self.ask(f"query {QUERY_BRING_DONE}")
        self.front(name)
        what = f"{series}: {name}"
        if bring and self.choice != UNKNOWN and self.heard[name] != self.choice:
            # The controller brings the program to the last switch with its own presses.
            got = self.ask(f"wait {QUERY_BRING_DONE} {int(brought_before) + 1} 8000")
            result = self.ask(f"query {QUERY_BRING_RESULT}")
            self.check(got == str(int(brought_before) + 1) and result == str(BRING_SWITCHED),
                       f"{what} comes to the front and is brought to Farsi typing "
                       f"{SHOWN[self.choice]} (bring result {result})")
            self.actual[name] = self.choice == ON
            self.heard[name] = self.choice
        if press:
            # As a person looks at the window first: a press within 150 ms of a focus change is
            # taken by the controller for the "off" the library sends for that change.
            time.sleep(0.4)
            self.xdotool("key", "Scroll_Lock")
            self.actual[name] = not self.actual[name]
            self.heard[name] = ON if self.actual[name] else OFF
            self.choice = self.heard[name]
            # A press's own light press comes back before the driver looks.
            time.sleep(0.3)
            self.check(self.ask("light") == "off",
                       f"{what}: after the press the light is off, as Wine keeps it")
        want = self.heard[name]
        got = self.shown(want)
        self.check(got == want, f"{what}{' (Scroll Lock pressed)' if press else ''}: the "
                                f"controller shows \"{SHOWN[want]}\" (got {SHOWN.get(got, got)})")
        text = self.typed(name)
        self.check(text == (self.glyph if self.actual[name] else LATIN_E),
                   f"{what}: E types {'the glyph ' + self.glyph if self.actual[name] else 'e'} "
                   f"(got {text!r})")
        self.check(self.ask("light") == "off", f"{what}: the light stays off as E is typed")

    def run(self):
        try:
            self.play()
        finally:
            if self.helper is not None:
                self.helper.quit()

    def play(self):
        self.glyph = self.predict_glyph()
        if not self.start():
            return
        self.check(self.ask(f"query {QUERY_ALL_PROGRAMS}") == "0",
                   "one switch per program is the default")
        for name, press in PER_PROGRAM:
            self.step("one switch per program", name, press, bring=False)
        self.ask(f"command {CMD_ALL_PROGRAMS}")
        self.check(self.ask(f"query {QUERY_ALL_PROGRAMS}") == "1",
                   "\"Switch Farsi typing in all programs at once\" chosen")
        for name, press in ALL_PROGRAMS:
            self.step("all programs at once", name, press, bring=True)
        self.ask(f"command {CMD_ALL_PROGRAMS}")
        driver_flag("xdotool", "switch").touch()
        self.target.wait(timeout=60)


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--bin", required=True, help="the build with the DLL and the programs")
    ap.add_argument("--predict", required=True, help="the host build's zafrel_predict")
    ap.add_argument("--prefix", required=True, help="the Wine prefix to use (created if missing)")
    ap.add_argument("--arch", choices=("x86", "x64"), default="x86",
                    help="the programs' and the DLL's bitness (x64: under wine64)")
    args = ap.parse_args()
    for name in ("bin", "predict", "prefix"):
        setattr(args, name, str(pathlib.Path(getattr(args, name)).resolve()))
    for tool in ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            print(f"switch_test: '{tool}' is missing; './zafrel test' installs it",
                  file=sys.stderr)
            return 2
    return run_driver("switch", args, lambda desktop, work: SwitchTest(args, desktop, work))


if __name__ == "__main__":
    sys.exit(main())
