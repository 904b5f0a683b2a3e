// The stream written into a pipe by reference. The reader's bytes go into a
// ring of page-aligned slots, and each full slot is handed to the pipe with
// vmsplice: the system neither allocates pages for the pipe nor copies the
// bytes into them, and the program on the other end reads them straight from
// the slot. A slot is filled again only when the pipe can hold none of its
// bytes any more: the pipe is made to hold one slot, so once a slot has gone
// into it whole, the slot before has been read to its end.
#pragma once

namespace kiv {

// From now on the library's buffered output goes into the pipe fd this way;
// false, and nothing changed, when fd is no pipe or it cannot be set up.
bool begin_pipe_output(int fd);
// Hands on what is left and lets the ring go (the pipe keeps the pages it
// still holds). A pipe that refuses bytes ends the conversion (exit_write_failed).
void end_pipe_output();

}  // namespace kiv
