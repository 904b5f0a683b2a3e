#!/usr/bin/env python3
"""Reads converted HTML files with the standard library's HTML parser and
reports live content: a SCRIPT element, an event attribute (a name that begins
with "on"), or a URL attribute whose scheme a browser would run (javascript,
vbscript, data). Prints one line per finding and exits 1 when there is any;
prints the number of files read and exits 0 otherwise."""
import sys
from html.parser import HTMLParser

URL_ATTRIBUTES = {"href", "src", "action", "formaction", "background", "lowsrc",
                  "data", "codebase", "poster", "dynsrc"}
LIVE_SCHEMES = {"javascript", "vbscript", "data"}


def scheme_of(value):
    """The scheme as a browser takes it: leading blanks and control characters
    skipped, tabs and line ends inside ignored, case folded."""
    value = value.lstrip("".join(chr(c) for c in range(0x21)))
    value = value.replace("\t", "").replace("\n", "").replace("\r", "")
    head, colon, _ = value.partition(":")
    if not colon or not head or not all(c.isalnum() or c in "+-." for c in head):
        return ""
    return head.lower()


class Checker(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.findings = []

    def handle_starttag(self, tag, attrs):
        if tag == "script":
            self.findings.append("a SCRIPT element")
        for name, value in attrs:
            if name.startswith("on"):
                self.findings.append(f"an event attribute {name} in {tag}")
            if name in URL_ATTRIBUTES and value is not None and scheme_of(value) in LIVE_SCHEMES:
                self.findings.append(f"a {scheme_of(value)}: URL in {tag}")

    handle_startendtag = handle_starttag


def main(files):
    found = False
    for name in files:
        with open(name, "rb") as f:
            text = f.read().decode("latin-1")
        checker = Checker()
        checker.feed(text)
        checker.close()
        for finding in checker.findings:
            print(f"{name}: {finding}")
            found = True
    if not found:
        print(f"{len(files)} files read, no live content")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
