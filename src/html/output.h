// Output primitives of the writer: texts and numbers with the writer's line-end
// rule, string parameters, and the stack of saved format records.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "html/format_record.h"
#include "html/writer.h"
#include "stream/buffered_io.h"

namespace kiv {

// put_str flags: 1 start on a fresh line, 2 end the line after the text.
inline constexpr int on_fresh_line = 1;
inline constexpr int end_line = 2;
inline constexpr int own_line = 3;

// Writes the line end chosen by the level letters (CR, LF or CR LF).
inline void put_line_end() {
  if (writer.line_ends & 1) b_putc('\r');
  if (writer.line_ends & 2) b_putc('\n');
}
// Writes a line end unless the last byte written is one (or nothing was written).
void start_fresh_line();
// Writes text (up to its NUL) under flags; returns text. Inline, so that the
// length of a constant text is known where it is written.
inline const char *put_str(const char *text, int flags = 0) {
  if (flags & on_fresh_line) start_fresh_line();
  b_putn(reinterpret_cast<const unsigned char *>(text), static_cast<long>(std::strlen(text)));
  if (flags & end_line) put_line_end();
  return text;
}
// The same for a text whose length is known (tags kept in tables).
inline void put_str(std::string_view text, int flags = 0) {
  if (flags & on_fresh_line) start_fresh_line();
  b_putn(reinterpret_cast<const unsigned char *>(text.data()), static_cast<long>(text.size()));
  if (flags & end_line) put_line_end();
}
// Markup put together from fixed texts, numbers and line ends and written in
// one piece: the tags of a table cell or a note link. The flags of put_str
// apply as they would to each part written on its own; a fresh line at the
// start of the piece looks at the output itself. Only the writer's own texts
// and numbers go in, never document text: the longest piece, a cell's end and
// the next cell's start tag with three numbers, takes about 100 of its bytes.
// The room is checked in debug builds (the test and sanitizer builds), not in
// the hot path of a release build.
class MarkupPiece {
 public:
  static constexpr std::size_t room = 192;
  void add(std::string_view text, int flags = 0) {
    if (flags & on_fresh_line) fresh_line();
    assert(text.size() <= room - length_);
    std::memcpy(text_ + length_, text.data(), text.size());
    length_ += text.size();
    if (flags & end_line) line_end();
  }
  void add_num(std::int32_t n);
  void line_end() {
    assert(room - length_ >= 2);
    if (writer.line_ends & 1) text_[length_++] = '\r';
    if (writer.line_ends & 2) text_[length_++] = '\n';
  }
  void fresh_line() {
    if (length_ == 0) start_fresh_line();
    else if (text_[length_ - 1] != '\n' && text_[length_ - 1] != '\r') line_end();
  }
  bool empty() const { return length_ == 0; }
  // Writes what was put together and empties the piece.
  void write() {
    if (length_ == 0) return;
    b_putn(reinterpret_cast<const unsigned char *>(text_), static_cast<long>(length_));
    length_ = 0;
  }

 private:
  char text_[room];
  std::size_t length_ = 0;
};
// Writes a text that comes from the document where the main loop's escaping
// does not reach it (attribute values, link texts, note marks, the title): as it
// is, or, for untrusted documents (the UNTRUSTED option word), with "&", the
// double quote, "<" and ">" as entities and control characters dropped.
void put_document_text(const char *text);
void put_document_bytes(const char *bytes, std::size_t length);
// Puts the untrusted form of the bytes into `to`, which has room for
// untrusted_growth bytes for each of them: its length.
inline constexpr std::size_t untrusted_growth = 6;  // "&quot;"
std::size_t untrusted_form(const char *bytes, std::size_t length, char *to);
// Writes n in decimal, with a minus sign when negative.
void put_num(std::int32_t n);
// Reads one string parameter into buffer (max + 1 bytes): nested codes are
// skipped, a longer parameter is cut and its rest skipped, a closing RS is left
// in the source. 0.
int get_str(char *buffer, int max);

struct FormatStackNode;

struct FormatStackState {
  FormatStackNode *fmt_stack_head = nullptr;
  FormatStackNode *fmt_stack_tail = nullptr;
  FormatStackNode *spare_nodes = nullptr;  // nodes of dropped copies, kept for the next push
};
extern FormatStackState format_stack;

// Saves a copy of the record; 0, or -1 when no memory is left (nothing changes).
int tran_push_fmt(const fmt_info *rec);
// Restores the record from the last saved copy and drops it; the summary
// strings, which belong to the whole document, stay as they are. An empty
// stack leaves the record unchanged. 0.
int tran_pop_fmt(fmt_info *rec);
// The last saved copy, or null.
const fmt_info *tran_get_last_fmt_info();
// Frees every saved copy and every kept node.
void reset_output();

}  // namespace kiv
