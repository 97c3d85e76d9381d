#!/usr/bin/env python3
"""Fuzzes the code-page listing parser the font generator reads (tools/fonts/code_page_listing.py).

  code_page_listing_fuzz.py --convert ZAFREL-CONVERT [--runs N | --seconds S] [--seed K]
                            [--findings DIR]

The seeds are the five real listings; inputs kept under tests/fuzz/code_page_listing/ (findings of
earlier runs) are replayed first. Each input is a seed or a kept input mutated a few times (lines
dropped, doubled or swapped, fields replaced, characters inserted or changed, the end cut off).
An input either parses into all 256 bytes, each with a known kind, a character where its kind
has one and a form where its kind has one, and written back and parsed again gives the same page;
or it is refused with CodePageError naming a line of the input. Anything else (another exception,
a page that breaks a rule) is a finding, written to --findings. Coverage guides it: an input that
makes the parser take a line-to-line step (an edge) it has not taken before joins the corpus.
Prints "code_page_listing: N inputs in S s (R/s), E edges, F findings".
"""
import argparse
import pathlib
import random
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools" / "fonts"))
import code_page_listing as listing  # noqa: E402

KEPT = ROOT / "tests" / "fuzz" / "code_page_listing"
TOKENS = list(listing.KINDS) + list(listing.FORMS) + [
    "0x", "U+", "0x00", "0xFF", "0x100", "U+D800", "U+110000", "U+0644", "U+FFFD", "", " ", "\t",
    "\r", "\n", "0x0g", "U+12345", "U+1234567", "\u0644", "\x00"]


def edges(text):
    """The parser's result for one input, and the line-to-line steps it took in the parser."""
    seen = set()
    code = listing.parse.__code__.co_filename

    def tracer(frame, event, arg):
        if frame.f_code.co_filename != code:
            return None
        last = [frame.f_lineno]

        def local(frame, event, arg):
            if event == "line":
                seen.add((frame.f_code.co_name, last[0], frame.f_lineno))
                last[0] = frame.f_lineno
            return local
        return local

    sys.settrace(tracer)
    try:
        return check(text), seen
    finally:
        sys.settrace(None)


def check(text):
    """None when the input keeps the rules, else what went wrong."""
    try:
        page = listing.parse(text)
    except listing.CodePageError as e:
        lines = text.count("\n") + 1
        head = str(e).split(":", 1)[0]
        if not head.startswith("line ") or not head[5:].isdigit() or \
                not 1 <= int(head[5:]) <= lines + 1:
            return f"refused without naming a line of the input: {e}"
        return None
    except Exception as e:  # noqa: BLE001 - what the parser must never raise is the finding
        return f"{type(e).__name__}: {e}"
    if sorted(page) != list(range(256)):
        return "parsed, but not every byte once"
    for byte, (kind, character, form) in page.items():
        if kind not in listing.KINDS or (character is None) != (kind == "nothing") or \
                (form is not None) != (kind in listing.KINDS_WITH_FORM) or \
                (form is not None and form not in listing.FORMS) or \
                (character is not None and not (0 <= character <= 0x10FFFF)):
            return f"parsed, but byte 0x{byte:02X} is {kind} {character} {form}"
    if listing.parse(listing.write(page)) != page:
        return "written back, the page reads otherwise"
    return None


def mutate(text, rng):
    lines = text.split("\n")
    for _ in range(rng.randint(1, 4)):
        what = rng.randrange(8)
        i = rng.randrange(len(lines))
        if what == 0 and len(lines) > 1:
            del lines[i]
        elif what == 1:
            lines.insert(i, lines[i])
        elif what == 2:
            j = rng.randrange(len(lines))
            lines[i], lines[j] = lines[j], lines[i]
        elif what == 3:
            fields = lines[i].split(" ")
            fields[rng.randrange(len(fields))] = rng.choice(TOKENS)
            lines[i] = " ".join(fields)
        elif what == 4:
            fields = lines[i].split(" ")
            fields.insert(rng.randrange(len(fields) + 1), rng.choice(TOKENS))
            lines[i] = " ".join(fields)
        elif what == 5 and lines[i]:
            k = rng.randrange(len(lines[i]))
            lines[i] = lines[i][:k] + chr(rng.choice([rng.randrange(128), rng.randrange(0x110000)]
                                                     if rng.random() < 0.9 else [0xD800])) + \
                lines[i][k + 1:]
        elif what == 6:
            lines = lines[:rng.randrange(len(lines) + 1)] or [""]
        else:
            lines[i] = lines[i].lower() if rng.random() < 0.5 else lines[i].upper()
    return "\n".join(lines)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--convert", required=True, help="zafrel-convert, for the real listings")
    ap.add_argument("--runs", type=int, default=3000)
    ap.add_argument("--seconds", type=float, help="run this long instead of --runs inputs")
    ap.add_argument("--seed", type=int, default=20261209)
    ap.add_argument("--findings", default=str(ROOT / "build" / "fuzz" / "findings" /
                                              "code_page_listing"))
    args = ap.parse_args()
    rng = random.Random(args.seed)
    corpus = [subprocess.run([args.convert, "--code-page", "--font", str(code)], check=True,
                             capture_output=True, text=True).stdout for code in range(5)]
    kept = sorted(KEPT.glob("*")) if KEPT.is_dir() else []
    inputs, covered, findings = 0, set(), []
    started = time.monotonic()

    def run(text):
        nonlocal inputs
        inputs += 1
        problem, seen = edges(text)
        if problem is not None:
            findings.append((problem, text))
        return not seen <= covered, seen

    for text in corpus + [path.read_text(encoding="utf-8", errors="surrogatepass")
                          for path in kept]:
        covered |= run(text)[1]
    for text in corpus:
        if listing.write(listing.parse(text)) != text:
            findings.append(("a real listing is not written back as it was", text))
    while (inputs < args.runs) if args.seconds is None else \
            (time.monotonic() - started < args.seconds):
        text = mutate(rng.choice(corpus), rng)
        new, seen = run(text)
        if new:
            covered |= seen
            corpus.append(text)
    spent = time.monotonic() - started
    out = pathlib.Path(args.findings)
    for n, (problem, text) in enumerate(findings):
        out.mkdir(parents=True, exist_ok=True)
        (out / f"finding-{n}.txt").write_text(text, encoding="utf-8", errors="surrogatepass")
        print(f"FINDING {n}: {ascii(problem)}")
    print(f"code_page_listing: {inputs} inputs in {spent:.1f} s ({inputs / spent:.0f}/s), "
          f"{len(covered)} edges, {len(findings)} findings")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
