"""The batch on a local Dask cluster of two process workers: the same pages
and rows as the batch on this machine, from Python and from the program."""

from __future__ import annotations

import os
import subprocess
import sys
import tempfile
import unittest

from distributed import Client, LocalCluster

import icf2html
from icf2html.batch import find_program
from test_batch import HEADER, MALFORMED, BatchFolder

FILES = {
    "in/a.icf": HEADER + b"first",
    "in/sub/a.icf": HEADER + b"second",
    "in/a.txt": HEADER + b"same page name",
    "in/bad.icf": MALFORMED,
    "in/notes.txt": b"plain text\n",
}


def settled(rows: list[dict], outdir: str) -> dict[str, tuple]:
    return {row["input"]: (row["output"] and row["output"].replace(outdir, "OUT"), row["code"], row["meaning"])
            for row in rows}


class DaskTest(BatchFolder):
    @classmethod
    def setUpClass(cls) -> None:
        # The workers' space (their lock files) goes in a folder of the test's
        # own, removed with it, not in the shared temporary folder.
        cls.space = tempfile.TemporaryDirectory(prefix="icf2html-dask-test-")
        cls.cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                   local_directory=cls.space.name)
        cls.client = Client(cls.cluster)

    @classmethod
    def tearDownClass(cls) -> None:
        cls.client.close()
        cls.cluster.close()
        cls.space.cleanup()

    def pages(self, outdir: str) -> dict[str, bytes]:
        found = {}
        for folder, _, files in os.walk(outdir):
            for name in files:
                if name.endswith(".html"):
                    with open(os.path.join(folder, name), "rb") as page:
                        found[os.path.relpath(os.path.join(folder, name), outdir)] = page.read()
        return found

    def test_same_batch_as_on_this_machine(self) -> None:
        self.tree(FILES)
        local = icf2html.convert_batch(["in"], "local")
        on_dask = icf2html.convert_batch(["in"], "dask", client=self.client, report="dask.jsonl")
        self.assertEqual(settled(on_dask, "dask"), settled(local, "local"))
        self.assertEqual(len(on_dask), len(FILES))
        self.assertEqual(self.report("dask.jsonl"), on_dask)
        replace = lambda pages, name: {k: v.replace(name.encode(), b"OUT") for k, v in pages.items()}
        self.assertEqual(replace(self.pages("dask"), "dask"), replace(self.pages("local"), "local"))

    def test_each_worker_keeps_its_converter_and_replaces_it_when_gone(self) -> None:
        self.tree({f"in/d{i}.icf": HEADER + b"document %d" % i for i in range(8)})
        converters = lambda: self.client.run(lambda: icf2html.batch._worker and icf2html.batch._worker.process.pid)
        icf2html.convert_batch(["in"], "first", client=self.client)
        started = converters()
        icf2html.convert_batch(["in"], "second", client=self.client)
        self.assertEqual(converters(), started)
        self.assertTrue(any(started.values()))
        self.client.run(lambda: icf2html.batch._worker and icf2html.batch._worker.process.kill())
        rows = icf2html.convert_batch(["in"], "third", client=self.client)
        self.assertEqual(sorted(row["output"] for row in rows), [f"third/d{i}.html" for i in range(8)])
        self.assertTrue(set(converters().values()).isdisjoint(set(started.values()) - {None}))

    def test_program_hands_the_batch_to_dask(self) -> None:
        self.tree(FILES)
        environment = dict(os.environ, ICF2HTML_PYTHON=sys.executable)
        command = [find_program(), "--batch", "out", "--dask", self.cluster.scheduler_address, "in"]
        first = subprocess.run(command, env=environment, capture_output=True, text=True)
        self.assertEqual(first.returncode, 1, first.stderr)  # bad.icf fails
        self.tree({"in/bad.icf": HEADER + b"mended"})
        second = subprocess.run(command + ["--resume"], env=environment, capture_output=True, text=True)
        self.assertEqual(second.returncode, 0, second.stderr)
        rows = self.report()
        self.assertEqual([row["input"] for row in rows[len(FILES):]], ["in/bad.icf"])
        self.assertEqual(rows[-1]["output"], "out/bad.html")


if __name__ == "__main__":
    unittest.main()
