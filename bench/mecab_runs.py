#!/usr/bin/env python3
"""Long runs of one kind of character through MeCab, timed with the real sorowa-compare.

  mecab_runs.py write FOLDER [--length N]
      writes <case>-source.txt and <case>-target.txt for every case: one line of about N
      characters (default 200,000) and the same line with its last character changed, so
      that both lines are analysed
  mecab_runs.py time FOLDER BINARY... [--runs N] [--case NAME]... [--instructions]
      runs every binary on every case with --none --morpheme-match, interleaved, and prints
      the median wall time and processor time (user + system); --instructions also counts
      the instructions of one run under valgrind (cachegrind without cache simulation)
  mecab_runs.py same BINARY_A BINARY_B FILE...
      whether the two binaries find the same morphemes: compares their morpheme matching
      tables of every FILE against itself (every morpheme of every line is a cell there)
  mecab_runs.py unpunctuated FILE OUT
      writes FILE without sentence-final marks, its lines joined into lines of about 20,000
      characters: long lines of real prose that are not cut at sentence ends
"""

import argparse
import os
import random
import re
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def repeat(unit, length):
    return (unit * (length // len(unit) + 1))[:length]


def mixed(length):
    """Words of every kind without punctuation or spaces: letters, digits, kana, kanji."""
    rng = random.Random(7)
    words = ["abc", "Sorowa", "123", "2026", "アイウ", "カタカナ", "漢字", "比較", "ひらがな",
             "です", "ＡＢＣ", "１２３", "ｱｲｳ", "αβγ", "дом", "＃", "〜"]
    out = []
    size = 0
    while size < length:
        out.append(rng.choice(words))
        size += len(out[-1])
    return "".join(out)[:length]


CASES = {
    "letters": lambda n: repeat("a", n),
    "digits": lambda n: repeat("1", n),
    "katakana": lambda n: repeat("ア", n),
    "kanji": lambda n: repeat("山", n),
    "kanji-numerals": lambda n: repeat("一二三四五六七八九十百千万", n),
    "kanji-and-numerals": lambda n: repeat("一山", n),
    "hiragana": lambda n: repeat("あ", n),
    "hiragana-unknown": lambda n: repeat("ゟ", n),
    "symbols": lambda n: repeat("-", n),
    "fullwidth-symbols": lambda n: repeat("＃", n),
    "spaces": lambda n: "x" + repeat(" ", n - 2) + "y",
    "ideographic-spaces": lambda n: repeat("\u3000", n),
    "emoji": lambda n: repeat("\U0001F600", n),
    "mixed": mixed,
}


def write(folder, length):
    os.makedirs(folder, exist_ok=True)
    for name, make in CASES.items():
        line = make(length)
        changed = line[:-1] + ("b" if line[-1] != "b" else "c")
        for side, text in (("source", line), ("target", changed)):
            with open(os.path.join(folder, f"{name}-{side}.txt"), "w", encoding="utf-8") as out:
                out.write(text + "\n")
        print(f"{name}: {len(line):,} code points")


def command(binary, source, target, report):
    return [binary, "--none", "--morpheme-match", "-o", report, source, target]


def run_once(binary, source, target):
    with tempfile.TemporaryDirectory() as scratch:
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(command(binary, source, target, os.path.join(scratch, "r.htm")),
                       check=True, stdout=subprocess.DEVNULL)
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def instructions(binary, source, target):
    with tempfile.TemporaryDirectory() as scratch:
        result = subprocess.run(
            ["valgrind", "--tool=cachegrind", "--cache-sim=no",
             "--cachegrind-out-file=" + os.path.join(scratch, "cg.out")] +
            command(binary, source, target, os.path.join(scratch, "r.htm")),
            check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        found = re.search(r"I\s+refs:\s+([\d,]+)", result.stderr)
        return int(found.group(1).replace(",", "")) if found else None


def time_cases(folder, binaries, runs, names, count):
    for name in names or CASES:
        source = os.path.join(folder, f"{name}-source.txt")
        target = os.path.join(folder, f"{name}-target.txt")
        times = {binary: [] for binary in binaries}
        for _ in range(runs):
            for binary in binaries:  # interleaved, so that load from elsewhere hits both
                times[binary].append(run_once(binary, source, target))
        for binary in binaries:
            wall = statistics.median(w for w, _ in times[binary])
            cpu = statistics.median(c for _, c in times[binary])
            shown = f"{name:20} {wall:8.2f} s wall {cpu:8.2f} s cpu"
            if count:
                shown += f" {instructions(binary, source, target) / 1e9:8.2f} G instructions"
            print(f"{shown}  {binary}", flush=True)


def same(first, second, files):
    differing = 0
    with tempfile.TemporaryDirectory() as scratch:
        for path in files:
            reports = []
            for k, binary in enumerate((first, second)):
                report = os.path.join(scratch, f"{k}.htm")
                done = subprocess.run(command(binary, path, path, report),
                                      stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
                if done.returncode != 0:
                    reports.append(f"{binary} ended with {done.returncode}".encode())
                    continue
                with open(report, "rb") as f:
                    reports.append(f.read())
            cells = reports[0].count(b"<span class=")
            verdict = "same" if reports[0] == reports[1] else "DIFFERENT"
            if reports[0] != reports[1] and min(map(len, reports)) < 200:
                verdict = "FAILED: " + min(reports, key=len).decode()
            differing += reports[0] != reports[1]
            print(f"{cells:9,} morpheme cells  {path}  {verdict}", flush=True)
    return differing


def unpunctuated(path, out):
    with open(path, encoding="utf-8") as f:
        text = re.sub("[。．！？.!?]", "", f.read())
    lines, current = [], ""
    for line in text.splitlines():
        current += line.strip()
        if len(current) >= 20000:
            lines.append(current)
            current = ""
    if current:
        lines.append(current)
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    print(f"{out}: {len(lines)} lines, {sum(map(len, lines)):,} characters")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("action", choices=["write", "time", "same", "unpunctuated"])
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--length", type=int, default=200_000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--case", action="append", choices=list(CASES))
    parser.add_argument("--instructions", action="store_true")
    args = parser.parse_args()
    if args.action == "write":
        write(args.paths[0], args.length)
    elif args.action == "time":
        if len(args.paths) < 2:
            sys.exit("mecab_runs.py: name the folder and at least one sorowa-compare binary")
        time_cases(args.paths[0], args.paths[1:], args.runs, args.case, args.instructions)
    elif args.action == "same":
        if len(args.paths) < 3:
            sys.exit("mecab_runs.py: name two binaries and at least one file")
        sys.exit(1 if same(args.paths[0], args.paths[1], args.paths[2:]) else 0)
    else:
        if len(args.paths) != 2:
            sys.exit("mecab_runs.py: name the file to read and the file to write")
        unpunctuated(args.paths[0], args.paths[1])


if __name__ == "__main__":
    main()
