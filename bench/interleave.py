"""Times whole commands in turn, round after round, so that a busy machine slows them alike.

usage: interleave.py ROUNDS COMMAND... (the last command is the yardstick)

Prints, for each command, the median wall time, the median CPU time (user and system, of
the command and its children) and the median of its per-round wall-time ratio to the last
command. The first round only warms up.
"""
import resource
import statistics
import subprocess
import sys
import time

rounds = int(sys.argv[1])
commands = sys.argv[2:]
wall = {c: [] for c in commands}
cpu = {c: [] for c in commands}
ratio = {c: [] for c in commands}
for r in range(rounds + 1):
    this_round = {}
    for c in commands:
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(c, shell=True, check=True, stdout=subprocess.DEVNULL)
        seconds = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        if r == 0:
            continue
        wall[c].append(seconds)
        cpu[c].append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
        this_round[c] = seconds
    if r > 0:
        for c in commands:
            ratio[c].append(this_round[c] / this_round[commands[-1]])
for c in commands:
    print(f"{statistics.median(wall[c]):7.3f} s wall  {statistics.median(cpu[c]):7.3f} s cpu  "
          f"ratio {statistics.median(ratio[c]):5.2f}  {c}")
