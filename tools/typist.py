"""Typing as a person types, for the speed tests and the benchmark: Persian words of the
Debian word list as keys of the common Farsi layout, with spaces, line breaks, digit runs and a
wrong letter taken back now and then; the keys pressed one after the other or overlapping as a
fast typist's do (the next key down before the last is up), typed at the X server by one xdotool
process at a fixed interval between key events.

A key token is what a scenario file's keys line holds: a key cap (A-Z, ` [ ] \\ , . / ; ', a
digit), SPACE, ENTER or BACK; "+E" presses E only and "-E" releases it only.
"""
import pathlib
import random
import re
import subprocess
import time

from winedesk import XDOTOOL_KEYS, driver_flag, parse_results

ROOT = pathlib.Path(__file__).resolve().parents[1]
LAYOUT_HEADER = ROOT / "codepage" / "layout.h"
WORD_LIST = pathlib.Path("/usr/share/hunspell/fa_IR.dic")
SEED = 20261209

# The key caps in the order of the layout's key indices.
KEY_CAPS = [chr(c) for c in range(ord("A"), ord("Z") + 1)] + list("`[]\\,./;'")
DIGITS = list("0123456789")

# Where the X pointer rests while xdotool types: keys go to the window under it (there is no
# window manager on the private display), the target's edit control or the Notepad moved to the
# top-left corner.
POINTER = (300, 200)


def letters_of_keys(header=LAYOUT_HEADER):
    """{letter: key cap} as the layout header's kLetterOfKey gives them; keys with no letter
    (written 0 there) are left out."""
    text = pathlib.Path(header).read_text()
    body = re.search(r"kLetterOfKey\[\d+\]\s*=\s*\{(.*?)\};", text, re.S)
    if body is None:
        raise ValueError(f"no kLetterOfKey table in {header}")
    entries = re.findall(r"^\s*(u'\\u([0-9A-Fa-f]{4})'|0),", body.group(1), re.M)
    if len(entries) != len(KEY_CAPS):
        raise ValueError(f"{header}: kLetterOfKey has {len(entries)} entries, "
                         f"not {len(KEY_CAPS)}")
    return {chr(int(code, 16)): cap for (_, code), cap in zip(entries, KEY_CAPS) if code}


def fold_letter(c):
    """Arabic yeh, alef maksura and kaf are the Persian yeh and keheh of the layout."""
    return {"\u064A": "\u06CC", "\u0649": "\u06CC", "\u0643": "\u06A9"}.get(c, c)


def keys_of_word(word, letters):
    """The key caps that type the word, or None when a letter of it has no key."""
    keys = []
    for c in word:
        cap = letters.get(fold_letter(c))
        if cap is None:
            return None
        keys.append(cap)
    return keys


def read_words(path=WORD_LIST, header=LAYOUT_HEADER):
    """Every word of a hunspell word list (a count, then one word a line, maybe with /flags)
    whose letters all have keys, as lists of key caps, in the list's order."""
    letters = letters_of_keys(header)
    lines = pathlib.Path(path).read_text(encoding="utf-8").splitlines()[1:]
    words = []
    for line in lines:
        keys = keys_of_word(line.split("/", 1)[0].strip(), letters)
        if keys:
            words.append(keys)
    return words


_words = None


def words():
    """The Debian Persian word list's typable words, read once."""
    global _words
    if _words is None:
        _words = read_words()
        if not _words:
            raise ValueError(f"no typable word in {WORD_LIST} (Debian's myspell-fa)")
    return _words


def key_stream(count, seed=SEED, vocabulary=None):
    """`count` key tokens of text as a person types it: words parted by SPACE, now and then
    ENTER instead; about one word in eight with a wrong letter that BACK takes back at once; now
    and then a run of digits (3, 5 and 8 among them: the library hands those keys on to the
    program as they are). The same seed gives the same stream."""
    rng = random.Random(seed)
    vocabulary = words() if vocabulary is None else vocabulary
    tokens = []
    while len(tokens) < count:
        if rng.random() < 0.1:
            tokens += [rng.choice(DIGITS) for _ in range(rng.randint(1, 4))]
        else:
            word = list(rng.choice(vocabulary))
            if rng.random() < 0.125:
                at = rng.randint(1, len(word))
                word[at:at] = [rng.choice(KEY_CAPS[:26]), "BACK"]
            tokens += word
        tokens.append("ENTER" if rng.random() < 0.08 else "SPACE")
    return tokens[:count]


def plain(tokens):
    """Each key pressed and released before the next: +A -A +B -B ..."""
    events = []
    for t in tokens:
        events += ["+" + t, "-" + t]
    return events


def rollover(tokens):
    """Each key pressed before the one before it is released: +A +B -A +C -B ... A key typed
    twice in a row is released before it goes down again, as a finger must."""
    events, held = [], None
    for t in tokens:
        if t == held:
            events.append("-" + held)
            held = None
        events.append("+" + t)
        if held is not None:
            events.append("-" + held)
        held = t
    if held is not None:
        events.append("-" + held)
    return events


def keysym(cap):
    """The X keysym of a key cap or key name, as xdotool takes it."""
    return XDOTOOL_KEYS.get(cap, cap.lower())


def xdotool_command(events, interval_ms, pointer=POINTER):
    """One xdotool run for a whole list of events: the pointer onto the window, then each key
    down or up followed by `interval_ms` of quiet (xdotool's --delay after a single key)."""
    command = ["xdotool", "mousemove", str(pointer[0]), str(pointer[1])]
    for event in events:
        if len(event) < 2 or event[0] not in "+-":
            raise ValueError(f"not a key event: {event!r}")
        command += ["keydown" if event[0] == "+" else "keyup", "--delay", str(interval_ms),
                    keysym(event[1:])]
    return command


def type_events(env, events, interval_ms):
    """Types the events at the X server of `env`; returns the seconds it took."""
    started = time.monotonic()
    subprocess.run(xdotool_command(events, interval_ms), env=env, check=True,
                   timeout=60 + len(events) * interval_ms * 3 / 1000)
    return time.monotonic() - started


# The window arrangements typed into, by the route the library takes there: a real edit control
# in the controller's mode "FALSE" (posted); an edit control under a class no program is known
# by, in mode "TRUE" (glyphs and caret keys sent); the same under a frame titled as Illustrator's
# (glyphs sent, caret keys injected: its caret moves only for real key events).
ROUTES = {
    "posted": ["controller FALSE 1", "window Edit multiline"],
    "sent": ["controller TRUES 1", "window Canvas multiline"],
    "illustrator": ["controller TRUES 1", "window Canvas multiline",
                    "ancestor 2 Adobe Illustrator 10"],
}


def scenario(name, events, busy_ms=0, route="posted"):
    """A scenario block whose keys the driver types at the X server into a multiline edit
    control, font code 1, on one of the ROUTES."""
    lines = [f"scenario {name}"] + ROUTES[route] + ["typist xdotool"]
    if busy_ms:
        lines.append(f"busy {busy_ms}")
    return "\n".join(lines + ["keys " + " ".join(events), "end", ""])


def predict(predictor, path):
    """The host engine's text for each scenario of a file: {name: hex bytes}."""
    out = subprocess.run([str(predictor), str(path)], check=True, capture_output=True,
                         text=True, timeout=300).stdout
    return {name: r.get("TEXT", "") for name, r in parse_results(out.splitlines()).items()}


def first_difference(got, want):
    """The offset of the first byte where two texts (hex bytes) differ, or None when they are
    the same."""
    a, b = got.split(), want.split()
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return None if len(a) == len(b) else min(len(a), len(b))


def difference_report(got, want, context=12):
    """Where two texts part, with the bytes around it in each; "" when they are the same."""
    at = first_difference(got, want)
    if at is None:
        return ""
    a, b = got.split(), want.split()
    start = max(0, at - context)

    def near(t):
        return " ".join(t[start:at]) + " [" + " ".join(t[at:at + context]) + "]"
    return (f"first difference at byte {at} of {len(b)} (got {len(a)}): "
            f"got ...{near(a)}... expected ...{near(b)}...")


def play_session(desktop, bin_dir, scenario_file, plan, seconds):
    """The controller and the target program on a scenario file whose scenarios all have the
    driver type: each one's events are typed at its interval when the target asks (plan: {name:
    (events, interval in ms)}). Returns the target's results by scenario, its exit code, the
    running controller and, by scenario, the seconds the typing took and the seconds the target
    went on after it before it gave its result."""
    controller, target, output = desktop.start_session(
        bin_dir, ["--mode", "FALSE", "--font", "1"], scenario_file)
    lines, typed, done = [], {}, {}
    deadline = time.monotonic() + seconds
    name = None
    while (line := output.next(deadline)) is not None:
        lines.append(line)
        if line.startswith("XDOTOOL "):
            name = line.split(" ", 1)[1].strip()
            events, interval = plan[name]
            typed[name] = type_events(desktop.env, events, interval)
            done[name] = time.monotonic()
            driver_flag("xdotool", name).touch()
        elif line.startswith("SCENARIO ") and line.split(" ", 1)[1].strip() == name:
            # How long the window went on taking keys after the last one was typed.
            done[name] = time.monotonic() - done[name]
    target.wait(timeout=60)
    timing = {n: (typed[n], done[n]) for n in typed}
    return parse_results(lines), target.returncode, controller, timing
