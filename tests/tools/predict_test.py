#!/usr/bin/env python3
"""zafrel_predict as a person runs it: help and version, and each bad input refused with its
FILE:LINE: message and exit status 2, a folder and a write error included."""
import os
import pathlib
import subprocess
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
PREDICT = os.environ.get("ZAFREL_PREDICT", str(ROOT / "build" / "host" / "zafrel_predict"))
VERSION = (ROOT / "CMakeLists.txt").read_text().split("project(ZafrelXP VERSION ")[1].split()[0]
USAGE = ("usage: zafrel_predict SCENARIO-FILE [--explain]\n"
         "       zafrel_predict --help | --version\n")
GOOD = "scenario a\ncontroller FALSE 1\nwindow Edit\nkeys E\nend\n"


def run(*args, stdout=subprocess.PIPE):
    p = subprocess.run([PREDICT, *args], stdout=stdout, stderr=subprocess.PIPE)
    return p.returncode, (p.stdout or b"").decode(), p.stderr.decode()


class PredictTest(unittest.TestCase):
    def test_help_and_version_on_standard_output(self):
        code, out, err = run("--help")
        self.assertEqual((code, err), (0, ""))
        self.assertTrue(out.startswith(USAGE))
        self.assertIn("Exit status: 0 played", out)
        self.assertEqual(run("--version"), (0, f"zafrel_predict {VERSION}\n", ""))

    def test_bad_inputs_are_refused_where_they_are(self):
        cases = [
            # (file's bytes, the message after "zafrel_predict: FILE")
            (b"scenario a\ncontroller FALSE 9\nend\n",
             ":2: controller wants a blank and a font code 0-4 after the mode word"),
            (b"scenario a\ncontroller FALSE-1\nend\n",
             ":2: controller wants a blank and a font code 0-4 after the mode word"),
            (b"scenario a\nwin\x00dow Edit\nend\n", ":2: a NUL byte in the line"),
            (b"scenario a\n\x00\nkeys E\nend\n", ":2: a NUL byte in the line"),
            (b"scenario a\nkeys E\n", ":1: scenario a has no end"),
        ]
        with tempfile.TemporaryDirectory() as d:
            for content, message in cases:
                with self.subTest(content=content):
                    path = pathlib.Path(d) / "s.txt"
                    path.write_bytes(content)
                    self.assertEqual(run(str(path)), (2, "", f"zafrel_predict: {path}{message}\n"))
            self.assertEqual(run(d), (2, "", f"zafrel_predict: cannot read {d}: Is a directory\n"))
            self.assertEqual(run(str(pathlib.Path(d) / "missing.txt")),
                             (2, "", f"zafrel_predict: cannot open {d}/missing.txt\n"))

    def test_wrong_usage(self):
        self.assertEqual(run(), (2, "", USAGE))
        self.assertEqual(run("--frobnicate"), (2, "", "zafrel_predict: unknown option --frobnicate\n"
                                               + USAGE))
        self.assertEqual(run("s.txt", "--explainx"),
                         (2, "", "zafrel_predict: unknown option --explainx\n" + USAGE))

    @unittest.skipUnless(os.path.exists("/dev/full"), "no /dev/full")
    def test_a_write_error_is_reported(self):
        with tempfile.TemporaryDirectory() as d:
            path = pathlib.Path(d) / "s.txt"
            path.write_text(GOOD)
            with open("/dev/full", "wb") as full:
                code, _, err = run(str(path), stdout=full)
            self.assertEqual((code, err), (1, "zafrel_predict: cannot write the results: "
                                              "No space left on device\n"))

    def test_a_good_file_plays(self):
        with tempfile.TemporaryDirectory() as d:
            path = pathlib.Path(d) / "s.txt"
            path.write_text(GOOD)
            code, out, err = run(str(path))
            self.assertEqual((code, err), (0, ""))
            self.assertTrue(out.startswith("SCENARIO a\nTEXT "))


if __name__ == "__main__":
    unittest.main()
