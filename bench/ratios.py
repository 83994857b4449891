"""Runs sorowa_bench with repetitions and prints, per benchmark, the median time and its
ratio to the reference (path 0) from the same run.

usage: ratios.py PATH/TO/sorowa_bench [REPETITIONS] [FILTER]
"""
import json
import re
import subprocess
import sys

bench = sys.argv[1]
repetitions = sys.argv[2] if len(sys.argv) > 2 else "5"
filter_ = sys.argv[3] if len(sys.argv) > 3 else "CharDp"
out = subprocess.run(
    [bench, f"--benchmark_filter={filter_}", f"--benchmark_repetitions={repetitions}",
     "--benchmark_format=json"],
    check=True, capture_output=True, text=True).stdout
medians = {}
for b in json.loads(out)["benchmarks"]:
    if b.get("aggregate_name") == "median":
        medians[b["run_name"]] = (b["cpu_time"], b["time_unit"], b.get("entries/s"))
names = ["reference", "DpAlign", "SIMD full SSE2", "SIMD full AVX2", "band"]
for name, (cpu, unit, rate) in medians.items():
    path = int(re.search(r"path:(\d)", name).group(1)) if "path:" in name else None
    reference = re.sub(r"path:\d", "path:0", name)
    ratio = medians[reference][0] / cpu if reference in medians else None
    label = names[path] if path is not None else ""
    rate_text = f"{rate / 1e9:7.2f} G entries/s" if rate else ""
    ratio_text = f"{ratio:7.1f}x vs reference" if ratio else ""
    print(f"{name:45} {label:15} {cpu:10.3f} {unit}  {rate_text}  {ratio_text}")
