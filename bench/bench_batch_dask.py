"""The batch benchmark's documents through Dask on a local cluster of process
workers (one thread each), beside the same batch run by icf2html's own workers.

    PYTHONPATH=build/release/python ICF2HTML_PROGRAM=build/release/tools/icf2html \\
        /usr/bin/python3 bench/bench_batch_dask.py [DOCUMENTS] [WORKERS]
"""

from __future__ import annotations

import os
import sys
import tempfile
import time

from distributed import Client, LocalCluster

import icf2html


def make_documents(folder: str, count: int) -> None:
    os.makedirs(folder)
    for i in range(count):
        with open(os.path.join(folder, f"doc{i}.icf"), "wb") as file:
            file.write(b"\x1b\x1dDID1\x1f\x1e" + f"Document {i}: a short note with ".encode() +
                       b"\x1b\x1dBBT\x1ebold\x1b\x1dEBT\x1e words & <marks>.\x1b\x1dHNL\x1e"
                       b"A second paragraph follows here.")


def rate(label: str, count: int, run) -> None:
    started = time.monotonic()
    rows = run()
    seconds = time.monotonic() - started
    converted = sum(1 for row in rows if row["output"])
    print(f"{label:<28} {converted:>6} converted  {count / seconds:8.1f} documents/s  "
          f"{seconds * 1e6 / count:8.0f} us/document")


def main() -> None:
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 10_000
    workers = int(sys.argv[2]) if len(sys.argv) > 2 else 2
    with tempfile.TemporaryDirectory(prefix="icf2html-dask-bench-") as folder:
        os.chdir(folder)
        make_documents("docs", count)
        rate(f"icf2html --jobs {workers}", count, lambda: icf2html.convert_batch(["docs"], "local", jobs=workers))
        with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None,
                          local_directory=os.path.join(folder, "workers")) as cluster, \
                Client(cluster) as client:
            rate(f"Dask, {workers} process workers", count,
                 lambda: icf2html.convert_batch(["docs"], "dask", client=client))
        os.chdir("/")


if __name__ == "__main__":
    main()
