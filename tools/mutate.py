#!/usr/bin/env python3
"""Mutation testing of the hook library against the host unit tests.

Each mutant changes one decision of the library at one place (a comparison, a key-state bit
test, a table index, a constant, a return value), the unit tests are rebuilt and run, and a
mutant the tests still pass with marks behaviour no test pins down.

It works on a snapshot of the committed HEAD (or a copy of --source DIR), never on the working
tree, and builds that snapshot in its own build directory without sanitizers, for speed.

  python3 tools/mutate.py --list                 # the mutants, nothing built
  python3 tools/mutate.py --only 'typing/.*:cmp' # a subset, by regular expression on the id
  python3 tools/mutate.py                        # everything: report in build/mutate/
  python3 tools/mutate.py --headers              # the library headers' inline code as well
"""
import argparse
import json
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from wine32 import project_version

REPO = pathlib.Path(__file__).resolve().parents[1]
TEST_TIMEOUT = 60  # seconds; a mutant that hangs the suite (a loop that never ends) is killed
BUILD_TIMEOUT = 900


class MutateError(Exception):
    pass


# ---- Finding mutation points -------------------------------------------------------------------


def code_only(lines):
    """The lines with comments, string and character literals and preprocessor lines blanked
    out, column for column, so that a match on them is a place in the real line."""
    out, in_block = [], False
    for line in lines:
        chars, i = list(line), 0
        if not in_block and line.lstrip().startswith("#"):
            out.append(" " * len(line))
            continue
        while i < len(line):
            if in_block:
                end = line.find("*/", i)
                stop = len(line) if end < 0 else end + 2
                chars[i:stop] = " " * (stop - i)
                in_block, i = end < 0, stop
            elif line.startswith("//", i):
                chars[i:] = " " * (len(line) - i)
                break
            elif line.startswith("/*", i):
                in_block = True
                chars[i:i + 2] = "  "
                i += 2
            elif line[i] in "\"'":
                j = i + 1
                while j < len(line) and line[j] != line[i]:
                    j += 2 if line[j] == "\\" else 1
                chars[i + 1:j] = " " * (j - i - 1)  # keep the quotes: still a literal, no digits
                i = j + 1
            else:
                i += 1
        out.append("".join(chars))
    return out


# Comparisons and logical operators stand alone with spaces around them in this code base (it is
# clang-format clean), so a '<' glued to a name is a template bracket (static_cast<int>), and
# '<<', '->' and 'template <typename' never match.
CMP = re.compile(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s|$)")
# Only the boundary moves for '<' and '>': a flipped sign test ('nCode >= 0' -> 'nCode < 0')
# fails every hook call and says nothing the boundary mutant does not.
CMP_SWAPS = {"==": "!=", "!=": "==", "<": "<=", "<=": "<", ">": ">=", ">=": ">"}
LOGIC = re.compile(r"(?<=\s)(&&|\|\|)(?=\s|$)")
NOT = re.compile(r"!(?=[\w(])")  # '!IsKeyDown(VK_CONTROL)', '!(x & m)'; never '!='
INT = r"(?:0[xX][0-9A-Fa-f]+|\d+)[uUlL]*"
MASK = re.compile(r"(?<=\s&\s)(" + INT + r")\b")  # the constant of a bit test 'x & 0x80000000u'
INDEX = re.compile(r"(?<=[\w\]])\[([^\[\]]+)\]")
LITERAL = re.compile(r"(?<![\w.])(" + INT + r")\b")
RETURN = re.compile(r"\breturn\s+([^;]+);")
BOOL = re.compile(r"\b(true|false|TRUE|FALSE)\b")
# 'char title[kTitleFetch];', 'const int anSlotHookType[kHookSlotCount] = {': a declarator's
# size is not a decision.
DECLARATOR = re.compile(r"^\s*(?:(?!return\b)[A-Za-z_][\w:]*[\s*&]+)+\w+\[")
CONSTEXPR = re.compile(r"^\s*(?:static\s+)?constexpr\s+[\w:]+\s+\w+\s*=\s*$")


def rewrite(literal, change):
    """The literal with change() applied to its value, written the same way: hex stays hex
    (upper-case digits, as in the glyph tables) and a u suffix stays."""
    digits = literal.rstrip("uUlL")
    value = change(int(digits, 0))
    text = f"0x{value:X}" if digits[:2].lower() == "0x" else str(value)
    return text + literal[len(digits):]


def plus_one(literal):
    return rewrite(literal, lambda v: v + 1)


def other_bit(literal):
    """A different mask: a single bit moves one place up (the top bit one place down, so
    0x40000000 <-> 0x80000000: previous-state and transition bits of a key message); a wider
    mask loses its top bit (0xFF -> 0x7F)."""
    def change(v):
        if v and v & (v - 1) == 0:
            return v << 1 if v < 0x80000000 else v >> 1
        return v >> 1
    return rewrite(literal, change)


def paren_depth(code, col):
    return code.count("(", 0, col) - code.count(")", 0, col)


def changes_on_line(code):
    """(operator, start, end, replacement) for every mutation of one blanked line."""
    found = []
    for m in CMP.finditer(code):
        # An inverted null check ('msg != nullptr') only dereferences null: a crash, no news.
        if not code.startswith("nullptr", m.end() + 1):
            found.append(("cmp", m.start(), m.end(), CMP_SWAPS[m.group(1)]))
    for m in LOGIC.finditer(code):
        found.append(("logic", m.start(), m.end(), "||" if m.group(1) == "&&" else "&&"))
    for m in NOT.finditer(code):
        found.append(("not", m.start(), m.end(), ""))
    for m in MASK.finditer(code):
        found.append(("bit", m.start(), m.end(), other_bit(m.group(1))))
    declarator = DECLARATOR.match(code)
    # On a declaration ('char aszStatusLine[10][kStatusLineSize];', 'int a[k] = {'), brackets
    # before the '=' are array sizes, not lookups.
    sizes_end = 0
    if declarator:
        sizes_end = code.find("=") if "=" in code else len(code)
    for m in INDEX.finditer(code):
        inner = m.group(1).strip()
        # A loop counter ('src[i]' in the text helpers) moved one on runs off the array: a crash.
        if m.start() < sizes_end or re.fullmatch(r"[a-z]", inner):
            continue
        if re.fullmatch(INT, inner):  # a fixed column: lamAlef[0] <-> lamAlef[1], title[9]
            new = {"0": "1", "1": "0"}.get(inner, plus_one(inner))
        else:  # a computed key index: the neighbouring column of the glyph table
            new = inner + " + 1"
        found.append(("index", m.start(1), m.end(1), new))
    # Constants count where they decide something: as an argument (a title length, a scan code,
    # a generation count), a case label (a virtual key), or a named constant's value. Glyph table
    # rows are data and stay out; beside a comparison, 'n < 3' -> 'n < 4' is the same as the
    # '<' -> '<=' comparison mutant; index, bit and return operators cover their own literals.
    returns = [m.span(1) for m in RETURN.finditer(code)]
    for m in LITERAL.finditer(code):
        s, e = m.span(1)
        before = code[:s].rstrip()
        argument = paren_depth(code, s) > 0 and before.endswith(("(", ","))
        labelled = before.endswith("case") or bool(CONSTEXPR.match(code[:s]))
        covered = (code.rfind("[", 0, s) > code.rfind("]", 0, s)
                   or any(a <= s < b for a, b in returns))
        # '__attribute__((format(printf, 2, 3)))' only tells the compiler what to check.
        attribute = "__attribute__" in code[:s]
        if (argument or labelled) and not covered and not attribute:
            found.append(("const", s, e, plus_one(m.group(1))))
    for m in RETURN.finditer(code):
        value = m.group(1).strip()
        s, e = m.start(1), m.start(1) + len(value)
        swap = {"0": "1", "1": "0", "-1": "0", "nullptr": None}
        if value in swap:
            new = swap[value]
        elif BOOL.fullmatch(value):
            new = None  # the bool operator flips it
        elif re.fullmatch(INT, value):
            new = plus_one(value)
        else:
            new = "0"  # a computed result (a hook's answer, a found window) becomes 0
        if new is not None:
            found.append(("return", s, e, new))
    flips = {"true": "false", "false": "true", "TRUE": "FALSE", "FALSE": "TRUE"}
    for m in BOOL.finditer(code):
        found.append(("bool", m.start(), m.end(), flips[m.group(1)]))
    return found


DIRECTIVE = re.compile(r"^\s*#\s*(if|ifdef|ifndef|elif|else|endif)\b(.*)")
WINDOWS = re.compile(r"\b_WIN(32|64)\b")


def not_built_here(lines, code):
    """Indices of the lines whose mutants the host unit tests can never see: the branch of an
    '#if defined(_WIN32)' or '#if defined(_WIN64)' only the Windows build compiles, and
    static_assert statements (a compile-time check: a mutant there fails to build or changes
    nothing)."""
    skipped, branches, open_parens = set(), [], 0
    for n, (line, blanked) in enumerate(zip(lines, code)):
        directive = DIRECTIVE.match(line)
        if directive:
            word, condition = directive.groups()
            if word in ("if", "ifdef", "ifndef"):
                # Per open #if, whether the branch being read is Windows-only (None: either build).
                windows = WINDOWS.search(condition) is not None
                negated = word == "ifndef" or "!" in condition
                branches.append(None if not windows else not negated)
            elif word in ("elif", "else") and branches and branches[-1] is not None:
                branches[-1] = not branches[-1]
            elif word == "endif" and branches:
                branches.pop()
        elif True in branches:
            skipped.add(n)
        if open_parens > 0 or re.match(r"\s*static_assert\b", blanked):
            skipped.add(n)
            open_parens += blanked.count("(") - blanked.count(")")
    return skipped


def find_mutants(tree, sources):
    """Every mutant of the library sources, each with a stable id file:line:operator:occurrence."""
    mutants = []
    for rel in sources:
        lines = (tree / rel).read_bytes().decode().split("\n")
        code = code_only(lines)
        skipped = not_built_here(lines, code)
        for number, (line, blanked) in enumerate(zip(lines, code), start=1):
            if number - 1 in skipped:
                continue
            seen = {}
            for op, start, end, new in sorted(changes_on_line(blanked), key=lambda c: (c[1], c[0])):
                seen[op] = seen.get(op, 0) + 1
                mutants.append({"id": f"{rel}:{number}:{op}:{seen[op]}", "file": rel,
                                "line": number, "start": start, "end": end, "new": new,
                                "before": line.strip(),
                                "after": (line[:start] + new + line[end:]).strip()})
    return mutants


def library_files(tree):
    """ZAFREL_LIB_SOURCES from the tree's own CMakeLists.txt."""
    text = (tree / "CMakeLists.txt").read_text()
    block = re.search(r"set\(ZAFREL_LIB_SOURCES\s+([^)]*)\)", text)
    if not block:
        raise MutateError(f"no ZAFREL_LIB_SOURCES in {tree / 'CMakeLists.txt'}")
    return block.group(1).split()


def library_sources(tree):
    """The library's .cpp files, less win32/ (the host build has the fake desktop in its place)."""
    return [s for s in library_files(tree) if s.endswith(".cpp") and not s.startswith("win32/")]


def library_headers(tree):
    """The .h files of the library's folders, win32/ included: its header's inline helpers are
    built on the host too. Their inline functions and constants are compiled into every file
    that includes them, the unit tests among them."""
    folders = sorted({f.split("/")[0] for f in library_files(tree)} | {"win32"})
    return [str(h.relative_to(tree)) for folder in folders
            for h in sorted((tree / folder).glob("*.h"))]


# ---- Snapshot, build and test ------------------------------------------------------------------


def run(cmd, log, timeout=BUILD_TIMEOUT):
    with open(log, "w") as out:
        return subprocess.run(cmd, stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode


def refresh_snapshot(source, src):
    """Brings src up to the source tree (HEAD when source is None), rewriting only files that
    differ, so that the build directory stays valid and the next build is incremental."""
    with tempfile.TemporaryDirectory(dir=src.parent) as tmp:
        fresh = pathlib.Path(tmp) / "src"
        if source is None:
            fresh.mkdir()
            archive = subprocess.run(["git", "-C", str(REPO), "archive", "HEAD"],
                                     capture_output=True)
            if archive.returncode != 0:
                raise MutateError("git archive HEAD failed: " + archive.stderr.decode().strip())
            subprocess.run(["tar", "-x", "-C", str(fresh)], input=archive.stdout, check=True)
        else:
            shutil.copytree(source, fresh, ignore=shutil.ignore_patterns(".git", "build"))
        # The unit tests under ASan + UBSan take several times longer to build, so the mutants
        # are judged by the tests' own checks only: a survivor that indexes past a table (a hook
        # slot loop run once too often) may still be caught by the sanitized host build.
        # -Wno-error rides in the same place (it comes after -Werror): a mutant that only trips a
        # warning, such as an unused parameter once 'return x' became 'return 0', is still run.
        host = fresh / "cmake" / "host.cmake"
        if host.exists():
            host.write_text(re.sub(r"set\(ZAFREL_SANITIZERS[^)]*\)",
                                   "set(ZAFREL_SANITIZERS -Wno-error)", host.read_text()))
        wanted = {p.relative_to(fresh) for p in fresh.rglob("*") if p.is_file()}
        for old in [p for p in src.rglob("*") if p.is_file()] if src.exists() else []:
            if old.relative_to(src) not in wanted:
                old.unlink()
        for rel in wanted:
            new, old = fresh / rel, src / rel
            if not old.exists() or old.read_bytes() != new.read_bytes():
                # A fresh time stamp, not the commit's: make must see the file as newer than
                # the objects built from the mutants before.
                old.parent.mkdir(parents=True, exist_ok=True)
                shutil.copyfile(new, old)


def build_and_test(work):
    """'invalid' when unit_tests does not build, else 'killed' or 'survived'."""
    if run(["make", "-C", str(work / "build"), "-j2", "unit_tests"], work / "build.log") != 0:
        return "invalid"
    try:
        rc = run([str(work / "build" / "unit_tests"), "--gtest_brief=1"], work / "test.log",
                 timeout=TEST_TIMEOUT)
    except subprocess.TimeoutExpired:
        return "killed"
    return "survived" if rc == 0 else "killed"


def prepare(work):
    """Configures the snapshot once and checks that it builds and passes unmutated: a mutant
    is only worth running against a suite that is green."""
    if shutil.which("cmake") is None:
        raise MutateError("cmake is not installed")
    configure = ["cmake", "-S", str(work / "src"), "-B", str(work / "build"),
                 "-DZAFREL_TARGET=host", "-DCMAKE_BUILD_TYPE=Debug"]
    if run(configure, work / "configure.log") != 0:
        raise MutateError(f"cmake failed on the snapshot (see {work / 'configure.log'})")
    outcome = build_and_test(work)
    if outcome != "survived":
        what, log = (("does not build", "build.log") if outcome == "invalid" else
                      ("fails its unit tests", "test.log"))
        raise MutateError(f"the unmutated snapshot {what} (see {work / log})")


def write_reports(work, mutants):
    (work / "report.json").write_text(json.dumps(mutants, indent=1) + "\n")
    with open(work / "survivors.txt", "w") as out:
        for m in mutants:
            if m.get("outcome") == "survived":
                out.write(f"{m['id']}\n  before: {m['before']}\n  after:  {m['after']}\n")


def run_mutants(work, src, mutants):
    for n, m in enumerate(mutants, start=1):
        path = src / m["file"]
        original = path.read_bytes()
        lines = original.decode().split("\n")
        line = lines[m["line"] - 1]
        lines[m["line"] - 1] = line[:m["start"]] + m["new"] + line[m["end"]:]
        started = time.time()
        try:
            path.write_bytes("\n".join(lines).encode())
            m["outcome"] = build_and_test(work)
        finally:
            path.write_bytes(original)  # restored before anything else, even on Ctrl-C
        m["seconds"] = round(time.time() - started, 1)
        print(f"[{n}/{len(mutants)}] {m['outcome']:8} {m['id']}  {m['after']}", flush=True)
        write_reports(work, mutants)


def summary(mutants):
    count = {k: sum(m.get("outcome") == k for m in mutants)
             for k in ("killed", "survived", "invalid")}
    valid = count["killed"] + count["survived"]
    score = 100.0 * count["killed"] / valid if valid else 0.0
    return (f"mutation score: {count['killed']} killed of {valid} valid ({score:.1f} %), "
            f"{count['survived']} survived, {count['invalid']} invalid")


def stop(signum, frame):
    """A kill from outside restores the mutated file the way Ctrl-C does."""
    raise KeyboardInterrupt


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source", type=pathlib.Path,
                        help="a source tree to copy and mutate instead of the committed HEAD")
    parser.add_argument("--work", type=pathlib.Path, default=REPO / "build" / "mutate",
                        help="the snapshot, its build and the reports (default: build/mutate)")
    parser.add_argument("--list", action="store_true", help="print the mutants, build nothing")
    parser.add_argument("--only", help="run the mutants whose id matches this regular expression")
    parser.add_argument("--limit", type=int, help="run at most this many mutants")
    parser.add_argument("--headers", action="store_true",
                        help="mutate the library headers too (a change there rebuilds more)")
    parser.add_argument("--version", action="version", version=f"%(prog)s {project_version()}")
    args = parser.parse_args(argv)
    work = args.work.resolve()
    signal.signal(signal.SIGTERM, stop)
    mutants = []
    try:
        work.mkdir(parents=True, exist_ok=True)
        refresh_snapshot(args.source.resolve() if args.source else None, work / "src")
        tree = work / "src"
        if not args.list:
            prepare(work)
        sources = library_sources(tree) + (library_headers(tree) if args.headers else [])
        mutants = find_mutants(tree, sources)
        if args.only:
            mutants = [m for m in mutants if re.search(args.only, m["id"])]
        mutants = mutants[:args.limit] if args.limit is not None else mutants
        if args.list:
            for m in mutants:
                print(f"{m['id']}\n  - {m['before']}\n  + {m['after']}")
            print(f"{len(mutants)} mutants")
            return 0
        started = time.time()
        run_mutants(work, tree, mutants)
        print(summary(mutants))
        print(f"{time.time() - started:.0f} s; report: {work / 'report.json'}, "
              f"survivors: {work / 'survivors.txt'}")
        return 0
    except KeyboardInterrupt:
        print("mutate: interrupted; the mutated file is restored. So far: " + summary(mutants),
              file=sys.stderr)
        return 130
    except (MutateError, OSError, subprocess.SubprocessError) as e:
        print(f"mutate: error: {e}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
