// The identifier's own table of common formats that the library's recognisers
// do not know, and its test for text, both over a file's first bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace identify {

struct CommonFormat {
  std::string_view description;
  std::string_view mime;
};

// The first row of the table whose signature the bytes carry.
std::optional<CommonFormat> common_format(std::span<const unsigned char> head);

enum class Text { none, ascii, utf8, eight_bit };

// Whether the bytes read as text: no control bytes but white space, form
// feed and ESC. Text with bytes above 127 is UTF-8 when each is part of a
// well-formed sequence (one cut by the end of `head` counts), else 8-bit.
Text looks_like_text(std::span<const unsigned char> head);

}  // namespace identify
