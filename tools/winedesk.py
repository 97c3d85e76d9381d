"""Wine programs on a private X display, for the end-to-end tests and the demo."""
import json
import os
import pathlib
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import wine32

XDOTOOL_KEYS = {
    "SPACE": "space", "ENTER": "Return", "BACK": "BackSpace", "SCROLL": "Scroll_Lock",
    "SEPARATOR": "KP_Separator", "`": "grave", "[": "bracketleft", "]": "bracketright",
    "\\": "backslash", ",": "comma", ".": "period", "/": "slash", ";": "semicolon",
    "'": "apostrophe",
}

# How long the controller and the target program may take to start before the start is retried.
READY_SECONDS = 240


class Lines:
    """The lines a program writes to its stdout pipe, each awaited no longer than a deadline, so
    that a program stuck under emulation ends the run instead of hanging it."""

    def __init__(self, pipe):
        self.fd = pipe.fileno()
        self.buffer = b""
        self.eof = False

    def next(self, deadline):
        """The next line, or None at the end of the output; TimeoutExpired at the deadline."""
        while b"\n" not in self.buffer and not self.eof:
            left = deadline - time.monotonic()
            if left <= 0:
                raise subprocess.TimeoutExpired("the Wine program", deadline)
            if select.select([self.fd], [], [], left)[0]:
                chunk = os.read(self.fd, 65536)
                self.buffer += chunk
                self.eof = not chunk
        if not self.buffer:
            return None
        line, newline, self.buffer = self.buffer.partition(b"\n")
        return (line + newline).decode("utf-8", "replace")

    def rest(self, deadline):
        lines = []
        while (line := self.next(deadline)) is not None:
            lines.append(line)
        return lines


def parse_results(lines):
    """Blocks of "KEY value" lines between SCENARIO and DONE, by scenario name."""
    results, current = {}, None
    for line in lines:
        key, _, value = line.rstrip("\r\n").partition(" ")
        if key == "SCENARIO":
            current = {"TEXT": ""}
            results[value] = current
        elif key == "DONE":
            current = None
        elif current is not None:
            current[key] = value
    return results


class Desktop:
    """A private X display with Wine's prefix ready, and the programs started on it."""

    def __init__(self, prefix, log, own_display=True, arch="x86"):
        self.log = log
        self.own_display = own_display or not os.environ.get("DISPLAY")
        if arch == "x64":
            self.wine, self.route_line = wine32.launcher64(prefix=prefix)
        else:
            self.wine, self.route_line = wine32.launcher(prefix=prefix)
        # The 64-bit reference controller is the same program, built for x64.
        self.controller = "zafrelctl64.exe" if arch == "x64" else "zafrelctl.exe"
        self.env = self.wine.env(os.environ)
        self.xvfb = None
        self.processes = []

    def start(self):
        if self.own_display:
            self.start_xvfb()
        self.wine.ensure_prefix(self.env, self.log)

    def start_xvfb(self):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                      "1024x768x24", "-nolisten", "tcp"],
                                     pass_fds=[write_fd], stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            display = f.readline().strip()
        if not display:
            raise wine32.WineError("Xvfb did not start; run ./zafrel setup")
        self.env["DISPLAY"] = ":" + display

    def run(self, args, cwd, timeout):
        """Runs a program to its end, starting it again only if Wine's own start-up failed.
        Its stdout is returned; its stderr goes to the log."""
        p = wine32.run_with_retry(self.wine.command(args), cwd=cwd, env=self.env,
                                  timeout=timeout)[0]
        self.log.write(p.stderr)
        return p

    def start_session(self, bin_dir, controller_args, scenario_file, fonts=None, controller=None):
        """Starts the reference controller (bin_dir's, or the program `controller` names) and the
        target program on a scenario file (its font files named in the folder `fonts`), and
        returns both, with the target's output, once the target has found the controller's window
        and said READY. Only this start is retried: a target that ends before READY played
        nothing."""
        target_args = ["zafreltarget.exe", windows_path(scenario_file)]
        if fonts is not None:
            target_args += ["--fonts", windows_path(fonts)]
        for attempt in range(1, wine32.START_ATTEMPTS + 1):
            started = self.spawn([controller or self.controller] + controller_args, cwd=bin_dir,
                                 stdout=self.log, stderr=self.log)
            target = self.spawn(target_args, cwd=bin_dir, stdout=subprocess.PIPE,
                                stderr=self.log)
            output = Lines(target.stdout)
            # Under qemu a start takes up to a minute or so; one that takes far longer is stuck.
            deadline = time.monotonic() + READY_SECONDS
            try:
                while (line := output.next(deadline)) is not None:
                    if line.startswith("READY"):
                        return started, target, output
            except subprocess.TimeoutExpired:
                pass
            self.log.write(f"start {attempt}: target exit {target.poll()}, "
                           f"controller exit {started.poll()}\n")
            for p in (target, started):
                if p.poll() is None:
                    p.kill()
                p.wait()
            self.processes.clear()
            self.wine.stop(self.env)
            print(f"the controller and the target program did not start (attempt {attempt})",
                  file=sys.stderr, flush=True)
        raise wine32.WineError("the controller and the target program did not start under Wine "
                               f"in {wine32.START_ATTEMPTS} attempts (their exit codes are in "
                               f"{self.log.name}); run ./zafrel setup, then try again")

    def spawn(self, args, cwd, env=None, **kwargs):
        p = subprocess.Popen(self.wine.command(args), cwd=cwd, env=env or self.env, **kwargs)
        self.processes.append(p)
        return p

    def stop(self):
        for p in self.processes:
            if p.poll() is None:
                p.terminate()
        self.wine.stop(self.env)
        for p in self.processes:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
        if self.xvfb:
            self.xvfb.send_signal(signal.SIGTERM)
            self.xvfb.wait(timeout=10)


def mappings(library):
    """Each process that has the library mapped, by its command line, with the files mapped."""
    found = {}
    for entry in pathlib.Path("/proc").iterdir():
        try:
            if not entry.name.isdigit():
                continue
            files = {line.split(None, 5)[-1] for line in (entry / "maps").read_text().splitlines()
                     if line.lower().endswith("/" + library)}
            if files:
                found[(entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(
                    "utf-8", "replace").strip()] = files
        except OSError:
            pass
    return found


class Checks:
    """The "ok: ..." / "FAILED: ..." lines of a test driver, counted."""

    def __init__(self):
        self.passed = self.failed = 0

    def check(self, ok, what):
        print(("ok: " if ok else "FAILED: ") + what, flush=True)
        if ok:
            self.passed += 1
        else:
            self.failed += 1
        return ok


class DeskHelper:
    """zafreldesk.exe (tests/wine/desk_helper.cpp), or another program of ours that is driven the
    same way, one process for a whole run: each command a line on its stdin, each answer a line
    on its stdout."""

    def __init__(self, desktop, bin_dir, program="zafreldesk.exe"):
        self.process = desktop.spawn([program], cwd=bin_dir, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=desktop.log, text=True)
        self.lines = Lines(self.process.stdout)
        first = self.lines.next(time.monotonic() + 120)
        if (first or "").strip() != "START":
            raise wine32.WineError(f"{program} did not start ({first!r})")

    def ask(self, command, seconds=90):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        return (self.lines.next(time.monotonic() + seconds) or "").strip()

    def quit(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.write("quit\n")
                self.process.stdin.flush()
            except OSError:
                pass


def run_driver(name, args, make_test):
    """The frame of a Wine test driver: a work folder, a log beside the build, a Desktop of the
    arguments' prefix and bitness started and stopped around make_test(desktop, work).run(), a
    Wine failure counted as a failed check; prints the time and the counts and returns the exit
    status. The test's run() ends the programs it talks to itself."""
    started = time.monotonic()
    work = pathlib.Path(tempfile.mkdtemp(prefix=f"zafrel-{name}-"))
    log = open(pathlib.Path(args.bin) / f"{name}-wine.log", "w")
    desktop = Desktop(args.prefix, log, arch=args.arch)
    print(desktop.route_line, flush=True)
    test = make_test(desktop, work)
    try:
        desktop.start()
        test.run()
    except (wine32.WineError, subprocess.TimeoutExpired, OSError) as e:
        test.check(False, f"Wine: {e}")
    finally:
        desktop.stop()
        log.close()
        shutil.rmtree(work, ignore_errors=True)
    print(f"{name}_test: {time.monotonic() - started:.1f} s", flush=True)
    print(f"{name}_test: {test.passed} passed, {test.failed} failed", flush=True)
    return 0 if test.failed == 0 else 1


def copy_four_files(bin32, bin64, folder):
    """The folder a user makes on 64-bit Windows: both controllers and both libraries."""
    folder.mkdir(parents=True, exist_ok=True)
    for name, build in (("zafrelctl.exe", bin32), ("ZafrelXP.dll", bin32),
                        ("zafrelctl64.exe", bin64), ("ZafrelXP64.dll", bin64)):
        shutil.copy2(pathlib.Path(build) / name, folder / name)


def windows_path(path):
    """The same file as Wine's Z: drive names it."""
    return "Z:" + str(path).replace("/", "\\")


def driver_flag(what, name):
    """The file the target program waits for after its "XDOTOOL name" or "PICTURE name" line."""
    return pathlib.Path(f"/tmp/zafrel-{what}-{name}.done")


def take_picture(env, left, top, width, height, path, margin=12):
    """Saves the X screen's rectangle as a PNG, cut down to what is drawn in it (the text, on the
    background colour of the rectangle's corners), with a margin and a thin grey frame as an edit
    field has, and without the time stamps that would make two pictures of one screen differ.
    ImageMagick by its own path: a `convert` earlier on the PATH may be another program. False
    when nothing is drawn there."""
    screen = subprocess.run(["/usr/bin/import", "-window", "root", "png:-"], env=env,
                            capture_output=True, check=True, timeout=60).stdout
    crop = ["-crop", f"{width}x{height}+{left}+{top}", "+repage"]
    # The bounding box of what differs from the corners' colour; a blank area has none.
    box = subprocess.run(["/usr/bin/convert", "png:-"] + crop + ["-format", "%@", "info:"],
                         input=screen, capture_output=True, check=True, timeout=60).stdout
    if box.startswith(b"0x0"):
        return False
    subprocess.run(["/usr/bin/convert", "png:-"] + crop + [
        "-trim", "+repage", "-bordercolor", "white", "-border", str(margin),
        "-bordercolor", "#a0a0a0", "-border", "1", "-strip", f"png:{path}"],
        input=screen, capture_output=True, check=True, timeout=60)
    return True


def type_with_xdotool(env, keys):
    """Types the scenario's keys at the X server, into the window under the pointer. The right
    Shift is pressed by its keycode (62): xdotool's "Shift_R" by name presses the left one too."""
    subprocess.run(["xdotool", "mousemove", "300", "200"], env=env, check=True)
    for token in keys:
        shift = token[0] if token[0] in "^>" and len(token) > 1 else ""
        name = token[1:] if shift else token
        keysym = XDOTOOL_KEYS.get(name, name.lower())
        if shift == ">":
            command = ["keydown", "62", "key", "--delay", "80", keysym, "keyup", "62"]
        else:
            command = ["key", "--delay", "80", ("shift+" if shift else "") + keysym]
        subprocess.run(["xdotool"] + command, env=env, check=True)
        time.sleep(0.08)


# Debian's Python, whose fontTools (python3-fonttools) reads the generated fonts; the Python
# running this test may be another one.
DEBIAN_PYTHON = "/usr/bin/python3"
FONTMAP = pathlib.Path(__file__).resolve().parent / "fonts"
GLYPHS_OF_BYTES = """
import json, sys
sys.path.insert(0, sys.argv[1])
from fontmap import GeneratedFont
fonts = {}
out = {}
for name, (path, text) in json.load(sys.stdin).items():
    font = fonts.setdefault(path, GeneratedFont(path))
    out[name] = " ".join(f"{i:X}" for i in font.glyph_ids(bytes.fromhex(text)))
json.dump(out, sys.stdout)
"""


def font_glyphs(wanted):
    """{name: (font file, text as hex bytes)} -> {name: the glyph ids the font shows for the
    bytes, as the target program prints them}."""
    out = subprocess.run([DEBIAN_PYTHON, "-c", GLYPHS_OF_BYTES, str(FONTMAP)],
                         input=json.dumps(wanted), capture_output=True, text=True, check=True,
                         timeout=120).stdout
    return json.loads(out)
