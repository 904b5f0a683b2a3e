#!/usr/bin/env python3
"""Copies an RTF file without its \\listtext groups (list items' marker text),
as RTF writers that leave numbering to the list table write it: a reader must
then number the items from \\listtable and \\listoverridetable.

    strip_list_text.py IN.rtf OUT.rtf"""
import sys

data = open(sys.argv[1], "rb").read()
out, k, mark = bytearray(), 0, b"{\\listtext"
while True:
    at = data.find(mark, k)
    if at < 0:
        break
    out += data[k:at]
    depth, j = 0, at
    while j < len(data):
        c = data[j:j + 1]
        if c == b"\\":
            j += 2
            continue
        depth += c == b"{"
        depth -= c == b"}"
        j += 1
        if depth == 0:
            break
    k = j
out += data[k:]
open(sys.argv[2], "wb").write(out)
