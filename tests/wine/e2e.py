#!/usr/bin/env python3
"""End-to-end tests of the real ZafrelXP.dll under Wine and Xvfb.

The reference controller (zafrelctl.exe) loads the DLL and installs its hooks for the whole
desktop; the target program (zafreltarget.exe), a separate Wine process, plays the scenarios:
it builds the windows, switches Farsi typing on with Scroll Lock and types the keys. Each
scenario's text must equal the bytes stated in the scenario file and what the host engine
(zafrel_predict) predicts for the same keys. One scenario is typed at the X server with xdotool.

The clipboard scenarios have the controller type Unicode text from the clipboard instead; their
text must equal what the encoder (zafrel-convert --to-legacy, from the host build) makes of the
same text in the controller's font code.

The scenarios with a typeface show the text in a font generated for the font code (fonts/ in the
host build): Wine must take that face, and draw each byte with the glyph the font has for it.

Wine takes the ANSI code page from the Unix locale, and the Wine programs run under the locale
given with --locale (LANG and LC_ALL): en_US.UTF-8 gives code page 1252, fa_IR.UTF-8 the Persian
Windows' 1256. The target must say it runs under that code page, and only the scenarios whose
"codepages" line names it are played (1252 alone where a scenario names none).
"""
import argparse
import json
import pathlib
import shutil
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
from wine32 import WineError, project_version  # noqa: E402
from winedesk import (DEBIAN_PYTHON, Desktop, driver_flag, font_glyphs,  # noqa: E402
                      parse_results, type_with_xdotool)

# The locales the tests run under, and the ANSI code page Wine makes of each.
LOCALE_CODEPAGES = {"en_US.UTF-8": 1252, "fa_IR.UTF-8": 1256}

LATIN_KEYDOWNS = set(range(0x30, 0x3A)) | set(range(0x41, 0x5B)) | {0x20} | set(range(0xBA, 0xC1)) \
    | set(range(0xDB, 0xDF))


def parse_scenarios(path):
    """The fields of each scenario block that the driver needs, and the block's own lines."""
    scenarios, current = [], None
    for line in pathlib.Path(path).read_text().splitlines():
        word, _, rest = line.partition(" ")
        if word == "scenario":
            current = {"name": rest, "keys": [], "expect": None, "latin": False,
                       "notify": "on=0 off=0", "xdotool": False, "font": "1", "clipboard": None,
                       "outcome": None, "typeface": None, "fontfile": None, "codepages": [1252],
                       "lines": []}
        if current is None:
            continue
        current["lines"].append(line)
        if not word or word.startswith("#"):
            continue
        if word == "controller":
            current["font"] = rest[-1:]
        elif word == "clipboard":
            current["clipboard"] = json.loads(rest)
        elif word == "outcome":
            current["outcome"] = rest
        elif word == "keys":
            current["keys"] = rest.split()
        elif word == "expect":
            current["expect"] = rest.upper().strip()
        elif word == "latin":
            current["latin"] = rest == "yes"
        elif word == "notify":
            current["notify"] = rest
        elif word == "typist":
            current["xdotool"] = rest == "xdotool"
        elif word in ("typeface", "fontfile"):
            current[word] = rest
        elif word == "codepages":
            current["codepages"] = [int(page) for page in rest.split()]
        elif word == "end":
            scenarios.append(current)
            current = None
    return scenarios


def write_scenarios(scenarios, path):
    """A scenario file of these scenarios alone, for the target and the predictor."""
    path.write_text("".join("\n".join(s["lines"]) + "\n\n" for s in scenarios))


def installed_locales():
    """The locales the C library has, by the names `locale -a` gives ("en_US.utf8"), folded as
    glibc folds a codeset name: lower case, no hyphens."""
    names = subprocess.run(["locale", "-a"], capture_output=True, text=True, check=True).stdout
    return {name.lower().replace("-", "") for name in names.split()}


def legacy_bytes(convert, text, font):
    """The encoder's bytes for `text` in font code `font`, as an edit control holds them: each
    line break, which the encoder writes as LF, as CR LF."""
    lines = text.replace("\r\n", "\n").replace("\r", "\n")
    out = subprocess.run([convert, "--to-legacy", "--font", font], input=lines.encode(),
                         capture_output=True, check=True, timeout=60).stdout
    if not lines.endswith("\n") and out.endswith(b"\n"):
        out = out[:-1]
    return " ".join(f"{b:02X}" for b in out.replace(b"\n", b"\r\n"))


def press_hot_key(env, keys):
    """Presses the controller's hot key at the X server, into the window under the pointer."""
    subprocess.run(["xdotool", "mousemove", "300", "200"], env=env, check=True)
    subprocess.run(["xdotool", "key", "--delay", "80", keys], env=env, check=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--bin", required=True, help="folder with ZafrelXP.dll and the programs")
    ap.add_argument("--predict", required=True, help="the host build's zafrel_predict")
    ap.add_argument("--scenarios", required=True)
    ap.add_argument("--prefix", required=True, help="the Wine prefix to use (created if missing)")
    ap.add_argument("--arch", choices=("x86", "x64"), default="x86",
                    help="the programs' and the DLL's bitness (x64: under wine64)")
    ap.add_argument("--convert", help="the host build's zafrel-convert (default: beside --predict)")
    ap.add_argument("--fonts", help="the generated fonts (default: fonts/ beside --predict)")
    ap.add_argument("--locale", choices=sorted(LOCALE_CODEPAGES), default="en_US.UTF-8",
                    help="the Unix locale the Wine programs run under (LANG and LC_ALL)")
    args = ap.parse_args()
    if args.convert is None:
        args.convert = str(pathlib.Path(args.predict).parent / "zafrel-convert")
    if args.fonts is None:
        args.fonts = str(pathlib.Path(args.predict).parent / "fonts")
    for name in ("bin", "predict", "scenarios", "prefix", "convert", "fonts"):
        setattr(args, name, str(pathlib.Path(getattr(args, name)).resolve()))

    for tool in ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            print(f"e2e: '{tool}' is missing; './zafrel test' installs it", file=sys.stderr)
            return 2

    if args.locale.lower().replace("-", "") not in installed_locales():
        print(f"e2e: the locale {args.locale} is missing (locale -a); './zafrel setup' makes it",
              file=sys.stderr)
        return 2
    codepage = LOCALE_CODEPAGES[args.locale]
    every = parse_scenarios(args.scenarios)
    scenarios = [s for s in every if codepage in s["codepages"]]
    # The target and the predictor play the same file, one library state through all of it.
    tag = args.locale.split(".")[0]
    played = pathlib.Path(args.bin) / f"e2e-scenarios-{tag}.txt"
    write_scenarios(scenarios, played)
    print(f"e2e: locale {args.locale}, ANSI code page {codepage}: {len(scenarios)} of "
          f"{len(every)} scenarios", flush=True)
    predicted = parse_results(subprocess.run(
        [args.predict, str(played)], check=True, capture_output=True, text=True).stdout.splitlines())

    passed, failed = 0, 0

    def check(ok, what):
        nonlocal passed, failed
        print(("ok: " if ok else "FAILED: ") + what, flush=True)
        if ok:
            passed += 1
        else:
            failed += 1

    started = time.monotonic()
    log = open(pathlib.Path(args.bin) / f"e2e-wine-{tag}.log", "w")
    try:
        desktop = Desktop(args.prefix, log, arch=args.arch)
    except WineError as e:
        print(f"e2e: {e}", flush=True)
        return 2
    desktop.env.update(LANG=args.locale, LC_ALL=args.locale)
    print(desktop.route_line, flush=True)
    try:
        desktop.start()
        # Asked from a shell, each program answers on stdout and ends with exit 0 having started
        # nothing: a controller that started instead would still run when the run times out.
        for program in (desktop.controller, "zafreltarget.exe"):
            name = program.removesuffix(".exe")
            p = desktop.run([program, "--version"], cwd=args.bin, timeout=300)
            check((p.returncode, p.stdout) == (0, f"{name} {project_version()}\n"),
                  f"{program} --version printed {p.stdout!r} (exit {p.returncode})")
            p = desktop.run([program, "--help"], cwd=args.bin, timeout=300)
            base = name.removesuffix("64")  # the usage names both bitnesses' controllers
            check(p.returncode == 0 and p.stdout.startswith(f"usage: {base} ")
                  and f"\n       {base} --help | --version\n" in p.stdout,
                  f"{program} --help printed its usage ({p.stdout[:40]!r}..., exit {p.returncode})")
        noload = desktop.run(["zafreltarget.exe", "--no-controller"], cwd=args.bin, timeout=300)
        check("NOLOAD ok" in noload.stdout,
              "with no controller window the library refuses to load into a new process")

        controller, target, output = desktop.start_session(
            args.bin, ["--mode", "FALSE", "--font", "1"], played, fonts=args.fonts)
        lines = []
        by_name = {s["name"]: s for s in scenarios}
        deadline = time.monotonic() + 900
        while (line := output.next(deadline)) is not None:
            lines.append(line)
            if line.startswith("XDOTOOL "):
                name = line.split(" ", 1)[1].strip()
                if by_name[name]["clipboard"] is not None:
                    press_hot_key(desktop.env, "ctrl+shift+Insert")
                else:
                    type_with_xdotool(desktop.env, by_name[name]["keys"])
                driver_flag("xdotool", name).touch()
        target.wait(timeout=60)
        check(target.returncode == 0, f"the target program ran all scenarios (exit {target.returncode})")
        acp = next((line.split()[1] for line in lines if line.startswith("ACP ")), None)
        check(acp == str(codepage), f"the target runs under ANSI code page {acp} (expected "
                                    f"{codepage} under {args.locale})")
        check(controller.poll() is None, "the controller is still running")
        results = parse_results(lines)
        fonts = {s["name"]: (str(pathlib.Path(args.fonts) / s["fontfile"]),
                             results[s["name"]].get("TEXT", "").replace(" ", ""))
                 for s in scenarios if s["typeface"] and s["fontfile"] and s["name"] in results}
        missing = sorted({path for path, _ in fonts.values() if not pathlib.Path(path).exists()})
        glyphs = {}
        if fonts:
            check(not missing, "the generated fonts are there" + (
                f" (missing: {', '.join(missing)}; the host build makes them)" if missing else ""))
            try:
                glyphs = {} if missing else font_glyphs(fonts)
            except (OSError, subprocess.CalledProcessError) as e:
                check(False, f"{DEBIAN_PYTHON} read the fonts' glyphs "
                             f"({' '.join((getattr(e, 'stderr', '') or str(e)).split()[-12:])})")

        for s in scenarios:
            name = s["name"]
            got = results.get(name)
            if got is None:
                check(False, f"{name}: no result from the target")
                continue
            text = got.get("TEXT", "")
            check(got.get("TYPED") == "yes", f"{name}: keys typed")
            check(got.get("SWITCH") in ("1", "2"), f"{name}: Scroll Lock switched Farsi typing on "
                                                   f"({got.get('SWITCH')} presses)")
            if s["expect"] is not None:
                check(text == s["expect"], f"{name}: text {text} (expected {s['expect']})")
            if s["clipboard"] is None:
                want = predicted.get(name, {}).get("TEXT")
                check(text == want, f"{name}: the same text as the host engine ({want})")
            else:
                check(got.get("CLIPBOARD") == s["outcome"],
                      f"{name}: the controller says {got.get('CLIPBOARD')} (expected {s['outcome']})")
                if (s["outcome"] or "").startswith("typed"):
                    if not pathlib.Path(args.convert).exists():
                        check(False, f"{name}: {args.convert} is missing (the host build makes it)")
                    else:
                        want = legacy_bytes(args.convert, s["clipboard"], s["font"])
                        check(text == want, f"{name}: the same text as the encoder ({want})")
            keydowns = {int(k, 16) for k in got.get("KEYDOWNS", "").split()}
            if not s["latin"]:
                latin = sorted(keydowns & LATIN_KEYDOWNS)
                check(not latin, f"{name}: no Latin key-down reached the window {latin or ''}")
            check(got.get("NOTIFIED") == s["notify"],
                  f"{name}: controller notified {got.get('NOTIFIED')} (expected {s['notify']})")
            if s["typeface"]:
                check(got.get("FACE") == s["typeface"],
                      f"{name}: the window's face is {got.get('FACE')!r} "
                      f"(expected {s['typeface']!r})")
                want = glyphs.get(name)
                check(text and got.get("GLYPHS") == want,
                      f"{name}: Wine draws glyphs {got.get('GLYPHS')} (the font's glyphs for the "
                      f"bytes: {want})")
    except (WineError, subprocess.TimeoutExpired) as e:
        check(False, f"Wine: {e}")
    finally:
        desktop.stop()
        log.close()

    print(f"e2e: {len(scenarios)} scenarios in {time.monotonic() - started:.1f} s", flush=True)
    print(f"e2e: {passed} passed, {failed} failed", flush=True)
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
