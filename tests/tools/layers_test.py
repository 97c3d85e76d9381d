#!/usr/bin/env python3
"""tools/check-layers on small trees: what counts as a folder cycle and as a platform check."""
import importlib.machinery
import importlib.util
import pathlib
import subprocess
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
_loader = importlib.machinery.SourceFileLoader("check_layers", str(ROOT / "tools" / "check-layers"))
_spec = importlib.util.spec_from_loader("check_layers", _loader)
layers = importlib.util.module_from_spec(_spec)
_loader.exec_module(layers)


def tree(files):
    """A git work tree holding `files` ({path: text}); check-layers reads what git knows."""
    folder = tempfile.TemporaryDirectory()
    for path, text in files.items():
        p = pathlib.Path(folder.name) / path
        p.parent.mkdir(parents=True, exist_ok=True)
        p.write_text(text)
    subprocess.run(["git", "init", "-q", folder.name], check=True)
    return folder


class LayersTest(unittest.TestCase):
    def check(self, files):
        with tree(files) as root:
            edges, conditionals = layers.scan(root, layers.source_files(root))
            return layers.find_cycle(edges), conditionals, layers.layers(edges)

    def test_one_way_includes_give_layers(self):
        cycle, conditionals, order = self.check({
            "win32/win32.h": "#if defined(_WIN32)\n#endif\n",
            "hooklib/text.h": '#include "win32/win32.h"\n',
            "typing/a.cpp": '#include "hooklib/text.h"\n#include "typing/a.h"\n',
            "dll/entry.cpp": '#include "typing/a.h"\n  #  include "hooklib/text.h"\n',
            "tests/unit/t.cpp": '#include "dll/entry.h"\n#include "tools/s.h"\n#include <cstdio>\n',
        })
        self.assertIsNone(cycle)
        self.assertEqual(conditionals, [])  # win32/ may ask
        self.assertEqual(order, [["tools", "win32"], ["hooklib"], ["typing"], ["dll"], ["tests"]])

    def test_a_cycle_through_three_folders_is_named(self):
        cycle, _, _ = self.check({
            "hooklib/a.cpp": '#include "typing/b.h"\n',
            "typing/b.cpp": '#include "diagnostics/c.h"\n',
            "diagnostics/c.cpp": '#include "hooklib/a.h"\n',
        })
        self.assertEqual(cycle, ["diagnostics", "hooklib", "typing", "diagnostics"])

    def test_tests_and_tools_count_as_one_folder_each(self):
        cycle, _, _ = self.check({
            "tools/bench/b.cpp": '#include "tests/wine/check.h"\n',
            "tests/unit/t.cpp": '#include "tools/scenario.h"\n',
        })
        self.assertEqual(cycle, ["tests", "tools", "tests"])

    def test_platform_conditionals_outside_win32(self):
        _, conditionals, _ = self.check({
            "typing/a.cpp": "int a;\n#ifdef _WIN32\n#endif\n",
            "hooklib/b.h": "#pragma once\n  # if ZAFREL_HOST\n#endif\n",
            "win32/c.cpp": "#ifndef X\n#endif\n",
        })
        self.assertEqual(conditionals, ["hooklib/b.h:2: # if ZAFREL_HOST",
                                        "typing/a.cpp:2: #ifdef _WIN32"])


class CommandLineTest(unittest.TestCase):
    def test_help_and_unknown_options(self):
        import contextlib
        import io
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            self.assertEqual(layers.main(["check-layers", "--help"]), 0)
            self.assertEqual(layers.main(["check-layers", "--tree"]), 2)
            self.assertEqual(layers.main(["check-layers", "--version"]), 0)
        self.assertTrue(out.getvalue().startswith("Checks that the project's folders"))
        version = (ROOT / "CMakeLists.txt").read_text().split("project(ZafrelXP VERSION ")[1]
        self.assertTrue(out.getvalue().endswith(f"\ncheck-layers {version.split()[0]}\n"))
        self.assertEqual(err.getvalue(),
                         "check-layers: unknown option --tree\nusage: tools/check-layers [TREE]\n")


if __name__ == "__main__":
    unittest.main()
