// Pictures of an RTF document through the library's picture writer. The
// writer pulls the picture's bytes through a byte source, which reads them
// straight from the RTF input: hex digits in pairs (an odd last digit is
// dropped), raw bytes after \bin (never past the end of the input), nested
// groups and other control words passed over, up to the brace that closes the
// \pict group.
#include "rtf_pictures.h"

#include <algorithm>
#include <cstring>

#include "common/ascii.h"
#include "common/types.h"
#include "objects/stream_pictures.h"
#include "runtime/options.h"
#include "runtime/strings.h"

namespace kiv {
namespace {

constexpr std::int32_t twips_per_pixel = 15;  // bitmap sizes in pixels are taken at 96 to the inch
constexpr std::int32_t size_max = 65535;      // a size parameter of the stream holds 16 bits

struct PictureDescription {
  std::int32_t format = format_unknown_graphic;  // an unrecognised picture until a format word says otherwise
  std::int32_t pixels_wide = 0, pixels_high = 0;
  std::int32_t goal_width = 0, goal_height = 0;  // twips
  std::int32_t scale_x = 100, scale_y = 100;     // per cent
};

struct PictureState {
  RtfInput *input = nullptr;
  void (*before_data)() = nullptr;
  PictureDescription picture;

  // The byte source over the input while a picture's data is read.
  RtfToken token;
  const unsigned char *text = nullptr;  // the rest of the current text run
  std::size_t text_len = 0;
  int high_nibble = -1;                 // a hex digit waiting for its pair
  long long binary_left = 0;            // bytes of a \bin still to come
  int nested = 0;                       // groups opened inside the data
  bool group_closed = false, input_ended = false;

  // \shppict and \nonshppict: the same picture twice, preferred form first.
  bool alternative_open = false;        // a \shppict began and no \nonshppict has followed yet
  bool alternative_picture = false;     // the \shppict gave a picture
  bool alternative_bitmap = false;      // ... and it was a bitmap
  bool fallback_needs_bitmap = false;   // a \nonshppict read only for a bitmap
};
PictureState state;

bool is_bitmap(std::int32_t format) { return format == 504 || format == format_jpeg; }

// The next byte of the picture's data, or end_of_input at the group's end.
int next_picture_byte() {
  PictureState &s = state;
  for (;;) {
    if (s.binary_left > 0) {
      --s.binary_left;
      const int byte = rtf_get_byte(*s.input);
      if (byte != -1) return byte;
      s.binary_left = 0;
      s.input_ended = true;
      return end_of_input;
    }
    while (s.text_len > 0) {
      const int digit = hex_value(*s.text);
      ++s.text;
      --s.text_len;
      if (digit < 0) continue;
      if (s.high_nibble < 0) {
        s.high_nibble = digit;
        continue;
      }
      const int byte = s.high_nibble * 16 + digit;
      s.high_nibble = -1;
      return byte;
    }
    if (s.group_closed || s.input_ended) return end_of_input;
    RtfToken &token = s.token;
    rtf_next_token(*s.input, token);
    switch (token.kind) {
      case RtfTokenKind::end:
        s.input_ended = true;
        return end_of_input;
      case RtfTokenKind::group_open:
        ++s.nested;
        break;
      case RtfTokenKind::group_close:
        if (s.nested == 0) {
          s.group_closed = true;
          return end_of_input;
        }
        --s.nested;
        break;
      case RtfTokenKind::text:
        if (s.nested == 0) {
          s.text = token.text;
          s.text_len = token.text_len;
        }
        break;
      case RtfTokenKind::control_word:
        if (std::strcmp(token.word, "bin") != 0 || !token.has_param || token.param <= 0) break;
        if (s.nested > 0) {
          rtf_skip_bytes(*s.input, token.param);  // binary data of a group inside the picture
        } else {
          s.high_nibble = -1;
          s.binary_left = token.param;
        }
        break;
      default:
        break;
    }
  }
}

std::int32_t displayed_size(std::int32_t goal, std::int32_t pixels, std::int32_t format, std::int32_t scale) {
  std::int64_t twips = goal;
  if (twips <= 0 && is_bitmap(format)) twips = static_cast<std::int64_t>(std::max(pixels, 0)) * twips_per_pixel;
  twips = std::max<std::int64_t>(twips, 0) * std::clamp(scale, 1, 1000) / 100;
  return static_cast<std::int32_t>(std::min<std::int64_t>(twips, size_max));
}

// Writes the picture whose data begins here, then reads whatever the writer
// left of the data up to the end of the group. True when the group's closing
// brace was read.
bool read_picture() {
  PictureState &s = state;
  const PictureDescription &p = s.picture;
  s.group_closed = s.input_ended = false;
  s.nested = 0;
  const bool wanted = !s.fallback_needs_bitmap || is_bitmap(p.format);
  s.fallback_needs_bitmap = false;
  if (wanted) {
    if (s.alternative_open) {
      s.alternative_picture = true;
      s.alternative_bitmap = s.alternative_bitmap || is_bitmap(p.format);
    }
    KIVGraphic g{};
    // A format the reader cannot name is left to the recogniser.
    g.format = p.format == format_unknown_graphic ? -1 : p.format;
    g.width = displayed_size(p.goal_width, p.pixels_wide, p.format, p.scale_x);
    g.height = displayed_size(p.goal_height, p.pixels_high, p.format, p.scale_y);
    if (s.before_data) s.before_data();
    PutKIVGraphic(&g, next_picture_byte, 1);
  }
  while (next_picture_byte() != end_of_input) {
  }
  s.text = nullptr;
  s.text_len = 0;
  s.high_nibble = -1;
  s.binary_left = 0;
  return s.group_closed;
}

}  // namespace

void rtf_pictures_setup(const char *program, const char *stream_name) {
  settings.ARG0_BasePath = const_cast<char *>(program);
  if (stream_name && std::strlen(stream_name) < sizeof settings.icfname)
    copy_bounded(settings.icfname, sizeof settings.icfname, stream_name);
}

void rtf_pictures_start(RtfInput &in, void (*before_data)()) {
  state = {};
  state.input = &in;
  state.before_data = before_data;
}

bool rtf_picture_alternative(bool fallback) {
  PictureState &s = state;
  if (!fallback) {
    s.alternative_open = true;
    s.alternative_picture = s.alternative_bitmap = false;
    return true;
  }
  const bool after_preferred = s.alternative_open;
  s.alternative_open = false;
  if (after_preferred && s.alternative_bitmap) return false;
  s.fallback_needs_bitmap = after_preferred && s.alternative_picture;
  return true;
}

void rtf_picture_begin() { state.picture = {}; }

void rtf_picture_word(const RtfWordEntry &entry, const RtfToken &token) {
  PictureDescription &p = state.picture;
  const std::int32_t value = token.has_param ? token.param : entry.value;
  switch (entry.word) {
    case RtfWord::picture_format: p.format = entry.value; break;
    case RtfWord::picw: p.pixels_wide = value; break;
    case RtfWord::pich: p.pixels_high = value; break;
    case RtfWord::picwgoal: p.goal_width = value; break;
    case RtfWord::pichgoal: p.goal_height = value; break;
    case RtfWord::picscalex: p.scale_x = value; break;
    case RtfWord::picscaley: p.scale_y = value; break;
    default: break;
  }
}

bool rtf_picture_text(const unsigned char *text, std::size_t len) {
  std::size_t k = 0;
  while (k < len && hex_value(text[k]) < 0) ++k;
  if (k == len) return false;  // no data yet
  state.text = text + k;
  state.text_len = len - k;
  return read_picture();
}

bool rtf_picture_binary(std::int32_t count) {
  state.binary_left = count;
  return read_picture();
}

void rtf_picture_end() { state.fallback_needs_bitmap = false; }

}  // namespace kiv
