#!/usr/bin/env python3
"""Writes the reference text of a corpus source: the words a reader of the RTF
made from it should keep, in blocks ("=== body", "=== header", "=== footer",
"=== note") of paragraphs, one paragraph a line. The checker aligns each block
with the converted HTML on its own, so the place where a converter puts notes,
headers and footers does not matter.

    source_text.py SOURCE > NAME.ref

HTML sources are read with the standard parser, the flat OpenDocument source
with the XML parser, Markdown and LaTeX through pandoc's plain-text writer (LaTeX sections with their numbers),
plain text as it is (Latin-1)."""
import html.parser
import re
import subprocess
import sys
import xml.etree.ElementTree as ET


def html_blocks(path):
    class Text(html.parser.HTMLParser):
        blocks = {"p", "br", "h1", "h2", "h3", "li", "tr", "td", "th", "ul", "ol", "table", "div"}

        def __init__(self):
            super().__init__()
            self.lines, self.current, self.skip = [], "", 0

        def handle_starttag(self, tag, attrs):
            if tag in ("head", "title", "style", "script"):
                self.skip += 1
            elif tag in self.blocks:
                self.flush()

        def handle_endtag(self, tag):
            if tag in ("head", "title", "style", "script"):
                self.skip -= 1
            elif tag in self.blocks:
                self.flush()

        def handle_data(self, data):
            if not self.skip:
                self.current += data

        def flush(self):
            line = " ".join(self.current.split())
            if line:
                self.lines.append(line)
            self.current = ""

    parser = Text()
    parser.feed(open(path, encoding="utf-8").read())
    parser.flush()
    return [("body", parser.lines)]


def odt_blocks(path):
    ns = {"text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
          "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
          "style": "urn:oasis:names:tc:opendocument:xmlns:style:1.0"}
    t = "{%s}" % ns["text"]
    root = ET.parse(path).getroot()
    blocks = []

    def paragraph_text(element, notes):
        out = element.text or ""
        for child in element:
            if child.tag == t + "note":
                body = child.find("text:note-body", ns)
                notes.append([para_line(p, []) for p in body.iter() if p.tag in (t + "p", t + "h")])
            elif child.tag == t + "tab":
                out += " "
            elif child.tag == t + "line-break":
                out += "\n"
            else:
                out += paragraph_text(child, notes)
            out += child.tail or ""
        return out

    def para_line(element, notes):
        return " ".join(paragraph_text(element, notes).split())

    for kind in ("header", "footer"):
        for part in root.iter("{%s}%s" % (ns["style"], kind)):
            blocks.append((kind, [para_line(p, []) for p in part.iter(t + "p")]))
    notes, body = [], []
    # Paragraphs of the body in document order, notes taken out of them.
    note_paragraphs = set()
    for note in root.iter(t + "note"):
        for p in note.iter():
            if p.tag in (t + "p", t + "h"):
                note_paragraphs.add(p)
    for p in root.find("office:body/office:text", ns).iter():
        if p.tag in (t + "p", t + "h") and p not in note_paragraphs:
            text = " ".join(paragraph_text(p, notes).replace("\n", " \n ").split(" "))
            for line in text.split("\n"):
                line = " ".join(line.split())
                if line:
                    body.append(line)
    blocks.insert(0, ("body", body))
    blocks += [("note", n) for n in notes]
    return blocks


def pandoc_blocks(path, reader, numbered=False):
    text = subprocess.run(["pandoc", "-s", "-f", reader, "-t", "plain", "--wrap=none", path],
                          check=True, capture_output=True, text=True).stdout
    # LaTeX numbers its sections; the plain-text writer does not show the numbers.
    sections = re.findall(r"\\section\{([^}]*)\}", open(path).read()) if numbered else []
    body, notes = [], []
    for line in text.splitlines():
        line = " ".join(line.split())
        if not line:
            continue
        if line in sections:
            line = "%d %s" % (sections.index(line) + 1, line)
            sections[sections.index(line.split(" ", 1)[1])] = None
        note = re.match(r"^\[(\d+)\] (.*)$", line)
        if note:
            notes.append([note.group(2)])
        else:
            body.append(re.sub(r"\[\d+\]", "", line))
    return [("body", body)] + [("note", n) for n in notes]


def text_blocks(path):
    lines = [" ".join(line.split()) for line in open(path, encoding="latin-1")]
    return [("body", [line for line in lines if line])]


def main():
    path = sys.argv[1]
    if path.endswith(".html"):
        blocks = html_blocks(path)
    elif path.endswith(".fodt"):
        blocks = odt_blocks(path)
    elif path.endswith(".md"):
        blocks = pandoc_blocks(path, "markdown")
    elif path.endswith(".tex"):
        blocks = pandoc_blocks(path, "latex", numbered=True)
    else:
        blocks = text_blocks(path)
    for name, lines in blocks:
        print("=== " + name)
        for line in lines:
            print(line)


main()
