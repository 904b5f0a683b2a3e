// Recognisers of graphic and presentation formats: fixed signatures of bitmap,
// metafile and drawing files, and the element walks of the vector formats whose
// files start without one.
#include <array>
#include <cstdint>
#include <string_view>

#include "recognition/match.h"
#include "recognition/recogniser_list.h"

namespace kiv {

namespace {

// Presentation stream names of compound files whose directory lies in the block.
constexpr auto PowerPoint4Doc = utf16("PP40");
constexpr auto PowerPointDoc = utf16("PowerPoint Document");

// The text DXF header, one line each, every line with up to 30 leading blanks.
constexpr std::array<std::string_view, 4> dxf_header = {"0", "SECTION", "2", "HEADER"};
constexpr int dxf_leading_blanks = 30;

// The CGM elements that count as evidence: for each class, the highest element id
// counted (ids from 1).
constexpr std::array<int, 8> cgm_highest_id = {5, 15, 7, 6, 19, 35, 1, 2};

// HP-GL scan limits: enough evidence either way ends the scan.
constexpr int hpgl_good_enough = 60;
constexpr int hpgl_too_bad = 10;

constexpr int macpaint_row_bytes = 72;
constexpr int macpaint_rows = 10;

bool line_end(int c) { return c == CR || c == LF; }

// The start of a picture opcode stream at pos.
bool pict_opcodes_at(std::int64_t pos) {
  return matches(pos, bytes(0x11, 0x01)) || matches(pos, bytes(0x00, 0x11, 0x02, 0xFF, 0x0C, 0x00));
}

bool bmp_bits(unsigned count, bool sixteen) {
  return count == 1 || count == 4 || count == 8 || count == 24 || (sixteen && count == 16);
}

// An HP-GL command letter: bytes above "Z" are folded down by 32 first.
bool hpgl_letter(int c) {
  if (c > 'Z') c -= 32;
  return c >= 'A' && c <= 'z';
}

}  // namespace

int auto_tst_wmf() {
  const int len = st().len;
  if (len > 3 && matches(0, bytes(0xD7, 0xCD, 0xC6, 0x9A))) return answer(610, 0);
  if (len > 5 && matches(0, bytes(0x01, 0x00, 0x09, 0x00, 0x00)) && (byte_at(5) == 3 || byte_at(5) == 1)) {
    return answer(610, 1);
  }
  return 0;
}

int auto_tst_os2met() {
  if (st().len <= 20 || !matches(2, bytes(0xD3, 0xA8, 0xA8, 0x00)) || !matches(18, bytes(0x05, 0x18))) return 0;
  return 623;
}

int auto_tst_tiff() {
  if (st().len < 4) return 0;
  if (matches(0, bytes('I', 'I', '*', 0x00)) || matches(0, bytes('M', 'M', 0x00, '*'))) return answer(502, 0);
  return 0;
}

int auto_tst_gif() {
  if (st().len < 4 || !matches(0, text("GIF"))) return 0;
  return answer(512, 0);
}

int auto_tst_iges() {
  if (st().len < 328) return 0;
  const int record = 80 + line_end(byte_at(80)) + line_end(byte_at(81));
  int score = 0;
  for (int r = 0; r < 4; ++r) {
    const std::int64_t column73 = static_cast<std::int64_t>(r) * record + 72;
    if (!byte_in(column73, text("SGDPBC"))) continue;
    ++score;
    if (matches(column73 + 1, text("000000")) || matches(column73 + 1, text("      "))) ++score;
  }
  return score == 8 ? 607 : 0;
}

int auto_tst_dxf() {
  if (st().len < 200) return 0;
  std::int64_t pos = 0;
  bool text_form = true;
  for (std::string_view line : dxf_header) {
    for (int blanks = 0; blanks < dxf_leading_blanks && byte_at(pos) == ' '; ++blanks) ++pos;
    for (char c : line) {
      if (byte_at(pos++) != static_cast<unsigned char>(c)) text_form = false;
    }
    if (!matches(pos, bytes(CR, LF))) text_form = false;
    if (!text_form) break;
    pos += 2;
  }
  if (text_form) return answer(608, 0);
  if (matches(0, text("AutoCAD ")) && (matches(8, text("Binary DXF")) || matches(8, text("DXB ")))) {
    return answer(608, 2);
  }
  return 0;
}

int auto_tst_jpeg() {
  const std::int64_t len = st().len;
  if (len < 12 || !matches(0, bytes(0xFF, 0xD8, 0xFF))) return 0;
  if (byte_at(3) == 0xE0) {
    if (!matches(6, bytes('J', 'F', 'I', 'F', 0x00))) return 0;
    return answer(521, 0);
  }
  // Without the JFIF segment every FF must start a marker or be stuffed.
  int markers = 0;
  for (std::int64_t i = 2; i < len; ++i) {
    if (byte_at(i) != 0xFF) continue;
    const int next = byte_at(i + 1);
    if (next != 0 && next < 0xC0) return 0;
    ++markers;
  }
  if (markers < 4) return 0;
  return answer(521, 0);
}

int auto_tst_corel() {
  if (st().len < 12) return 0;
  if (matches(0, text("WL"))) return answer(520, 0);
  if (matches(0, text("RIFF")) && matches(8, text("CDR"))) return answer(byte_at(11) == '6' ? 628 : 520, 0);
  return 0;
}

int auto_tst_mgx() {
  if (st().len < 10 || !matches(3, bytes(0x04, 0x03)) || byte_at(8) > 2) return 0;
  return 609;
}

int auto_tst_rgip() {
  if (st().len < 14 || !matches(0, text("%RGIP_METAFILE"))) return 0;
  return answer(613, 0);
}

int auto_tst_sdw() {
  if (st().len < 10 || !matches(0, text("SM")) || !(byte_at(2) == 0 || byte_at(2) == 2) || byte_at(3) != 1) {
    return 0;
  }
  return 614;
}

int auto_tst_bmp() {
  if (st().len < 30) return 0;
  const std::int64_t h = matches(0, text("BA")) ? 14 : 0;  // an array header comes first
  const bool core_bits = (byte_at(h + 14) == 12 || byte_at(h + 14) == 64) && bmp_bits(u16le(h + 24), false);
  const bool info_bits = bmp_bits(u16le(h + 28), true);
  if (matches(h, text("BM"))) {
    if (core_bits) return answer(513, 4);
    if (!info_bits) return 0;
    return answer(513, byte_at(h + 30) != 0 ? 3 : 0);
  }
  if (matches(h, text("CI")) || matches(h, text("IC"))) {
    if (core_bits || info_bits) return answer(513, 5);
  }
  return 0;
}

int auto_tst_xpm() {
  if (st().len < 11 || !matches(0, text("/* XPM"))) return 0;
  return answer(524, 0);
}

int auto_tst_pict() {
  const int len = st().len;
  if (len >= 530 && pict_opcodes_at(522)) return answer(602, 0);
  if (len >= 16 && pict_opcodes_at(10)) return answer(602, 1);
  return 0;
}

int auto_tst_sunras() {
  if (st().len < 36 || !matches(0, bytes(0x59, 0xA6, 0x6A, 0x95))) return 0;
  return answer(522, 0);
}

int auto_tst_eps() {
  if (st().len < 30 || !matches(0, bytes(0xC5, 0xD0, 0xD3, 0xC6))) return 0;
  return answer(503, 0);
}

int auto_tst_pic() {
  if (st().len < 18) return 0;
  if (!matches(0, bytes(0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00, 0x44, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x7F,
                        0x09, 0x06))) {
    return 0;
  }
  return answer(601, 0);
}

int auto_tst_formflow() {
  if (st().len < 31) return 0;
  if (!matches(0, text("FormFlow ")) || !matches(13, text("     1.00"))) return 0;
  if (!matches(9, text("    ")) && !matches(9, text("ENCR"))) return 0;
  return 624;
}

int auto_tst_png() {
  if (st().len <= 20 || !matches(0, bytes(0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A))) return 0;
  return answer(504, 0);
}

int auto_tst_msp() {
  if (st().len < 33 || !(matches(0, text("DanM")) || matches(0, text("LinS")))) return 0;
  if (u16le(4) == 0 || u16le(6) == 0) return 0;
  return 507;
}

int auto_tst_dcx() {
  if (st().len < 5 || !matches(0, bytes(0xB1, 0x68, 0xDE, 0x3A))) return 0;
  return answer(501, 1);
}

int auto_tst_pcx() {
  if (st().len < 21 || byte_at(0) != 0x0A) return 0;
  if (byte_at(1) < 1 || byte_at(1) > 10 || byte_at(2) > 1 || byte_at(3) > 64) return 0;
  return answer(501, 0);
}

int auto_tst_winclp() {
  if (st().len < 31 || !matches(0, bytes('P', 0xC3)) || u16le(2) == 0 || u16le(4) == 0) return 0;
  return answer(605, 0);
}

int auto_tst_winicon() {
  if (st().len < 51 || !matches(0, bytes(0x00, 0x00, 0x01, 0x00)) || byte_at(4) == 0) return 0;
  constexpr auto sizes = bytes(16, 32, 64);
  if (!byte_in(6, sizes) || !byte_in(7, sizes) || byte_at(8) == 0 || byte_at(9) != 0) return 0;
  return answer(517, 0);
}

int auto_tst_power() {
  const std::int64_t len = st().len;
  if (len <= directory_entry_size) return 0;
  constexpr auto no_sibling = bytes(0xFF, 0xFF, 0xFF, 0xFF);
  for (std::int64_t p = 0; p + directory_entry_size < len; p += directory_entry_size) {
    if (!matches(p + 68, no_sibling)) continue;
    if (matches(p, PowerPoint4Doc)) return answer(619, 2);
    if (matches(p, PowerPointDoc)) return answer(627, 0);
  }
  return 0;
}

int auto_tst_ppt() {
  if (st().len < 8 || !matches(0, bytes(0xED, 0xDE, 0xAD, 0x0B)) || !matches(5, bytes(0, 0, 0))) return 0;
  if (byte_at(4) < 2 || byte_at(4) > 4) return 0;
  return answer(619, byte_at(4) - 2);
}

int auto_tst_freelance() {
  if (st().len < 12 || !matches(0, bytes(0x00, 0x01, '@', 0x00, 'D', 'E', 'B', 'R', '@', 0x00))) return 0;
  return answer(618, 0);
}

int auto_tst_wizidraw() {
  if (st().len < 30) return 0;
  std::int64_t comma = 0;
  while (comma <= 10 && byte_at(comma) != ',') ++comma;
  if (comma > 10) return 0;
  std::int64_t pos = comma;
  while (pos <= 20 && byte_at(pos) != 'M' && byte_at(pos) != 'S') ++pos;
  if (pos > 20) return 0;
  if (!matches(pos, text("M11DRAW")) && !matches(pos, text("SYSDRAW"))) return 0;
  return 617;
}

int auto_tst_WPGNoHdr() {
  if (st().len < 48) return 0;
  if (matches(0, bytes(0x0F, 0x06, 0x01, 0x00))) return answer(606, 0);
  if (matches(10, bytes(0x04, 0x01)) && matches(14, bytes(0xB0, 0x04, 0xB0, 0x04))) return answer(615, 0);
  return 0;
}

int auto_tst_cgm() {
  const std::int64_t len = st().len;
  if (len < 200) return 0;
  if (u16be(0) >> 5 != 1) return 0;  // class 0, id 1 (and any length)
  int counted = 2;
  int empty = 0;
  std::int64_t pos = 0;
  // Each element moves on by at least its two header bytes.
  while (pos < len - 10 && counted < 10 && empty < 5) {
    const unsigned header = u16be(pos);
    const unsigned element_class = header >> 12;
    const unsigned id = (header >> 5) & 0x7F;
    std::int64_t length = header & 0x1F;
    std::int64_t header_size = 2;
    if (length == 31) {
      length = u16be(pos + 2) & 0x7FFF;
      header_size = 4;
    }
    length += length & 1;
    if (length == 0) ++empty;
    if (id >= 1 && element_class < cgm_highest_id.size() &&
        static_cast<int>(id) <= cgm_highest_id[element_class]) {
      ++counted;
    } else if (!(element_class == 0 && id == 0)) {
      return 0;
    }
    pos += header_size + length;
  }
  if (counted >= 8 && empty < 5) return 603;
  return 0;
}

int auto_tst_hpgl() {
  const std::int64_t stop = static_cast<std::int64_t>(st().len) - 5;
  int good = 0;
  int bad = 0;
  std::int64_t i = 0;
  auto skip_line_ends = [&] {
    while (i < stop && line_end(byte_at(i))) ++i;
  };
  // Every pass takes at least one byte, so the scan ends at stop.
  while (i < stop && good < hpgl_good_enough && bad < hpgl_too_bad) {
    skip_line_ends();
    if (i >= stop) break;
    if (hpgl_letter(byte_at(i))) ++good; else ++bad;
    ++i;
    skip_line_ends();
    if (i >= stop) break;
    const int second = byte_at(i);
    if (hpgl_letter(second)) ++good; else ++bad;
    if (second > 'Z') ++good;
    ++i;
    const std::int64_t parameters = i;
    while (i < stop && byte_at(i) != ';' && byte_at(i) != ' ' && !hpgl_letter(byte_at(i))) ++i;
    const int after = i < stop ? byte_at(i) : -1;
    if (i == parameters && after != ';') ++bad;
    if (after == ' ') {
      while (i < stop && byte_at(i) != ';' && !hpgl_letter(byte_at(i))) ++i;
    }
    if (i < stop && byte_at(i) == ';') {
      good += 5;
      ++i;
    }
  }
  if (good >= hpgl_good_enough && bad < hpgl_too_bad) return 604;
  return 0;
}

int auto_tst_hvdgrph() {
  if (st().len < 12 || !matches(0, bytes(0xDC, 0xFE, 0x18, 0x02))) return 0;
  return answer(620, 0);
}

int auto_tst_mac() {
  if (st().len < 2048) return 0;
  // A file with a 128-byte prefix has its bitmap 128 bytes later.
  std::int64_t pos = (byte_at(0) == 0 && byte_at(1) != 0 && byte_at(74) == 0) ? 640 : 512;
  int counted = 0;
  for (int row = 0; row < macpaint_rows; ++row) {
    int width = 0;
    int runs = 0;
    while (width < macpaint_row_bytes) {
      const int n = byte_at(pos++);
      if (n > 127) {
        width += 257 - n;
        ++pos;
        runs += 2;
      } else {
        width += n + 1;
        pos += n + 1;
        if (n + 1 > 1) ++runs;
      }
    }
    if (width > macpaint_row_bytes) return 0;
    if (runs >= 2) ++counted;
  }
  if (counted < 6) return 0;
  return 508;
}

}  // namespace kiv
