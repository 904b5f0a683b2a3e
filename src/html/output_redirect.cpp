// Output redirection into temporary buffers. The buffered output gathers what
// is written and hands it over in stretches; it is flushed whenever the
// innermost buffer changes, so that every byte lands in the buffer it was
// written for.
#include "html/output_redirect.h"

#include "common/types.h"
#include "runtime/memory.h"
#include "stream/buffered_io.h"
#include "stream/temp_buffers.h"

namespace kiv {

RedirectState redirect_state;

struct RedirectNode {
  RedirectNode *prev;
  int count;    // bytes written through this level
  int buffer;   // temporary buffer handle
  RedirectNode *next;
};

int io_put(int c) {
  RedirectNode *top = redirect_state.io_tail_ptr;
  bufput(c, top->buffer);
  top->count += 1;
  return 0;
}

int io_putn(const unsigned char *bytes, long n) {
  RedirectNode *top = redirect_state.io_tail_ptr;
  bufputs(top->buffer, bytes, static_cast<int>(n));
  top->count += static_cast<int>(n);
  return 0;
}

int io_unput() {
  RedirectNode *top = redirect_state.io_tail_ptr;
  if (top->count > 0) top->count -= 1;
  return bufunput(top->buffer);
}

int io_set(int buffer) {
  RedirectState &s = redirect_state;
  // Every sub-document sets and restores a level: the node of the last one is reused.
  RedirectNode *node = s.spare_nodes;
  if (node) {
    s.spare_nodes = node->prev;
    *node = {};
  } else {
    node = static_cast<RedirectNode *>(KIVmalloc(sizeof(RedirectNode)));
    if (!node) return -1;
  }
  node->buffer = buffer;
  if (!s.io_tail_ptr) {
    RedirectOutput(io_put, io_unput);
    RedirectOutputRuns(io_putn);
  } else {
    FlushRedirectedOutput();  // what was gathered belongs to the level below
  }
  node->prev = s.io_tail_ptr;
  if (node->prev) node->prev->next = node;
  s.io_tail_ptr = node;
  return 0;
}

int io_restore(int *handle_out, int *count_out) {
  RedirectState &s = redirect_state;
  RedirectNode *top = s.io_tail_ptr;
  if (!top) return -1;
  FlushRedirectedOutput();
  if (handle_out) *handle_out = top->buffer;
  if (count_out) *count_out = top->count;
  s.io_tail_ptr = top->prev;
  if (top->prev) top->prev->next = nullptr;
  top->prev = s.spare_nodes;
  s.spare_nodes = top;
  if (!s.io_tail_ptr) RedirectOutputClose();
  return 0;
}

int IsRedir() { return redirect_state.io_tail_ptr ? 1 : 0; }

void reset_output_redirect() {
  RedirectState &s = redirect_state;
  // The buffers are abandoned: what was gathered for them is not written.
  if (s.io_tail_ptr) DropRedirectedOutput();
  while (s.io_tail_ptr) io_restore(nullptr, nullptr);
  while (RedirectNode *node = s.spare_nodes) {
    s.spare_nodes = node->prev;
    KIVfree(node);
  }
}

}  // namespace kiv
