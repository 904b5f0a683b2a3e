// Output redirection into temporary buffers.
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

int io_unput() {
  RedirectNode *top = redirect_state.io_tail_ptr;
  if (top->count > 0) top->count -= 1;
  return bufunput(top->buffer);
}

int io_set(int buffer) {
  auto *node = static_cast<RedirectNode *>(KIVmalloc(sizeof(RedirectNode)));
  if (!node) return -1;
  node->buffer = buffer;
  if (!redirect_state.io_tail_ptr) RedirectOutput(io_put, io_unput);
  node->prev = redirect_state.io_tail_ptr;
  if (node->prev) node->prev->next = node;
  redirect_state.io_tail_ptr = node;
  return 0;
}

int io_restore(int *handle_out, int *count_out) {
  RedirectNode *top = redirect_state.io_tail_ptr;
  if (!top) return -1;
  if (handle_out) *handle_out = top->buffer;
  if (count_out) *count_out = top->count;
  redirect_state.io_tail_ptr = top->prev;
  if (top->prev) top->prev->next = nullptr;
  KIVfree(top);
  if (!redirect_state.io_tail_ptr) RedirectOutputClose();
  return 0;
}

int IsRedir() { return redirect_state.io_tail_ptr ? 1 : 0; }

void reset_output_redirect() {
  while (redirect_state.io_tail_ptr) io_restore(nullptr, nullptr);
}

}  // namespace kiv
