#!/usr/bin/env python3
"""The 32-bit Wine launcher on the host: the probe's two answers, the route it picks, the commands
each route starts, the qemu loader folder, and which failures get a second start."""
import os
import pathlib
import stat
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
import wine32  # noqa: E402


def write_program(folder, name, text, mode=0o755):
    path = pathlib.Path(folder) / name
    path.write_bytes(text if isinstance(text, bytes) else text.encode())
    path.chmod(mode)
    return str(path)


def must_not_probe():
    raise AssertionError("the probe ran although the route was already known")


class ProbeTest(unittest.TestCase):
    """Real programs stand in for Wine's loader: one the kernel cannot execute, one that answers."""

    def test_answers(self):
        with tempfile.TemporaryDirectory() as d:
            cases = [
                # (program text, runs natively, the probe's detail after the program's name)
                (b"\x00\x01 not a program any kernel runs", False, " --version: Exec format error"),
                ("#!/bin/sh\necho 'wine-8.0 (Debian 8.0~repack-4)'\n", True,
                 " --version answered wine-8.0 (Debian 8.0~repack-4)"),
                ("#!/bin/sh\nexit 1\n", False, " --version exited 1 without a version"),
                ("#!/bin/sh\necho hello\n", False, " --version exited 0 without a version"),
                ("#!/bin/sh\nkill -SEGV $$\n", False, " --version was killed by SIGSEGV"),
            ]
            for i, (text, runs, detail) in enumerate(cases):
                with self.subTest(detail=detail):
                    program = write_program(d, f"wine{i}", text)
                    result = wine32.probe(program)
                    self.assertEqual((result.runs, result.detail), (runs, program + detail))
                    route, reason = wine32.choose_route({}, lambda: result)
                    self.assertEqual((route, reason),
                                     ("native" if runs else "qemu", "probe: " + program + detail))

    def test_missing_wine_says_to_run_setup(self):
        with self.assertRaisesRegex(wine32.WineError, r"/nonexistent/wine is missing.*zafrel setup"):
            wine32.probe("/nonexistent/wine")


class RouteChoiceTest(unittest.TestCase):
    def test_forced_or_cached_routes_skip_the_probe(self):
        cases = [
            ({"ZAFREL_WINE_ROUTE": "qemu"}, ("qemu", "forced by ZAFREL_WINE_ROUTE=qemu")),
            ({"ZAFREL_WINE_ROUTE": "native"}, ("native", "forced by ZAFREL_WINE_ROUTE=native")),
            # Forcing wins over what an earlier probe of the run found.
            ({"ZAFREL_WINE_ROUTE": "qemu", "ZAFREL_WINE_PROBED": "native probe: x answered wine-8.0"},
             ("qemu", "forced by ZAFREL_WINE_ROUTE=qemu")),
            ({"ZAFREL_WINE_PROBED": "qemu probe: x --version: Exec format error"},
             ("qemu", "probe: x --version: Exec format error")),
        ]
        for environ, expected in cases:
            with self.subTest(environ=environ):
                self.assertEqual(wine32.choose_route(environ, must_not_probe), expected)

    def test_malformed_cache_probes_again(self):
        answer = wine32.Probe(True, "w --version answered wine-8.0")
        self.assertEqual(wine32.choose_route({"ZAFREL_WINE_PROBED": "sideways x"}, lambda: answer),
                         ("native", "probe: w --version answered wine-8.0"))

    def test_unknown_forced_route_is_an_error(self):
        with self.assertRaisesRegex(wine32.WineError, "ZAFREL_WINE_ROUTE=x86 is not a route"):
            wine32.choose_route({"ZAFREL_WINE_ROUTE": "x86"}, must_not_probe)

    def test_route_lines(self):
        self.assertEqual(wine32.route_line("native", "probe: w answered wine-8.0"),
                         "Wine: 32-bit programs run natively (probe: w answered wine-8.0)")
        self.assertEqual(wine32.route_line("qemu", "forced by ZAFREL_WINE_ROUTE=qemu"),
                         "Wine: 32-bit programs run through qemu-i386 emulation "
                         "(forced by ZAFREL_WINE_ROUTE=qemu)")


class CommandTest(unittest.TestCase):
    def test_each_route_starts_programs_its_own_way(self):
        base = {"PATH": "/usr/bin", "WINEDEBUG": "+seh"}
        native = wine32.Wine32("native", "/p/prefix", "/p/loader")
        self.assertEqual(native.command(["a.exe", "x"]), ["wine", "a.exe", "x"])
        self.assertEqual(native.wineserver("-k"), ["wineserver", "-k"])
        self.assertEqual(native.env(base), {
            "PATH": "/usr/bin", "WINEDEBUG": "+seh", "WINEPREFIX": "/p/prefix",
            "WINEARCH": "win32", "WINEDLLOVERRIDES": "mscoree,mshtml="})

        qemu = wine32.Wine32("qemu", "/p/prefix", "/p/loader")
        self.assertEqual(qemu.command(["a.exe", "x"]), [
            "qemu-i386-static", "/p/loader/lib/wine/wine-preloader.static",
            "/p/loader/lib/wine/wine", "a.exe", "x"])
        self.assertEqual(qemu.wineserver("-k"), ["/usr/lib/wine/wineserver64", "-k"])
        self.assertEqual(qemu.env({"PATH": "/usr/bin"}), {
            "PATH": "/usr/bin", "WINEDEBUG": "-all", "WINEPREFIX": "/p/prefix",
            "WINEARCH": "win32", "WINEDLLOVERRIDES": "mscoree,mshtml=;winedbg.exe=d",
            "WINELOADER": "/p/loader/lib/wine/wine",
            "WINESERVER": "/usr/lib/wine/wineserver64"})


class LoaderFolderTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        d = self.tmp.name
        self.loader = write_program(d, "wine", "loader")
        self.preloader = write_program(d, "wine-preloader.static", "preloader")
        self.folder = pathlib.Path(d) / "loader"

    def prepare(self, qemu="echo"):
        wine32.prepare_loader(self.folder, qemu=qemu, loader=self.loader, preloader=self.preloader)

    def test_layout_and_wrapper(self):
        # With echo in qemu's place the wrapper shows exactly what Wine's child starts would run.
        self.prepare()
        wine_dir = self.folder / "lib" / "wine"
        self.assertEqual((wine_dir / "wine").read_text(), "loader")
        self.assertEqual((wine_dir / "wine-preloader.static").read_text(), "preloader")
        self.assertEqual(os.readlink(self.folder / "lib" / "i386-linux-gnu"), "/usr/lib/i386-linux-gnu")
        self.assertEqual(os.readlink(self.folder / "share"), "/usr/share")
        wrapper = wine_dir / "wine-preloader"
        self.assertTrue(wrapper.stat().st_mode & stat.S_IXUSR)
        out = subprocess.run([str(wrapper), "/x/wine", "a b.exe"], capture_output=True, text=True)
        self.assertEqual(out.stdout, f"{wine_dir / 'wine-preloader.static'} /x/wine a b.exe\n")

    def test_a_stale_folder_is_rebuilt(self):
        wine_dir = self.folder / "lib" / "wine"
        stale = [
            # (what goes stale, how to check it was mended)
            ("share link gone", lambda: (self.folder / "share").unlink(),
             lambda: os.readlink(self.folder / "share") == "/usr/share"),
            ("Wine upgraded", lambda: pathlib.Path(self.loader).write_text("loader 2"),
             lambda: (wine_dir / "wine").read_text() == "loader 2"),
            ("preloader upgraded", lambda: pathlib.Path(self.preloader).write_text("pre 2"),
             lambda: (wine_dir / "wine-preloader.static").read_text() == "pre 2"),
        ]
        for name, spoil, mended in stale:
            with self.subTest(name):
                self.prepare()
                spoil()
                self.prepare()
                self.assertTrue(mended())
        self.prepare(qemu="true")
        self.assertIn("/true\"", (wine_dir / "wine-preloader").read_text())

    def test_a_relative_folder_and_the_64_bit_loader(self):
        # Wine starts the wrapper from the folder of whichever process starts a program: the
        # preloader it names must not depend on that. A 64-bit prefix's wine64 runs from the
        # folder too, so that the 32-bit loader it starts beside it is the wrapped one.
        loader64 = write_program(self.tmp.name, "wine64", "loader64")
        cwd = os.getcwd()
        os.chdir(self.tmp.name)
        self.addCleanup(os.chdir, cwd)
        wine32.prepare_loader("loader", qemu="echo", loader=self.loader, preloader=self.preloader,
                              with64=True, loader64=loader64)
        wine_dir = self.folder / "lib" / "wine"
        self.assertEqual((wine_dir / "wine64").read_text(), "loader64")
        self.assertEqual(os.readlink(self.folder / "lib" / "x86_64-linux-gnu"),
                         "/usr/lib/x86_64-linux-gnu")
        out = subprocess.run([str(wine_dir / "wine-preloader"), "x"], cwd="/", capture_output=True,
                             text=True)
        self.assertEqual(out.stdout, f"{wine_dir / 'wine-preloader.static'} x\n")
        for route, loader in (("native", "/usr/lib/wine/wine64"), ("qemu", str(wine_dir / "wine64"))):
            with self.subTest(route):
                wine = wine32.Wine64("/p/prefix64", route, "loader")
                self.assertEqual(wine.command(["a.exe"]), [loader, "a.exe"])
                env = wine.env({})
                self.assertEqual((env["WINELOADER"], env["WINEARCH"], env["WINESERVER"]),
                                 (loader, "win64", "/usr/lib/wine/wineserver64"))

    def test_missing_pieces_say_to_run_setup(self):
        os.unlink(self.preloader)
        with self.assertRaisesRegex(wine32.WineError, "wine-preloader.static is missing.*setup"):
            self.prepare()
        with self.assertRaisesRegex(wine32.WineError, "no-such-qemu is missing.*setup"):
            wine32.prepare_loader(self.folder, qemu="no-such-qemu", loader=self.loader,
                                  preloader=self.loader)


class LeftoverProcessTest(unittest.TestCase):
    def test_only_wine_of_this_prefix_is_found(self):
        prefix = "/b/wineprefix"
        processes = [
            # (pid, program, environment)
            (11, "/usr/bin/qemu-i386-static", [b"A=1", b"WINEPREFIX=/b/wineprefix"]),
            (12, "/usr/lib/wine/wineserver64", [b"WINEPREFIX=/b/wineprefix", b"B=2"]),
            (13, "/usr/lib/wine/wine-preloader", [b"WINEPREFIX=/b/wineprefix"]),
            (14, "/usr/bin/qemu-i386-static", [b"WINEPREFIX=/b/wineprefix2"]),
            (15, "/usr/bin/python3.11", [b"WINEPREFIX=/b/wineprefix"]),
            (16, "/usr/bin/qemu-i386-static", [b"WINEPREFIX=/other"]),
            (17, "/usr/lib/wine/wineserver64", [b"XWINEPREFIX=/b/wineprefix"]),
        ]
        with tempfile.TemporaryDirectory() as proc:
            for pid, program, environ in processes:
                os.mkdir(os.path.join(proc, str(pid)))
                os.symlink(program, os.path.join(proc, str(pid), "exe"))
                pathlib.Path(proc, str(pid), "environ").write_bytes(b"\0".join(environ) + b"\0")
            os.mkdir(os.path.join(proc, "self"))
            os.mkdir(os.path.join(proc, "18"))  # gone while being read: no exe, no environ
            self.assertEqual(wine32.processes_of_prefix(prefix, proc), [11, 12, 13])


class RetryTest(unittest.TestCase):
    """Only Wine's own start-up is retried: never a run whose program reached its START line."""

    def test_what_gets_a_second_start(self):
        ldso = "Inconsistency detected by ld.so: dl-open.c: 581: _dl_open: Assertion failed"
        cases = [
            # (name, stdout, stderr and exit code of the first start, then of every later one,
            #  starts made, the stdout returned)
            ("flaky start", ("", ldso, 127), ("START\nok\n", "", 0), 2, "START\nok\n"),
            ("no desktop", ("", "no top-level window", 3), ("START\n", "", 0), 2, "START\n"),
            ("assertion failed", ("START\nFAILED: x\n", ldso, 1), ("START\n", "", 0), 1,
             "START\nFAILED: x\n"),
            ("crash after start", ("START\n", "page fault", 1), ("START\n", "", 0), 1, "START\n"),
            ("never starts", ("", ldso, 127), ("", ldso, 127), 3, ""),
            ("success with noise", ("START\nok\n", ldso, 0), ("", "", 1), 1, "START\nok\n"),
            ("not ours, success", ("hello\n", "", 0), ("", "", 1), 1, "hello\n"),
            # Bytes that are no UTF-8 in Wine's stderr must not end the run.
            ("stray bytes", ("", "\\377\\376", 127), ("START\n", "\\377", 0), 2, "START\n"),
        ]
        with tempfile.TemporaryDirectory() as d:
            for name, first, later, attempts, stdout in cases:
                with self.subTest(name):
                    count = pathlib.Path(d) / (name.replace(" ", "-") + ".count")
                    script = write_program(d, name.replace(" ", "-"), (
                        "#!/bin/sh\n"
                        f"echo x >> '{count}'\n"
                        f"if [ $(wc -l < '{count}') = 1 ]; then\n"
                        f"  printf '{first[0]}'; printf '{first[1]}' >&2; exit {first[2]}\n"
                        "fi\n"
                        f"printf '{later[0]}'; printf '{later[1]}' >&2; exit {later[2]}\n"))
                    p, tried = wine32.run_with_retry([script])
                    self.assertEqual((tried, p.stdout), (attempts, stdout))
                    self.assertEqual(len(count.read_text().splitlines()), attempts)


    def test_output_left_open_by_background_processes(self):
        # The program ends at once; what it started in the background keeps its output open
        # for a minute, as Wine's services do when they hang under emulation.
        with tempfile.TemporaryDirectory() as d:
            script = write_program(d, "leaves-a-service", (
                "#!/bin/sh\n"
                "sleep 60 &\n"
                "echo START; echo done; echo noise >&2; exit 3\n"))
            started = time.monotonic()
            p, tried = wine32.run_with_retry([script], timeout=30)
            self.assertLess(time.monotonic() - started, 10)
            self.assertEqual((tried, p.returncode, p.stdout, p.stderr),
                             (1, 3, "START\ndone\n", "noise\n"))


class PrefixTest(unittest.TestCase):
    """A prefix is made again after a failed or stuck wineboot, at most three times."""

    def test_prefix_creation_retries_only_wineboot(self):
        cases = [
            # (name, how each wineboot start behaves, starts made, prefix made)
            ("first time", ["ok"], 1, True),
            ("fails twice", ["fail", "fail", "ok"], 3, True),
            ("stuck once", ["hang", "ok"], 2, True),
            ("never", ["fail", "fail", "fail", "ok"], 3, False),
        ]
        for name, behaviour, starts, made in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as d:
                prefix = pathlib.Path(d) / "prefix"
                count = pathlib.Path(d) / "count"
                plan = " ".join(behaviour)
                wineboot = write_program(d, "wineboot", (
                    "#!/bin/sh\n"
                    f"echo x >> '{count}'\n"
                    f"set -- {plan}\n"
                    f"shift $(( $(wc -l < '{count}') - 1 ))\n"
                    f"mkdir -p '{prefix}'; touch '{prefix}/half-made'\n"
                    "case $1 in\n"
                    f"  ok) touch '{prefix}/system.reg' ;;\n"
                    "  hang) exec sleep 30 ;;\n"
                    "  *) exit 1 ;;\n"
                    "esac\n"))
                server = write_program(d, "wineserver", "#!/bin/sh\nexit 0\n")

                class FakeWine(wine32.Wine32):
                    BOOT_SECONDS = 1
                    SERVER_SECONDS = 5

                    def command(self, args):
                        return [wineboot] + list(args)

                    def wineserver(self, *flags):
                        return [server] + list(flags)

                wine = FakeWine("native", prefix)
                if made:
                    wine.ensure_prefix({})
                    self.assertEqual(sorted(os.listdir(prefix)), ["half-made", "system.reg"])
                else:
                    with self.assertRaisesRegex(wine32.WineError, "could not create its prefix .* "
                                                "in 3 attempts .native route.; run ./zafrel setup"):
                        wine.ensure_prefix({})
                    self.assertFalse(prefix.exists())
                self.assertEqual(len(count.read_text().splitlines()), starts)


if __name__ == "__main__":
    unittest.main()
