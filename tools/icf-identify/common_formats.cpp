// The identifier's own signatures. Each test looks only at the bytes it was
// given and checks every length before reading.
#include "common_formats.h"

#include <array>

namespace identify {

namespace {

using Bytes = std::span<const unsigned char>;

bool starts_with(Bytes head, std::string_view magic) {
  if (head.size() < magic.size()) return false;
  for (std::size_t i = 0; i < magic.size(); ++i)
    if (head[i] != static_cast<unsigned char>(magic[i])) return false;
  return true;
}

unsigned little16(Bytes b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t little32(Bytes b, std::size_t at) { return little16(b, at) | std::uint32_t{little16(b, at + 2)} << 16; }

bool is_white(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool ar_archive(Bytes b) { return starts_with(b, "!<arch>\n"); }
bool bzip2(Bytes b) { return starts_with(b, "BZh") && b.size() > 3 && b[3] >= '1' && b[3] <= '9'; }
bool xz(Bytes b) { return starts_with(b, "\xfd" "7zXZ"); }
// A compiled terminal description: the legacy or the 32-bit number format.
bool terminfo(Bytes b) { return starts_with(b, "\x1a\x01") || starts_with(b, "\x1e\x02"); }
// A PostScript font in its binary segments: segment mark, type, length, then "%!".
bool postscript_font(Bytes b) { return b.size() > 8 && b[0] == 0x80 && b[1] == 0x01 && b[6] == '%' && b[7] == '!'; }
bool gzip(Bytes b) { return starts_with(b, "\x1f\x8b\x08"); }
bool zip(Bytes b) { return starts_with(b, "PK\x03\x04") || starts_with(b, "PK\x05\x06") || starts_with(b, "PK\x07\x08"); }
bool pdf(Bytes b) { return starts_with(b, "%PDF-"); }
bool png(Bytes b) { return starts_with(b, "\x89PNG\r\n\x1a\n"); }
bool elf(Bytes b) { return starts_with(b, "\x7f" "ELF"); }

bool xml(Bytes b) {
  if (starts_with(b, "\xef\xbb\xbf")) b = b.subspan(3);
  return starts_with(b, "<?xml") && b.size() > 5 && is_white(b[5]);
}

// The suite's own stream: at least one well-formed code (ESC GS, two capital
// letters and a capital, digit or space), and otherwise text bytes and the
// stream's separators only.
bool intermediate_stream(Bytes b) {
  bool code = false;
  for (std::size_t i = 0; i < b.size(); ++i) {
    const unsigned char c = b[i];
    if (c == 0x1b) {
      if (i + 4 >= b.size()) break;  // cut by the end of what was read
      const unsigned char n0 = b[i + 2], n1 = b[i + 3], n2 = b[i + 4];
      const auto capital = [](unsigned char x) { return x >= 'A' && x <= 'Z'; };
      if (b[i + 1] != 0x1d || !capital(n0) || !capital(n1) || !(capital(n2) || (n2 >= '0' && n2 <= '9') || n2 == ' '))
        return false;
      code = true;
      i += 4;
    } else if (c < 32 && c != 0x1e && c != 0x1f && !is_white(c)) {
      return false;
    }
  }
  return code;
}

// An icon or cursor directory: reserved 0, type 1 or 2, a few entries, each
// with a zero reserved byte, a size and an offset past the directory.
bool icon(Bytes b) {
  if (b.size() < 22 || little16(b, 0) != 0 || (little16(b, 2) != 1 && little16(b, 2) != 2)) return false;
  const unsigned count = little16(b, 4);
  if (count == 0 || count > 64) return false;
  for (unsigned e = 0; e < count && 6 + 16 * (e + 1) <= b.size(); ++e) {
    const std::size_t at = 6 + 16 * e;
    if (b[at + 3] != 0 || little32(b, at + 8) == 0 || little32(b, at + 12) < 6 + 16 * count) return false;
  }
  return true;
}

// A portable any-map: "P1" to "P7", white space, then the width's digits.
bool netpbm(Bytes b) {
  if (b.size() < 4 || b[0] != 'P' || b[1] < '1' || b[1] > '7' || !is_white(b[2])) return false;
  std::size_t i = 2;
  while (i < b.size()) {
    if (is_white(b[i])) {
      ++i;
    } else if (b[i] == '#') {  // a comment runs to the line end
      while (i < b.size() && b[i] != '\n') ++i;
    } else {
      break;
    }
  }
  return i < b.size() && ((b[i] >= '0' && b[i] <= '9') || (b[1] == '7' && b[i] >= 'A' && b[i] <= 'Z'));
}

// A Truevision image has no signature; its header must be self-consistent:
// a colour-map flag of 0 or 1 that agrees with the image type, a known image
// type, a plausible pixel depth, a non-empty size and the reserved
// descriptor bits clear.
bool targa(Bytes b) {
  if (b.size() < 18) return false;
  const unsigned map_type = b[1], image_type = b[2], map_length = little16(b, 5), map_depth = b[7];
  const unsigned width = little16(b, 12), height = little16(b, 14), depth = b[16], descriptor = b[17];
  const bool mapped = image_type == 1 || image_type == 9;
  const bool known = mapped || image_type == 2 || image_type == 3 || image_type == 10 || image_type == 11;
  if (!known || map_type > 1 || (mapped != (map_type == 1)) || width == 0 || height == 0) return false;
  if (map_type == 1 && (map_length == 0 || (map_depth != 15 && map_depth != 16 && map_depth != 24 && map_depth != 32)))
    return false;
  if (map_type == 0 && (map_length != 0 || map_depth != 0)) return false;
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
  return (descriptor & 0xc0) == 0;
}

struct Row {
  bool (*matches)(Bytes);
  CommonFormat format;
};

// Most specific first: the signature-less Truevision test runs last.
constexpr auto common_formats = std::to_array<Row>({
    {gzip, {"gzip compressed data", "application/gzip"}},
    {bzip2, {"bzip2 compressed data", "application/x-bzip2"}},
    {xz, {"xz compressed data", "application/x-xz"}},
    {zip, {"ZIP archive", "application/zip"}},
    {pdf, {"PDF document", "application/pdf"}},
    {png, {"PNG image", "image/png"}},
    {elf, {"ELF executable or object", "application/x-executable"}},
    {xml, {"XML document", "text/xml"}},
    {intermediate_stream, {"intermediate code stream", "application/x-icf"}},
    {icon, {"Windows icon or cursor", "image/vnd.microsoft.icon"}},
    {ar_archive, {"ar archive", "application/x-archive"}},
    {postscript_font, {"PostScript Type 1 font (binary segments)", "application/x-font-type1"}},
    {terminfo, {"compiled terminfo entry", "application/x-terminfo"}},
    {netpbm, {"Netpbm image (PBM, PGM, PPM or PAM)", "image/x-portable-anymap"}},
    {targa, {"Truevision TGA image", "image/x-tga"}},
});

}  // namespace

std::optional<CommonFormat> common_format(Bytes head) {
  for (const Row &row : common_formats)
    if (row.matches(head)) return row.format;
  return std::nullopt;
}

Text looks_like_text(Bytes head) {
  Text kind = Text::ascii;
  for (std::size_t i = 0; i < head.size(); ++i) {
    const unsigned char c = head[i];
    if (c < 0x80) {
      if ((c < 32 && !is_white(c) && c != 0x1b) || c == 0x7f) return Text::none;
      continue;
    }
    // The lead byte gives the sequence length; overlong two-byte leads are not UTF-8.
    const std::size_t length = c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
    bool well_formed = length != 0;
    for (std::size_t k = 1; well_formed && k < length && i + k < head.size(); ++k)
      well_formed = (head[i + k] & 0xc0) == 0x80;
    if (!well_formed) {
      kind = Text::eight_bit;
    } else {
      if (kind == Text::ascii) kind = Text::utf8;
      i += length - 1;
    }
  }
  return kind;
}

}  // namespace identify
