// Pictures of an RTF document through the library's picture writer. The
// writer pulls the picture's bytes through a byte source, which reads them
// straight from the RTF input: hex digits in pairs (an odd last digit is
// dropped), raw bytes after \bin (never past the end of the input), nested
// groups and other control words passed over, up to the brace that closes the
// \pict group.
#include "rtf_pictures.h"

#include <algorithm>
#include <array>
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

constexpr std::int32_t format_bmp = 513;
constexpr std::size_t bmp_file_header = 14;
constexpr std::size_t bmp_info_header = 40;

// How a picture's bytes reach the picture writer: as they are, or as a BMP
// file made of a bitmap without a file header.
enum class Bitmap : std::uint8_t { none, device_independent, device_dependent };

struct PictureDescription {
  std::int32_t format = format_unknown_graphic;  // an unrecognised picture until a format word says otherwise
  Bitmap bitmap = Bitmap::none;
  std::int32_t bits_per_pixel = 1, row_bytes = 0;  // \wbmbitspixel, \wbmwidthbytes
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

  // The headers put in front of a bitmap without a file header, and for a
  // device-dependent bitmap the place in its rows: they are padded from
  // row_bytes to the four-byte rows of a BMP file.
  std::array<unsigned char, bmp_file_header + bmp_info_header + 256 * 4> head{};
  std::size_t head_len = 0, head_at = 0;
  std::uint32_t rows_left = 0, row_at = 0, padded_row = 0;

  // \shppict and \nonshppict: the same picture twice, preferred form first.
  bool alternative_open = false;        // a \shppict began and no \nonshppict has followed yet
  bool alternative_picture = false;     // the \shppict gave a picture
  bool alternative_bitmap = false;      // ... and it was a bitmap
  bool fallback_needs_bitmap = false;   // a \nonshppict read only for a bitmap
};
PictureState state;

bool is_bitmap(std::int32_t format) { return format == 504 || format == format_jpeg || format == format_bmp; }

void put_le(unsigned char *at, std::uint32_t value, int bytes) {
  for (int k = 0; k < bytes; ++k) at[k] = static_cast<unsigned char>(value >> (8 * k));
}

// The next byte of the picture's data, or end_of_input at the group's end.
int data_byte() {
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

// A device-independent bitmap: its information header is read first, for the
// file header's offset of the pixels (after the header, the bit-field masks
// and the palette).
int dib_byte() {
  PictureState &s = state;
  if (s.head_len == 0) {
    std::fill(s.head.begin(), s.head.begin() + bmp_file_header + bmp_info_header, 0);  // a short header reads as zeros
    std::size_t n = bmp_file_header;
    for (int byte; n < bmp_file_header + bmp_info_header && (byte = data_byte()) != end_of_input; ++n) s.head[n] = static_cast<unsigned char>(byte);
    const auto le = [&s](std::size_t at, int bytes) {
      std::uint32_t v = 0;
      for (int k = bytes - 1; k >= 0; --k) v = v << 8 | s.head[bmp_file_header + at + static_cast<std::size_t>(k)];
      return v;
    };
    const std::uint32_t header = std::min<std::uint32_t>(le(0, 4), 1u << 16);
    const bool core = header == 12;
    const std::uint32_t bits = core ? le(10, 2) : le(14, 2);
    const std::uint32_t used = core ? 0 : std::min<std::uint32_t>(le(32, 4), 256);
    const std::uint32_t colours = bits <= 8 ? (used != 0 ? used : 1u << bits) : used;
    const std::uint32_t masks = !core && header == bmp_info_header && le(16, 4) == 3 ? 12 : 0;
    s.head[0] = 'B', s.head[1] = 'M';
    put_le(&s.head[2], 0, 4);  // the file's size: not known before its end, and not needed
    put_le(&s.head[6], 0, 4);
    put_le(&s.head[10], static_cast<std::uint32_t>(bmp_file_header) + header + masks + colours * (core ? 3 : 4), 4);
    s.head_len = n;
  }
  if (s.head_at < s.head_len) return s.head[s.head_at++];
  return data_byte();
}

// A device-dependent bitmap: rows of row_bytes from the top, with no header;
// a palette of greys (black and white for one bit) stands in for the
// device's colours.
int ddb_byte() {
  PictureState &s = state;
  const PictureDescription &p = s.picture;
  if (s.head_len == 0) {
    const std::uint32_t bits = p.bits_per_pixel == 4 || p.bits_per_pixel == 8 || p.bits_per_pixel == 24 ||
                               p.bits_per_pixel == 32 ? static_cast<std::uint32_t>(p.bits_per_pixel) : 1;
    const std::uint32_t width = static_cast<std::uint32_t>(std::clamp(p.pixels_wide, 1, 1 << 16));
    s.rows_left = static_cast<std::uint32_t>(std::clamp(p.pixels_high, 0, 1 << 16));
    s.padded_row = (width * bits + 31) / 32 * 4;
    const std::uint32_t colours = bits <= 8 ? 1u << bits : 0;
    unsigned char *h = s.head.data();
    std::fill(h, h + bmp_file_header + bmp_info_header, 0);
    h[0] = 'B', h[1] = 'M';
    const std::uint32_t pixels_at = static_cast<std::uint32_t>(bmp_file_header + bmp_info_header) + colours * 4;
    put_le(h + 2, pixels_at + s.padded_row * s.rows_left, 4);
    put_le(h + 10, pixels_at, 4);
    unsigned char *info = h + bmp_file_header;
    put_le(info, static_cast<std::uint32_t>(bmp_info_header), 4);
    put_le(info + 4, width, 4);
    put_le(info + 8, static_cast<std::uint32_t>(-static_cast<std::int32_t>(s.rows_left)), 4);  // rows from the top
    put_le(info + 12, 1, 2);
    put_le(info + 14, bits, 2);
    for (std::uint32_t c = 0; c < colours; ++c) {
      const auto grey = static_cast<unsigned char>(c * 255 / (colours - 1));
      unsigned char *entry = info + bmp_info_header + c * 4;
      entry[0] = entry[1] = entry[2] = grey;
    }
    s.head_len = pixels_at;
    s.row_at = 0;
  }
  if (s.head_at < s.head_len) return s.head[s.head_at++];
  const std::uint32_t row_bytes = p.row_bytes > 0 ? static_cast<std::uint32_t>(p.row_bytes) : s.padded_row;
  for (;;) {
    if (s.rows_left == 0) return end_of_input;
    if (s.row_at == std::max(row_bytes, s.padded_row)) {
      s.row_at = 0;
      --s.rows_left;
      continue;
    }
    const std::uint32_t at = s.row_at++;
    int byte = 0;
    if (at < row_bytes && (byte = data_byte()) == end_of_input) return end_of_input;
    if (at < s.padded_row) return byte;  // the row's bytes, then zeros to its padded end
  }
}

// The picture writer's byte source.
int next_picture_byte() {
  switch (state.picture.bitmap) {
    case Bitmap::device_independent: return dib_byte();
    case Bitmap::device_dependent: return ddb_byte();
    case Bitmap::none: break;
  }
  return data_byte();
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
  while (data_byte() != end_of_input) {
  }
  s.text = nullptr;
  s.text_len = 0;
  s.high_nibble = -1;
  s.binary_left = 0;
  s.head_len = s.head_at = 0;
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
    case RtfWord::dibitmap: p.format = format_bmp, p.bitmap = Bitmap::device_independent; break;
    case RtfWord::wbitmap: p.format = format_bmp, p.bitmap = Bitmap::device_dependent; break;
    case RtfWord::wbmbitspixel: p.bits_per_pixel = value; break;
    case RtfWord::wbmwidthbytes: p.row_bytes = value; break;
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
