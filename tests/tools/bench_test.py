#!/usr/bin/env python3
"""The benchmark's reading of callgrind's output: which instructions are the library's, and which
hook procedure each one is charged to."""
import pathlib
import sys
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
import bench  # noqa: E402

# Name compression, a call whose inclusive cost must not count as the caller's own, inlined
# lines from another file (fi=), and contexts separated by callers.
SAMPLE = f"""# callgrind format
events: Ir
fl=(1) {ROOT}/typing/keyboard_hook.cpp
fn=(1) KeyboardProc(int, unsigned long, long)'MessageLoop::Input(KeyEvent const&)
0 10
+2 5
cfl=(2) {ROOT}/winsim/user32.cpp
cfn=(2) GetFocus()'KeyboardProc(int, unsigned long, long)
calls=3 0
0 900
fi=(3) {ROOT}/hooklib/text.h
-1 7
fe=(1)
cfn=(4) DetectTargetApplication()'KeyboardProc(int, unsigned long, long)
calls=1 0
0 50

fl=(4) {ROOT}/typing/app_detect.cpp
fn=(4)
0 40
cfn=(2)
calls=2 0
0 600

fl=(2)
fn=(2)
0 1500
fn=(5) GetMessageProc(int, unsigned long, long)'MessageLoop::Run()
0 4
fl=(5) {ROOT}/typing/prefilter.cpp
fn=(6) GetMessageProc(int, unsigned long, long)'MessageLoop::Run()
0 12
fn=(7) KeyIndexOfVirtualKey(unsigned int)'main
0 3
"""


class CallgrindTest(unittest.TestCase):
    def setUp(self):
        self.calls = {}
        self.costs = bench.parse_callgrind(SAMPLE.splitlines(True), self.calls)

    def test_self_costs_leave_out_what_callees_cost(self):
        kp = ("KeyboardProc(int, unsigned long, long)'MessageLoop::Input(KeyEvent const&)",
              f"{ROOT}/typing/keyboard_hook.cpp")
        self.assertEqual(self.costs[kp], 22)
        detect = ("DetectTargetApplication()'KeyboardProc(int, unsigned long, long)",
                  f"{ROOT}/typing/app_detect.cpp")
        self.assertEqual(self.costs[detect], 40)

    def test_charged_to_the_nearest_hook_procedure(self):
        procedures = ["KeyboardProc", "GetMessageProc"]
        self.assertEqual(bench.charge(self.costs, procedures, ROOT),
                         {"KeyboardProc": 62, "GetMessageProc": 12, "outside a hook": 3})

    def test_calls_out_of_the_library_by_name(self):
        self.assertEqual(bench.outside_calls(self.costs, self.calls, ROOT), {"GetFocus": 5})

    def test_the_library_is_its_folders(self):
        for path, own in (("typing/x.cpp", True), ("win32/win32.h", True), ("dll/entry.cpp", True),
                          ("winsim/user32.cpp", False), ("tools/bench/host_bench.cpp", False),
                          ("/usr/include/c++/12/bits/stl_tree.h", False)):
            full = path if path.startswith("/") else str(ROOT / path)
            self.assertEqual(bench.library_file(full, ROOT), own, path)


if __name__ == "__main__":
    unittest.main()
