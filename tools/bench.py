#!/usr/bin/env python3
"""./zafrel bench: what typing a key costs in the library, on the host and under Wine.

  python3 tools/bench.py [--keys N] [--wine-keys N] [--reps R] [--tiny] [--json FILE]

- Library instructions per key: callgrind over zafrel_bench (the bench build: optimised, no
  sanitizers) typing a fixed, seeded key mix in both typing modes and four application frames,
  once with ordinary window names and once with the longest names the library's reads allow.
  Only functions defined in the library's folders count, never the desktop simulator; each one's
  own instructions are charged to the hook procedure it ran under.
- Under Wine: wine_bench.exe types the same kind of mix into an edit control with the hooks on
  and with them off, in the same run; the medians of its repetitions and their ratio.
- Fastest exact typing: for each DLL, the target program's edit control under Wine typed into
  at the X server with xdotool, a seeded stream of Persian words, digits, line breaks and
  corrections, at falling intervals between key events; each text against the host engine's
  prediction, and the shortest interval down to which every text was exact.
- The DLL sizes.
Prints one table and writes build/bench.json. --tiny runs a few keys only, to show that it works.
"""

import argparse
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tools"))

import typist  # noqa: E402
import wine32  # noqa: E402  (the one way 32-bit Wine starts)
from winedesk import Desktop  # noqa: E402

LIBRARY_FOLDERS = ("win32/", "hooklib/", "typing/", "diagnostics/", "dll/")
SEED = 20261208
DLLS = ("ZafrelXP.dll", "ZafrelXP64.dll")


class BenchError(Exception):
    pass


def hook_procedures(root=ROOT):
    """The procedure of every hook slot, read from the table that installs them."""
    text = (root / "dll" / "slot_procs.cpp").read_text()
    names = re.findall(r"^\s+([A-Za-z]\w*),\s*// \d", text, re.M)
    if not names:
        raise BenchError("no hook procedures found in dll/slot_procs.cpp")
    return names


def parse_callgrind(lines, calls=None):
    """Self instructions per function context: {(function chain, file): Ir}. A context's name is
    the function followed by its callers, separated by "'" (--separate-callers). When `calls` is
    a dict, it also receives {(caller chain, caller file, callee): number of calls}."""
    files, functions = {}, {}
    costs = {}
    current_file = current_fn = callee = None
    skip_next_cost = False

    def name(table, value):
        m = re.match(r"\((\d+)\)(?: (.*))?$", value)
        if not m:
            return value
        if m.group(2) is not None:
            table[m.group(1)] = m.group(2)
        return table.get(m.group(1), "???")

    for raw in lines:
        line = raw.rstrip("\n")
        if not line:
            continue
        key, _, value = line.partition("=")
        if key in ("fl", "fi", "fe", "cfl", "cfi"):
            resolved = name(files, value)
            if key == "fl":
                current_file = resolved
        elif key in ("fn", "cfn"):
            resolved = name(functions, value)
            if key == "fn":
                current_fn = resolved
            else:
                callee = resolved.split("'", 1)[0]
        elif key == "calls":
            skip_next_cost = True  # the next cost line is the callee's inclusive cost
            if calls is not None:
                k = (current_fn, current_file, callee)
                calls[k] = calls.get(k, 0) + int(value.split()[0])
        elif line[0].isdigit() or line[0] in "+-*":
            if skip_next_cost:
                skip_next_cost = False
                continue
            cost = int(line.split()[-1])
            k = (current_fn, current_file)
            costs[k] = costs.get(k, 0) + cost
    return costs


def library_file(path, root=ROOT):
    try:
        rel = pathlib.Path(path).resolve().relative_to(root).as_posix()
    except ValueError:
        return False
    return rel.startswith(LIBRARY_FOLDERS)


def charge(costs, procedures, root=ROOT):
    """Library instructions per hook procedure: each library function's own instructions go to
    the nearest hook procedure among itself and its callers ("outside a hook" if none)."""
    per_proc = {}
    for (chain, path), cost in costs.items():
        if path is None or not library_file(path, root):
            continue
        owner = "outside a hook"
        for fn in chain.split("'"):
            base = fn.split("(", 1)[0]
            if base in procedures:
                owner = base
                break
        per_proc[owner] = per_proc.get(owner, 0) + cost
    return per_proc


HEAP_FUNCTIONS = ("HeapAlloc", "HeapReAlloc", "HeapFree", "malloc", "calloc", "realloc", "free",
                  "operator new", "operator delete")


def outside_calls(costs, calls, root=ROOT):
    """Calls from library code to functions outside it (the Win32 API, played by the desktop
    simulator): {callee without its arguments: count}."""
    def base(name):
        return name.split("'", 1)[0].split("(", 1)[0]

    own = {base(chain) for (chain, path) in costs if path and library_file(path, root)}
    out = {}
    for (_, path, callee), n in calls.items():
        if path is None or not library_file(path, root) or base(callee) in own:
            continue
        out[base(callee)] = out.get(base(callee), 0) + n
    return out


def count_instructions(bench, keys, long_names, out_dir):
    """Runs zafrel_bench under callgrind; returns (keys typed, {procedure: instructions},
    {function called from the library: calls})."""
    out = out_dir / ("callgrind.long.out" if long_names else "callgrind.out")
    command = ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
               "--collect-atstart=no", "--toggle-collect=*TypeKeys*", "--separate-callers=24",
               str(bench), "--keys", str(keys), "--seed", str(SEED)]
    if long_names:
        command.append("--long-names")
    p = subprocess.run(command, capture_output=True, text=True)
    if p.returncode != 0:
        raise BenchError(f"callgrind run failed ({p.returncode}): {p.stderr.strip()[-400:]}")
    # The names the frames were given: the longest a 256-character read takes, or ordinary ones.
    lengths = {int(n) for n in re.findall(r" names=(\d+)$", p.stdout, re.M)}
    if long_names and lengths != {255} or not long_names and max(lengths, default=255) >= 255:
        raise BenchError(f"zafrel_bench gave the frames names of lengths {sorted(lengths)}")
    m = re.search(r"^KEYS (\d+)$", p.stdout, re.M)
    if not m or int(m.group(1)) == 0:
        raise BenchError(f"zafrel_bench typed no keys: {p.stdout.strip()[-200:]}")
    calls = {}
    with open(out) as f:
        costs = parse_callgrind(f, calls)
    return int(m.group(1)), charge(costs, hook_procedures()), outside_calls(costs, calls)


def wine_timing(bin_dir, dll, keys, reps):
    """Runs wine_bench.exe for one DLL (32-bit Wine, or wine64 for ZafrelXP64.dll); returns its
    RESULT fields, or raises BenchError."""
    program = bin_dir / "wine_bench.exe"
    if not program.exists():
        raise BenchError(f"{program} is missing; build the win32 and win64 presets")
    if dll == "ZafrelXP64.dll":
        wine = wine32.Wine64(wine32.project_prefix64())
    else:
        wine, line = wine32.launcher(prefix=wine32.project_prefix())
        print(line, flush=True)
    env = wine.env(os.environ)
    wine.ensure_prefix(env)
    command = ["xvfb-run", "-a", "-s", "-screen 0 1024x768x24"] + wine.command(
        [program.name, "--keys", str(keys), "--reps", str(reps), "--dll", dll])
    try:
        p, _ = wine32.run_with_retry(command, cwd=bin_dir, env=env, timeout=1800)
    except subprocess.TimeoutExpired:
        raise BenchError(f"wine_bench.exe ({dll}) did not finish in 30 minutes")
    finally:
        wine.stop(env)
    m = re.search(r"^RESULT (.*)$", p.stdout, re.M)
    if p.returncode != 0 or not m:
        tail = (p.stdout.strip() or p.stderr.strip())[-400:]
        raise BenchError(f"wine_bench.exe ({dll}) failed ({p.returncode}): {tail}")
    fields = {}
    for item in m.group(1).split():
        k, _, v = item.partition("=")
        fields[k] = float(v) if "." in v else int(v)
    note = re.search(r"^NOTE (.*)$", p.stdout, re.M)
    if note:
        fields["note"] = note.group(1).strip()
    return fields


EXACT_INTERVALS = (200, 100, 50, 30, 15)
# The target program waits two minutes for the driver's typing: a scenario's share of the keys
# is kept well inside that, and a long run at a slow interval is typed in several scenarios.
CHUNK_SECONDS = 80
WAYS = {
    "plain": "each key released before the next goes down",
    "rollover": "each key pressed before the one before it is released",
}


def chunks(tokens, interval_ms):
    """The tokens in pieces whose key events (about two per key) last CHUNK_SECONDS at most."""
    size = max(1, CHUNK_SECONDS * 1000 // (2 * interval_ms))
    return [tokens[i:i + size] for i in range(0, len(tokens), size)]


def exact_typing(dll, keys, intervals, ways, seed=typist.SEED, route="posted"):
    """Types the key stream into the target's edit control under Wine at each interval, in each
    way; returns {"runs": [...], "shortest_exact_ms": {way: ms or None}}, or raises BenchError."""
    arch = "x64" if dll == "ZafrelXP64.dll" else "x86"
    bin_dir = ROOT / "build" / ("win64" if arch == "x64" else "win32")
    predictor = ROOT / "build" / "host" / "zafrel_predict"
    for needed in (bin_dir / "zafreltarget.exe", predictor):
        if not needed.exists():
            raise BenchError(f"{needed} is missing; build the host, win32 and win64 presets")
    tokens = typist.key_stream(keys, seed)
    press = {"plain": typist.plain, "rollover": typist.rollover}
    blocks, plan, pieces = [], {}, {}
    for way in ways:
        for interval in intervals:
            names = []
            for n, piece in enumerate(chunks(tokens, interval)):
                name = f"{way}_{interval}ms_{n}"
                events = press[way](piece)
                blocks.append(typist.scenario(name, events, route=route))
                plan[name] = (events, interval)
                names.append(name)
            pieces[(way, interval)] = names
    prefix = wine32.project_prefix64() if arch == "x64" else wine32.project_prefix()
    with open(bin_dir / "bench-exact-wine.log", "w") as log:
        desktop = Desktop(prefix, log, arch=arch)
        path = bin_dir / "bench-exact.txt"
        path.write_text("".join(blocks))
        try:
            predicted = typist.predict(predictor, path)
            desktop.start()
            seconds = 600 + sum(len(e) * ms for e, ms in plan.values()) / 1000
            results, code, _, timing = typist.play_session(desktop, bin_dir, path, plan, seconds)
        except (wine32.WineError, subprocess.TimeoutExpired, subprocess.CalledProcessError) as e:
            raise BenchError(f"exact typing with {dll}: {e}")
        finally:
            desktop.stop()
    if code != 0:
        raise BenchError(f"zafreltarget.exe ({dll}) ended with exit code {code}")
    runs, shortest = [], {}
    for way in ways:
        shortest[way], falling = None, True
        for interval in intervals:
            names = pieces[(way, interval)]
            if any(results.get(n, {}).get("TYPED") != "yes" for n in names):
                raise BenchError(f"the target did not take all keys of {way} typing at "
                                 f"{interval} ms ({dll})")
            got = " ".join(results[n]["TEXT"] for n in names if results[n]["TEXT"])
            want = " ".join(predicted[n] for n in names if predicted.get(n))
            at = typist.first_difference(got, want)
            runs.append({"way": way, "interval_ms": interval, "exact": at is None,
                         "bytes": len(want.split()), "first_difference": at,
                         "difference": typist.difference_report(got, want, context=6),
                         "typed_s": round(sum(timing[n][0] for n in names), 1)})
            falling = falling and at is None
            if falling:
                shortest[way] = interval
    return {"keys": keys, "seed": seed, "route": route, "ways": {w: WAYS[w] for w in ways},
            "runs": runs, "shortest_exact_ms": shortest}


def exact_rows(dll, exact):
    if "error" in exact:
        return [f"Fastest exact typing, {dll}: not measured: {exact['error']}"]
    rows = []
    for way, meaning in exact["ways"].items():
        rows.append(f"Fastest exact typing, {dll}: {exact['keys']} keys at the X server into an "
                    f"edit control ({exact.get('route', 'posted')} route), {way} ({meaning}); "
                    f"the interval is the time between key events:")
        for run in (r for r in exact["runs"] if r["way"] == way):
            what = "exact" if run["exact"] else f"not exact: {run['difference']}"
            rows.append(f"  {run['interval_ms']:>4} ms  {what} ({run['bytes']} bytes, typed in "
                        f"{run['typed_s']} s)")
        ms = exact["shortest_exact_ms"][way]
        rows.append(f"  shortest interval with every text exact down to it: "
                    f"{f'{ms} ms' if ms is not None else 'none'}")
    return rows


def table(result):
    rows = []
    for variant in ("ordinary names", "longest names"):
        host = result["host"][variant]
        rows.append(f"library instructions per key, {variant} ({host['keys']} keys):")
        for proc, per_key in sorted(host["per_key"].items(), key=lambda kv: -kv[1]):
            rows.append(f"  {proc:<24} {per_key:>10.1f}")
        rows.append(f"  {'total':<24} {host['total_per_key']:>10.1f}")
        calls = sum(host["api_calls_per_key"].values())
        rows.append(f"  Win32 calls per key: {calls:.1f}; heap calls: {len(host['heap_calls'])}")
    for dll, wine in result["wine"].items():
        if "error" in wine:
            rows.append(f"Wine, {dll}: not measured: {wine['error']}")
            continue
        rows.append(
            f"Wine, {dll}: busy per key {wine['hooks_busy_us_per_key']} us with the hooks, "
            f"{wine['none_busy_us_per_key']} us without, ratio {wine['busy_ratio']} "
            f"(wall ratio {wine['wall_ratio']}; median of {wine['reps']}, {wine['keys']} keys)")
        if "note" in wine:
            rows.append(f"  {wine['note']}")
    for dll, exact in result.get("exact_typing", {}).items():
        rows += exact_rows(dll, exact)
    for dll, size in result["dll_bytes"].items():
        rows.append(f"{dll}: {size} bytes")
    return "\n".join(rows)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--keys", type=int, default=700, help="key presses per mode and frame")
    parser.add_argument("--wine-keys", type=int, default=1000,
                        help="key presses per phase under Wine (GetThreadTimes ticks in 10 ms)")
    parser.add_argument("--reps", type=int, default=5)
    parser.add_argument("--tiny", action="store_true", help="a few keys, only to show it works")
    parser.add_argument("--no-wine", action="store_true", help="the host counts and sizes only")
    parser.add_argument("--exact-keys", type=int, default=1000,
                        help="keys per interval for the fastest exact typing")
    parser.add_argument("--exact-intervals", default=",".join(map(str, EXACT_INTERVALS)),
                        help="milliseconds between key events, slowest first")
    parser.add_argument("--exact-rollover", action="store_true",
                        help="the fastest exact typing with overlapping keys too")
    parser.add_argument("--no-exact", action="store_true", help="no fastest exact typing")
    parser.add_argument("--exact-route", choices=sorted(typist.ROUTES), default="posted",
                        help="the window typed into: an edit control on the posted route, one "
                             "the library sends to, or one under an Illustrator frame")
    parser.add_argument("--json", default=str(ROOT / "build" / "bench.json"))
    parser.add_argument("--version", action="version",
                        version=f"%(prog)s {wine32.project_version()}")
    args = parser.parse_args(argv)
    intervals = [int(ms) for ms in args.exact_intervals.split(",")]
    ways = ("plain", "rollover") if args.exact_rollover else ("plain",)
    if args.tiny:
        args.keys, args.wine_keys, args.reps = 20, 20, 1
        args.exact_keys, intervals = 20, [50, 15]

    bench = ROOT / "build" / "bench" / "zafrel_bench"
    try:
        if shutil.which("valgrind") is None:
            raise BenchError("valgrind is missing; run ./zafrel setup")
        if not bench.exists():
            raise BenchError(f"{bench} is missing; build the bench preset")
        result = {"seed": SEED, "host": {}, "wine": {}, "exact_typing": {}, "dll_bytes": {}}
        for variant, long_names in (("ordinary names", False), ("longest names", True)):
            keys, per_proc, api = count_instructions(bench, args.keys, long_names, bench.parent)
            heap = {f: n for f, n in api.items() if f.startswith(HEAP_FUNCTIONS)}
            result["host"][variant] = {
                "keys": keys,
                "instructions": per_proc,
                "per_key": {p: round(c / keys, 1) for p, c in per_proc.items()},
                "total_per_key": round(sum(per_proc.values()) / keys, 1),
                "api_calls_per_key": {f: round(n / keys, 2) for f, n in sorted(api.items())},
                "heap_calls": heap,
            }
            if heap:
                raise BenchError(f"the typing path used the heap ({variant}): {heap}")
        for dll in DLLS:
            bin_dir = ROOT / "build" / ("win64" if dll == "ZafrelXP64.dll" else "win32")
            if (bin_dir / dll).exists():
                result["dll_bytes"][dll] = (bin_dir / dll).stat().st_size
                if not args.no_wine:
                    try:
                        result["wine"][dll] = wine_timing(bin_dir, dll, args.wine_keys, args.reps)
                    except (BenchError, wine32.WineError) as e:
                        result["wine"][dll] = {"error": str(e)}
                if not args.no_wine and not args.no_exact:
                    try:
                        result["exact_typing"][dll] = exact_typing(
                            dll, args.exact_keys, intervals, ways, route=args.exact_route)
                    except (BenchError, wine32.WineError, OSError) as e:
                        result["exact_typing"][dll] = {"error": str(e)}
    except BenchError as e:
        print(f"bench: FAILED — {e}", file=sys.stderr)
        return 1
    print(table(result))
    pathlib.Path(args.json).parent.mkdir(parents=True, exist_ok=True)
    with open(args.json, "w") as f:
        json.dump(result, f, indent=2)
    print(f"bench: wrote {args.json}")
    failed = [dll for part in ("wine", "exact_typing") for dll, w in result[part].items()
              if "error" in w]
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
