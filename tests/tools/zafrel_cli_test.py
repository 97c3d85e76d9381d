#!/usr/bin/env python3
"""./zafrel's help as a new user meets it: every command's --help prints its options and exits 0
without installing or building anything, even where apt-get and cmake are not on the PATH."""
import os
import pathlib
import shutil
import subprocess
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
                  "package": "usage: package.py", "test": "  ./zafrel test ",
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


if __name__ == "__main__":
    unittest.main()
