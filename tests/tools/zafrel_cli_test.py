#!/usr/bin/env python3
"""./zafrel's help as a new user meets it: every command's --help prints its options and exits 0
without installing or building anything, even where apt-get and cmake are not on the PATH; and
the same for --help and --version of each Python tool in tools/."""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]


class ZafrelHelpTest(unittest.TestCase):
    def run_bare(self, *args):
        """./zafrel with a PATH of bash, python3, sed and dirname alone."""
        with tempfile.TemporaryDirectory() as bare:
            for tool in ("bash", "python3", "sed", "dirname"):
                os.symlink(shutil.which(tool), pathlib.Path(bare) / tool)
            env = {"PATH": bare, "HOME": bare}
            return subprocess.run([str(pathlib.Path(bare) / "bash"), str(ROOT / "zafrel"), *args],
                                  capture_output=True, text=True, env=env, timeout=120)

    def test_each_command_answers_help_without_setting_up(self):
        starts = {"demo": "usage: demo.py", "bench": "usage: bench.py",
                  "package": "usage: package.py", "fuzz": "usage: fuzz.py",
                  "test": "  ./zafrel test ",
                  "build": "  ./zafrel build ", "setup": "  ./zafrel setup "}
        for command, start in starts.items():
            with self.subTest(command=command):
                p = self.run_bare(command, "--help")
                self.assertEqual(p.returncode, 0, p.stderr)
                self.assertTrue(p.stdout.startswith(start), p.stdout[:200])
                self.assertNotIn("zafrel: installing", p.stdout + p.stderr)

    @unittest.skipUnless((ROOT / "build" / "bench" / "zafrel-convert").is_file(),
                         "the optimised build is not there yet")
    def test_convert_runs_the_optimised_build(self):
        version = (ROOT / "CMakeLists.txt").read_text().split("project(ZafrelXP VERSION ")[1]
        p = self.run_bare("convert", "--version")
        self.assertEqual((p.returncode, p.stdout), (0, f"zafrel-convert {version.split()[0]}\n"))
        p = self.run_bare("convert", "--to-unicode", "--font", "1", "/nonexistent/file")
        self.assertEqual((p.returncode, p.stderr),
                         (1, "zafrel-convert: /nonexistent/file: No such file or directory\n"))

    def test_version_is_the_projects(self):
        version = (ROOT / "CMakeLists.txt").read_text().split("project(ZafrelXP VERSION ")[1]
        p = self.run_bare("version")
        self.assertEqual((p.returncode, p.stdout), (0, f"zafrel {version.split()[0]}\n"))


class ToolHelpTest(unittest.TestCase):
    """Each Python tool run by hand answers --help and --version with python3 alone on the PATH,
    fontTools missing, and writes nothing where it was started."""

    # The tool, and how its --help starts.
    HELP = {"demo.py": "usage: demo.py [-h]", "bench.py": "usage: bench.py [-h]",
            "package.py": "usage: package.py [-h]",
            "controller_screenshot.py": "usage: controller_screenshot.py [-h]",
            "mutate.py": "usage: mutate.py [-h]", "hook_chains.py": "usage: hook_chains.py [-h]",
            "convert_bench.py": "usage: convert_bench.py [-h]",
            "fuzz.py": "usage: fuzz.py [-h] [--version] [seconds]",
            "code_page_tables.py": "usage: code_page_tables.py OUT.h\n\nWrites a C++ header",
            "wine32.py": "usage: wine32.py decide | line | stop | prepare LOADER-DIR | run[64] ",
            "fonts/make_fonts.py": "usage: make_fonts.py [-h] --convert CONVERT",
            "controller/make_icons.py": "usage: make_icons.py OUT-DIR\n\nDraws the controller's",
            "check-layers": "Checks that the project's folders depend on each other one way only."}

    def run_bare(self, tool, option):
        with tempfile.TemporaryDirectory() as bare, tempfile.TemporaryDirectory() as cwd:
            os.symlink(sys.executable, pathlib.Path(bare) / "python3")
            # A fontTools that fails to import stands for a machine without python3-fonttools.
            blocked = pathlib.Path(bare) / "blocked" / "fontTools"
            blocked.mkdir(parents=True)
            (blocked / "__init__.py").write_text("raise ImportError('no fontTools here')\n")
            env = {"PATH": bare, "HOME": bare, "PYTHONPATH": str(blocked.parent)}
            p = subprocess.run([str(pathlib.Path(bare) / "python3"), str(ROOT / "tools" / tool),
                                option], capture_output=True, text=True, env=env, cwd=cwd,
                               timeout=60)
            self.assertEqual(os.listdir(cwd), [], f"{tool} {option} wrote in its folder")
            return p

    def test_each_tool_answers_help_and_version(self):
        version = (ROOT / "CMakeLists.txt").read_text().split("project(ZafrelXP VERSION ")[1]
        for tool, start in self.HELP.items():
            with self.subTest(tool=tool):
                p = self.run_bare(tool, "--help")
                self.assertEqual((p.returncode, p.stderr), (0, ""))
                self.assertTrue(p.stdout.startswith(start), p.stdout[:200])
                p = self.run_bare(tool, "--version")
                self.assertEqual((p.returncode, p.stdout, p.stderr),
                                 (0, f"{pathlib.Path(tool).name} {version.split()[0]}\n", ""))


if __name__ == "__main__":
    unittest.main()
