#!/usr/bin/env python3
"""Times the matching tables of sorowa-compare on the lines that used to make them slow.

  match_cases.py write FOLDER [--scale S]
      writes <case>-source.txt and <case>-target.txt for every case (one line each);
      --scale shrinks or grows every case (0.25 = a quarter of the units and characters)
  match_cases.py time FOLDER BINARY... [--runs N] [--timeout SECONDS] [--case NAME]...
      runs every binary on every case, interleaved, and prints the median wall time and
      the median processor time (user + system, which load from other jobs inflates less);
      a run that exceeds the timeout is stopped and shown as "> timeout"

The same scale always writes the same files. Only the matching table asked for is on
(--none plus one matching option), so the times are the table's own plus reading,
segmenting (MeCab for the morpheme cases) and writing the report.
"""

import argparse
import os
import random
import resource
import statistics
import subprocess
import sys
import tempfile
import time

HIRAGANA = [chr(c) for c in range(0x3041, 0x3094)]
KATAKANA = [chr(c) for c in range(0x30A1, 0x30F7)]
KANJI = [chr(c) for c in range(0x4E00, 0x4E00 + 3000)]


def vocab(scale):
    """Two lines of 100,000 units each (a kanji and a hiragana), with no unit in common:
    the Source's kanji and the Target's come from separate halves of the set."""
    rng = random.Random(1)
    count = int(100_000 * scale)
    half = len(KANJI) // 2

    def line(kanji):
        return "".join(rng.choice(kanji) + rng.choice(HIRAGANA) for _ in range(count))

    return line(KANJI[:half]), line(KANJI[half:])


def random_line(length, rng):
    pick = [HIRAGANA, KATAKANA, KANJI]
    return "".join(rng.choice(pick[rng.randrange(3)]) for _ in range(length))


def random_lines(scale):
    """Two unrelated lines of 1,000,000 characters drawn evenly from hiragana, katakana
    and kanji."""
    rng = random.Random(2)
    length = int(1_000_000 * scale)
    return random_line(length, rng), random_line(length, rng)


def letters(scale):
    """1,000,000 times a against 999,999 times a and one b."""
    length = int(1_000_000 * scale)
    return "a" * length, "a" * (length - 1) + "b"


def long_unit(scale):
    """One unit of 100,000 kanji against 200,000 units of a kanji and a hiragana, none of
    which it contains."""
    rng = random.Random(4)
    source = "".join(rng.choice(KANJI) for _ in range(int(100_000 * scale)))
    target = "".join(rng.choice(KANJI) + rng.choice(HIRAGANA) for _ in range(int(200_000 * scale)))
    return source, target


def chains(scale):
    """50,000 units on each side, a kanji of a small set and 1 to 40 times the same
    hiragana: repeats, prefixes and containment everywhere."""
    rng = random.Random(5)
    count = int(50_000 * scale)

    def line():
        return "".join(rng.choice(KANJI[:20]) + "あ" * rng.randint(1, 40) for _ in range(count))

    return line(), line()


CASES = {
    "vocab": (vocab, "--pseudo-bunsetsu-match"),
    "random-pb": (random_lines, "--pseudo-bunsetsu-match"),
    "random-morph": (random_lines, "--morpheme-match"),
    "letters": (letters, "--morpheme-match"),
    "long-unit": (long_unit, "--pseudo-bunsetsu-match"),
    "chains": (chains, "--pseudo-bunsetsu-match"),
}


def write(folder, scale):
    os.makedirs(folder, exist_ok=True)
    made = {}
    for name, (make, _) in CASES.items():
        if make not in made:
            made[make] = make(scale)
        for side, line in zip(("source", "target"), made[make]):
            path = os.path.join(folder, f"{name}-{side}.txt")
            with open(path, "w", encoding="utf-8") as out:
                out.write(line + "\n")
            print(f"{path}: {len(line):,} characters, {os.path.getsize(path):,} bytes")


def run_once(binary, option, folder, name, timeout):
    with tempfile.TemporaryDirectory() as scratch:
        command = [binary, "--none", option, "-o", os.path.join(scratch, "report.htm"),
                   os.path.join(folder, f"{name}-source.txt"),
                   os.path.join(folder, f"{name}-target.txt")]
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        try:
            subprocess.run(command, check=True, timeout=timeout, stdout=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            return None
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        return wall, cpu


def time_cases(folder, binaries, runs, timeout, names):
    for name in names or CASES:
        option = CASES[name][1]
        times = {binary: [] for binary in binaries}
        for _ in range(runs):
            for binary in binaries:  # interleaved, so that load from elsewhere hits both
                times[binary].append(run_once(binary, option, folder, name, timeout))
        for binary in binaries:
            done = [t for t in times[binary] if t is not None]
            shown = (f"{statistics.median(w for w, _ in done):8.2f} s wall "
                     f"{statistics.median(c for _, c in done):8.2f} s cpu"
                     if len(done) == runs else f"> {timeout:.0f} s")
            print(f"{name:13} {option:24} {shown}  {binary}", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("action", choices=["write", "time"])
    parser.add_argument("folder")
    parser.add_argument("binaries", nargs="*")
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--timeout", type=float, default=60.0)
    parser.add_argument("--case", action="append", choices=list(CASES))
    args = parser.parse_args()
    if args.action == "write":
        write(args.folder, args.scale)
    else:
        if not args.binaries:
            sys.exit("match_cases.py: name at least one sorowa-compare binary")
        time_cases(args.folder, args.binaries, args.runs, args.timeout, args.case)


if __name__ == "__main__":
    main()
