#!/usr/bin/env python3
"""Compares HTML converted from the RTF corpus with the text and features of
the documents the corpus was made from.

    check_corpus.py [--converter ours|unrtf|libreoffice]... [--tools DIR] [--keep DIR]

For every tests/rtf/corpus/WRITER_SOURCE[_HOW].rtf the checker converts the
file, extracts the HTML's text and compares it with references/SOURCE.ref
(HOW says how the RTF was made: "docx" through a word-processor document,
"bare" without the list items' marker text, "floating" with the pictures
anchored to paragraphs, as shapes, "header" with the table's first row
marked as a header row):

- recall and precision of words: each block of the reference (body, header,
  footer, each note) is aligned with the HTML's words by longest common
  subsequence; recall is the aligned share of the reference's words,
  precision the aligned share of the HTML's words. Words are compared after
  Unicode compatibility folding and case folding, without punctuation; list
  markers (bullets, "1.", "iv)") are left out on both sides.
- paragraph boundaries: the share of reference paragraphs whose first aligned
  word starts a line of the HTML's text (after a block element or BR).
- features, from expect/WRITER_SOURCE.json: title, author, link targets,
  anchors, table cells (header cells among them) and spans, words in bold,
  italic, underline, strike-out, superscript and subscript, words that must
  be present (notes, headers, footers), pictures that exist and open, and the list markers
  ("1.", "a)", bullets) that begin lines, in their order.
- leaks: RTF control words, hex runs or font-table text in the HTML's text.

Converters: "ours" runs tools/icf2html on the RTF file; "unrtf" runs
unrtf --html; "libreoffice" runs soffice --convert-to html. The exit status
is 1 when a file of the first converter misses the targets (99% recall and
precision, every feature kept, no leak)."""
import argparse
import html.parser
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
BLOCK_TAGS = {"p", "br", "div", "li", "tr", "td", "th", "h1", "h2", "h3", "h4", "h5", "h6", "hr",
              "table", "ul", "ol", "fn", "blockquote", "pre", "dd", "dt", "body"}
STYLE_TAGS = {"b": "bold", "strong": "bold", "i": "italic", "em": "italic", "u": "underline",
              "s": "strike", "strike": "strike", "del": "strike", "sup": "sup", "sub": "sub"}
MARKER = re.compile(r"^(?:[0-9]+|[ivxlcdm]+|[a-z])[.)]$|^[\u2022\u25cf\u25e6\u25aa\u2013\u2014\u00b7o-]$")
NOTE_MARK = re.compile(r"^(?:[0-9]+|[ivxlcdm]+|[*\u2020\u2021]+)$", re.I)
LEAK = re.compile(r"\\[a-z]{2,}-?[0-9]*|[0-9a-f]{48,}|\b(?:fcharset|ansicpg|fonttbl|colortbl|stylesheet|pntxtb)\b", re.I)


def words_of(text):
    out = []
    for raw in unicodedata.normalize("NFKC", text).casefold().split():
        if MARKER.match(raw):
            continue
        word = "".join(c for c in raw if c.isalnum())
        if word:
            out.append(word)
    return out


class HtmlText(html.parser.HTMLParser):
    """The text of the body, one line per block, with the styles of each word."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.lines = [""]
        self.head = 0
        self.title = ""
        self.in_title = False
        self.meta = {}
        self.styles = {name: 0 for name in set(STYLE_TAGS.values())}
        self.styled = {name: set() for name in self.styles}
        self.hrefs, self.anchors, self.images = [], set(), []
        self.cells, self.header_cells, self.colspans, self.rowspans = 0, 0, [], []
        self.links = 0

    def handle_starttag(self, tag, attrs):
        attrs = {k.lower(): (v or "") for k, v in attrs}
        if tag == "head":
            self.head += 1
        elif tag == "title":
            self.in_title = True
        elif tag == "meta" and "name" in attrs:
            self.meta[attrs["name"].lower()] = attrs.get("content", "")
        if tag in BLOCK_TAGS:
            self.lines.append("")
        if tag in STYLE_TAGS:
            self.styles[STYLE_TAGS[tag]] += 1
        if tag == "a":
            self.links += 1
            if attrs.get("href"):
                self.hrefs.append(attrs["href"])
            if attrs.get("name"):
                self.anchors.add(attrs["name"])
        if attrs.get("id"):
            self.anchors.add(attrs["id"])
        if tag in ("td", "th"):
            self.cells += 1
            self.header_cells += tag == "th"
            for key, spans in (("colspan", self.colspans), ("rowspan", self.rowspans)):
                spans.append(int(re.sub(r"\D", "", attrs.get(key, "1")) or 1))
        if tag == "img":
            self.images.append(attrs.get("src", ""))

    def handle_endtag(self, tag):
        if tag == "head":
            self.head = max(0, self.head - 1)
        elif tag == "title":
            self.in_title = False
        if tag in BLOCK_TAGS:
            self.lines.append("")
        if tag in STYLE_TAGS:
            name = STYLE_TAGS[tag]
            self.styles[name] = max(0, self.styles[name] - 1)
        if tag == "a":
            self.links = max(0, self.links - 1)

    def handle_data(self, data):
        if self.in_title:
            self.title += data
            return
        if self.head:
            return
        if self.links and NOTE_MARK.match(data.strip()):
            # A link that shows only a number or a mark is a note's reference or
            # anchor: not a word of the text, and no part of a word beside it.
            self.lines[-1] += " "
            return
        self.lines[-1] += data
        for word in words_of(data):
            for name, depth in self.styles.items():
                if depth:
                    self.styled[name].add(word)


def lcs_pairs(a, b):
    """Indices in b of a longest common subsequence of a and b (a is short)."""
    # Dynamic programming over a, with rows of b kept as needed: a block is a
    # few hundred words, the document a few thousand.
    n, m = len(a), len(b)
    table = [[0] * (m + 1) for _ in range(n + 1)]
    for i in range(n - 1, -1, -1):
        row, below = table[i], table[i + 1]
        ai = a[i]
        for j in range(m - 1, -1, -1):
            row[j] = below[j + 1] + 1 if ai == b[j] else max(below[j], row[j + 1])
    pairs, i, j = [], 0, 0
    while i < n and j < m:
        if a[i] == b[j]:
            pairs.append((i, j))
            i, j = i + 1, j + 1
        elif table[i + 1][j] >= table[i][j + 1]:
            i += 1
        else:
            j += 1
    return pairs


def read_reference(path):
    blocks, current = [], None
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if line.startswith("=== "):
            current = []
            blocks.append(current)
        elif current is not None and line.strip():
            current.append(line)
    return blocks


def score(reference_blocks, page):
    out_words, line_start = [], []
    for line in page.lines:
        for k, word in enumerate(words_of(line)):
            out_words.append(word)
            line_start.append(k == 0)
    matched, total_ref, aligned = set(), 0, 0
    starts, starts_kept = 0, 0
    for block in reference_blocks:
        ref_words, para_first = [], []
        for paragraph in block:
            words = words_of(paragraph)
            para_first += [k == 0 for k in range(len(words))]
            ref_words += words
        pairs = lcs_pairs(ref_words, out_words)
        total_ref += len(ref_words)
        aligned += len(pairs)
        matched.update(j for _, j in pairs)
        for i, j in pairs:
            if para_first[i]:
                starts += 1
                starts_kept += line_start[j]
    recall = aligned / total_ref if total_ref else 1.0
    precision = len(matched) / len(out_words) if out_words else 0.0
    boundaries = starts_kept / starts if starts else 1.0
    return recall, precision, boundaries, out_words


def picture_opens(path):
    try:
        head = open(path, "rb").read(8)
    except OSError:
        return False
    return head.startswith(b"\x89PNG") or head.startswith(b"\xff\xd8") or head.startswith(b"GIF8") or head.startswith(b"BM")


def features(expect, page, html_dir):
    kept, missing = 0, []

    def check(ok, what):
        nonlocal kept
        if ok:
            kept += 1
        else:
            missing.append(what)

    if "title" in expect:
        check(words_of(expect["title"]) == words_of(page.title), "title")
    if "author" in expect:
        check(words_of(expect["author"]) == words_of(page.meta.get("author", "")), "author")
    for url in expect.get("links", []):
        check(any(h.rstrip("/") == url.rstrip("/") for h in page.hrefs), "link " + url)
    for name in expect.get("anchors", []):
        check(any(h.endswith("#" + name) for h in page.hrefs) and name in page.anchors, "anchor " + name)
    if "cells" in expect:
        check(page.cells == expect["cells"], "cells %d of %d" % (page.cells, expect["cells"]))
    if "header_cells" in expect:
        check(page.header_cells == expect["header_cells"],
              "header cells %d of %d" % (page.header_cells, expect["header_cells"]))
    for key, spans in (("colspans", page.colspans), ("rowspans", page.rowspans)):
        if key in expect:
            # Spans counted on the table's own grid: a writer that splits every
            # column in two gives every cell twice the span.
            unit = math.gcd(*spans) if spans else 1
            wide = sorted(span // unit for span in spans if span > unit)
            check(wide == sorted(expect[key]), "%s %s" % (key, wide))
    for style in ("bold", "italic", "underline", "strike", "sup", "sub"):
        for word in expect.get(style, []):
            check(words_of(word)[0] in page.styled[style], style + " " + word)
    text_words = set(words_of("\n".join(page.lines)))
    for word in expect.get("present", []):
        check(words_of(word)[0] in text_words, "present " + word)
    if "markers" in expect:
        found = [line.split()[0] for line in page.lines if line.split() and MARKER.match(line.split()[0].casefold())]
        check(found == expect["markers"], "markers " + " ".join(found))
    if "pictures" in expect:
        # A page written under an absolute name names its pictures by file:/// URLs.
        paths = [src[len("file://"):] if src.startswith("file:///") else os.path.join(html_dir, src)
                 for src in page.images]
        good = [path for path in paths if picture_opens(path)]
        check(len(good) >= expect["pictures"], "pictures %d of %d" % (len(good), expect["pictures"]))
    return kept, missing


def convert(converter, rtf, work, tools, reuse):
    name = os.path.splitext(os.path.basename(rtf))[0]
    target = os.path.join(work, converter, name + ".html")
    os.makedirs(os.path.dirname(target), exist_ok=True)
    if reuse and converter != "ours" and os.path.exists(target):
        return target
    if converter == "ours":
        subprocess.run([os.path.join(tools, "icf2html"), rtf, target], check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elif converter == "unrtf":
        with open(target, "wb") as out:
            subprocess.run(["unrtf", "--html", rtf], stdout=out, stderr=subprocess.DEVNULL, check=False,
                           cwd=os.path.dirname(target))
    else:
        for _ in range(2):  # a first start of the office suite on a busy machine may give up
            subprocess.run(["soffice", "-env:UserInstallation=file://" + os.path.join(work, "profile"), "--headless",
                            "--convert-to", "html", "--outdir", os.path.dirname(target), rtf],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
            if os.path.exists(target):
                break
    return target


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--converter", action="append", choices=["ours", "unrtf", "libreoffice"])
    parser.add_argument("--tools", default=os.path.join(HERE, "..", "..", "build", "debug", "tools"))
    parser.add_argument("--keep", help="keep the HTML in this folder")
    parser.add_argument("--reuse", action="store_true",
                        help="with --keep: take the HTML of unrtf and LibreOffice from an earlier run")
    args = parser.parse_args()
    converters = args.converter or ["ours"]
    work = args.keep or tempfile.mkdtemp(prefix="rtf-corpus-")
    corpus = os.path.join(HERE, "corpus")
    failed = False
    print("%-28s %-11s %7s %9s %10s %9s %5s" % ("file", "converter", "recall", "precision", "paragraphs", "features", "leaks"))
    try:
        for rtf in sorted(f for f in os.listdir(corpus) if f.endswith(".rtf")):
            name = rtf[:-4]
            source = re.sub(r"_(docx|bare|floating|header)$", "", name.split("_", 1)[1])
            reference = read_reference(os.path.join(HERE, "references", source + ".ref"))
            expect = json.load(open(os.path.join(HERE, "expect", name + ".json")))
            for converter in converters:
                target = convert(converter, os.path.join(corpus, rtf), work, os.path.abspath(args.tools), args.reuse)
                page = HtmlText()
                try:
                    page.feed(open(target, encoding="utf-8", errors="replace").read())
                except OSError:
                    pass
                recall, precision, boundaries, out_words = score(reference, page)
                kept, missing = features(expect, page, os.path.dirname(target))
                leaks = LEAK.findall("\n".join(page.lines))
                total = kept + len(missing)
                print("%-28s %-11s %6.1f%% %8.1f%% %9.1f%% %5d/%-3d %5d" % (
                    name, converter, 100 * recall, 100 * precision, 100 * boundaries, kept, total, len(leaks)))
                if missing:
                    print("    missing: " + "; ".join(missing))
                if leaks:
                    print("    leaks: " + " ".join(sorted(set(leaks))[:8]))
                if converter == converters[0] and (recall < 0.99 or precision < 0.99 or missing or leaks):
                    failed = True
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


sys.exit(main())
