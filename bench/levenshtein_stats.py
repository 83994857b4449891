"""Character error counts per line pair with Debian's python3-levenshtein (its C functions
do the work), written as JSON: the baseline for timing sorowa-compare --no-report --stats.

Lines are paired by position, as sorowa-compare does by default, and numbered by their
physical line in the file; empty lines are skipped, surplus lines of the longer side count
as deleted or inserted. Per pair it writes N, S, D, I, the distance and the rate, then the
totals and the complete confusion counts (what sorowa-compare writes, less the classes).

usage: levenshtein_stats.py SOURCE TARGET OUTPUT.json
"""
import collections
import json
import re
import sys

import Levenshtein


def numbered_lines(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    # Only CR, LF and CR LF end a line, as in sorowa-compare (str.splitlines knows more).
    return [(k + 1, line) for k, line in enumerate(re.split(r"\r\n|\r|\n", text)) if line]


def counts(n, s, d, i):
    return {"n": n, "s": s, "d": d, "i": i, "distance": s + d + i,
            "rate": (s + d + i) / n if n else None}


source_path, target_path, output_path = sys.argv[1:4]
source = numbered_lines(source_path)
target = numbered_lines(target_path)
pairs = []
total = [0, 0, 0, 0]
substitutions = collections.Counter()
deletions = collections.Counter()
insertions = collections.Counter()
for k in range(max(len(source), len(target))):
    a_number, a = source[k] if k < len(source) else ("-", "")
    b_number, b = target[k] if k < len(target) else ("-", "")
    s = d = i = 0
    for op, x, y in Levenshtein.editops(a, b):
        if op == "replace":
            s += 1
            substitutions[a[x], b[y]] += 1
        elif op == "delete":
            d += 1
            deletions[a[x]] += 1
        else:
            i += 1
            insertions[b[y]] += 1
    n = len(a)
    for t, v in enumerate((n, s, d, i)):
        total[t] += v
    pairs.append({"source": str(a_number), "target": str(b_number),
                  "chars": counts(n, s, d, i)})

with open(output_path, "w", encoding="utf-8") as f:
    json.dump({"pairs": pairs, "totals": {"chars": counts(*total)},
               "confusion_counts": {
                   "substitutions": [{"from": x, "to": y, "count": c}
                                     for (x, y), c in substitutions.most_common()],
                   "deletions": [{"char": x, "count": c} for x, c in deletions.most_common()],
                   "insertions": [{"char": x, "count": c}
                                  for x, c in insertions.most_common()]}},
              f, ensure_ascii=False)
