#!/usr/bin/env python3
"""32-bit Wine on any x86-64 Linux machine: the one way every Wine run of this project starts.

Some kernels execute i386 programs and some do not ("Exec format error" for every i386 ELF, or
32-bit code segments that fault). Where they do, Debian's 32-bit Wine runs as it is: the native
route. Where they do not, it runs under qemu-i386 user emulation: the qemu route. Wine's own
preloader must reserve the address space there (qemu 7.2 ignores MAP_FIXED_NOREPLACE, and without
the preloader Wine's loader reserves memory in 64 KiB steps and never gets going), and Wine starts
every child process through "wine-preloader" beside its loader, so a private loader folder holds a
copy of the loader and a wrapper of that name that hands the static preloader to qemu. The native
64-bit wineserver serves the emulated 32-bit clients. Nothing outside that folder is changed, and
no binfmt_misc handler is registered (that would change how every Wine on the machine starts).

The probe runs Wine's 32-bit loader once per run; ZAFREL_WINE_ROUTE=native|qemu forces a route.

    wine32.py decide                print the route and why ("qemu probe: ..."); exported as
                                    ZAFREL_WINE_PROBED, it spares the rest of the run the probe
    wine32.py line                  print the route line the Wine tests and the demo start with
    wine32.py stop                  end every Wine process of the project's two prefixes
    wine32.py prepare LOADER-DIR    build the qemu route's loader folder
    wine32.py run PROGRAM [ARGS]    run a Windows program on a private X display (the CTest
                                    emulator); WINEPREFIX names the prefix, created on first use
    wine32.py run64 PROGRAM [ARGS]  the same for a 64-bit program, under wine64 in the 64-bit
                                    prefix (build/wineprefix64), natively on every machine
"""
import fcntl
import filecmp
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[1]
WINE32_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"
STATIC_PRELOADER = "/usr/lib/wine/wine-preloader.static"
WINESERVER64 = "/usr/lib/wine/wineserver64"
QEMU = "qemu-i386-static"
DEFAULT_LOADER_DIR = ROOT / "build" / "wine32-loader"
DEFAULT_PREFIX = ROOT / "build" / "wineprefix"
FORCE_VARIABLE = "ZAFREL_WINE_ROUTE"
PROBED_VARIABLE = "ZAFREL_WINE_PROBED"
ROUTES = ("native", "qemu")
USAGE = "wine32.py decide | line | stop | prepare LOADER-DIR | run[64] PROGRAM [ARGS]"

# Our Windows programs print this flushed line first, once Wine's start-up is done. A run without
# it never reached our code: under qemu, ld.so now and then dies while loading Wine's libraries,
# or Wine's desktop process fails to come up. A second start works.
START_LINE = "START"
START_ATTEMPTS = 3


def project_version():
    """The release's version, project()'s VERSION in CMakeLists.txt: the number the Windows
    builds carry, and the one every tool's --version prints after its name."""
    text = (ROOT / "CMakeLists.txt").read_text()
    return text.split("project(ZafrelXP VERSION ", 1)[1].split()[0]


def answered_help_or_version(argv, usage, doc):
    """For a tool without argparse, before it does anything: a lone --help or -h prints the
    usage line and the tool's description, --version "NAME VERSION"; True when it answered."""
    if argv in (["--help"], ["-h"]):
        print(f"usage: {usage}\n\n{doc.strip()}")
    elif argv == ["--version"]:
        print(f"{usage.split()[0]} {project_version()}")
    else:
        return False
    return True


class WineError(Exception):
    """Wine could not be started; the message says what failed and what to do next."""


class Probe:
    """Whether this machine executes i386 programs, and what the probe saw."""

    def __init__(self, runs, detail):
        self.runs = runs
        self.detail = detail


def probe(program=WINE32_LOADER):
    """Runs the 32-bit Wine loader with --version: it answers only where i386 programs run."""
    what = f"{program} --version"
    try:
        p = subprocess.run([program, "--version"], capture_output=True, text=True, timeout=60)
    except FileNotFoundError:
        raise WineError(f"32-bit Wine is not installed ({program} is missing); run ./zafrel setup")
    except subprocess.TimeoutExpired:
        return Probe(False, f"{what} did not answer in 60 s")
    except OSError as e:
        return Probe(False, f"{what}: {os.strerror(e.errno)}" if e.errno else f"{what}: {e}")
    answer = p.stdout.strip().splitlines()[0] if p.stdout.strip() else ""
    if p.returncode == 0 and answer.startswith("wine-"):
        return Probe(True, f"{what} answered {answer}")
    if p.returncode < 0:
        try:
            name = signal.Signals(-p.returncode).name
        except ValueError:
            name = f"signal {-p.returncode}"
        return Probe(False, f"{what} was killed by {name}")
    return Probe(False, f"{what} exited {p.returncode} without a version")


def choose_route(environ, run_probe=probe):
    """The route and why: forced by the environment, cached earlier in this run, or probed."""
    forced = environ.get(FORCE_VARIABLE, "")
    if forced:
        if forced not in ROUTES:
            raise WineError(f"{FORCE_VARIABLE}={forced} is not a route; use native or qemu")
        return forced, f"forced by {FORCE_VARIABLE}={forced}"
    cached = environ.get(PROBED_VARIABLE, "")
    if cached:
        route, _, detail = cached.partition(" ")
        if route in ROUTES:
            return route, detail
    result = run_probe()
    return ("native" if result.runs else "qemu"), f"probe: {result.detail}"


def route_line(route, reason):
    """The one line the Wine tests and the demo start with."""
    if route == "native":
        return f"Wine: 32-bit programs run natively ({reason})"
    return f"Wine: 32-bit programs run through qemu-i386 emulation ({reason})"


def loader_files(loader_dir):
    """Where the qemu route's folder keeps Wine's loader and the static preloader."""
    wine_dir = pathlib.Path(loader_dir) / "lib" / "wine"
    return wine_dir / "wine", wine_dir / "wine-preloader.static"


def project_prefix():
    """The project's own prefix, never the caller's WINEPREFIX: the tests end all its processes."""
    return pathlib.Path(os.environ.get("ZAFREL_WINEPREFIX") or DEFAULT_PREFIX)


def prepare_loader(loader_dir, qemu=QEMU, loader=WINE32_LOADER, preloader=STATIC_PRELOADER,
                   with64=False, loader64=WINE64_LOADER):
    """The qemu route's private loader folder; rebuilt when a piece is missing or out of date.

    lib/wine/wine                   a copy of Wine's loader: Wine finds its DLLs relative to it
    lib/wine/wine-preloader.static  a copy of the static preloader that qemu runs
    lib/wine/wine-preloader         the wrapper Wine execs for every new process
    lib/i386-linux-gnu, share       links to the system's 32-bit Wine libraries and its data
    lib/wine/wine64                 with64: a copy of wine64, for a 64-bit prefix whose 32-bit
    lib/x86_64-linux-gnu            programs start through the wrapper beside it (runs natively)
    """
    loader_dir = pathlib.Path(loader_dir).resolve()
    for needed in (loader, preloader) + ((loader64,) if with64 else ()):
        if not os.path.exists(needed):
            raise WineError(f"{needed} is missing; run ./zafrel setup (it installs the qemu route)")
    qemu_path = shutil.which(qemu)
    if qemu_path is None:
        raise WineError(f"{qemu} is missing; run ./zafrel setup (it installs the qemu route)")
    # Absolute: Wine execs the wrapper from whatever folder the starting process is in.
    loader_copy, static = loader_files(loader_dir)
    wine_dir = loader_copy.parent
    wrapper = wine_dir / "wine-preloader"
    wrapper_text = f'#!/bin/sh\nexec "{qemu_path}" "{static}" "$@"\n'
    links = {wine_dir.parent / "i386-linux-gnu": "/usr/lib/i386-linux-gnu",
             pathlib.Path(loader_dir) / "share": "/usr/share"}
    copies = {loader_copy: loader, static: preloader}
    if with64:
        links[wine_dir.parent / "x86_64-linux-gnu"] = "/usr/lib/x86_64-linux-gnu"
        copies[wine_dir / "wine64"] = loader64

    def same(copy, original):
        # After an upgrade of Debian's Wine the copies must follow the new libraries.
        return copy.exists() and filecmp.cmp(copy, original, shallow=False)

    if wrapper.exists() and wrapper.read_text() == wrapper_text \
            and all(same(copy, original) for copy, original in copies.items()) \
            and all(link.is_symlink() and os.readlink(link) == target
                    for link, target in links.items()):
        return
    wine_dir.mkdir(parents=True, exist_ok=True)
    for copy, original in copies.items():
        shutil.copy2(original, copy)
    for link, target in links.items():
        if link.is_symlink() or link.exists():
            link.unlink()
        link.symlink_to(target)
    tmp = wrapper.with_suffix(".tmp")
    tmp.write_text(wrapper_text)
    tmp.chmod(0o755)
    tmp.replace(wrapper)


class Wine32:
    """How to start 32-bit Windows programs, wineboot and wineserver on the chosen route."""

    # A new prefix takes 20 to 45 s under qemu, now and then far longer when wineboot hangs on an
    # emulated service; then it is ended and made again.
    BOOT_SECONDS = 120
    SERVER_SECONDS = 30

    def __init__(self, route, prefix, loader_dir=DEFAULT_LOADER_DIR):
        self.route = route
        self.prefix = pathlib.Path(prefix)
        # WINELOADER must name the loader from any folder a program starts in.
        self.loader_dir = pathlib.Path(loader_dir).resolve()

    @property
    def loader(self):
        return str(loader_files(self.loader_dir)[0])

    def env(self, base):
        # No Mono or Gecko install dialogs: the tests need neither.
        overrides = "mscoree,mshtml="
        if self.route == "qemu":
            # Wine's background services now and then crash under emulation; Wine would then start
            # winedbg on them, which hangs under qemu and holds up every later program start.
            # Without winedbg a crashed process simply ends, our own programs with an exit code.
            overrides += ";winedbg.exe=d"
        env = dict(base, WINEPREFIX=str(self.prefix), WINEARCH="win32",
                   WINEDEBUG=base.get("WINEDEBUG", "-all"),
                   WINEDLLOVERRIDES=base.get("WINEDLLOVERRIDES", overrides))
        if self.route == "qemu":
            env.update(WINELOADER=self.loader, WINESERVER=WINESERVER64)
        return env

    def command(self, args):
        if self.route == "native":
            return ["wine"] + list(args)
        loader, static = loader_files(self.loader_dir)
        return [QEMU, str(static), str(loader)] + list(args)

    def wineserver(self, *flags):
        return [WINESERVER64 if self.route == "qemu" else "wineserver"] + list(flags)

    def prepare(self):
        if self.route == "qemu":
            prepare_loader(self.loader_dir)

    def stop(self, env):
        """Ends every Wine process of this prefix. Under qemu, Wine's services.exe now and then
        spins at full speed forever and keeps its wineserver alive; left behind, it would take a
        core from every later test. Processes of a prefix already deleted are found by their
        environment, since wineserver -k can no longer reach them."""
        if self.prefix.exists():
            try:
                subprocess.run(self.wineserver("-k"), env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=self.SERVER_SECONDS)
            except (subprocess.TimeoutExpired, OSError):
                pass
        for pid in processes_of_prefix(self.prefix):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass

    def ensure_prefix(self, env, log=subprocess.DEVNULL, attempts=START_ATTEMPTS):
        """Creates the prefix once (under a lock, for parallel callers), retrying Wine's start-up."""
        if (self.prefix / "system.reg").exists():
            return
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        with open(str(self.prefix) + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            for attempt in range(1, attempts + 1):
                if (self.prefix / "system.reg").exists():
                    return
                print(f"creating the Wine prefix {self.prefix} (attempt {attempt})", file=sys.stderr,
                      flush=True)
                try:
                    subprocess.run(self.command(["wineboot.exe", "-i"]), env=env, stdout=log,
                                   stderr=log, timeout=self.BOOT_SECONDS)
                    # The registry files appear when the wineserver has written them and exited;
                    # if a spinning service keeps it alive, stop() below ends it (and writes them).
                    subprocess.run(self.wineserver("-w"), env=env, stdout=log, stderr=log,
                                   timeout=self.SERVER_SECONDS)
                except subprocess.TimeoutExpired:
                    pass
                self.stop(env)
                if (self.prefix / "system.reg").exists():
                    return
                shutil.rmtree(self.prefix, ignore_errors=True)
            forced = os.environ.get(FORCE_VARIABLE)
            raise WineError(f"Wine could not create its prefix {self.prefix} in {attempts} attempts"
                            f" ({self.route} route); "
                            + (f"unset {FORCE_VARIABLE} so that the probe picks the route"
                               if forced else "run ./zafrel setup, then try again"))


class Wine64(Wine32):
    """64-bit Windows programs: Debian's wine64 runs them natively on every amd64 machine, in a
    prefix of their own (a 32-bit prefix cannot hold them). The 32-bit programs of that prefix
    (C:\\windows\\syswow64) run through Wine's 32-bit loader, which wine64 finds beside itself
    (the name without "64"): on the qemu route that is the loader folder's, whose preloader hands
    them to qemu-i386, so a copy of wine64 runs from there too."""

    LOADER = WINE64_LOADER
    BOOT_SECONDS = 90

    def __init__(self, prefix, route32="native", loader_dir=DEFAULT_LOADER_DIR):
        super().__init__("win64", prefix, loader_dir)
        self.route32 = route32

    @property
    def loader(self):
        if self.route32 == "qemu":
            return str(loader_files(self.loader_dir)[0]) + "64"
        return self.LOADER

    def env(self, base):
        return dict(base, WINEPREFIX=str(self.prefix), WINEARCH="win64", WINELOADER=self.loader,
                    WINESERVER=WINESERVER64, WINEDEBUG=base.get("WINEDEBUG", "-all"),
                    # As under qemu: a crashed background process simply ends, with no winedbg
                    # left hanging on it and holding up the programs after it.
                    WINEDLLOVERRIDES=base.get("WINEDLLOVERRIDES", "mscoree,mshtml=;winedbg.exe=d"))

    def command(self, args):
        return [self.loader] + list(args)

    def wineserver(self, *flags):
        return [WINESERVER64] + list(flags)

    def prepare(self):
        if self.route32 == "qemu":
            prepare_loader(self.loader_dir, with64=True)


def project_prefix64():
    """The 64-bit programs' own prefix beside the 32-bit one."""
    return pathlib.Path(str(project_prefix()) + "64")


def processes_of_prefix(prefix, proc="/proc"):
    """The Wine processes (loader, preloader, wineserver, or qemu running them) that have
    WINEPREFIX set to this prefix: never another program, nor another prefix's Wine."""
    wanted = b"WINEPREFIX=" + os.fsencode(str(prefix))
    found = []
    for entry in sorted(os.listdir(proc)):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            program = os.path.basename(os.readlink(os.path.join(proc, entry, "exe")))
            with open(os.path.join(proc, entry, "environ"), "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if wanted in environ and program.startswith(("qemu-i386", "wine")):
            found.append(int(entry))
    return found


def launcher(environ=None, prefix=DEFAULT_PREFIX, loader_dir=DEFAULT_LOADER_DIR):
    """The route for this run (printed once) and a launcher ready to start programs on it."""
    environ = os.environ if environ is None else environ
    route, reason = choose_route(environ)
    environ.setdefault(PROBED_VARIABLE, f"{route} {reason}")
    wine = Wine32(route, prefix, loader_dir)
    wine.prepare()
    return wine, route_line(route, reason)


def launcher64(environ=None, prefix=None, loader_dir=DEFAULT_LOADER_DIR):
    """wine64 for a 64-bit prefix whose 32-bit programs take this run's route, and its line."""
    environ = os.environ if environ is None else environ
    route, reason = choose_route(environ)
    environ.setdefault(PROBED_VARIABLE, f"{route} {reason}")
    wine = Wine64(project_prefix64() if prefix is None else prefix, route, loader_dir)
    wine.prepare()
    how = "natively" if route == "native" else "through qemu-i386 emulation"
    return wine, f"Wine: 64-bit programs run under wine64, 32-bit ones beside them {how} ({reason})"


def start_failed(returncode, stdout):
    """True when a program failed before its own code ran: it never printed the START line."""
    return returncode != 0 and stdout.split("\n", 1)[0].strip() != START_LINE


def run_to_end(command, timeout=None, input=None, text=True, **kwargs):
    """Runs a program until it ends, its output caught in files rather than pipes: Wine's
    background services, started by the program's wineserver, inherit its output and under
    emulation may hang on to it long after the program has ended, and a pipe would not end
    before they do. Wine's stderr under emulation carries stray bytes: they never fail the run.
    `input` (bytes) is the program's standard input; text=False gives the output as bytes."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
            tempfile.TemporaryFile() as given:
        given.write(input or b"")
        given.seek(0)
        process = subprocess.Popen(command, stdin=given, stdout=out, stderr=err, **kwargs)
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise
        out.seek(0)
        err.seek(0)
        stdout, stderr = out.read(), err.read()
        if text:
            stdout, stderr = stdout.decode("utf-8", "replace"), stderr.decode("utf-8", "replace")
        return subprocess.CompletedProcess(command, process.returncode, stdout, stderr)


def run_with_retry(command, attempts=START_ATTEMPTS, **kwargs):
    """Runs a program to its end; starts it again only when Wine's own start-up failed."""
    for attempt in range(1, attempts + 1):
        p = run_to_end(command, **kwargs)
        if not start_failed(p.returncode, p.stdout) or attempt == attempts:
            return p, attempt
        print(f"wine32: the program did not start (attempt {attempt}); starting it again",
              file=sys.stderr, flush=True)


def run_program(argv, arch="x86"):
    """The CTest emulator: one Windows program on a private X display, from its own folder."""
    if arch == "x64":
        wine = Wine64(project_prefix64())
    else:
        wine, _ = launcher(prefix=project_prefix())
    env = wine.env(os.environ)
    needed = {"native": "wine", "qemu": QEMU, "win64": Wine64.LOADER}[wine.route]
    for tool in ("xvfb-run", needed):
        if shutil.which(tool) is None:
            raise WineError(f"'{tool}' is missing; run ./zafrel setup")
    wine.ensure_prefix(env)
    program = pathlib.Path(argv[0]).resolve()
    # The program starts in its own folder so that it finds the DLL beside it.
    command = ["xvfb-run", "-a", "-s", "-screen 0 1024x768x24"] + wine.command(
        [program.name] + argv[1:])
    try:
        p, attempts = run_with_retry(command, cwd=program.parent, env=env)
    finally:
        wine.stop(env)
    sys.stdout.write(p.stdout)
    # Wine's stderr under emulation carries noise from background services; keep it, but last.
    sys.stderr.write(p.stderr)
    if attempts > 1:
        print(f"wine32: started after {attempts} attempts", flush=True)
    return p.returncode


def main(argv):
    if answered_help_or_version(argv, USAGE, __doc__):
        return 0
    if not argv:
        print(__doc__)
        return 2
    try:
        if argv == ["decide"]:
            print(" ".join(choose_route(os.environ)))
            return 0
        if argv == ["line"]:
            print(route_line(*choose_route(os.environ)))
            return 0
        if argv == ["stop"]:
            wine = Wine32(choose_route(os.environ)[0], project_prefix())
            wine.stop(wine.env(os.environ))
            wine64 = Wine64(project_prefix64())
            wine64.stop(wine64.env(os.environ))
            return 0
        if argv[0] == "prepare" and len(argv) == 2:
            prepare_loader(argv[1])
            return 0
        if argv[0] == "run" and len(argv) >= 2:
            return run_program(argv[1:])
        if argv[0] == "run64" and len(argv) >= 2:
            return run_program(argv[1:], arch="x64")
    except WineError as e:
        print(f"wine32: {e}", file=sys.stderr)
        return 2
    except OSError as e:
        print(f"wine32: {e}; run ./zafrel setup, then try again", file=sys.stderr)
        return 2
    print(f"wine32: unknown command {' '.join(argv)!r} (try --help)", file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
