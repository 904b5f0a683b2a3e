// The RTF reader: reads an RTF document and writes it as an intermediate code
// stream through the library's buffered target and code writers. It streams:
// a bounded group stack, fixed tables for fonts and colours, no document tree.
#pragma once

#include "rtf_tokenizer.h"

namespace kiv {

inline constexpr int rtf_group_depth_max = 256;  // deeper groups share the innermost kept state
inline constexpr int rtf_font_max = 512;
inline constexpr int rtf_color_max = 256;
inline constexpr int rtf_cell_max = 64;          // cells of one row definition
inline constexpr int rtf_field_depth_max = 8;

// Exit statuses of the reader, as the suite's converter programs use them.
inline constexpr int rtf_status_ok = 0;
inline constexpr int rtf_status_read_failed = 2;
inline constexpr int rtf_status_not_rtf = 9;

// 1 when the bytes begin, after white space, with "{\rtf".
bool starts_like_rtf(const unsigned char *bytes, std::size_t len);

// Reads the document from in and writes the stream through b_putc; the target
// must be open (b_open). Returns one of the statuses above.
int read_rtf(RtfInput &in);

}  // namespace kiv
