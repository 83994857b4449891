"""The line-by-line HTML report of Python's difflib, for timing beside sorowa-compare.

usage: difflib_report.py SOURCE TARGET OUTPUT
"""
import difflib
import sys

source, target, output = sys.argv[1:4]
with open(source, encoding="utf-8") as f:
    a = f.read().splitlines()
with open(target, encoding="utf-8") as f:
    b = f.read().splitlines()
with open(output, "w", encoding="utf-8") as f:
    f.write(difflib.HtmlDiff().make_file(a, b))
