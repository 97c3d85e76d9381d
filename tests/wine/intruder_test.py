#!/usr/bin/env python3
"""Another program on the desktop tries to steer ZafrelXP, under Wine: zafrelintruder.exe
(tests/wine/intruder.cpp), run from a folder of its own, before and beside the reference
controller and the target program.

  1. it takes the controller's old single-instance mutex name and a window of the companion's
     class first: the controller still starts;
  2. it makes a topmost window of the controller's class titled "TRUES 3": the target's typing,
     keys at the X server, follows the real controller's "FALSE 1" (the host engine's prediction),
     and the intruder's window is sent no notification;
  3. it writes its own window into the shared status record: the mouse monitor's lines are not
     drawn into it;
  4. it posts the private messages and only peeks at them: no "debug" box (one when it takes
     them, as before);
  5. it posts the controller the Record command: the journal does not start;
  6. zafrelctl --exit ends the real controller, whatever window of the class is in front.

  intruder_test.py --bin BUILD --predict zafrel_predict --prefix PREFIX [--arch x64]
"""
import argparse
import pathlib
import shutil
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from winedesk import (Checks, DeskHelper, driver_flag, parse_results, run_driver,  # noqa: E402
                      windows_path)

KEYS = "E M Q SPACE G H SPACE"


class IntruderTest(Checks):
    def __init__(self, args, desktop, work):
        super().__init__()
        self.args, self.desktop, self.work = args, desktop, work

    def run(self):
        elsewhere = self.work / "elsewhere"
        elsewhere.mkdir()
        shutil.copy2(pathlib.Path(self.args.bin) / "zafrelintruder.exe", elsewhere)
        intruder = DeskHelper(self.desktop, elsewhere, program="zafrelintruder.exe")
        try:
            self.play(intruder)
        finally:
            intruder.quit()

    def play(self, intruder):
        self.check(intruder.ask("squat") == "ok",
                   "the intruder holds the old mutex name, a companion-class window and a "
                   "topmost controller-class window titled \"TRUES 3\"")
        scenario = self.work / "intruded.txt"
        scenario.write_text(f"scenario intruded\ncontroller FALSE 1\nwindow Edit\n"
                            f"typist xdotool\nkeys {KEYS}\nend\n")
        want = parse_results(subprocess.run(
            [self.args.predict, str(scenario)], check=True, capture_output=True,
            text=True).stdout.splitlines())["intruded"]["TEXT"]
        controller, target, output = self.desktop.start_session(
            self.args.bin, ["--mode", "FALSE", "--font", "1", "--slots", "1,2,5,6"], scenario)
        running = controller.poll() is None
        self.check(running, "the controller started all the same")
        lines = []
        while (line := output.next(time.monotonic() + 120)) is not None:
            lines.append(line)
            if line.startswith("XDOTOOL"):
                break
        library = pathlib.Path(self.args.bin) / (
            "ZafrelXP64.dll" if self.args.arch == "x64" else "ZafrelXP.dll")
        self.check(intruder.ask(f"record {windows_path(library)}") == "ok",
                   "the intruder wrote its own window into the shared status record")
        env = self.desktop.env
        subprocess.run(["xdotool", "mousemove", "300", "200"], env=env, check=True)
        for key in KEYS.split():
            subprocess.run(["xdotool", "key", "--delay", "80", key.lower()], env=env, check=True)
            time.sleep(0.08)
        # The mouse monitor draws a line at every mouse event in a hooked program.
        for x in (320, 360, 400, 440):
            subprocess.run(["xdotool", "mousemove", str(x), "220"], env=env, check=True)
            time.sleep(0.1)
        driver_flag("xdotool", "intruded").touch()
        while (line := output.next(time.monotonic() + 120)) is not None:
            lines.append(line)
        target.wait(timeout=60)
        got = parse_results(lines).get("intruded", {}).get("TEXT")
        self.check(got == want, f"the keys typed the real controller's mode and font code: {got} "
                                f"(FALSE 1, the host engine: {want})")
        # Without the controller at work nothing is sent or drawn anywhere: these two say
        # something only while it runs.
        self.check(running and intruder.ask("told") == "0",
                   "the intruder's window of the class was sent no notification")
        self.check(running and intruder.ask("pixels") == "clean",
                   "no status line was drawn into the intruder's window")
        self.check(intruder.ask("peek") == "peeked 0 taken 1",
                   "the private messages do nothing when only peeked at; the debug box comes "
                   "once, when they are taken")
        self.check(intruder.ask("journal") == "unchecked",
                   "the intruder's Record command did not start the journal")
        started = time.monotonic()
        ended = self.desktop.run([self.desktop.controller, "--exit"], cwd=self.args.bin,
                                 timeout=120).returncode
        try:
            controller.wait(timeout=20)
        except subprocess.TimeoutExpired:
            pass
        self.check(ended == 0 and controller.poll() is not None,
                   f"--exit ended the real controller (exit {ended}, "
                   f"{time.monotonic() - started:.1f} s)")


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--bin", required=True)
    ap.add_argument("--predict", required=True)
    ap.add_argument("--prefix", required=True)
    ap.add_argument("--arch", choices=("x86", "x64"), default="x86")
    args = ap.parse_args()
    for name in ("bin", "predict", "prefix"):
        setattr(args, name, str(pathlib.Path(getattr(args, name)).resolve()))
    return run_driver("intruder", args, lambda desktop, work: IntruderTest(args, desktop, work))


if __name__ == "__main__":
    sys.exit(main())
