"""Cuts a Source and a Target text into many small documents for timing a batch run.

Document k holds lines k*L+1 .. k*L+L of both texts, wrapping round at their end, so every
document pairs revised lines with their originals, as a corpus of page pairs does.

usage: batch_corpus.py SOURCE TARGET OUT_DIR DOCUMENTS LINES
writes OUT_DIR/source/NNNN.txt and OUT_DIR/target/NNNN.txt
"""
import os
import sys

source_path, target_path, out_dir, documents, lines = sys.argv[1:6]
documents = int(documents)
lines = int(lines)


def read_lines(path):
    with open(path, encoding="utf-8") as f:
        return [line for line in f.read().split("\n") if line]


source = read_lines(source_path)
target = read_lines(target_path)
count = min(len(source), len(target))
for side in ("source", "target"):
    os.makedirs(os.path.join(out_dir, side), exist_ok=True)
for k in range(documents):
    picked = [(k * lines + i) % count for i in range(lines)]
    for side, text in (("source", source), ("target", target)):
        with open(os.path.join(out_dir, side, "%04d.txt" % k), "w", encoding="utf-8") as f:
            f.write("".join(text[i] + "\n" for i in picked))
