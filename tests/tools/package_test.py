#!/usr/bin/env python3
"""The packager's tables, read back from packages built with stand-in files: the components keep
the GUIDs committed in installer/guids.wxi, the fonts are registered, the Run value has its
condition, the settings go with the controller, and the older version is removed after the new
one is in place but before the new one is registered."""
import pathlib
import re
import subprocess
import sys
import tempfile
import unittest
from unittest import mock

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
import package  # noqa: E402
from package import read_table as table  # noqa: E402


def committed_guids(arch):
    """The component GUIDs guids.wxi defines for one architecture."""
    text = (ROOT / "installer" / "guids.wxi").read_text()
    x64, x86 = re.search(r'<\?if \$\(var.Arch\) = "x64" \?>(.*)<\?else \?>(.*)<\?endif \?>',
                         text, re.S).groups()
    block = x64 if arch == "x64" else x86
    return {name: guid for name, guid in re.findall(r'define Guid(\w+) = "([0-9A-F-]+)"', block)}


class Versions(unittest.TestCase):
    def test_windows_installer_versions(self):
        for text, good in [("1.0.0.3", True), ("1.2.3", True), ("255.255.65535.65535", True),
                           ("1.0", False), ("256.0.0", False), ("1.256.0", False),
                           ("1.0.65536", False), ("1.a.0", False), ("1.0.0.0.0", False),
                           ("", False), ("1..0", False)]:
            with self.subTest(text=text):
                if good:
                    self.assertEqual(package.check_version(text), text)
                else:
                    self.assertRaises(package.PackageError, package.check_version, text)

    def test_product_codes_are_fixed_per_release_and_architecture(self):
        codes = {(v, a): package.product_code(v, a)
                 for v in ("1.0.0.3", "1.0.1.0") for a in ("x64", "x86")}
        self.assertEqual(len(set(codes.values())), 4)
        self.assertEqual(codes["1.0.0.3", "x64"], package.product_code("1.0.0.3", "x64"))
        self.assertNotIn(package.upgrade_code(), codes.values())


class Packages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        folder = pathlib.Path(cls.tmp.name)
        payload = {}
        for arch, files in package.PAYLOAD.items():
            payload[arch] = {}
            for name in files:
                stand_in = folder / "files" / arch / name
                stand_in.parent.mkdir(parents=True, exist_ok=True)
                stand_in.write_bytes(name.encode() * 10)
                payload[arch][name] = stand_in
        cls.msi = {}
        with mock.patch.dict(package.PAYLOAD, payload):
            for arch in ("x64", "x86"):
                cls.msi[arch] = package.build_package(arch, "1.0.0.3", folder / "out", "1.0.0.3")
            cls.again = package.build_package("x64", "1.0.0.3", folder / "again", "1.0.0.3")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_names(self):
        self.assertEqual({a: m.name for a, m in self.msi.items()},
                         {"x64": "ZafrelXP-1.0.0.3-x64.msi", "x86": "ZafrelXP-1.0.0.3-x86.msi"})

    def test_components_keep_their_committed_guids(self):
        for arch, msi in self.msi.items():
            with self.subTest(arch=arch):
                got = {row[0]: row[1].strip("{}") for row in table(msi, "Component")}
                self.assertEqual(got, committed_guids(arch))
        self.assertEqual(table(self.again, "Component"), table(self.msi["x64"], "Component"))
        self.assertEqual(table(self.again, "Property"), table(self.msi["x64"], "Property"))

    def test_files_and_where_they_go(self):
        for arch, msi in self.msi.items():
            with self.subTest(arch=arch):
                folder = {row[0]: row[2] for row in table(msi, "Component")}
                placed = {row[2].split("|")[-1]: folder[row[1]] for row in table(msi, "File")}
                want = {name: "FontsFolder" if name.endswith(".ttf") else "INSTALLDIR"
                        for name in list(package.PAYLOAD[arch]) + ["README.txt"]}
                self.assertEqual(placed, want)
                self.assertEqual(sorted(row[0] for row in table(msi, "Font")), package.FONTS)

    def test_registry(self):
        for arch, msi in self.msi.items():
            with self.subTest(arch=arch):
                rows = sorted(row[1:] for row in table(msi, "Registry"))
                self.assertEqual(rows, [
                    ["1", "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "ZafrelXP",
                     '"[INSTALLDIR]zafrelctl.exe" --tray', "Run"],
                    ["1", "Software\\Zafrel", "-", "", "UserData"],
                    ["1", "Software\\Zafrel\\ZafrelXP", "InstalledVersion", "[ProductVersion]",
                     "UserData"]])
                condition = {row[0]: row[4] for row in table(msi, "Component")}
                self.assertEqual(condition["Run"], package.RUN_CONDITION)
                self.assertEqual({c for n, c in condition.items() if n != "Run"}, {""})

    def test_per_user_data_has_a_per_user_key_path(self):
        for arch, msi in self.msi.items():
            with self.subTest(arch=arch):
                registry = {row[0]: row for row in table(msi, "Registry")}
                components = {row[0]: row for row in table(msi, "Component")}

                def per_user(component):
                    attributes, key_path = int(components[component][3]), components[component][5]
                    return attributes & 4 and registry[key_path][1] == "1"

                users = {row[5] for row in registry.values() if row[1] == "1"}
                users |= {row[3] for row in table(msi, "Shortcut")}
                self.assertEqual(users, {"Run", "UserData"})
                self.assertTrue(all(per_user(c) for c in users))

    def test_file_versions(self):
        for arch, msi in self.msi.items():
            with self.subTest(arch=arch):
                hashed = {row[0] for row in table(msi, "MsiFileHash")}
                got = {row[0]: (row[4], row[5], row[0] in hashed) for row in table(msi, "File")}
                want = {}
                for name in list(package.PAYLOAD[arch]) + ["README.txt"]:
                    key = name.replace("-", "_")
                    want[key] = ("1.0.0.3", "1033", False) if name in package.VERSIONED \
                        else ("", "", True)
                self.assertEqual(got, want)

    def test_execute_sequence(self):
        order = ["UnregisterFonts", "RemoveRegistryValues", "RemoveFiles", "InstallFiles",
                 "CreateShortcuts", "WriteRegistryValues", "RegisterFonts", "InstallExecute",
                 "RemoveExistingProducts", "RegisterProduct", "PublishProduct", "InstallFinalize"]
        for arch, msi in self.msi.items():
            with self.subTest(arch=arch):
                sequence = {row[0]: (int(row[2]), row[1]) for row in
                            table(msi, "InstallExecuteSequence")}
                self.assertEqual(sorted(order, key=lambda a: sequence[a][0]), order)
                self.assertEqual({sequence[a][1] for a in order}, {""})

    def test_running_controller_ends_first(self):
        for arch, msi in self.msi.items():
            with self.subTest(arch=arch):
                # The package's own copy of the controller, from the Binary table, ends the one
                # running from the installation folder: never a file a user could have replaced.
                self.assertEqual(table(msi, "CustomAction"),
                                 [["EndController", "66", "EndControllerExe",
                                   '--exit "[INSTALLDIR]."', ""]])
                self.assertIn("EndControllerExe", [row[0] for row in table(msi, "Binary")])
                sequence = {row[0]: (int(row[2]), row[1]) for row in
                            table(msi, "InstallExecuteSequence")}
                self.assertEqual(sequence["EndController"][1], "Installed OR PREVIOUSFOUND")
                self.assertLess(sequence["AppSearch"][0], sequence["EndController"][0])
                self.assertLess(sequence["EndController"][0], sequence["InstallValidate"][0])

    def test_launch_conditions_and_platform(self):
        for arch, msi in self.msi.items():
            with self.subTest(arch=arch):
                conditions = sorted(row[0] for row in table(msi, "LaunchCondition"))
                folder = ("NOT INSTALLDIR OR ((INSTALLDIR ~<< ProgramFilesFolder OR "
                          "(ProgramFiles64Folder AND INSTALLDIR ~<< ProgramFiles64Folder)) AND "
                          'NOT INSTALLDIR >< "..")')
                want = ["NOT NEWERFOUND", "Privileged", folder] + (
                    ["NOT VersionNT64"] if arch == "x86" else [])
                self.assertEqual(conditions, sorted(want))
                summary = subprocess.run(["msiinfo", "suminfo", str(msi)], capture_output=True,
                                         text=True, check=True).stdout
                self.assertIn("Template: " + ("x64" if arch == "x64" else "Intel") + ";1033",
                              summary)


if __name__ == "__main__":
    unittest.main()
