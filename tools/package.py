#!/usr/bin/env python3
"""Builds the Windows installers from the release builds:

  ZafrelXP-<version>-x64.msi   both libraries and controllers, for 64-bit Windows
  ZafrelXP-<version>-x86.msi   the 32-bit library and controller, for 32-bit Windows

each with the converter, the generated fonts and the README. The version is the one the DLLs'
version resources carry (build/win32/generated/zafrel_version.h, from CMakeLists.txt's project
VERSION). wixl writes the package from installer/ZafrelXP.wxs; what wixl cannot express is added
to the package's tables afterwards with msibuild:

  - the Font table, so that Windows registers the fonts and programs list them;
  - the versions of the files that have one, which wixl does not read;
  - the Run value's component condition (start at sign-in);
  - the controller's --exit before an upgrade or removal, as an immediate action;
  - the removal of the controller's settings on uninstall;
  - the removal of an older version after the new one is in place, so that an upgrade keeps the
    settings.

  package.py [--out DIR] [--arch x64|x86|all] [--package-version A.B.C.D]

--package-version overrides the release number in the packages only (the files keep theirs): the
installer tests use it to build a later package to upgrade to.
"""
import argparse
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import uuid

from wine32 import project_version

ROOT = pathlib.Path(__file__).resolve().parent.parent
INSTALLER = ROOT / "installer"
BUILD = ROOT / "build"
FONTS = [f"ZafrelXPNazli{code}.ttf" for code in range(5)]

# Where each staged file comes from, per package.
PAYLOAD = {
    "x64": {
        "ZafrelXP.dll": BUILD / "win32" / "ZafrelXP.dll",
        "zafrelctl.exe": BUILD / "win32" / "zafrelctl.exe",
        "ZafrelXP64.dll": BUILD / "win64" / "ZafrelXP64.dll",
        "zafrelctl64.exe": BUILD / "win64" / "zafrelctl64.exe",
        "zafrel-convert.exe": BUILD / "win64" / "zafrel-convert.exe",
    },
    "x86": {
        "ZafrelXP.dll": BUILD / "win32" / "ZafrelXP.dll",
        "zafrelctl.exe": BUILD / "win32" / "zafrelctl.exe",
        "zafrel-convert.exe": BUILD / "win32" / "zafrel-convert.exe",
    },
}
for _files in PAYLOAD.values():
    _files.update({name: BUILD / "host" / "fonts" / name for name in FONTS})
    _files["FONTS-LICENSE.txt"] = BUILD / "host" / "fonts" / "LICENSE.txt"

# The files with a version resource (the release's version, language 0x409).
VERSIONED = ["ZafrelXP.dll", "ZafrelXP64.dll", "zafrelctl.exe", "zafrelctl64.exe"]

# Start at sign-in: on a new install when STARTATSIGNIN is 1 (the default); on an upgrade, only
# when the user's Run value is still there, so that turning it off in the controller lasts.
RUN_CONDITION = '(STARTATSIGNIN="1" AND NOT PREVIOUSFOUND) OR (PREVIOUSFOUND AND RUNFOUND)'

# A program of the package's Binary table run at once, its exit code ignored
# (msidbCustomActionTypeExe, msidbCustomActionTypeBinaryData, msidbCustomActionTypeContinue).
END_CONTROLLER_TYPE = 2 + 0 + 64

# The standard places of the two font actions in the execute sequence, and of InstallExecute: after
# the files, registry values, shortcuts and fonts are in place, before the product is registered
# (RegisterUser at 6000 and on).
FONT_ACTIONS = [("UnregisterFonts", 2500), ("RegisterFonts", 5300)]
INSTALL_EXECUTE = 5900


class PackageError(Exception):
    pass


def release_version(build=BUILD):
    """The version both Windows builds put in their version resources; they must agree."""
    found = set()
    for preset in ("win32", "win64"):
        header = build / preset / "generated" / "zafrel_version.h"
        try:
            text = header.read_text()
        except OSError:
            raise PackageError(f"{header} is missing; build first (./zafrel build)")
        m = re.search(r'#define ZAFREL_VERSION_TEXT "([0-9.]+)"', text)
        if not m:
            raise PackageError(f"{header} names no version")
        found.add(m.group(1))
    if len(found) != 1:
        raise PackageError(f"the win32 and win64 builds carry different versions: {sorted(found)}; "
                           "build both again")
    return found.pop()


def check_version(text):
    """Windows Installer versions: three or four numbers, the first three at most 255, 255 and
    65535 (the fourth is ignored when versions are compared)."""
    parts = text.split(".")
    limits = (255, 255, 65535, 65535)
    if not 3 <= len(parts) <= 4 or not all(p.isdigit() for p in parts) or any(
            int(p) > limit for p, limit in zip(parts, limits)):
        raise PackageError(f"'{text}' is not a Windows Installer version (A.B.C or A.B.C.D, "
                           "A and B at most 255, C at most 65535)")
    return text


def upgrade_code():
    text = (INSTALLER / "guids.wxi").read_text()
    return re.search(r'define UpgradeCode = "([0-9A-F-]{36})"', text).group(1)


def product_code(version, arch):
    """A product code of its own for each version and architecture, the same every time that
    package is built: Windows Installer tells releases apart by it, and a rebuilt package of one
    release must be recognised as that release."""
    namespace = uuid.UUID(upgrade_code())
    return str(uuid.uuid5(namespace, f"ZafrelXP {version} {arch}")).upper()


def readme_text():
    """README.md as the installed README.txt: CR LF line ends (Notepad before Windows 10 shows
    bare LF lines as one long line) and a byte order mark, so that Notepad reads it as UTF-8."""
    readme = (ROOT / "README.md").read_text(encoding="utf-8")
    return readme.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8-sig")


def stage(arch, folder):
    missing = [str(path) for path in PAYLOAD[arch].values() if not path.is_file()]
    if missing:
        raise PackageError("missing: " + ", ".join(missing) + "; build first (./zafrel build)")
    for name, path in PAYLOAD[arch].items():
        shutil.copyfile(path, folder / name)
    (folder / "README.txt").write_bytes(readme_text())
    for name in ("ZafrelXP.wxs", "guids.wxi"):
        shutil.copyfile(INSTALLER / name, folder / name)


def sql(msi, *queries):
    for query in queries:
        p = subprocess.run(["msibuild", str(msi), "-q", query], capture_output=True, text=True)
        if p.returncode != 0:
            raise PackageError(f"msibuild could not run {query!r}: {p.stderr.strip()}")


def read_table(msi, name):
    """The rows of one of a package's tables, each a list of its columns (msiinfo's export)."""
    out = subprocess.run(["msiinfo", "export", str(msi), name], capture_output=True, text=True,
                         check=True).stdout
    return [line.split("\t") for line in out.splitlines()[3:] if line]


def add_tables(msi, file_version):
    """What wixl leaves out, written into the package's tables."""
    # wixl lists every file as unversioned, with a hash. The libraries and controllers carry a
    # version resource: an upgrade that installs before it removes the older version replaces
    # a versioned file only by a higher version, and an unversioned one never over a versioned.
    for name in VERSIONED:
        sql(msi, f"UPDATE `File` SET `Version` = '{file_version}', `Language` = '1033' "
                 f"WHERE `File` = '{name}'",
            f"DELETE FROM `MsiFileHash` WHERE `File_` = '{name}'")
    sql(msi,
        # A per-machine install takes public properties from the command line only when they
        # are listed here.
        "UPDATE `Property` SET `Value` = 'PREVIOUSFOUND;NEWERFOUND;STARTATSIGNIN' "
        "WHERE `Property` = 'SecureCustomProperties'",
        f"UPDATE `Component` SET `Condition` = '{RUN_CONDITION}' WHERE `Component` = 'Run'",
        # wixl writes no row for a custom action that runs a program of the Binary table (it
        # keeps the Binary row and the sequence's); the row goes in here, running at once,
        # before InstallValidate looks for files in use.
        "DELETE FROM `CustomAction` WHERE `Action` = 'EndController'",
        "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES "
        f"('EndController', {END_CONTROLLER_TYPE}, 'EndControllerExe', "
        "'--exit \"[INSTALLDIR].\"')",
        "CREATE TABLE `Font` (`File_` CHAR(72) NOT NULL, `FontTitle` CHAR(128) "
        "PRIMARY KEY `File_`)")
    # A font's title is left empty: Windows reads a TrueType font's own name from the file.
    for name in FONTS:
        sql(msi, f"INSERT INTO `Font` (`File_`) VALUES ('{name}')")
    for action, sequence in FONT_ACTIONS:
        sql(msi, "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) "
                 f"VALUES ('{action}', {sequence})")
    # The controller keeps its settings under HKCU\Software\Zafrel\ZafrelXP; the vendor key holds
    # nothing else. "-" with no value: the key and all below it go when the controller does.
    sql(msi, "INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) "
             "VALUES ('ControllerSettings', 1, 'Software\\Zafrel', '-', 'UserData')")
    # An upgrade installs the new version first and removes the older one after it: the two share
    # their components (the GUIDs do not change), so the older one's removal leaves them, the
    # settings removal above included, to the new one. Removing the older version first would
    # take the user's settings with it: Wine does not tell that removal it is part of an upgrade
    # (no UPGRADINGPRODUCTCODE), so no condition can spare them there. The new version registers
    # itself only after that removal, because Wine's removal of the older one deletes the whole
    # registration of the upgrade code they share, and the next upgrade would not find it.
    sql(msi, "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) "
             f"VALUES ('InstallExecute', {INSTALL_EXECUTE})",
        f"UPDATE `InstallExecuteSequence` SET `Sequence` = {INSTALL_EXECUTE + 1} "
        "WHERE `Action` = 'RemoveExistingProducts'")


def build_package(arch, version, out, file_version=None):
    """One package, its files' versions those of the builds unless file_version is given."""
    file_version = file_version or release_version()
    out.mkdir(parents=True, exist_ok=True)
    msi = out / f"ZafrelXP-{version}-{arch}.msi"
    with tempfile.TemporaryDirectory(prefix="zafrel-package-") as tmp:
        folder = pathlib.Path(tmp)
        stage(arch, folder)
        built = folder / msi.name
        p = subprocess.run(["wixl", "-a", arch, "-D", f"Arch={arch}", "-D", f"Version={version}",
                            "-D", f"ProductCode={product_code(version, arch)}",
                            "-o", str(built), "ZafrelXP.wxs"],
                           cwd=folder, capture_output=True, text=True)
        # wixl prints notes on elements it skips; only its exit status and its output count.
        if p.returncode != 0 or not built.is_file():
            raise PackageError(f"wixl failed for {arch}: {(p.stderr + p.stdout).strip()}")
        add_tables(built, file_version)
        shutil.move(str(built), msi)
    return msi


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--out", default=str(BUILD / "package"), help="where the packages go")
    ap.add_argument("--arch", choices=("x64", "x86", "all"), default="all")
    ap.add_argument("--package-version", metavar="A.B.C.D",
                    help="the packages' version instead of the builds' own")
    ap.add_argument("--version", action="version", version=f"%(prog)s {project_version()}")
    args = ap.parse_args(argv)
    for tool in ("wixl", "msibuild"):
        if shutil.which(tool) is None:
            print(f"package: '{tool}' is missing; ./zafrel setup installs it", file=sys.stderr)
            return 2
    try:
        version = check_version(args.package_version or release_version())
        for arch in ("x64", "x86") if args.arch == "all" else (args.arch,):
            msi = build_package(arch, version, pathlib.Path(args.out))
            print(f"package: built {msi} ({msi.stat().st_size} bytes)", flush=True)
    except PackageError as e:
        print(f"package: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
