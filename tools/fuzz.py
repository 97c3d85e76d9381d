#!/usr/bin/env python3
"""Runs every fuzz target for a while, one after another, and says what each did.

  fuzz.py [SECONDS]     SECONDS per target (default 60)

The libFuzzer programs of the fuzz build (build/fuzz/, listed in build/fuzz/fuzz_targets.txt)
each start from their corpus in build/fuzz/corpus/NAME/, which keeps growing from run to run,
and from the inputs kept under tests/fuzz/NAME/ (earlier findings); the code-page listing's
fuzzer (Python) runs beside them with zafrel-convert from the host build. A finding (a crash, a
broken invariant, a leak, a hang) is written to build/fuzz/findings/NAME/: make it a regression
input by copying it to tests/fuzz/NAME/, then fix the code. Prints, per target, the inputs run,
inputs per second, edges covered (libFuzzer's "cov") and findings; exit status 1 when any target
found something.
"""
import argparse
import os
import pathlib
import re
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from wine32 import project_version  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parents[1]
FUZZ = ROOT / "build" / "fuzz"
CONVERT = ROOT / "build" / "host" / "zafrel-convert"


def libfuzzer(name, max_len, seconds):
    """(inputs, inputs per second, edges, findings) of one libFuzzer program's run."""
    corpus = FUZZ / "corpus" / name
    findings = FUZZ / "findings" / name
    corpus.mkdir(parents=True, exist_ok=True)
    findings.mkdir(parents=True, exist_ok=True)
    before = set(findings.iterdir())
    kept = ROOT / "tests" / "fuzz" / name
    command = [str(FUZZ / f"{name}_fuzz"), f"-max_total_time={seconds}", f"-max_len={max_len}",
               "-print_final_stats=1", f"-artifact_prefix={findings}/", str(corpus)]
    if kept.is_dir():
        command.append(str(kept))
    started = time.monotonic()
    p = subprocess.run(command, capture_output=True, text=True, errors="replace",
                       env={**os.environ, "ASAN_OPTIONS": "detect_leaks=1"})
    spent = time.monotonic() - started
    log = p.stderr
    (findings.parent / f"{name}.log").write_text(log)
    runs = re.findall(r"stat::number_of_executed_units: (\d+)", log)
    inputs = int(runs[-1]) if runs else 0
    if not runs:  # a crash ends the run before the final stats: the last status line says it
        counts = re.findall(r"^#(\d+)", log, re.M)
        inputs = int(counts[-1]) if counts else 0
    edges = re.findall(r"cov: (\d+)", log)
    found = len(set(findings.iterdir()) - before)
    if p.returncode != 0 and found == 0:
        found = 1  # it failed without leaving an input: the log says why
    return inputs, inputs / spent if spent else 0, int(edges[-1]) if edges else 0, found


def listing(seconds):
    p = subprocess.run([sys.executable, str(ROOT / "tests" / "fuzz" / "code_page_listing_fuzz.py"),
                        "--convert", str(CONVERT), "--seconds", str(seconds),
                        "--findings", str(FUZZ / "findings" / "code_page_listing")],
                       capture_output=True, text=True)
    m = re.search(r"(\d+) inputs in [\d.]+ s \((\d+)/s\), (\d+) edges, (\d+) findings", p.stdout)
    if m is None:
        print(p.stdout + p.stderr)
        return 0, 0, 0, 1
    return int(m[1]), int(m[2]), int(m[3]), int(m[4])


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter,
                                 epilog="\n".join(__doc__.splitlines()[3:]))
    ap.add_argument("seconds", nargs="?", type=int, default=60, help="per target (default 60)")
    ap.add_argument("--version", action="version", version=f"fuzz.py {project_version()}")
    args = ap.parse_args()
    if args.seconds < 1:
        ap.error("SECONDS must be 1 or more")
    listed = FUZZ / "fuzz_targets.txt"
    if not listed.exists():
        print(f"fuzz: {listed} is missing: build the fuzz preset first (./zafrel build)")
        return 2
    targets = [line.split() for line in listed.read_text().splitlines() if line.strip()]
    rows = []
    for name, max_len in targets:
        print(f"fuzz: {name} for {args.seconds} s", flush=True)
        rows.append((name,) + libfuzzer(name, int(max_len), args.seconds))
    print(f"fuzz: code_page_listing for {args.seconds} s", flush=True)
    rows.append(("code_page_listing",) + listing(args.seconds))
    print(f"\n{'target':<20}{'inputs':>12}{'inputs/s':>10}{'edges':>8}{'findings':>10}")
    for name, inputs, rate, edges, found in rows:
        print(f"{name:<20}{inputs:>12}{rate:>10.0f}{edges:>8}{found:>10}")
    print("(edges: libFuzzer's coverage counters; for code_page_listing, line-to-line steps "
          "taken in the parser)")
    if any(row[4] for row in rows):
        print(f"fuzz: findings are in {FUZZ / 'findings'}/ (and the logs beside them)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
