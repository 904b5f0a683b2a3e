// Pictures of an RTF document: a \pict group's format and size words make the
// picture's description; its data (hex digits, or raw bytes after \bin) is
// handed to the library's picture writer as it is read, so that a picture the
// converter programs take reaches the stream in the intermediate form and one
// they cannot take goes in unconverted. Memory stays the same whatever the
// picture's size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtf_control_words.h"
#include "rtf_tokenizer.h"

namespace kiv {

// For the converter program: the converters are looked for beside program,
// and temporary picture files are made beside the stream file.
void rtf_pictures_setup(const char *program, const char *stream_name);

// At the start of a document: pictures read their data from in; before_data
// is called just before a picture's codes are written.
void rtf_pictures_start(RtfInput &in, void (*before_data)());

// \shppict (fallback false) or \nonshppict (true) begins. False when the
// group is to be skipped: the fallback of a picture already given as a bitmap.
bool rtf_picture_alternative(bool fallback);

// A \pict group begins.
void rtf_picture_begin();
// A format or size word inside the \pict group.
void rtf_picture_word(const RtfWordEntry &entry, const RtfToken &token);
// Text inside the \pict group: from its first hex digit on, the picture's data
// is read to the end of the group and written. True when the group's closing
// brace was read with it.
bool rtf_picture_text(const unsigned char *text, std::size_t len);
// \bin inside the \pict group: the data begins with count raw bytes; as
// rtf_picture_text.
bool rtf_picture_binary(std::int32_t count);
// A \pict, \shppict or \nonshppict group ends.
void rtf_picture_end();

}  // namespace kiv
