"""``python -m icf2html --batch OUTDIR --dask ADDRESS [--timeout S] [--memory MB]
[--report FILE] [--resume] INPUT...``: a batch on the Dask cluster whose
scheduler is at ADDRESS. ``icf2html --batch ... --dask ADDRESS`` runs this.

Exit status: 0 when every document converted, 1 when some failed, 2 on a usage
error, 130 after Ctrl-C.
"""

from __future__ import annotations

import argparse
import os
import sys

from .batch import SKIPPED, BatchError, run_on_dask


def _arguments(argv: list[str]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(prog="icf2html", description="Converts a batch of documents on a Dask cluster.")
    parser.add_argument("--batch", metavar="OUTDIR", required=True, help="folder for the pages (shared storage)")
    parser.add_argument("--dask", metavar="ADDRESS", required=True, help="the Dask scheduler's address")
    parser.add_argument("--timeout", type=float, help="wall-clock seconds per document")
    parser.add_argument("--memory", type=int, help="MiB of memory per document")
    parser.add_argument("--report", help="the report file (default OUTDIR/report.jsonl)")
    parser.add_argument("--resume", action="store_true", help="append to the report, convert what is left")
    parser.add_argument("inputs", nargs="+", metavar="INPUT")
    return parser.parse_args(argv)


def main(argv: list[str]) -> int:
    options = _arguments(argv)
    from distributed import Client

    report = options.report or os.path.join(options.batch, "report.jsonl")
    os.makedirs(options.batch, exist_ok=True)
    try:
        with Client(options.dask) as client:
            rows = run_on_dask(options.inputs, options.batch, client, options.timeout, options.memory, report,
                               options.resume)
    except BatchError as error:
        print(f"icf2html: {error}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        return 130
    except OSError as error:
        print(f"icf2html: the Dask scheduler at {options.dask}: {error}", file=sys.stderr)
        return 2
    return 0 if all(row["output"] is not None or row["code"] == SKIPPED for row in rows) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
