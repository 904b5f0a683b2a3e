// icf2html --batch: many documents converted into a folder of pages by worker
// processes, with a report line per document; --batch-document converts one
// document the same way and prints its report line; --batch-worker does so for
// every INPUT and PAGE pair read from standard input, keeping its converter
// child from one to the next; --dask hands the batch to the Python package,
// which runs it on a Dask cluster.
#pragma once

namespace icf2html {

// Whether the command line asks for a batch (--batch, --batch-document or --batch-worker).
bool is_batch_command(int argc, char **argv);

// Runs the batch command; the program's exit status: 0 when every document
// converted, 1 when some failed, 2 on a usage error, 130 after Ctrl-C.
int batch_main(int argc, char **argv);

}  // namespace icf2html
