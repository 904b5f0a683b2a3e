#!/usr/bin/env python3
"""Writes the training documents of a profiled build (build_release.sh): each
RTF file given, written by another program, with the body of its document
repeated until the file holds about SIZE bytes, into FOLDER under its own name.
The body runs from the first paragraph or section at the top level to the
document's closing brace; a file without one is left out. Real documents at a
size where the reader's and the writer's loops, not their start, take the time.

    bench/training_documents.py SIZE FOLDER FILE.rtf...
"""
import os
import sys


def body_start(rtf: bytes) -> int:
    """Where the first paragraph or section at the top level starts, or -1."""
    depth = 0
    at = 0
    while at < len(rtf):
        byte = rtf[at:at + 1]
        if byte == b'\\':
            if depth == 1 and rtf.startswith((b'\\pard', b'\\sectd'), at):
                return at
            at += 2  # a control word's first letter, or an escaped brace or backslash
            continue
        depth += {b'{': 1, b'}': -1}.get(byte, 0)
        at += 1
    return -1


def main() -> int:
    size, folder, names = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
    for name in names:
        with open(name, 'rb') as f:
            rtf = f.read()
        start, end = body_start(rtf), rtf.rstrip().rfind(b'}')
        if start < 0 or end <= start:
            continue
        body = rtf[start:end]
        copies = max(1, size // len(body))
        with open(os.path.join(folder, os.path.basename(name)), 'wb') as f:
            f.write(rtf[:start] + b'\\par\n'.join([body] * copies) + b'}\n')
    return 0


if __name__ == '__main__':
    sys.exit(main())
