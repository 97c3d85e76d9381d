#!/usr/bin/env python3
"""Measures zafrel-convert's throughput on a generated file of Persian text.

  tools/convert_bench.py [--size MB] [--font N] [--runs K] [--keep]

The file is made of words of the Persian word list (myspell-fa) whose letters all have keys,
with numbers (and Latin words, in the sets that have bytes for them) among them, in lines of 4 to 16 words. The optimised converter
(build/bench/zafrel-convert, ./zafrel build makes it) converts it to legacy bytes and those back
to Unicode; each direction is timed K times, writing to /dev/null, and the best wall time is
reported as MB/s of input, with the converter's peak memory. The text read back must equal the text generated.
"""
import argparse
import os
import pathlib
import random
import resource
import subprocess
import sys
import time

from wine32 import project_version

ROOT = pathlib.Path(__file__).resolve().parents[1]
WORDLIST = pathlib.Path("/usr/share/hunspell/fa_IR.dic")
LETTERS = set("ضصثقفغعهخحجچشسیبلاتنمکگظطزرذدوژپ")


def words():
    out = []
    with WORDLIST.open(encoding="utf-8") as f:
        next(f)
        for line in f:
            word = line.strip().split("/")[0]
            if word and all(c in LETTERS for c in word):
                out.append(word)
    return out


def generate(path, size, font, seed=1385):
    rng = random.Random(seed)
    vocabulary = words()
    vocabulary_set = set(vocabulary)
    extras = ["1385", "12/05", "3.14"]
    if font in (0, 2, 4):  # the other two sets use the ASCII letters' bytes for glyphs
        extras += ["ZafrelXP", "Windows"]
    written = 0
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        while written < size:
            lines = []
            for _ in range(1000):
                # A number right before a Latin word reads back after it (both orders look the
                # same on screen), so two extras never meet.
                line = []
                for _ in range(rng.randint(4, 16)):
                    extra = line and line[-1] in vocabulary_set and rng.random() < 0.05
                    line.append(rng.choice(extras) if extra else rng.choice(vocabulary))
                lines.append(" ".join(line))
            block = "\n".join(lines) + "\n"
            f.write(block)
            written += len(block.encode("utf-8"))
    return os.path.getsize(path)


def timed(args, source, target):
    """Wall time, CPU time (user + system) and peak memory (KiB) of one run. The peak comes from
    GNU time: the rusage of a child forked from this process would count this process's memory."""
    with open(source, "rb") as src, open(target, "wb") as dst:
        start = time.perf_counter()
        child = subprocess.Popen(["/usr/bin/time", "-f", "%M"] + args, stdin=src, stdout=dst,
                                 stderr=subprocess.PIPE)
        _, status, usage = os.wait4(child.pid, 0)
        elapsed = time.perf_counter() - start
        error = child.stderr.read().decode(errors="replace")
        child.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"convert_bench: {' '.join(args)} failed: {error}")
    return elapsed, usage.ru_utime + usage.ru_stime, int(error.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", type=int, default=100, help="MB of UTF-8 text (default 100)")
    parser.add_argument("--font", type=int, default=1)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--keep", action="store_true", help="keep the generated files in build/")
    parser.add_argument("--converter", default=str(ROOT / "build/bench/zafrel-convert"))
    parser.add_argument("--version", action="version", version=f"%(prog)s {project_version()}")
    args = parser.parse_args()
    if not WORDLIST.exists():
        sys.exit("convert_bench: the Persian word list is missing; ./zafrel setup installs myspell-fa")
    if not os.access(args.converter, os.X_OK):
        sys.exit(f"convert_bench: {args.converter} is missing; ./zafrel build makes it")

    work = ROOT / "build"
    text, legacy, back = work / "convert-bench.txt", work / "convert-bench.bin", work / "convert-bench.back"
    size = generate(text, args.size * 1000 * 1000, args.font)
    print(f"{size / 1e6:.1f} MB of Persian text, font code {args.font}, best of {args.runs} runs")
    font = ["--font", str(args.font)]
    for name, direction, source, target in (("to legacy", "--to-legacy", text, legacy),
                                            ("to Unicode", "--to-unicode", legacy, back)):
        command = [args.converter, direction] + font
        # Timed into /dev/null: the converter's speed, not the disk's. One more run writes the
        # file that the next direction reads and that is compared at the end.
        runs = [timed(command, source, os.devnull) for _ in range(args.runs)]
        timed(command, source, target)
        wall = min(r[0] for r in runs)
        cpu = min(r[1] for r in runs)
        peak = max(r[2] for r in runs)
        mb = os.path.getsize(source) / 1e6
        print(f"  {name:<11} {mb:7.1f} MB in {wall:6.3f} s wall ({cpu:6.3f} s CPU): "
              f"{mb / wall:6.0f} MB/s; peak memory {peak / 1024:.1f} MiB")
    same = subprocess.run(["cmp", "-s", str(text), str(back)]).returncode == 0
    print(f"  read back equals the generated text: {'yes' if same else 'NO'}")
    if not args.keep:
        for path in (text, legacy, back):
            path.unlink()
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
