"""The package's single conversions and recognition, through its public
functions, against the icf2html program as the reference host."""

from __future__ import annotations

import os
import subprocess
import tempfile
import threading
import unittest

import icf2html
from icf2html.batch import find_program

ESC_GS = b"\x1b\x1d"


def code(name: str, *parameters: str) -> bytes:
    """One stream code with its parameters."""
    return ESC_GS + name.encode() + b"".join(p.encode() + b"\x1f" for p in parameters) + b"\x1e"


DOCUMENT = b"Hello " + code("BBT") + b"bold" + code("EBT") + b" & <world>" + code("HNL") + b"second line"


class Folder(unittest.TestCase):
    def setUp(self) -> None:
        self._folder = tempfile.TemporaryDirectory(prefix="icf2html-test-")
        self.folder = self._folder.name
        self.addCleanup(self._folder.cleanup)

    def path(self, name: str, content: bytes | None = None) -> str:
        full = os.path.join(self.folder, name)
        if content is not None:
            with open(full, "wb") as file:
                file.write(content)
        return full

    def read(self, name: str) -> bytes:
        with open(self.path(name), "rb") as file:
            return file.read()


class ConvertTest(Folder):
    def test_converts_and_keeps_the_source(self) -> None:
        source = self.path("doc.icf", DOCUMENT)
        self.assertEqual(icf2html.convert(source, self.path("doc.html")), 0)
        page = self.read("doc.html")
        self.assertIn(b"<B>bold</B>", page)
        self.assertIn(b"&amp; &lt;world&gt;", page)
        self.assertEqual(self.read("doc.icf"), DOCUMENT)
        self.assertEqual(os.stat(source).st_nlink, 1)  # the private link is gone too
        self.assertEqual(sorted(os.listdir(self.folder)), ["doc.html", "doc.icf"])

    def test_same_page_as_the_program(self) -> None:
        source = self.path("doc.icf", DOCUMENT)
        os.chdir(self.folder)
        self.addCleanup(os.chdir, os.path.dirname(os.path.abspath(__file__)))
        subprocess.run([find_program(), "doc.icf", "page.html"], check=True)
        by_program = self.read("page.html")
        icf2html.convert(source, "page.html")
        self.assertEqual(self.read("page.html"), by_program)

    def test_level_and_options_reach_the_converter(self) -> None:
        source = self.path("doc.icf", DOCUMENT)
        icf2html.convert(source, self.path("crlf.html"))
        icf2html.convert(source, self.path("lf.html"), level="5X")
        self.assertIn(b"\r\n", self.read("crlf.html"))
        self.assertNotIn(b"\r\n", self.read("lf.html"))
        self.assertEqual(self.read("lf.html").replace(b"lf.html", b"page"),
                         self.read("crlf.html").replace(b"\r\n", b"\n").replace(b"crlf.html", b"page"))

    def test_safe_output_by_default(self) -> None:
        source = self.path("link.icf", b"See " + code("XRF", "0", "12", "javascript:alert(1)", "this") + b" now")
        icf2html.convert(source, self.path("safe.html"))
        icf2html.convert(source, self.path("raw.html"), safe=False)
        self.assertIn(b"javascript:", self.read("raw.html"))
        self.assertNotIn(b"javascript:", self.read("safe.html"))
        self.assertIn(b"this", self.read("safe.html"))

    def test_failures_raise_with_code_and_meaning(self) -> None:
        source = self.path("doc.icf", DOCUMENT)
        cases = [
            ("missing source", self.path("absent.icf"), self.path("a.html"), 3),
            ("folder as source", self.folder, self.path("b.html"), 3),
            ("target in a missing folder", source, self.path("no/such/c.html"), 1),
            ("separator that closes no code", self.path("bad.icf", b"text\x1fmore"), self.path("d.html"), 16),
        ]
        for what, src, target, expected in cases:
            with self.subTest(what), self.assertRaises(icf2html.ConversionError) as raised:
                icf2html.convert(src, target)
            self.assertEqual(raised.exception.code, expected)
            self.assertTrue(raised.exception.meaning)
        self.assertEqual(self.read("doc.icf"), DOCUMENT)

    def test_threads_convert_one_at_a_time(self) -> None:
        sources = [self.path(f"d{i}.icf", DOCUMENT + str(i).encode() * 2000) for i in range(4)]
        for i, source in enumerate(sources):
            icf2html.convert(source, self.path(f"alone{i}.html"))
        errors: list[BaseException] = []

        def convert(i: int) -> None:
            try:
                for _ in range(5):
                    icf2html.convert(sources[i], self.path(f"thread{i}.html"))
            except BaseException as error:  # reported by the main thread
                errors.append(error)

        threads = [threading.Thread(target=convert, args=(i,)) for i in range(4)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(errors, [])
        for i in range(4):
            alone = self.read(f"alone{i}.html").replace(f"alone{i}".encode(), b"X")
            self.assertEqual(self.read(f"thread{i}.html").replace(f"thread{i}".encode(), b"X"), alone)


class IdentifyTest(Folder):
    SAMPLES = [
        ("intermediate stream", code("DID", "1") + DOCUMENT, 3, "intermediate code stream"),
        ("RTF", b"{\\rtf1\\ansi hello}", 19, "RTF document"),
        ("PNG", b"\x89PNG\r\n\x1a\n" + bytes(32), 504, "PNG image"),
        ("unknown bytes", bytes(range(256)) * 4, 0, "not recognised"),
    ]

    def test_files_and_bytes_agree(self) -> None:
        for what, data, number, name in self.SAMPLES:
            with self.subTest(what):
                by_file = icf2html.identify(self.path("sample", data))
                self.assertEqual((by_file.code, by_file.name), (number, name))
                self.assertEqual(icf2html.identify_bytes(data), by_file)
                self.assertEqual(icf2html.identify_bytes(bytearray(data)), by_file)
                self.assertEqual(icf2html.identify_bytes(memoryview(data)), by_file)

    def test_rtf_variant(self) -> None:
        self.assertEqual(icf2html.identify_bytes(b"{\\rtf1 x}" + bytes(16)).variant, 1)

    def test_unreadable(self) -> None:
        with self.assertRaises(OSError):
            icf2html.identify(self.path("absent"))
        with self.assertRaises(OSError):
            icf2html.identify(self.path("empty", b""))


if __name__ == "__main__":
    unittest.main()
