#!/usr/bin/env python3
"""Compares icf-identify with file(1) on a fixed sample of the files under the
given roots, and reports how often the two agree, by kind and overall.

The sample is reproducible: files are grouped by name extension, each group is
ordered by a hash of the seed and the path, and the groups are taken from in
turn until the count is reached, so every kind of file present is represented.
A few directories and every kind of answer count. Answers are reduced to kinds
(text, ELF, gzip, ...); the two agree when the kinds are equal, or when the
identifier says "data" for a kind it was never meant to know.

usage: compare_identify_with_file.py --identify PATH [--count N] [--seed S]
                                     [--show N] ROOT...
"""
import argparse
import collections
import hashlib
import os
import re
import stat
import subprocess
import sys

# Answer text (lower case) to kind; the first match wins.
KINDS = [
    ("empty", r"^empty"),
    ("directory", r"^directory"),
    ("elf", r"\belf\b"),
    ("gzip", r"gzip"),
    ("bzip2", r"bzip2"),
    ("xz", r"\bxz\b"),
    ("ar", r"\bar archive"),
    ("terminfo", r"terminfo"),
    ("zip", r"\bzip\b|java archive|opendocument|microsoft (word|excel|powerpoint) 2007"),
    ("pdf", r"\bpdf\b"),
    ("png", r"\bpng\b"),
    ("gif", r"\bgif\b"),
    ("jpeg", r"\bjpeg\b"),
    ("tiff", r"\btiff\b"),
    ("bmp", r"pc bitmap|\bbmp\b|os/2 bitmap"),
    ("ico", r"icon|cursor"),
    ("pnm", r"netpbm|portable (bit|gray|pix|any)map"),
    ("tga", r"targa|truevision"),
    ("xml", r"\bxml\b|\bsvg\b"),
    ("xpm", r"x pixmap|\bxpm\b"),
    ("html", r"\bhtml\b"),
    ("postscript", r"postscript"),
    ("rtf", r"rich text format|\brtf\b"),
    ("compound", r"composite document file|compound|microsoft (word|excel|powerpoint)"),
    ("icf", r"intermediate code stream"),
    ("text", r"\btext\b"),
    ("data", r"^data$"),
]
KNOWN = {k for k, _ in KINDS}


def kind_of(answer):
    a = answer.strip().lower()
    for kind, pattern in KINDS:
        if re.search(pattern, a):
            return kind
    return "other: " + " ".join(a.split(",")[0].split()[:3])


def extension(name):
    base = os.path.basename(name)
    dot = base.rfind(".")
    ext = base[dot + 1:].lower() if dot > 0 else ""
    return ext if ext.isalnum() and len(ext) <= 5 else "(none)"


def collect(roots):
    files, dirs = [], []
    for root in roots:
        for here, subdirs, names in os.walk(root, onerror=lambda e: None):
            subdirs.sort()
            dirs.append(here)
            for n in sorted(names):
                path = os.path.join(here, n)
                if "\n" in path or ":" in path:
                    continue
                try:
                    info = os.lstat(path)
                except OSError:
                    continue
                if stat.S_ISREG(info.st_mode) and os.access(path, os.R_OK):
                    files.append(path)
    return files, dirs


def sample(roots, count, seed):
    files, dirs = collect(roots)
    key = lambda p: hashlib.sha1((seed + p).encode("utf-8", "surrogateescape")).hexdigest()
    groups = collections.defaultdict(list)
    for f in files:
        groups[extension(f)].append(f)
    queues = [sorted(groups[g], key=key) for g in sorted(groups)]
    chosen = sorted(dirs, key=key)[: max(1, count // 200)]
    round_ = 0
    while len(chosen) < count and any(round_ < len(q) for q in queues):
        for q in queues:
            if round_ < len(q) and len(chosen) < count:
                chosen.append(q[round_])
        round_ += 1
    return chosen


def answers(command, names, separator):
    """Runs command over the names (one a line on standard input) and returns
    one answer per name; a name the program did not answer gets "(unread)"."""
    listing = "".join(n + "\n" for n in names).encode("utf-8", "surrogateescape")
    out = subprocess.run(command, input=listing, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    lines = out.decode("utf-8", "replace").split("\n")
    result, i = [], 0
    for n in names:
        prefix = n + separator
        if i < len(lines) and lines[i].startswith(prefix):
            result.append(lines[i][len(prefix):])
            i += 1
        else:
            result.append("(unread)")
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--identify", required=True)
    parser.add_argument("--count", type=int, default=3000)
    parser.add_argument("--seed", default="icf-identify")
    parser.add_argument("--show", type=int, default=0, help="list this many disagreements")
    parser.add_argument("roots", nargs="+")
    args = parser.parse_args()

    names = sample(args.roots, args.count, args.seed)
    theirs = answers(["file", "-F", "\x1f", "-f", "-"], names, "\x1f ")
    ours = answers([args.identify, "-f", "-"], names, ": ")

    by_kind = collections.defaultdict(lambda: [0, 0])
    misses = collections.Counter()
    examples = {}
    for name, t, o in zip(names, theirs, ours):
        tk, ok = kind_of(t), kind_of(o)
        agree = tk == ok or (ok == "data" and tk not in KNOWN)
        row = by_kind[tk]
        row[0] += 1
        row[1] += agree
        if not agree:
            misses[(tk, o)] += 1
            examples.setdefault((tk, o), name)

    total = sum(r[0] for r in by_kind.values())
    agreed = sum(r[1] for r in by_kind.values())
    print(f"{total} files sampled from {len(args.roots)} roots (seed {args.seed!r})")
    print(f"{'kind (by file(1))':40} {'files':>6} {'agree':>6} {'%':>6}")
    for kind in sorted(by_kind, key=lambda k: (-by_kind[k][0], k)):
        n, a = by_kind[kind]
        print(f"{kind[:40]:40} {n:6} {a:6} {100.0 * a / n:6.1f}")
    print(f"{'overall':40} {total:6} {agreed:6} {100.0 * agreed / max(total, 1):6.1f}")
    if args.show:
        print("\nmost frequent disagreements (file(1) kind, icf-identify answer: count, example)")
        for (tk, o), c in misses.most_common(args.show):
            print(f"  {tk} | {o}: {c}  {examples[(tk, o)]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
