// The RTF tokenizer: turns the bytes of an RTF file into group marks, control
// words, control symbols and runs of text. It reads a file in fixed blocks or
// a block of memory, so its memory does not grow with the document.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "rtf_control_words.h"

namespace kiv {

enum class RtfTokenKind { group_open, group_close, control_word, control_symbol, hex_byte, text, end };

inline constexpr std::size_t rtf_block_size = 65536;

struct RtfToken {
  RtfTokenKind kind = RtfTokenKind::end;
  char word[rtf_word_max + 1] = {};  // control word, NUL-terminated (all letters of a longer one are read)
  std::size_t word_len = 0;
  const RtfWordEntry *entry = nullptr;  // the control word's entry, null when the word is unknown
  bool has_param = false;
  std::int32_t param = 0;            // clamped to the 32-bit range
  int symbol = 0;                    // control symbol character; the byte of \'hh (-1 when malformed)
  const unsigned char *text = nullptr;  // text run, valid until the next call
  std::size_t text_len = 0;
};

struct RtfInput {
  int fd = -1;                          // file read in blocks, or -1 for memory
  const unsigned char *data = nullptr;  // the window: a block of the file, or the whole memory
  std::size_t len = 0;
  std::size_t pos = 0;
  long long window_offset = 0;          // file offset of data[0]
  bool failed = false;                  // a read error
  bool look_ahead = false;              // a copy reading ahead of the main input
  bool seekable = false;                // a file read at offsets (not a pipe)
  unsigned char *block = nullptr;       // owned block for file input
};

// Input over an open file descriptor (read from its current offset); false when
// no block can be allocated.
bool rtf_input_open_fd(RtfInput &in, int fd);
// Input over len bytes at data (not copied).
void rtf_input_open_memory(RtfInput &in, const unsigned char *data, std::size_t len);
// A second input reading from the current position of in, for look-ahead: it
// reads the window of in first and leaves in as it is; close it before in
// reads on (its window may be the block of in).
void rtf_input_clone(RtfInput &copy, const RtfInput &in);
void rtf_input_close(RtfInput &in);
// The offset of the next byte to read (in the file, or from the start of memory).
inline long long rtf_input_offset(const RtfInput &in) { return in.window_offset + static_cast<long long>(in.pos); }
// Moves in on to offset, which a look-ahead copy of it has reached: in then
// reads from there. Only memory and a seekable file can be moved past their window.
void rtf_input_move_to(RtfInput &in, long long offset);

// Next token; RtfTokenKind::end at the end of input.
void rtf_next_token(RtfInput &in, RtfToken &token);
// Skips n raw bytes (the data of \bin); returns the number skipped.
long long rtf_skip_bytes(RtfInput &in, long long n);
// Next raw byte or -1 (the data of \bin).
int rtf_get_byte(RtfInput &in);
// The end of the run of printable ASCII bytes (space to tilde) at p, before end.
const unsigned char *rtf_printable_end(const unsigned char *p, const unsigned char *end);

}  // namespace kiv
