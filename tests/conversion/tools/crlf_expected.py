#!/usr/bin/env python3
"""Gives the expected sections of .case files the line ends their levels choose.

Case files are easiest to write with LF line ends; the writer ends lines with
CR LF unless the level letters say M (CR) or X (LF). This rewrites, in place,
every expected section written with LF alone so that its lines end as the
writer will end them. Sections that already hold CR are left alone."""
import re
import sys


def fix(text: str) -> str:
    out = []
    for block in re.split(r'(?m)^(?==== )', text):
        m = re.search(r'(?m)^levels: *(\S*)', block)
        levels = (m.group(1) if m else '5').upper()
        eol = '\r\n'
        for letter in levels[1:]:
            if letter == 'M':
                eol = '\r'
            elif letter == 'X':
                eol = '\n'
        parts = re.split(r'(?m)^(--- expected\n)', block, maxsplit=1)
        if len(parts) == 3 and '\r' not in parts[2]:
            body = parts[2]
            if eol != '\n':
                body = body.replace('\n', eol)
            block = parts[0] + parts[1] + body
        out.append(block)
    return ''.join(out)


for name in sys.argv[1:]:
    with open(name, newline='') as f:
        text = f.read()
    fixed = fix(text)
    if fixed != text:
        with open(name, 'w', newline='') as f:
            f.write(fixed)
