"""Wine programs on a private X display, for the end-to-end tests and the demo."""
import os
import pathlib
import signal
import subprocess
import time

XDOTOOL_KEYS = {
    "SPACE": "space", "ENTER": "Return", "BACK": "BackSpace", "SCROLL": "Scroll_Lock",
    "SEPARATOR": "KP_Separator", "`": "grave", "[": "bracketleft", "]": "bracketright",
    "\\": "backslash", ",": "comma", ".": "period", "/": "slash", ";": "semicolon",
    "'": "apostrophe",
}


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

    def __init__(self, prefix, log, own_display=True):
        self.log = log
        self.own_display = own_display or not os.environ.get("DISPLAY")
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.xvfb = None
        self.processes = []

    def start(self):
        if self.own_display:
            self.start_xvfb()
        prefix = pathlib.Path(self.env["WINEPREFIX"])
        if not (prefix / "system.reg").exists():
            print(f"creating the Wine prefix {prefix} (once)", flush=True)
            subprocess.run(["wineboot", "-i"], env=self.env, check=True, stdout=self.log,
                           stderr=self.log)
            subprocess.run(["wineserver", "-w"], env=self.env, check=True)

    def start_xvfb(self):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                      "1024x768x24", "-nolisten", "tcp"],
                                     pass_fds=[write_fd], stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            display = f.readline().strip()
        if not display:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + display

    def run(self, args, cwd, **kwargs):
        return subprocess.run(["wine"] + args, cwd=cwd, env=self.env, **kwargs)

    def spawn(self, args, cwd, **kwargs):
        p = subprocess.Popen(["wine"] + args, cwd=cwd, env=self.env, **kwargs)
        self.processes.append(p)
        return p

    def stop(self):
        for p in self.processes:
            if p.poll() is None:
                p.terminate()
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        for p in self.processes:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
        if self.xvfb:
            self.xvfb.send_signal(signal.SIGTERM)
            self.xvfb.wait(timeout=10)


def windows_path(path):
    """The same file as Wine's Z: drive names it."""
    return "Z:" + str(path).replace("/", "\\")


def type_with_xdotool(env, keys):
    """Types the scenario's keys at the X server, into the window under the pointer."""
    subprocess.run(["xdotool", "mousemove", "300", "200"], env=env, check=True)
    for token in keys:
        shift = token.startswith("^") and len(token) > 1
        name = token[1:] if shift else token
        keysym = XDOTOOL_KEYS.get(name, name.lower())
        subprocess.run(["xdotool", "key", "--delay", "80", ("shift+" if shift else "") + keysym],
                       env=env, check=True)
        time.sleep(0.08)


