#!/usr/bin/env python3
"""Where each library's hook procedures run on one 64-bit Wine desktop with both halves hooked.

For each half kept first in the chains (zafrelctl.exe --hooks-first 64, then 32), and once more
with the companion killed while its hooks were first, the 32-bit and the 64-bit target program
each type "E M Q SPACE" (keys injected one at a time). Wine traces every hook call
(WINEDEBUG=+pid,+hook) in the target, the controller and the companion; the table says, per case,
what the window holds and, for the keyboard hook of one key, which library Wine called in which
process and in what order, and whether the library loaded there.

  python3 tools/hook_chains.py [--prefix build/wineprefix64]     (after ./zafrel build)
"""
import argparse
import collections
import os
import pathlib
import re
import signal
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools"))
from wine32 import project_version  # noqa: E402
from winedesk import Desktop, DeskHelper, copy_four_files, parse_results, windows_path  # noqa

CALL = re.compile(r"^([0-9a-f]{4}):[0-9a-f]{4}:trace:hook:call_hook calling hook \S+ WH_KEYBOARD "
                  r"code \S+ wp (\S+) lp (\S+) module L\"(?:.*\\\\)?([^\\\\\"]+)\"")
LOADING = re.compile(r"^([0-9a-f]{4}):[0-9a-f]{4}:trace:hook:get_hook_proc loading "
                     r"L\"(?:.*\\\\)?([^\\\\\"]+)\"")
KEYS = "E M Q SPACE"
LATIN = "65 6D 71 20"


def keyboard_calls(lines):
    """[(pid, key, library, loaded)] for each WH_KEYBOARD call, in order. A library that loaded
    in a process is loaded once; one that cannot load there is "loading" again at every call."""
    calls, loads = [], collections.Counter()
    for line in lines:
        if m := CALL.match(line):
            pid, wp, lp, library = m.groups()
            # Bit 31 of lParam is set for a key-up.
            calls.append((int(pid, 16), int(wp, 16) | (int(lp, 16) & 0x80000000), library))
        elif m := LOADING.match(line):
            loads[(int(m.group(1), 16), m.group(2))] += 1
    count = collections.Counter((pid, library) for pid, _, library in calls)
    return [(pid, wp, library, loads[(pid, library)] < count[(pid, library)])
            for pid, wp, library in calls]


def chain_of_key(calls, pids, vk=0x45):
    """The calls made for the key-down of `vk`, as "library in program (loaded/not)"."""
    out = []
    for pid, key, library, loaded in calls:
        if key == vk:
            out.append(f"{library} in {pids.get(pid, f'process {pid:04x}')}"
                       + ("" if loaded else " (did not load)"))
    return out or ["no call"]


class Chains:
    def __init__(self, args, desktop, work):
        self.args, self.desktop, self.work = args, desktop, work
        self.folder = work / "ZafrelXP"
        self.traced = dict(desktop.env, WINEDEBUG="+pid,+hook")
        self.rows = []

    def target(self, bits, case, helper, controller_log, pids):
        name = f"chain_{bits}"
        path = self.work / f"{name}.txt"
        path.write_text(f"scenario {name}\ncontroller FALSE 1\nwindow Edit\n"
                        f"ancestor 2 Untitled - Notepad\nkeys {KEYS}\nend\n")
        trace = self.work / f"{case}-{bits}.trace"
        before = controller_log.stat().st_size
        with open(trace, "w") as err:
            p = self.desktop.spawn(["zafreltarget.exe", windows_path(path)],
                                   cwd=self.args.bin32 if bits == 32 else self.args.bin64,
                                   env=self.traced, stdout=subprocess.PIPE, stderr=err, text=True)
            out, _ = p.communicate(timeout=240)
        text = parse_results(out.splitlines()).get(name, {}).get("TEXT", "")
        lines = trace.read_text(errors="replace").splitlines()
        with open(controller_log, errors="replace") as f:
            f.seek(before)
            lines += f.read().splitlines()
        target_pids = {int(m.group(1), 16) for m in map(CALL.match, lines) if m} - set(pids)
        named = {**pids, **{pid: f"the {bits}-bit target" for pid in target_pids}}
        typed = "Latin" if text == LATIN else "Farsi" if text else "nothing"
        self.rows.append((case, f"{bits}-bit target", f"{typed} ({text})",
                          " -> ".join(chain_of_key(keyboard_calls(lines), named))))

    def case(self, first, kill=False):
        log = self.work / f"controller-{first}{'-killed' if kill else ''}.log"
        with open(log, "w") as f:
            controller = self.desktop.spawn(
                ["zafrelctl.exe", "--mode", "FALSE", "--font", "1", "--hooks-first", str(first)],
                cwd=self.folder, env=self.traced, stdout=f, stderr=f)
        helper = self.helper
        helper.ask("wait 14 2 60000")
        helper.ask(f"wait 15 {first} 10000")
        controller_pid, companion_pid = (int(n) for n in helper.ask("pids").split())
        pids = {controller_pid: "the controller", companion_pid: "the companion"}
        case = f"{first}-bit hooks first"
        if kill:
            for entry in pathlib.Path("/proc").iterdir():
                try:
                    cmd = (entry / "cmdline").read_bytes()
                except OSError:
                    continue
                if b"zafrelctl64.exe" in cmd and b"--companion" in cmd:
                    os.kill(int(entry.name), signal.SIGKILL)
            helper.ask("wait 14 5 10000")
            case += ", companion killed"
        for bits in (32, 64):
            self.target(bits, case, helper, log, pids)
        self.desktop.run(["zafrelctl.exe", "--exit"], cwd=self.folder, timeout=120)
        controller.wait(timeout=60)

    def run(self):
        copy_four_files(self.args.bin32, self.args.bin64, self.folder)
        self.helper = DeskHelper(self.desktop, self.args.bin64)
        try:
            self.case(64)
            self.case(32)
            self.case(64, kill=True)
        finally:
            self.helper.quit()
        print(f"{'case':38} {'program':15} {'the window holds':22} the keyboard hook's calls "
              f"for the key E, in order")
        for row in self.rows:
            print(f"{row[0]:38} {row[1]:15} {row[2]:22} {row[3]}")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    ap.add_argument("--bin32", default=str(ROOT / "build" / "win32"))
    ap.add_argument("--bin64", default=str(ROOT / "build" / "win64"))
    ap.add_argument("--prefix", default=str(ROOT / "build" / "wineprefix64"))
    ap.add_argument("--version", action="version", version=f"%(prog)s {project_version()}")
    args = ap.parse_args()
    for name in ("bin32", "bin64", "prefix"):
        setattr(args, name, str(pathlib.Path(getattr(args, name)).resolve()))
    work = pathlib.Path(tempfile.mkdtemp(prefix="zafrel-chains-"))
    log = open(work / "wine.log", "w")
    desktop = Desktop(args.prefix, log, arch="x64")
    print(desktop.route_line, flush=True)
    started = time.monotonic()
    try:
        desktop.start()
        Chains(args, desktop, work).run()
    finally:
        desktop.stop()
        log.close()
    print(f"hook_chains: {time.monotonic() - started:.0f} s; traces in {work}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
