#!/usr/bin/env python3
"""The Windows installer under Wine, in a prefix of its own on a private X display:

  1. in the 64-bit prefix, the 32-bit package refuses to install;
  2. install the release's package silently, then check every file against the build, the font
     registration, the Start-menu shortcut, the Run value and the uninstall entry, and run the
     installed converter;
  3. start the installed controller as the Start menu does (zafrelctl.exe; in the 64-bit package
     it starts its 64-bit companion), type one scenario through the installed library into the
     target program in the installed font (asked for by name only), in the 64-bit package into
     the 64-bit and the 32-bit target program in turn, and leave it running;
  4. upgrade twice to later packages (with a changed README): the first ends the running
     controller, the settings stay, the start-at-sign-in choice stays (on the first time, off the
     second), one ZafrelXP stays listed; then the older package is refused;
  5. start the controller, end it with --exit, uninstall, and check that no file, shortcut, font,
     registry value or installer record of ZafrelXP is left.

The registry is read from the prefix's own files (system.reg, user.reg), which Wine writes when
its server ends: Wine is stopped before each look.

  msi_test.py --arch x64|x86 --bin BUILD-DIR --predict zafrel_predict --prefix PREFIX
"""
import argparse
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
from unittest import mock

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import package  # noqa: E402
from e2e import font_glyphs  # noqa: E402
from wine32 import WineError, run_to_end  # noqa: E402
from winedesk import Checks, Desktop, Lines, mappings, parse_results, windows_path  # noqa: E402

# msiexec takes seconds, under qemu emulation a minute at most; one that takes longer hung on a
# crash of the emulator (qemu's "uncaught target signal 11"), and is run once more.
MSIEXEC_SECONDS = 180
MSIEXEC_ATTEMPTS = 2
RUN_KEY = r"Software\Microsoft\Windows\CurrentVersion\Run"
UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall"
FONTS_KEY = r"Software\Microsoft\Windows NT\CurrentVersion\Fonts"
SETTINGS_KEY = r"Software\Zafrel\ZafrelXP"
# msiexec's exit code when the package refuses to install (a launch condition failed),
# ERROR_INSTALL_FAILURE; Wine hands Linux only its low byte.
INSTALL_FAILURE = (1603, 1603 & 0xFF)


REGISTRY_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "0": "\0"}


def unescape(text):
    r"""A value as Wine's registry files write it between quotes: \\, \", \n, \r, \t, \0 and
    \xHHHH for other characters."""
    def one(m):
        escape = m.group(1)
        if escape.startswith("x") and len(escape) > 1:
            return chr(int(escape[1:], 16))
        return REGISTRY_ESCAPES.get(escape, escape)
    return re.sub(r"\\(x[0-9a-fA-F]{1,4}|.)", one, text)


def read_registry(path):
    """A Wine registry file as {key: {value name: value}}, names in lower case. Strings come back
    unescaped, DWORDs as integers, anything else as Wine wrote it."""
    keys, current, pending = {}, None, ""
    try:
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
    except OSError:
        return keys
    for line in lines:
        if pending:
            line, pending = pending + line.strip(), ""
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("["):
            name = line[1:line.rindex("]")].replace("\\\\", "\\")
            current = keys.setdefault(name.lower(), {})
        elif current is not None and (line.startswith('"') or line.startswith("@=")):
            if line.startswith("@="):
                name, data = "", line[2:]
            else:
                m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)', line)
                if not m:
                    continue
                name, data = unescape(m.group(1)), m.group(2)
            if data.startswith('"') and data.endswith('"'):
                value = unescape(data[1:-1])
            elif data.startswith("dword:"):
                value = int(data[6:], 16)
            else:
                value = data
            current[name.lower()] = value
    return keys


def packed_guid(guid):
    """A GUID as Windows Installer writes it in its registry keys: each of the first three
    groups reversed, then each byte of the rest with its two digits swapped."""
    hexes = guid.strip("{}").replace("-", "").upper()
    swapped = "".join(hexes[i + 1] + hexes[i] for i in range(16, 32, 2))
    return hexes[7::-1] + hexes[11:7:-1] + hexes[15:11:-1] + swapped


def holding(library):
    """The processes that have the library mapped, by their command lines."""
    return sorted(mappings(library))


def files_under(folder):
    found = set()
    for path in folder.rglob("*"):
        if not path.is_symlink():
            found.add(str(path.relative_to(folder)))
    return found


class InstallerTest(Checks):
    def __init__(self, args, desktop, work):
        self.args = args
        self.desktop = desktop
        self.work = work
        super().__init__()
        self.prefix = pathlib.Path(args.prefix)
        self.drive_c = self.prefix / "drive_c"
        self.install_dir = self.drive_c / "Program Files" / "ZafrelXP"
        self.fonts_dir = self.drive_c / "windows" / "Fonts"
        self.controller_path = "C:\\Program Files\\ZafrelXP\\zafrelctl.exe"
        # 64-bit Windows: ZafrelXP64.dll for the 64-bit programs, ZafrelXP.dll for the others.
        self.libraries = ["ZafrelXP64.dll", "ZafrelXP.dll"] if args.arch == "x64" \
            else ["ZafrelXP.dll"]
        self.typing_controller = self.controller_path

    def msiexec(self, *args, log_name):
        """msiexec with a verbose log; its exit code and the log's text."""
        log = self.work / log_name
        command = self.desktop.wine.command(
            ["msiexec"] + list(args) + ["/qn", "/l*v", windows_path(log)])
        for attempt in range(1, MSIEXEC_ATTEMPTS + 1):
            try:
                p = run_to_end(command, env=self.desktop.env, timeout=MSIEXEC_SECONDS)
                break
            except subprocess.TimeoutExpired:
                if attempt == MSIEXEC_ATTEMPTS:
                    raise
                print(f"msi_test: msiexec {' '.join(args)} hung; Wine ended, run again",
                      flush=True)
                self.desktop.wine.stop(self.desktop.env)
        self.desktop.log.write(p.stderr)
        try:
            raw = log.read_bytes()
        except OSError:
            raw = b""
        text = raw.decode("utf-16") if raw.startswith(b"\xff\xfe") else raw.decode(
            "utf-8", "replace")
        return p.returncode, text

    def registry(self):
        """HKLM and HKCU as the prefix's files hold them once Wine has ended."""
        self.desktop.wine.stop(self.desktop.env)
        return (read_registry(self.prefix / "system.reg"),
                read_registry(self.prefix / "user.reg"))

    def listed(self):
        """The versions of ZafrelXP among the installed programs."""
        hklm, _ = self.registry()
        return sorted(values.get("displayversion") for key, values in hklm.items()
                      if key.startswith(UNINSTALL_KEY.lower())
                      and values.get("displayname") == "ZafrelXP")

    def unix_path(self, windows):
        """A C: path inside the prefix."""
        rest = windows.rstrip("\\")[3:] if windows[:3].upper() == "C:\\" else None
        return None if rest is None else self.drive_c / pathlib.PureWindowsPath(rest)

    def installed(self, msi, version, log_text, run_value, readme_text):
        """Everything a finished install must have put in place; the user's settings as found."""
        arch = self.args.arch
        for name, source in sorted(package.PAYLOAD[arch].items()):
            where = self.fonts_dir if name.endswith(".ttf") else self.install_dir
            target = where / name
            self.check(target.is_file() and target.read_bytes() == source.read_bytes(),
                       f"{version}: {target.relative_to(self.drive_c)} is the build's {source.name}")
        readme = self.install_dir / "README.txt"
        self.check(readme.is_file() and readme.read_bytes() == readme_text,
                   f"{version}: README.txt is this package's README, with CR LF line ends")
        listed = {row[2].split("|")[-1] for row in package.read_table(msi, "File")}
        self.check(listed == set(package.PAYLOAD[arch]) | {"README.txt"},
                   f"{version}: the package holds exactly the files checked ({sorted(listed)})")

        hklm, hkcu = self.registry()
        fonts = hklm.get(FONTS_KEY.lower(), {})
        for code in range(5):
            name = f"zafrelxp nazli {code} (truetype)"
            self.check(str(fonts.get(name, "")).lower().endswith(f"\\fonts\\zafrelxpnazli{code}.ttf"),
                       f"{version}: font registered as '{name}' ({fonts.get(name)})")
        self.check(hkcu.get(RUN_KEY.lower(), {}).get("zafrelxp") == run_value,
                   f"{version}: the Run value is {run_value!r} "
                   f"({hkcu.get(RUN_KEY.lower(), {}).get('zafrelxp')!r})")
        code = "{" + package.product_code(version, arch) + "}"
        entry = hklm.get(f"{UNINSTALL_KEY}\\{code}".lower())
        self.check(entry is not None and entry.get("displayname") == "ZafrelXP"
                   and entry.get("displayversion") == version
                   and entry.get("publisher") == "Zafrel",
                   f"{version}: the uninstall entry {code} names ZafrelXP {version} by Zafrel "
                   f"({entry and {k: entry.get(k) for k in ('displayname', 'displayversion', 'publisher')}})")
        ours = sorted(key for key, values in hklm.items() if key.startswith(UNINSTALL_KEY.lower())
                      and values.get("displayname") == "ZafrelXP")
        self.check(len(ours) == 1, f"{version}: ZafrelXP is listed once among installed programs "
                                   f"({ours})")

        # Wine's ProgramMenuFolder is the installing user's even for a per-machine package, where
        # Windows uses the one of all users: the shortcut is sought where msiexec resolved it.
        m = re.search(r"Property\(S\): ProgramMenuFolder = (.*)", log_text)
        menu = self.unix_path(m.group(1).strip()) if m else None
        link = menu / "ZafrelXP.lnk" if menu else None
        body = link.read_bytes() if link and link.is_file() else b""
        wanted = self.controller_path
        self.check(wanted.encode("utf-16-le") in body or wanted.encode("ascii") in body,
                   f"{version}: the Start-menu shortcut {m.group(1).strip() if m else '?'}"
                   f"ZafrelXP.lnk starts {wanted}")
        settings = dict(hkcu.get(SETTINGS_KEY.lower(), {}))
        self.check(settings.pop("installedversion", None) == version,
                   f"{version}: the installing user's data is marked with the version")
        return settings

    def convert(self):
        """The installed converter, a Windows console program, writes the host build's bytes both
        ways, line ends (LF and CR LF) kept as they came."""
        host = pathlib.Path(self.args.predict).with_name("zafrel-convert")
        text = "سلام دنیا\nیک ۲ سه 45\r\n".encode("utf-8")
        legacy = subprocess.run([str(host), "--to-legacy", "--font", "1"], input=text,
                                capture_output=True, check=True).stdout
        # Persian digits come back as ASCII ones: the host's reading is the one to match.
        back = subprocess.run([str(host), "--to-unicode", "--font", "1"], input=legacy,
                              capture_output=True, check=True).stdout
        for direction, given, want in (("--to-legacy", text, legacy), ("--to-unicode", legacy, back)):
            p = run_to_end(self.desktop.wine.command(
                ["C:\\Program Files\\ZafrelXP\\zafrel-convert.exe", direction, "--font", "1"]),
                input=given, text=False, env=self.desktop.env, timeout=300)
            self.check(p.returncode == 0 and p.stdout == want,
                       f"the installed zafrel-convert.exe {direction}: {p.stdout.hex(' ')} "
                       f"(the host build's: {want.hex(' ')}, exit {p.returncode})")

    def type_scenario(self, scenario):
        """The installed controller and library type the scenario, into the target program of
        each bitness the package serves; the controller runs on."""
        predicted = parse_results(subprocess.run(
            [self.args.predict, str(scenario)], check=True, capture_output=True,
            text=True).stdout.splitlines())
        want = predicted.get("installed_font_1", {}).get("TEXT")
        controller, target, output = self.desktop.start_session(
            self.args.bin, ["--mode", "FALSE", "--font", "1"], scenario,
            controller=self.typing_controller)
        self.check_typed(target, output, want, self.args.arch)
        if self.args.bin32 is not None:
            target = self.desktop.spawn(["zafreltarget.exe", windows_path(scenario)],
                                        cwd=self.args.bin32, stdout=subprocess.PIPE,
                                        stderr=self.desktop.log)
            self.check_typed(target, Lines(target.stdout), want, "x86")
        # The controller, and every program its hooks reached that still runs (Wine's desktop,
        # where it runs), hold the installed library, never the build's copy beside the target.
        for library in self.libraries:
            installed = str(self.install_dir / library)
            mapped = mappings(library.lower())
            files = set().union(*mapped.values()) if mapped else set()
            self.check(files == {installed},
                       f"{len(mapped)} processes hold {library}, all the installed file ({files})")
        return controller

    def check_typed(self, target, output, want, arch):
        lines = output.rest(time.monotonic() + 600)
        target.wait(timeout=60)
        what = f"the {arch} target program"
        self.check(target.returncode == 0, f"{what} ran (exit {target.returncode})")
        got = parse_results(lines).get("installed_font_1", {})
        self.check(got.get("TEXT") == "20 42 FD F0 6B 20 EF E7 75" and got.get("TEXT") == want,
                   f"{what}: typed {got.get('TEXT')} through {self.typing_controller} "
                   f"(the host engine: {want})")
        self.check(got.get("FACE") == "ZafrelXP Nazli 1",
                   f"{what}: the edit control found the installed font by name "
                   f"({got.get('FACE')!r})")
        source = package.PAYLOAD[self.args.arch]["ZafrelXPNazli1.ttf"]
        glyphs = font_glyphs({"installed": (str(source), got.get("TEXT", "").replace(" ", ""))})
        self.check(got.get("TEXT") and got.get("GLYPHS") == glyphs.get("installed"),
                   f"{what}: Wine draws the font's glyphs {got.get('GLYPHS')} "
                   f"({glyphs.get('installed')})")

    def start_controller(self):
        """The installed controller, in the notification area as at sign-in, once its window is
        there (the target program, with nothing to play, waits for it)."""
        empty = self.work / "nothing.txt"
        empty.write_text("# nothing to play: the controller's window is all that is awaited\n")
        controller, target, _ = self.desktop.start_session(
            self.args.bin, ["--tray"], empty, controller=self.typing_controller)
        target.wait(timeout=60)
        return controller

    def stop_controller(self, controller):
        """The person ends the installed controller (as its Exit does); the programs then let go
        of the library, which Wine's desktop process does only a moment after --exit returns."""
        p = run_to_end(self.desktop.wine.command([self.typing_controller, "--exit"]),
                       env=self.desktop.env, timeout=120)
        try:
            code = controller.wait(timeout=60)
        except subprocess.TimeoutExpired:
            code = None
        self.check(p.returncode == 0 and code == 0,
                   f"--exit ended the controller (exit {p.returncode}, controller exit {code})")
        deadline = time.monotonic() + 20
        while (holders := sum((holding(library.lower()) for library in self.libraries), [])) \
                and time.monotonic() < deadline:
            time.sleep(0.2)
        self.check(not holders, f"then no program holds {' or '.join(self.libraries)} ({holders})")

    def ended_by_installer(self, controller, what):
        """The package ends the running controller before it replaces or removes the files."""
        try:
            code = controller.wait(timeout=60)
        except subprocess.TimeoutExpired:
            code = None
        self.check(code == 0, f"{what} ended the running controller first (exit {code})")

    def ours_since(self, baseline):
        """What is new in the prefix since the baseline and ours: every file the packages install
        has "zafrel" in its path, and Windows Installer adds a cached .msi and the shortcut. Wine
        writes files of its own at any time (under emulation its services finish setting the
        prefix up late, e.g. windows/inf/input.pnf): those are not ours."""
        return [p for p in sorted(files_under(self.drive_c) - baseline)
                if "zafrel" in p.lower() or p.lower().endswith((".msi", ".lnk"))]

    def left_behind(self, baseline, codes):
        """After the uninstall: nothing of ours in the prefix's files or registry."""
        hklm, hkcu = self.registry()
        new = sorted(files_under(self.drive_c) - baseline)
        ours = self.ours_since(baseline)
        self.check(not ours, "no file of ours left in the prefix (" + (
            f"left: {ours}" if ours else f"new since the install, all Wine's: {new}") + ")")
        for place in (self.install_dir, self.fonts_dir / "ZafrelXPNazli0.ttf"):
            self.check(not place.exists(), f"{place.relative_to(self.drive_c)} is gone")
        marks = ["zafrel"] + [c.lower().strip("{}") for c in codes] + [
            packed_guid(c).lower() for c in codes]
        found = []
        for name in ("system.reg", "user.reg", "userdef.reg"):
            text = (self.prefix / name).read_text(encoding="utf-8", errors="replace").lower() \
                if (self.prefix / name).exists() else ""
            for line in text.splitlines():
                if any(mark in line for mark in marks):
                    found.append(f"{name}: {line.strip()[:100]}")
        self.check(not found, "no registry key or value names ZafrelXP, its product, upgrade or "
                              f"component codes ({found[:8]})")
        self.check(FONTS_KEY.lower() in hklm and not any(
            "zafrel" in n for n in hklm[FONTS_KEY.lower()]), "the fonts are unregistered")
        self.check("zafrelxp" not in hkcu.get(RUN_KEY.lower(), {}), "the Run value is gone")
        self.check(not any(k.startswith("software\\zafrel") for k in hkcu),
                   "the controller's settings are gone")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--arch", choices=("x64", "x86"), required=True)
    ap.add_argument("--bin", required=True, help="the Windows build with zafreltarget.exe")
    ap.add_argument("--bin32", help="x64: the win32 build, whose 32-bit target is typed into too")
    ap.add_argument("--predict", required=True, help="the host build's zafrel_predict")
    ap.add_argument("--prefix", required=True, help="a Wine prefix of the test's own (made anew)")
    args = ap.parse_args()
    for name in ("bin", "bin32", "predict", "prefix"):
        if getattr(args, name) is not None:
            setattr(args, name, str(pathlib.Path(getattr(args, name)).resolve()))
    for tool in ("Xvfb", "wixl", "msibuild", "msiinfo"):
        if shutil.which(tool) is None:
            print(f"msi_test: '{tool}' is missing; './zafrel setup' installs it", file=sys.stderr)
            return 2

    started = time.monotonic()
    work = pathlib.Path(tempfile.mkdtemp(prefix="zafrel-msi-"))
    log = open(work / "wine.log", "w")
    shutil.rmtree(args.prefix, ignore_errors=True)
    try:
        desktop = Desktop(args.prefix, log, arch=args.arch)
    except WineError as e:
        print(f"msi_test: {e}", flush=True)
        return 2
    # Wine's menu builder would copy each shortcut into the Linux desktop's menus, outside the
    # prefix, and leave them there after the uninstall.
    desktop.env["WINEDLLOVERRIDES"] += ";winemenubuilder.exe=d"
    print(desktop.route_line, flush=True)
    test = InstallerTest(args, desktop, work)
    try:
        version = package.release_version()
        major, minor, patch = (int(n) for n in version.split(".")[:3])
        # Windows Installer compares only the first three fields of a version.
        later = [f"{major}.{minor}.{patch + step}.0" for step in (1, 2)]
        # The later packages' README differs, so that an upgrade must replace a file.
        readmes = {v: package.readme_text() + (f"\r\n{v}\r\n".encode() if v in later else b"")
                   for v in [version] + later}
        packages = {}
        for v in [version] + later:
            with mock.patch.object(package, "readme_text", lambda v=v: readmes[v]):
                packages[v] = package.build_package(args.arch, v, work / v)
        other = package.build_package("x86", version, work / "other") if args.arch == "x64" \
            else None
        codes = ["{" + package.upgrade_code() + "}"] + [
            "{" + package.product_code(v, args.arch) + "}" for v in packages]
        codes += [row[1] for row in package.read_table(packages[version], "Component")]
        print(f"msi_test: packages for {version} and {', '.join(later)} "
              f"({packages[version].stat().st_size} bytes for {args.arch})", flush=True)

        desktop.start()
        baseline = files_under(test.drive_c)
        if other is not None:
            code, _ = test.msiexec("/i", windows_path(other), log_name="x86.log")
            added = test.ours_since(baseline)
            test.check(code in INSTALL_FAILURE and not added and not test.listed(),
                       f"the 32-bit package refuses 64-bit Windows (exit {code}; added: {added})")
        # A folder every user may write would hand them every controller's library and the
        # installer's own run of the controller: refused, nothing written.
        code, text = test.msiexec("/i", windows_path(packages[version]), "INSTALLDIR=C:\\ZafrelXP\\",
                                  log_name="userdir.log")
        added = test.ours_since(baseline)
        # Wine's log leaves the condition's message out; the same package installs below with
        # the folder left alone, so the folder is what its launch conditions refused.
        test.check(code in INSTALL_FAILURE and not added and not test.listed()
                   and "LaunchConditions. Return value 0" in text,
                   f"INSTALLDIR=C:\\ZafrelXP\\ refused by a launch condition (exit {code}; "
                   f"added: {added})")
        run_value = f'"{test.controller_path}" --tray'
        code, text = test.msiexec("/i", windows_path(packages[version]), log_name="install.log")
        test.check(code == 0, f"msiexec installed {packages[version].name} silently (exit {code})")
        test.installed(packages[version], version, text, run_value, readmes[version])
        test.convert()

        controller = test.type_scenario(pathlib.Path(__file__).with_name("scenario.txt"))
        code, text = test.msiexec("/i", windows_path(packages[later[0]]), log_name="upgrade1.log")
        test.check(code == 0, f"upgraded to {later[0]} (exit {code})")
        test.ended_by_installer(controller, "the upgrade")
        settings = test.installed(packages[later[0]], later[0], text, run_value, readmes[later[0]])
        test.check(settings.get("mode") == "FALSE" and settings.get("fontcode") == 1,
                   f"the upgrade kept the controller's settings ({settings})")

        # The user turns start at sign-in off, as the controller's menu does: the next upgrade
        # must leave it off.
        test.desktop.run(["reg", "delete", "HKCU\\" + RUN_KEY, "/v", "ZafrelXP", "/f"],
                         cwd=args.bin, timeout=120)
        code, text = test.msiexec("/i", windows_path(packages[later[1]]), log_name="upgrade2.log")
        test.check(code == 0, f"upgraded to {later[1]} (exit {code})")
        kept = test.installed(packages[later[1]], later[1], text, None, readmes[later[1]])
        test.check(kept == settings, f"the second upgrade kept the settings ({kept})")

        code, _ = test.msiexec("/i", windows_path(packages[version]), log_name="downgrade.log")
        test.check(code in INSTALL_FAILURE and test.listed() == [later[1]],
                   f"the older package is refused (exit {code}; installed: {test.listed()})")

        test.stop_controller(test.start_controller())
        code, _ = test.msiexec("/x", windows_path(packages[later[1]]), log_name="uninstall.log")
        test.check(code == 0, f"msiexec uninstalled ZafrelXP silently (exit {code})")
        test.left_behind(baseline, codes)
    except (WineError, subprocess.TimeoutExpired, subprocess.CalledProcessError,
            package.PackageError) as e:
        test.check(False, f"{type(e).__name__}: {e}")
    finally:
        desktop.stop()
        log.close()
    print(f"msi_test: {time.monotonic() - started:.1f} s; logs in {work}", flush=True)
    print(f"msi_test: {test.passed} passed, {test.failed} failed", flush=True)
    if test.failed == 0:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if test.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
