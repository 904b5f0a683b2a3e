"""Batches through the icf2html program and through convert_batch: the walk,
the page names, the report, failures that cost only their document, --resume
and Ctrl-C."""

from __future__ import annotations

import json
import os
import pathlib
import re
import signal
import struct
import subprocess
import time
import unittest

import icf2html
from icf2html.batch import SKIPPED, find_program
from test_package import DOCUMENT, Folder, code

HEADER = code("DID", "1")
MALFORMED = HEADER + b"text\x1fmore"  # a separator that closes no code: 16
BIG = HEADER + b"word " * 4_000_000  # keeps a worker busy while the batch is interrupted
RTF = b"{\\rtf1{\\info{\\title Tides}}{\\b Bold} caf\\'e9 \\u945? end\\par}"
# Sixty notes, each wanting a buffer of its own: more than 1 MiB of address space.
NOTES = HEADER + b"".join(b"t" + code("FTN", str(i)) + b"n" * 100 + code("EFN") for i in range(1, 61))


class BatchFolder(Folder):
    def setUp(self) -> None:
        super().setUp()
        os.chdir(self.folder)
        self.addCleanup(os.chdir, os.path.dirname(os.path.abspath(__file__)))

    def tree(self, files: dict[str, bytes]) -> None:
        for name, content in files.items():
            os.makedirs(os.path.dirname(name) or ".", exist_ok=True)
            with open(name, "wb") as file:
                file.write(content)

    def program(self, *arguments: str, **options) -> subprocess.CompletedProcess:
        return subprocess.run([find_program(), *arguments], capture_output=True, **options)

    def report(self, name: str = "out/report.jsonl") -> list[dict]:
        with open(name, encoding="utf-8") as lines:
            return [json.loads(line) for line in lines]

    def endless(self, name: str) -> None:
        """A stream of a header and some 1.5 GB of NUL bytes: a sparse file that
        costs nothing to make and keeps a converter busy far beyond the tests'
        time limits."""
        os.makedirs(os.path.dirname(name), exist_ok=True)
        with open(name, "wb") as file:
            file.write(HEADER)
            file.truncate(1500 << 20)

    def contents(self, folder: str) -> dict[str, bytes]:
        return {name: pathlib.Path(folder, name).read_bytes() for name in os.listdir(folder)}

    def leftovers(self, folder: str) -> list[str]:
        return [os.path.join(d, f) for d, _, files in os.walk(folder) for f in files if f.startswith("icf2html-")]

    def pages_match_single_conversions(self, rows: list[dict], **options) -> None:
        """Each page is the one a single conversion of its input to the same path gives."""
        for row in rows:
            if row["output"]:
                batch_page = pathlib.Path(row["output"]).read_bytes()
                os.remove(row["output"])  # so the page compared is the single conversion's own
                self.program(row["input"], row["output"], **options)
                self.assertEqual(batch_page, pathlib.Path(row["output"]).read_bytes(), row["input"])


class WalkAndNamesTest(BatchFolder):
    FILES = {
        "docs/a.icf": HEADER + b"first a",
        "docs/a.txt": HEADER + b"second a, same page name",
        "docs/sub/b.icf": HEADER + DOCUMENT,
        "docs/notes.txt": b"just some plain text\n" * 3,
        "docs/.hidden.icf": HEADER + b"hidden",
        "docs/.cache/c.icf": HEADER + b"hidden folder",
        "a.icf": HEADER + b"given directly, third a",
    }

    def test_pages_names_and_rows(self) -> None:
        self.tree(self.FILES)
        os.symlink("a.icf", "docs/link.icf")
        rows = icf2html.convert_batch(["docs", "a.icf"], "out", jobs=2, report="out/report.jsonl")
        self.assertEqual(rows, self.report())
        by_input = {row["input"]: row for row in rows}
        self.assertEqual(set(by_input), {"docs/a.icf", "docs/a.txt", "docs/sub/b.icf", "docs/notes.txt", "a.icf"})
        self.assertEqual({name: row["output"] for name, row in by_input.items()}, {
            "docs/a.icf": "out/a.html", "docs/a.txt": "out/a-2.html", "docs/sub/b.icf": "out/sub/b.html",
            "docs/notes.txt": None, "a.icf": "out/a-3.html"})
        self.assertEqual(by_input["docs/notes.txt"]["code"], SKIPPED)
        self.assertIn("plain text", by_input["docs/notes.txt"]["meaning"])
        for row in rows:
            self.assertEqual(set(row), {"input", "output", "code", "meaning", "seconds", "pictures"})
            if row["output"]:
                self.assertEqual(row["code"], 0)
                self.assertGreater(row["seconds"], 0)
        self.pages_match_single_conversions(rows)
        self.assertEqual(sorted(os.listdir("out")), ["a-2.html", "a-3.html", "a.html", "report.jsonl", "sub"])
        # The same names on every run.
        again = icf2html.convert_batch(["docs", "a.icf"], "out2")
        self.assertEqual({r["input"]: r["output"] and r["output"].replace("out2/", "out/") for r in again},
                         {r["input"]: r["output"] for r in rows})

    def test_plan_lists_what_would_be_done(self) -> None:
        self.tree(self.FILES)
        planned = [json.loads(line) for line in self.program("--batch", "out", "--plan", "docs").stdout.splitlines()]
        self.assertEqual([row["input"] for row in planned if "code" not in row],
                         ["docs/a.icf", "docs/a.txt", "docs/sub/b.icf"])
        self.assertFalse(os.path.exists("out"))

    def test_usage_errors(self) -> None:
        for arguments in (["--batch", "out"], ["--batch"], ["--batch", "out", "--jobs", "0", "x"],
                          ["--batch", "out", "--timeout", "soon", "x"], ["--batch-document", "only-one"]):
            with self.subTest(arguments):
                self.assertEqual(self.program(*arguments).returncode, 2)
        with self.assertRaises(icf2html.BatchError):
            icf2html.convert_batch(["x"], "out", timeout=-1)


class FailuresTest(BatchFolder):
    def test_a_failure_costs_only_its_document(self) -> None:
        self.tree({"in/bad.icf": MALFORMED, "in/good.icf": HEADER + b"good"})
        self.endless("in/big.icf")
        result = self.program("--batch", "out", "--timeout", "2", "--jobs", "2", "in")
        self.assertEqual(result.returncode, 1)
        rows = {row["input"]: row for row in self.report()}
        self.assertEqual((rows["in/bad.icf"]["code"], rows["in/bad.icf"]["output"]), (16, None))
        self.assertEqual((rows["in/big.icf"]["code"], rows["in/big.icf"]["output"]), (101, None))
        self.assertEqual(rows["in/good.icf"]["output"], "out/good.html")
        self.assertEqual(sorted(os.listdir("out")), ["good.html", "report.jsonl"])
        self.assertEqual(self.leftovers("."), [])

    def test_resume_retries_only_the_failed(self) -> None:
        self.tree({"in/bad.icf": MALFORMED, "in/good.icf": HEADER + b"good"})
        self.assertEqual(self.program("--batch", "out", "in").returncode, 1)
        good_page = os.stat("out/good.html").st_mtime_ns
        self.tree({"in/bad.icf": HEADER + b"mended"})
        self.assertEqual(self.program("--batch", "out", "--resume", "in").returncode, 0)
        rows = self.report()
        self.assertEqual(sorted((row["input"], row["code"]) for row in rows[:2]), [("in/bad.icf", 16), ("in/good.icf", 0)])
        self.assertEqual(rows[2:], [dict(rows[2], input="in/bad.icf", output="out/bad.html", code=0)])
        self.assertEqual(os.stat("out/good.html").st_mtime_ns, good_page)

    def test_no_private_folder_outlasts_the_batch(self) -> None:
        # A worker keeps its private folder from page to page within a folder:
        # changes of folder, failures and documents read by a reader in between.
        self.tree({"in/a/one.icf": HEADER + b"one", "in/a/two.icf": HEADER + b"two", "in/a/z.icf": MALFORMED,
                   "in/b/three.icf": HEADER + b"three", "in/b/x.rtf": RTF, "in/b/y.icf": HEADER + b"four"})
        self.assertEqual(self.program("--batch", "out", "--jobs", "1", "in").returncode, 1)
        self.assertEqual(sorted(os.path.relpath(os.path.join(d, name), "out")
                                for d, folders, files in os.walk("out") for name in folders + files),
                         ["a", "a/one.html", "a/two.html", "b", "b/three.html", "b/x.html", "b/y.html", "report.jsonl"])

    def test_a_dead_worker_takes_only_its_own_private_folder(self) -> None:
        os.makedirs("out/.icf2html-1-abcdef")  # another worker's, converting beside this one
        self.endless("in/big.icf")
        batch = subprocess.Popen([find_program(), "--batch", "out", "--jobs", "1", "--timeout", "60", "in"])
        self.addCleanup(batch.kill)
        deadline = time.monotonic() + 30
        while not (own := [name for name in os.listdir("out") if name.startswith(".icf2html-") and "-1-" not in name]):
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.01)
        os.kill(int(own[0].split("-")[1]), signal.SIGKILL)  # the worker, named in its folder
        self.assertEqual(batch.wait(timeout=30), 1)
        self.assertEqual([(row["input"], row["code"]) for row in self.report()], [("in/big.icf", 103)])
        self.assertEqual(sorted(os.listdir("out")), [".icf2html-1-abcdef", "report.jsonl"])

    def start_batch(self, jobs: int) -> subprocess.Popen:
        batch = subprocess.Popen([find_program(), "--batch", "out", "--jobs", str(jobs), "in"])
        self.addCleanup(batch.kill)
        return batch

    def wait_until(self, ready, deadline: float) -> None:
        while not ready():
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.002)

    def out_has(self, test) -> bool:
        return os.path.isdir("out") and any(test(name) for name in os.listdir("out"))

    def test_interrupt_keeps_a_valid_report_for_resume(self) -> None:
        self.tree({f"in/big{i}.icf": BIG for i in range(3)} | {"in/a.icf": HEADER + b"quick"})
        batch = self.start_batch(2)
        self.wait_until(lambda: self.out_has(lambda name: name.endswith(".html")), time.monotonic() + 30)
        batch.send_signal(signal.SIGINT)
        self.assertEqual(batch.wait(timeout=30), 130)
        finished = self.report()  # every line whole
        self.assertLess(len(finished), 4)
        pages = sorted(name for name in os.listdir("out") if name.endswith(".html"))
        self.assertEqual(pages, sorted(os.path.basename(row["output"]) for row in finished if row["output"]))
        self.assertEqual(self.leftovers("."), [])
        self.assertEqual(self.program("--batch", "out", "--resume", "in").returncode, 0)
        self.assertEqual(sorted(row["input"] for row in self.report() if row["output"]),
                         ["in/a.icf", "in/big0.icf", "in/big1.icf", "in/big2.icf"])

    def test_interrupt_keeps_documents_whose_answers_were_not_read_yet(self) -> None:
        """Documents a worker finished while the controlling process was not
        reading its answers are still reported, with their pages."""
        self.tree({"in/a.icf": BIG, "in/b.icf": HEADER + b"quick"})
        self.endless("in/c.icf")
        batch = self.start_batch(1)
        deadline = time.monotonic() + 30
        # The worker has begun a (its private folder is there) with b waiting behind it.
        self.wait_until(lambda: self.out_has(lambda name: name.startswith(".icf2html-")), deadline)
        batch.send_signal(signal.SIGSTOP)
        self.addCleanup(batch.send_signal, signal.SIGCONT)
        self.wait_until(lambda: os.path.exists("out/b.html"), deadline)
        time.sleep(0.2)  # b's answer follows its page
        batch.send_signal(signal.SIGINT)
        batch.send_signal(signal.SIGCONT)
        self.assertEqual(batch.wait(timeout=30), 130)
        self.assertEqual(sorted(row["input"] for row in self.report() if row["output"]), ["in/a.icf", "in/b.icf"])
        self.assertEqual(sorted(name for name in os.listdir("out") if name.endswith(".html")), ["a.html", "b.html"])


class OutcomesTest(BatchFolder):
    def test_one_worker_goes_on_after_failures_and_reads_documents(self) -> None:
        self.tree({"in/a.rtf": RTF, "in/b.icf": MALFORMED, "in/d.icf": HEADER + DOCUMENT, "in/e.icf": HEADER + b"last"})
        self.endless("in/c.icf")
        rows = icf2html.convert_batch(["in"], "out", jobs=1, timeout=2)
        self.assertEqual({row["input"]: (row["code"], row["output"]) for row in rows}, {
            "in/a.rtf": (0, "out/a.html"), "in/b.icf": (16, None), "in/c.icf": (101, None),
            "in/d.icf": (0, "out/d.html"), "in/e.icf": (0, "out/e.html")})
        self.pages_match_single_conversions(rows)
        self.assertEqual(self.leftovers("."), [])

    def test_a_warning_counts_as_converted(self) -> None:
        self.tree({"in/a.icf": HEADER + DOCUMENT, "in/b.rtf": RTF})
        warned = dict(os.environ, LD_PRELOAD=os.environ["ICF2HTML_WARNING_FAKE"])
        self.assertEqual(self.program("--batch", "out", "in", env=warned).returncode, 0)
        rows = self.report()
        self.assertEqual(sorted((row["input"], row["code"], row["output"]) for row in rows),
                         [("in/a.icf", 1, "out/a.html"), ("in/b.rtf", 1, "out/b.html")])
        self.assertIn("warning", rows[0]["meaning"])
        self.pages_match_single_conversions(rows, env=warned)

    def picture(self) -> bytes:
        """A 4 x 2 picture in the stream, made into PNG by the converter program installed beside icf2html."""
        width, height, stride = 4, 2, 12
        bmp = b"BM" + struct.pack("<IHHIIiiHHIIiiII", 54 + stride * height, 0, 0, 54, 40, width, height, 1, 24,
                                  0, 0, 0, 0, 0, 0) + bytes(range(0, 240, 10)) * 1
        self.tree({"p.bmp": bmp})
        converter = os.path.join(os.path.dirname(find_program()), "g513funx")
        subprocess.run([converter, "p.bmp", "-t=p.png", "-v0", "-n"], check=True)
        with open("p.png", "rb") as png:
            return code("PDS", *["0"] * 6) + code("PCT", png.read().hex().upper())

    def test_pictures_are_counted_and_land_beside_their_page(self) -> None:
        picture = self.picture()
        self.tree({"in/pic.icf": HEADER + b"text " + picture + b" after", "in/plain.icf": HEADER + b"none",
                   "in/second.icf": HEADER + picture})
        rows = {row["input"]: row for row in icf2html.convert_batch(["in"], "out", jobs=1)}
        self.assertEqual([row["pictures"] for row in rows.values()], [1, 0, 1])
        # Pictures of pages in one folder never take each other's names.
        batch_files = self.contents("out")
        self.assertEqual(len(batch_files), 5)
        # The same files as single conversions into the same paths, in the same order.
        os.rename("out", "batch-out")
        os.mkdir("out")
        for source in rows:
            self.program(source, rows[source]["output"], check=True)
        self.assertEqual(self.contents("out"), batch_files)

    def test_workers_converting_into_one_folder_never_share_a_picture_name(self) -> None:
        picture = self.picture()
        self.tree({f"in/p{i:02}.icf": HEADER + b"text " + picture * (1 + i % 2) for i in range(16)})
        rows = icf2html.convert_batch(["in"], "out", jobs=3)
        self.assertEqual(sum(row["pictures"] for row in rows), 24)
        named = {}  # picture name -> the page that shows it
        for row in rows:
            for name in re.findall(rb'SRC="[^"]*/(GR\d{6}\.\w+)"', pathlib.Path(row["output"]).read_bytes()):
                self.assertNotIn(name, named, row["output"])
                named[name] = row["output"]
        pictures = {name.encode() for name in os.listdir("out") if not name.endswith((".html", ".jsonl"))}
        self.assertEqual(pictures, set(named))
        self.assertTrue(all(os.path.getsize(os.path.join(b"out", name)) > 0 for name in pictures))

    def test_readers_are_found_along_path_as_a_single_conversion_finds_them(self) -> None:
        # icf2html started by name from PATH, its reader program in another folder on PATH.
        self.tree({"in/a.rtf": RTF})
        for folder, name in (("bin", "icf2html"), ("readers", "w019funx")):
            os.mkdir(folder)
            os.symlink(os.path.join(os.path.dirname(find_program()), name), os.path.join(folder, name))
        for path, code_found in ((["bin", "readers"], 0), (["bin"], SKIPPED)):
            with self.subTest(path=path):
                environment = dict(os.environ, PATH=":".join(os.path.abspath(f) for f in path) + ":/usr/bin:/bin")
                batch = subprocess.run(["icf2html", "--batch", "out", "in"], env=environment, capture_output=True)
                [row] = self.report()
                self.assertEqual(row["code"], code_found, batch.stderr)
                batch_page = pathlib.Path("out/a.html").read_bytes() if code_found == 0 else None
                single = subprocess.run(["icf2html", "in/a.rtf", "out/a.html"], env=environment, capture_output=True)
                self.assertEqual(single.returncode == 0, code_found == 0, single.stderr)
                if code_found == 0:
                    self.assertEqual(pathlib.Path("out/a.html").read_bytes(), batch_page)

    def test_a_worker_converts_the_documents_named_on_its_input(self) -> None:
        self.tree({"in/a.icf": HEADER + DOCUMENT, "in/bad.icf": MALFORMED, "in/b.rtf": RTF})
        self.endless("in/endless.icf")
        names = ["in/a.icf", "in/bad.icf", "in/endless.icf", "in/b.rtf", "in/a.icf"]
        pages = ["out/a.html", "out/bad.html", "out/endless.html", "out/sub/b.html", "out/again.html"]
        pairs = b"".join(name.encode() + b"\0" + page.encode() + b"\0" for name, page in zip(names, pages))
        worker = self.program("--batch-worker", "--timeout", "2", input=pairs)
        rows = [json.loads(line) for line in worker.stdout.splitlines()]
        self.assertEqual([(row["input"], row["output"], row["code"]) for row in rows], [
            ("in/a.icf", "out/a.html", 0), ("in/bad.icf", None, 16), ("in/endless.icf", None, 101),
            ("in/b.rtf", "out/sub/b.html", 0), ("in/a.icf", "out/again.html", 0)])
        self.pages_match_single_conversions(rows)
        self.assertEqual(self.leftovers("."), [])

    def test_the_memory_limit_has_its_code(self) -> None:
        self.tree({"in/notes.icf": NOTES})
        [row] = icf2html.convert_batch(["in"], "out", memory=1, timeout=20)
        self.assertEqual((row["code"], row["output"]), (102, None))
        self.assertIn("memory limit of 1 MiB", row["meaning"])
        self.assertEqual(os.listdir("out"), [])


if __name__ == "__main__":
    unittest.main()
