"""Batches of documents: converted by the ``icf2html`` program's worker
processes on this machine, or one task per document on a Dask cluster.

Either way the batch is planned by the program (which files are documents,
which page each one becomes) and every document is converted in isolation by
the program, so the pages and report rows are the same on both roads.
"""

from __future__ import annotations

import atexit
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from typing import IO, Any, Iterable, Optional

#: The environment variable that names the icf2html program; without it the
#: program is looked up on PATH.
PROGRAM_VARIABLE = "ICF2HTML_PROGRAM"

#: The report row's code for a file that is not a document icf2html reads.
SKIPPED = 104

#: A report row's code when the converter program could not be run for a document.
CODE_NOT_RUN = 127

Row = dict[str, Any]


class BatchError(Exception):
    """A batch that could not run at all: a wrong argument, or no program."""


def find_program() -> str:
    """The icf2html program: the one named by ``ICF2HTML_PROGRAM``, else the
    first on PATH."""
    named = os.environ.get(PROGRAM_VARIABLE)
    if named:
        return named
    found = shutil.which("icf2html")
    if found is None:
        raise BatchError(f"the icf2html program is not on PATH; name it in {PROGRAM_VARIABLE}")
    return found


def _limits(timeout: Optional[float], memory: Optional[int]) -> list[str]:
    words = []
    if timeout is not None:
        words += ["--timeout", repr(float(timeout))]
    if memory is not None:
        words += ["--memory", str(int(memory))]
    return words


def _run_program(arguments: list[str]) -> subprocess.CompletedProcess[str]:
    completed = subprocess.run([find_program(), *arguments], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if completed.returncode == 130:
        raise KeyboardInterrupt
    if completed.returncode not in (0, 1):
        raise BatchError(completed.stderr.strip() or f"icf2html ended with status {completed.returncode}")
    return completed


def _rows_of(lines: Iterable[str]) -> list[Row]:
    return [json.loads(line) for line in lines if line.strip()]


def convert_batch(
    inputs: Iterable["str | os.PathLike[str]"],
    outdir: "str | os.PathLike[str]",
    jobs: Optional[int] = None,
    timeout: Optional[float] = None,
    memory: Optional[int] = None,
    report: "str | os.PathLike[str] | None" = None,
    client: Any = None,
) -> list[Row]:
    """Converts every document in ``inputs`` (files, and folders walked
    recursively) into pages under ``outdir``, as ``icf2html --batch`` does.

    ``jobs`` worker processes (default: one per core) convert the documents,
    each in isolation with ``timeout`` wall-clock seconds and ``memory`` MiB at
    most. With ``client`` (a ``distributed.Client``) each document is a task on
    the Dask cluster instead; ``outdir`` must then be storage that every worker
    shares, at the same path and with the same working folder.

    Returns the report rows (``input``, ``output``, ``code``, ``meaning``,
    ``seconds``, ``pictures``), in the order the documents ended; writes them to
    the file ``report`` as well when it is given. Raises :class:`BatchError`
    when the batch cannot run at all.
    """
    names = [os.fspath(name) for name in inputs]
    target = os.fspath(outdir)
    report_name = os.fspath(report) if report is not None else None
    if client is not None:
        return run_on_dask(names, target, client, timeout, memory, report_name)
    with tempfile.TemporaryDirectory(prefix="icf2html-batch-") as scratch:
        report_file = report_name or os.path.join(scratch, "report.jsonl")
        arguments = ["--batch", target, "--report", report_file, *_limits(timeout, memory)]
        if jobs is not None:
            arguments += ["--jobs", str(int(jobs))]
        _run_program([*arguments, "--", *names])
        with open(report_file, encoding="utf-8") as lines:
            return _rows_of(lines)


class _Worker:
    """An ``icf2html --batch-worker`` process: it converts the documents it is
    handed one at a time, each in isolation, with the converter child that it
    keeps from one document to the next."""

    def __init__(self, key: tuple) -> None:
        self.key = key
        program, folder, timeout, memory = key
        self.process = subprocess.Popen([program, "--batch-worker", *_limits(timeout, memory)], cwd=folder,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def convert(self, source: str, page: str) -> Row:
        """The document's report row; raises OSError or ValueError when the
        process has gone."""
        assert self.process.stdin is not None and self.process.stdout is not None
        self.process.stdin.write(os.fsencode(source) + b"\0" + os.fsencode(page) + b"\0")
        self.process.stdin.flush()
        line = self.process.stdout.readline()
        if not line:
            raise OSError("the converter program ended")
        return json.loads(line)

    def close(self) -> None:
        """Ends the process (its converter child ends with it) by closing its input."""
        try:
            if self.process.stdin is not None:
                self.process.stdin.close()
        except OSError:
            self.process.kill()
        self.process.wait()


# The worker process of this (Dask worker) process, started by its first
# document and kept for the next ones; conversions here run one at a time.
_worker: Optional[_Worker] = None
_worker_lock = threading.Lock()


def _end_worker() -> None:
    global _worker
    if _worker is not None:
        _worker.close()
        _worker = None


atexit.register(_end_worker)


def convert_document(source: str, page: str, folder: str, timeout: Optional[float], memory: Optional[int]) -> Row:
    """One document of a batch, converted in isolation by the program on the
    machine this runs on, from ``folder`` (the batch's working folder); its
    report row. Runs as a Dask task: the first task of a process starts an
    ``icf2html --batch-worker`` that the later ones reuse (and that is started
    again when it has gone)."""
    global _worker
    started = time.monotonic()
    with _worker_lock:
        try:
            key = (find_program(), folder, timeout, memory)
            if _worker is not None and (_worker.key != key or _worker.process.poll() is not None):
                _end_worker()
            if _worker is None:
                _worker = _Worker(key)
            return _worker.convert(source, page)
        except (OSError, ValueError, BatchError) as error:
            if _worker is not None:
                _worker.process.kill()
                _end_worker()
            return {"input": source, "output": None, "code": CODE_NOT_RUN,
                    "meaning": f"the converter program cannot be run here: {error}",
                    "seconds": round(time.monotonic() - started, 6), "pictures": 0}


def _converted(row: Row) -> bool:
    return row.get("output") is not None


class _Progress:
    """Documents done, failures, rate and time left, on stderr when it is a
    terminal."""

    def __init__(self, total: int, stream: IO[str]) -> None:
        self.total, self.done, self.failed = total, 0, 0
        self.stream = stream if stream.isatty() else None
        self.started = time.monotonic()

    def count(self, row: Row) -> None:
        self.done += 1
        self.failed += 0 if _converted(row) else 1
        if self.stream is None:
            return
        rate = self.done / max(time.monotonic() - self.started, 1e-9)
        left = (self.total - self.done) / rate if rate > 0 else 0.0
        width = 30
        filled = width * self.done // max(self.total, 1)
        self.stream.write(f"\r[{'#' * filled}{'.' * (width - filled)}] {self.done}/{self.total} "
                          f"{self.failed} failed {rate:.1f}/s {left:.0f}s left ")
        if self.done == self.total:
            self.stream.write("\n")
        self.stream.flush()


def run_on_dask(
    inputs: list[str],
    outdir: str,
    client: Any,
    timeout: Optional[float] = None,
    memory: Optional[int] = None,
    report: Optional[str] = None,
    resume: bool = False,
) -> list[Row]:
    """The batch on a Dask cluster: planned here, one task per document.
    With ``resume``, documents already converted in ``report`` are left out and
    the new rows are appended to it."""
    from distributed import as_completed

    plan_arguments = ["--batch", outdir, "--plan"]
    if resume and report is not None:
        plan_arguments += ["--resume", "--report", report]
    plan = _rows_of(_run_program([*plan_arguments, "--", *inputs]).stdout.splitlines())
    settled = [row for row in plan if "code" in row]  # skipped files need no task
    documents = [row for row in plan if "code" not in row]
    rows: list[Row] = []
    sink = open(report, "a" if resume else "w", encoding="utf-8") if report is not None else None
    futures = []
    try:
        progress = _Progress(len(plan), sys.stderr)

        def record(row: Row) -> None:
            rows.append(row)
            progress.count(row)
            if sink is not None:
                sink.write(json.dumps(row) + "\n")
                sink.flush()

        for row in settled:
            record(row)
        futures = client.map(convert_document, [row["input"] for row in documents],
                             [row["output"] for row in documents], folder=os.getcwd(), timeout=timeout,
                             memory=memory, pure=False)
        # Results come with their completion, gathered in groups rather than one fetch per document.
        for _, row in as_completed(futures, with_results=True):
            record(row)
    except BaseException:
        client.cancel(futures)
        raise
    finally:
        if sink is not None:
            sink.close()
    return rows
