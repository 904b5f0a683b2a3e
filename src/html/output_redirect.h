// Output redirection: while a header, footer or note is collected, everything the
// writer outputs goes into a temporary buffer. Redirections nest.
#pragma once

namespace kiv {

struct RedirectNode;

struct RedirectState {
  RedirectNode *io_tail_ptr = nullptr;  // top of the redirection stack
  RedirectNode *spare_nodes = nullptr;  // nodes of ended redirections, kept for the next
};
extern RedirectState redirect_state;

// Sends the output into buffer from now on; 0, or -1 when no memory is left
// (nothing changes).
int io_set(int buffer);
// Ends the innermost redirection: its buffer handle and byte count go to the two
// pointers; the buffer stays open and holds every byte written through it. 0,
// or -1 when nothing is redirected.
int io_restore(int *handle_out, int *count_out);
int io_put(int c);
// Appends a stretch of bytes to the innermost buffer, as io_put would byte by
// byte; 0.
int io_putn(const unsigned char *bytes, long n);
int io_unput();
// 1 while output is redirected, else 0.
int IsRedir();
// Drops every redirection, with output not yet in its buffer, and frees the
// nodes (the buffers stay open).
void reset_output_redirect();

}  // namespace kiv
