// Output primitives and the format stack.
#include "html/output.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>
#include <cstring>

#include "html/writer.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"

namespace kiv {

FormatStackState format_stack;

struct FormatStackNode {
  FormatStackNode *prev;
  fmt_info record;
  FormatStackNode *next;
};

void start_fresh_line() {
  int last = b_last_put();
  if (last == not_in_memory) {
    last = b_unput();
    if (last != end_of_input) b_putc(last);
  }
  if (last == end_of_input || (last != '\n' && last != '\r')) put_line_end();
}

namespace {

// Bytes of document text that untrusted output does not copy as they are.
constexpr auto untrusted_stops = [] {
  std::array<bool, 256> stops{};
  for (std::size_t c = 0; c < 0x20; ++c) stops[c] = true;
  for (const char c : {'&', '"', '<', '>', '\x7F'}) stops[static_cast<unsigned char>(c)] = true;
  return stops;
}();

// What untrusted output writes for one of them: an entity, or nothing for a
// control character.
std::string_view untrusted_replacement(unsigned char c) {
  switch (c) {
    case '&': return "&amp;";
    case '"': return "&quot;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    default: return "";
  }
}

}  // namespace

void put_document_bytes(const char *bytes, std::size_t length) {
  const auto *next = reinterpret_cast<const unsigned char *>(bytes);
  const auto *const end = next + length;
  if (!settings.untrusted_output) {
    b_putn(next, static_cast<long>(length));
    return;
  }
  while (next != end) {
    const auto *const run = next;
    while (next != end && !untrusted_stops[*next]) ++next;
    if (next != run) b_putn(run, static_cast<long>(next - run));
    if (next == end) return;
    const std::string_view replacement = untrusted_replacement(*next++);
    b_putn(reinterpret_cast<const unsigned char *>(replacement.data()), static_cast<long>(replacement.size()));
  }
}

std::size_t untrusted_form(const char *bytes, std::size_t length, char *to) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (!untrusted_stops[c]) {
      to[n++] = static_cast<char>(c);
      continue;
    }
    const std::string_view replacement = untrusted_replacement(c);
    std::memcpy(to + n, replacement.data(), replacement.size());
    n += replacement.size();
  }
  return n;
}

void put_document_text(const char *text) { put_document_bytes(text, std::strlen(text)); }

void put_num(std::int32_t n) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, n);
  b_putn(reinterpret_cast<const unsigned char *>(digits), static_cast<long>(result.ptr - digits));
}

void MarkupPiece::add_num(std::int32_t n) {
  length_ = static_cast<std::size_t>(std::to_chars(text_ + length_, text_ + room, n).ptr - text_);
}

namespace {

// Bytes that end the stretch of a string parameter copied as it is.
constexpr auto parameter_stops = [] {
  std::array<bool, 256> stops{};
  for (const int c : {RS, US, ESC}) stops[static_cast<std::size_t>(c)] = true;
  return stops;
}();

}  // namespace

int get_str(char *buffer, int max) {
  int n = 0;
  int c;
  for (;;) {
    // The bytes at hand in the source window are found in one scan and
    // copied in one piece.
    const unsigned char *const start = b_window_begin();
    const unsigned char *const end = b_window_end();
    const unsigned char *const limit = start + std::min<long>(end - start, std::max(max - n, 0));
    const unsigned char *p = start;
    while (p < limit && !parameter_stops[*p]) ++p;
    if (p > start) std::memcpy(buffer + n, start, static_cast<std::size_t>(p - start));
    n += static_cast<int>(p - start);
    b_take(p - start);
    if (n >= max) {
      // Cut: the rest of the parameter is skipped, nested codes whole, so
      // that their separators do not end it early.
      do {
        c = b_getc();
        if (c == ESC) x_icf();
      } while (c != end_of_input && c != RS && c != US);
      break;
    }
    c = b_getc();
    if (c == end_of_input || c == RS || c == US) break;
    if (c == ESC) {
      x_icf();
      continue;
    }
    buffer[n++] = static_cast<char>(c);
  }
  buffer[max > 0 ? n : 0] = '\0';
  if (c == RS) b_unget(c);
  return 0;
}

int tran_push_fmt(const fmt_info *rec) {
  // Every sub-document pushes and pops a copy: the node of the last one is reused.
  FormatStackNode *node = format_stack.spare_nodes;
  if (node) {
    format_stack.spare_nodes = node->prev;
    node->next = nullptr;
  } else {
    node = static_cast<FormatStackNode *>(KIVmalloc(sizeof(FormatStackNode)));
    if (!node) return -1;
  }
  std::memcpy(&node->record, rec, sizeof(fmt_info));
  node->prev = format_stack.fmt_stack_tail;
  if (format_stack.fmt_stack_tail) format_stack.fmt_stack_tail->next = node;
  else format_stack.fmt_stack_head = node;
  format_stack.fmt_stack_tail = node;
  return 0;
}

int tran_pop_fmt(fmt_info *rec) {
  FormatStackNode *node = format_stack.fmt_stack_tail;
  if (!node) return 0;
  // The summary strings belong to the document, not to the sub-document: a
  // summary read inside a note replaced (and freed) the strings the saved
  // copy still names, so the current ones stay.
  char *const summary[] = {rec->subject, rec->author, rec->keywords, rec->title};
  std::memcpy(rec, &node->record, sizeof(fmt_info));
  rec->subject = summary[0];
  rec->author = summary[1];
  rec->keywords = summary[2];
  rec->title = summary[3];
  format_stack.fmt_stack_tail = node->prev;
  if (node->prev) node->prev->next = nullptr;
  else format_stack.fmt_stack_head = nullptr;
  node->prev = format_stack.spare_nodes;
  format_stack.spare_nodes = node;
  return 0;
}

const fmt_info *tran_get_last_fmt_info() {
  return format_stack.fmt_stack_tail ? &format_stack.fmt_stack_tail->record : nullptr;
}

void reset_output() {
  for (FormatStackNode *list : {format_stack.fmt_stack_tail, format_stack.spare_nodes}) {
    while (FormatStackNode *node = list) {
      list = node->prev;
      KIVfree(node);
    }
  }
  format_stack = {};
}

}  // namespace kiv
