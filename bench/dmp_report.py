"""An exact character diff of two texts as HTML with Debian's python3-diff-match-patch, for
timing beside sorowa-compare --char-dp. Diff_Timeout = 0 makes diff_main run to the end.

usage: dmp_report.py SOURCE TARGET OUTPUT
"""
import sys

from diff_match_patch import diff_match_patch

source, target, output = sys.argv[1:4]
with open(source, encoding="utf-8") as f:
    a = f.read()
with open(target, encoding="utf-8") as f:
    b = f.read()
dmp = diff_match_patch()
dmp.Diff_Timeout = 0
html = dmp.diff_prettyHtml(dmp.diff_main(a, b))
with open(output, "w", encoding="utf-8") as f:
    f.write(html)
