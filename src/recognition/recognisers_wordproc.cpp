// Recognisers of word-processor documents: fixed headers of the DOS, Windows and
// Macintosh word processors, and the function-code scans of the older formats
// whose files have no header.
#include <array>
#include <cstdint>

#include "recognition/match.h"
#include "recognition/recogniser_list.h"

namespace kiv {

namespace {

// A WordPerfect 4.x function: its code byte, the byte at offset `length`, and
// the version it marks (9: a function of a later release).
struct WpFunction {
  unsigned char code;
  unsigned char end;
  int length;
  int version;
};

constexpr std::array<WpFunction, 23> wp_lst = {{
    {0xD1, 0xFF, 4, 0},   {0xC0, 0xC0, 5, 0},  {0xC9, 0xC9, 41, 0}, {0xF1, 0xF1, 105, 1},
    {0xDD, 0xDD, 23, 0},  {0xF3, 0xF3, 99, 1}, {0xE5, 0xE5, 22, 0}, {0xEE, 0xEE, 43, 1},
    {0xE6, 0xE6, 10, 0},  {0xEF, 0xEF, 17, 1}, {0xF2, 0x00, 4, 1},  {0xE3, 0xE3, 148, 0},
    {0xC1, 0xC1, 3, 0},   {0xC7, 0xC7, 5, 0},  {0xC3, 0xC3, 4, 0},  {0xCB, 0xCB, 5, 0},
    {0xCC, 0xCC, 3, 0},   {0xD0, 0xD0, 5, 0},  {0xCE, 0xCE, 3, 0},  {0xD2, 0xFF, 3, 9},
    {0xD3, 0xD3, 3, 9},   {0xCD, 0xCD, 2, 9},  {0xCE, 0xCE, 3, 9},
}};

// For each byte, whether some row of wp_lst has it as its code.
constexpr std::array<bool, 256> wp_is_code = [] {
  std::array<bool, 256> t{};
  for (const WpFunction &row : wp_lst) t[row.code] = true;
  return t;
}();

// The longest function above: the scan stops this far before the end.
constexpr int wp_longest = 148;

// WordStar dot commands and the version they mark.
struct WsCommand {
  std::array<unsigned char, 2> letters;
  int version;
};

constexpr std::array<WsCommand, 15> ws_lst = {{
    {text("pa"), 0}, {text("he"), 0}, {text("h1"), 2}, {text("fo"), 0}, {text("f1"), 2},
    {text("op"), 0}, {text("hm"), 0}, {text("mt"), 0}, {text("rr"), 2}, {text("rm"), 2},
    {text("lm"), 2}, {text("mt"), 0}, {text("pf"), 0}, {text("cw"), 0}, {text("tb"), 0},
}};

// Lengths of the WordPerfect for Macintosh 1.x functions C0 to FF: 0 ends at the
// next occurrence of the code byte, -1 carries its own length.
constexpr std::array<int, 64> MacWP1Len = {
    10, 4,  4, 7,  7,  10,  4, 6,  8,  -1, 4, 6,  6, 3,   6, 3,  6, -1, 0, 4, 4, 4,
    6,  0,  0, 4,  4,  4,   0, 24, 6,  -1, 4, 3,  -1, 150, 7, 23, 11, 3, 3, 8, 0, 32,
    5,  0,  44, 18, 6, 106, 0, 196, 4, -1, 0, 4, 4, 8,  -1, 4, 0,  0, -1, 0,
};

// Header tables of the PFS family: a length byte, six name bytes, NUL, a length
// byte and the version text.
using HeaderTable = std::array<unsigned char, 11>;

consteval HeaderTable pfs_header(const char (&name)[7], const char (&version)[3]) {
  HeaderTable t{};
  t[0] = 6;
  for (int i = 0; i < 6; ++i) t[1 + i] = static_cast<unsigned char>(name[i]);
  t[7] = 0;
  t[8] = 4;
  t[9] = static_cast<unsigned char>(version[0]);
  t[10] = static_cast<unsigned char>(version[1]);
  return t;
}

consteval HeaderTable pfc_header(const char (&name)[11]) {
  HeaderTable t{};
  t[0] = 12;
  for (int i = 0; i < 10; ++i) t[1 + i] = static_cast<unsigned char>(name[i]);
  return t;
}

constexpr HeaderTable ibm_tab = pfs_header("IBM   ", "1.");
constexpr HeaderTable pfs_tb1 = pfs_header("WRD PC", "1.");
constexpr HeaderTable pfs_tb2 = pfs_header("WRD PC", "2.");
constexpr HeaderTable pfs_tb3 = pfs_header("TYPE 2", "2.");
constexpr HeaderTable ppw_tb1 = pfs_header("TYPE 3", "2.");
constexpr HeaderTable ppw_tb2 = pfs_header("TYPE 4", "2.");
constexpr HeaderTable pfc_tab = pfc_header("GERBILDOC ");
constexpr HeaderTable pfc_tab2 = pfc_header("GERBILDOC2");
constexpr HeaderTable pfc_tab3 = pfc_header("GERBILDOC3");
constexpr HeaderTable pfc_tab4 = pfc_header("GERBILDOC4");

// Directory-entry names of compound files whose directory lies in the block.
constexpr auto WordDoc = utf16("WordDocument");
constexpr auto WKS3Doc = utf16("MM");

}  // namespace

int auto_tst_rft() {
  if (st().len < 10) return 0;
  if (matches(0, bytes(0x00, 0x05, 0xE1, 0x03, 0x00)) && byte_at(7) == 0xE2 && byte_at(8) == 0x05) {
    return answer(15, 0);
  }
  if (matches(0, bytes(0x80, 0x00, 0x00, 0x09, 0x20))) return answer(15, 2);
  return 0;
}

int CheckWPMailMergeFile() {
  const int len = st().len;
  if (byte_at(6) != 0 || byte_at(7) != 0) return 0;
  const std::int64_t stop = static_cast<std::int64_t>(len) - 20;
  std::int64_t pos = u16le(4);
  if (pos >= stop) return 0;
  // Every step moves forward, so the walk ends at stop.
  while (pos < stop) {
    const int c = byte_at(pos);
    if (c < 0xC0) {
      ++pos;
    } else if (c < 0xD0) {
      int extra = 0;
      switch (c) {
        case 0xC0: case 0xC3: case 0xC4: extra = 3; break;
        case 0xC1: extra = 9; break;
        case 0xC2: extra = 11; break;
        case 0xC5: extra = 5; break;
        case 0xC6: extra = 6; break;
        case 0xC7: extra = 7; break;
        default: break;
      }
      pos += 1 + extra;
    } else {
      const unsigned code = static_cast<unsigned>(c) << 8 | static_cast<unsigned>(byte_at(pos + 1));
      if (code == 0xDE31 || code == 0xDE34 || code == 0xDE48 || code == 0xDE62) return 1;
      pos += 4 + u16le(pos + 2);
    }
  }
  return 0;
}

int auto_tst_wp5() {
  if (st().len < 16) return 0;
  if (byte_at(0) != 0xFF || !matches(1, text("WPC")) || byte_at(8) != 1) return 0;
  const int type = byte_at(9);
  const int major = byte_at(10);
  const int minor = byte_at(11);
  if (type == 10) {
    if (major == 2 && minor <= 2) return answer(48, minor);
    if (CheckWPMailMergeFile()) return answer(707, minor != 0 ? 1 : 0);
    if (minor == 0) return answer(7, 0);
    if (minor == 1) return answer(7, 1);
    return 0;
  }
  if (type == 22) return major > 1 ? 615 : 606;
  return 0;
}

int auto_tst_mm() {
  if (st().len < 1028) return 0;
  for (int i = 0; i < 8; ++i) {
    const int c = byte_at(i);
    if (c != 0 && (c < 0x20 || c > 0x7E)) return 0;
  }
  if (byte_at(507) > 1) return 0;
  if (!(byte_at(1028) == 0xB1 || byte_at(1028) == 0xB3 || byte_at(510) == 1)) return 0;
  if (byte_at(406) != '/' || byte_at(409) != '/' || byte_at(414) != '/' || byte_at(417) != '/') return 0;
  if (byte_at(420) == 0) return answer(10, 1);
  return answer(10, byte_at(511) >= 3 ? 3 : 2);
}

int auto_tst_msw() {
  if (st().len < 128) return 0;
  if (!byte_in(0, text("12")) || !matches(1, bytes(0xBE, 0x00, 0x00, 0x00, 0xAB))) return 0;
  if (byte_at(96) != 0 || byte_at(97) != 0) return 43;
  unsigned value = u16le(28);
  if (u16le(106) == 0) value = 0;
  if (value == 0) return answer(5, 0);
  return answer(5, (u16le(116) == 0 && u16le(118) == 0) ? 1 : 2);
}

int auto_tst_ow() {
  if (st().len < 1536) return 0;
  if (byte_at(512) != 0xB3 || byte_at(1024) != 0xB3) return 0;
  if (matches(0, text("4.0"))) return answer(16, 0);
  if (matches(0, text("5.0"))) return answer(16, 1);
  if (matches(0, text("6.0"))) return answer(16, 2);
  return 0;
}

int auto_tst_qaw() {
  if (st().len < 40) return 0;
  if (!matches(0, text("TB")) || !byte_in(2, text("WT")) || !byte_in(3, text("PX"))) return 0;
  if (byte_at(4) != 0 || byte_at(26) != 0x1A) return 0;
  return answer(23, byte_at(35) == 4 ? 1 : 0);
}

int auto_tst_en() {
  if (st().len < 10) return 0;
  if ((byte_at(0) & 0x81) == 0 || !matches(1, bytes(0xCD, 0xAB))) return 0;
  if (byte_at(5) < 16 || byte_at(5) >= 49) return 0;
  return answer(28, 0);
}

int auto_tst_pfs() {
  if (st().len < 660) return 0;
  const bool gerbil = matches(8, pfc_tab) || matches(8, pfc_tab2) || matches(8, pfc_tab3) ||
                      matches(8, pfc_tab4);
  if (!gerbil) {
    if (matches(640, pfs_tb1) || matches(640, pfs_tb2) || matches(640, pfs_tb3)) return answer(8, 0);
    if (matches(640, ppw_tb1)) return answer(8, 1);
    if (matches(640, ppw_tb2)) return answer(8, 4);
    return 0;
  }
  if (byte_at(18) == '3') return answer(8, 5);
  if (byte_at(18) == '4') return answer(8, 6);
  return answer(8, byte_at(502) > 2 ? 3 : 2);
}

int auto_tst_ws2() {
  if (st().len < 10 || !matches(2, text("WS2000"))) return 0;
  return answer(9, 0);
}

int auto_tst_ibm() {
  if (st().len < 700 || !matches(640, ibm_tab)) return 0;
  return answer(13, 0);
}

int auto_tst_WinWord() {
  if (st().len < 30) return 0;
  if (!matches(24, bytes(0x80, 0x01, 0x00, 0x00)) || byte_at(1) != 0xA5) return 0;
  if (byte_at(0) == 0x9B) return answer(44, 0);
  if (byte_at(0) == 0xDB || byte_at(0) == 'H') return answer(44, 1);
  return 0;
}

int auto_tst_rf() {
  if (st().len < 10) return 0;
  if (matches(0, bytes('m', 0xB3, '5', 0x88, 0x04)) || matches(0, bytes(0x05, 0xA2, 'd', 0xB0, 0x04))) {
    return answer(25, 0);
  }
  return 0;
}

int auto_tst_wang() {
  if (st().len < 1152 || byte_at(1024) != 0x86) return 0;
  bool all_zero = true;
  for (int i = 0; i < 128 && all_zero; ++i) all_zero = byte_at(i) == 0;
  if (!all_zero) {
    int ff = 0;
    for (int i = 0; i < 1024; ++i) ff += byte_at(i) == 0xFF;
    if (ff < 100) return 0;
  }
  return answer(26, 0);
}

int auto_tst_sma() {
  if (st().len < 10) return 0;
  if (!matches(0, bytes(0x1A, 'S')) || byte_at(5) != 0 || !(byte_at(4) == 3 || byte_at(4) == 16)) return 0;
  return answer(22, 0);
}

int auto_tst_fft() {
  if (st().len < 10) return 0;
  constexpr auto mark = bytes(0x2B, 0xD2, 0x04, 0x85);
  constexpr auto kinds = bytes(0xD1, 0xD2, 0xD4);
  // The expected format accepts the bare mark at the start.
  if (matches(0, mark) && (st().MinorVal == 1 || (byte_at(6) == 0x2B && byte_in(7, kinds)))) {
    return answer(32, 0);
  }
  if (matches(1, mark) && byte_at(7) == 0x2B && byte_in(8, kinds)) return answer(32, 0);
  return 0;
}

int auto_tst_mwm() {
  const int len = st().len;
  if (len < 40) return 0;
  if (matches(0, bytes(0xFE, '4')) && byte_at(9) == 0 && byte_at(10) <= 1) return answer(54, 0);
  if (matches(0, bytes(0xFE, '7')) && byte_at(20) == 0 && byte_at(21) == 0 &&
      (byte_at(22) == 1 || byte_at(22) == 2) && byte_at(23) == 0) {
    const bool extended = len >= 193 && (byte_at(188) | byte_at(189) | byte_at(190) | byte_at(191)) != 0;
    return answer(54, extended ? 2 : 1);
  }
  return 0;
}

int auto_tst_mcw() {
  if (st().len < 20 || !matches(0, bytes(0x00, 0x06))) return 0;
  if (u16be(2) < 2 || u16be(4) < 2 || u16be(6) < 2) return 0;
  if (u16be(4) >= 8224 || u16be(6) >= 8224) return 0;
  if (u16be(14) > 2 && u16be(14) < 65532) return 0;
  return answer(51, 0);
}

int auto_tst_mcw2() {
  if (st().len < 150 || !matches(0, bytes(0x00, '.'))) return 0;
  if (!matches(135, bytes(0x06, 0x12)) || byte_at(137) > 1 || byte_at(140) != 1) return 0;
  return answer(52, 0);
}

int auto_tst_mcwpro() {
  if (st().len < 512 || !matches(0, bytes(0x00, 0x04, 0x00, 0x04))) return 0;
  return answer(56, 0);
}

int auto_tst_clworks() {
  if (st().len < 10 || !matches(4, text("BOBO")) || byte_at(8) != 0) return 0;
  if (byte_at(0) == 2 && byte_at(3) == 3) return answer(57, 0);
  if (byte_at(0) == 4) return answer(57, 1);
  return 0;
}

int auto_tst_mwp2() {
  if (st().len < 20) return 0;
  if (byte_at(0) != 0xFF || !matches(1, text("WPC")) || byte_at(8) != 1 || byte_at(9) != 0x2C) return 0;
  if (byte_at(10) == 2) return answer(60, byte_at(11) == 1 ? 1 : 0);
  if (byte_at(10) == 3) return answer(60, 2);
  return 0;
}

int auto_tst_ws5() {
  if (st().len < 128 || !matches(0, bytes(0x1D, 0x7D, 0x00, 0x00))) return 0;
  if (!matches(125, bytes(0x7D, 0x00, 0x1D))) return 0;
  switch (byte_at(4)) {
    case 'P': return answer(4, 3);
    case 'U': return answer(4, 4);
    case '`': return answer(4, 5);
    case 'p': return answer(4, 6);
    default: return 0;
  }
}

int auto_tst_wordpro() {
  if (st().len < 24 || !matches(0, text("WordPro")) || !matches(7, bytes(0x0D, 0xFB))) return 0;
  for (int i = 9; i <= 16; ++i) {
    if (byte_at(i) != 0) return 0;
  }
  if (!matches(17, bytes(0x05, 0x98, '\\'))) return 0;
  return answer(111, 0);
}

int auto_tst_wpl() {
  if (st().len < 20 || !matches(0, bytes('H', 'B', 0xD1, 0x07))) return 0;
  return answer(45, 0);
}

int auto_tst_wn() {
  if (!matches(0, text("WriteNow"))) return 0;
  return answer(62, 0);
}

int auto_tst_wita() {
  const std::int64_t stop = static_cast<std::int64_t>(st().len) - 10;
  for (std::int64_t i = find_byte(0, stop, 0xFB); i < stop; i = find_byte(i + 1, stop, 0xFB)) {
    if (matches(i, bytes(0xFB, 0x00, 0x01)) && matches(i + 8, bytes(0xFA, 0x00, 0x01))) return answer(34, 0);
  }
  return 0;
}

int auto_tst_WinWord6() {
  if (st().len <= directory_entry_size || !block_has_directory_entry(WordDoc)) return 0;
  return answer(49, 0);
}

int auto_tst_plx() {
  if (st().len < 21 || !matches(0, bytes('V', 'I', 'S', '0', '0', '0', 0x1A))) return 0;
  return answer(201, 0);
}

int auto_tst_works() {
  if (st().len < 140 || byte_at(1) != 0xFE) return 0;
  if (byte_at(0) == 1) return answer(39, 0);
  if (byte_at(0) == 4) return answer(39, 1);
  return 0;
}

int auto_tst_works3() {
  if (st().len <= directory_entry_size || !block_has_directory_entry(WKS3Doc)) return 0;
  return answer(39, 1);
}

int auto_tst_wp4() {
  const AutoRecState &s = st();
  const int threshold = s.MinorVal == 1 ? 2 : 10;
  const std::int64_t stop = static_cast<std::int64_t>(s.len) - wp_longest;
  int version = -1;
  int count = 0;
  std::int64_t i = 0;
  for (; i < stop && count < threshold; ++i) {
    const int c = byte_at(i);
    if (!wp_is_code[static_cast<std::size_t>(c)]) continue;
    const WpFunction *found = nullptr;
    for (const WpFunction &row : wp_lst) {
      if (row.code != c) continue;
      if (byte_at(i + row.length) == row.end && byte_at(i + row.length + 1) != c) {
        found = &row;
        break;
      }
      // A function that must end with its own code and does not: not this format.
      if (row.end == row.code && byte_at(i + row.length) != row.end) return 0;
    }
    if (found == nullptr) continue;
    ++count;
    if (found->version > version) version = found->version == 9 ? 0 : found->version;
    if (count < threshold) i += found->length;  // jump over the function
  }
  if (count < threshold) return 0;
  if (version == 0) {
    // Look on for a function that shows a later release.
    for (; i < stop; ++i) {
      const int c = byte_at(i);
      if (!wp_is_code[static_cast<std::size_t>(c)]) continue;
      bool raised = false;
      for (const WpFunction &row : wp_lst) {
        if (row.code != c || byte_at(i + row.length) != row.end || row.version <= version) continue;
        if (row.version == 9) return 0;
        version = row.version;
        raised = true;
        break;
      }
      if (raised) break;
    }
  }
  if (version == -1) version = 0;
  if (version >= 2) version = 1;
  // Picture headers can hold enough function-like bytes; they are not documents.
  const bool pcx = byte_at(0) == 0x0A && byte_at(1) <= 10 && byte_at(2) <= 1 && byte_at(3) <= 64;
  if (pcx || matches(0, bytes(0x00, 0x00, 0x01, 0x00))) return 0;
  return answer(6, version);
}

int auto_tst_ws() {
  const AutoRecState &s = st();
  if (s.len < 13) return 0;
  if (matches(0, text(".****")) || matches(0, text(".se ttname '"))) return 0;
  const int threshold = s.MinorVal == 1 ? 3 : 5;
  const std::int64_t stop = static_cast<std::int64_t>(s.len) - 5;

  // The scan answers at the first place where either count is reached; each
  // count is taken over the positions of its own lead byte, and the earlier
  // place wins.
  std::int64_t dot_answer_at = stop;
  int version = 0;
  int dot_commands = 0;
  for (std::int64_t i = find_byte(0, stop, '.'); i < stop; i = find_byte(i + 1, stop, '.')) {
    if (i != 0 && byte_at(i - 1) != LF && byte_at(i - 1) != 0x8A) continue;
    // The command letters in either case ("h1" and "f1" hold a digit).
    const int a = auto_lwr(byte_at(i + 1));
    const int b = auto_lwr(byte_at(i + 2));
    for (const WsCommand &row : ws_lst) {
      if (row.letters[0] != a || row.letters[1] != b) continue;
      ++dot_commands;
      if (row.version > version) version = row.version;
    }
    if (dot_commands > threshold) {
      dot_answer_at = i;
      break;
    }
  }
  std::int64_t record_answer_at = stop;
  int records = 0;
  for (std::int64_t i = find_byte(0, stop, 0x1D); i < dot_answer_at; i = find_byte(i + 1, stop, 0x1D)) {
    if (s.len - i < 21 || byte_at(i + 2) != 0) continue;
    const int length = byte_at(i + 1) + 2;
    const std::int64_t last = i + length - 1;
    if (last < stop && byte_at(last) == 0x1D && byte_at(last - 1) == length - 2 && ++records == 4) {
      record_answer_at = i;
      break;
    }
  }
  if (dot_answer_at < stop || record_answer_at < stop) {
    return dot_answer_at < record_answer_at ? answer(4, version) : answer(4, 3);
  }
  // A printable byte, a byte of 128 or more outside B0 to DF, then a blank.
  int word_ends = 0;
  for (std::int64_t j = find_byte(2, stop + 2, ' '); j < stop + 2; j = find_byte(j + 1, stop + 2, ' ')) {
    const unsigned c = byte_at(j - 2);
    const unsigned next = byte_at(j - 1);
    if (c - 33u <= 94u && next >= 128u && next - 0xB0u >= 0x30u) ++word_ends;
  }
  if (word_ends >= 100) return answer(4, 2);
  return 0;
}

int auto_tst_wpm1() {
  const AutoRecState &s = st();
  const std::int64_t stop = static_cast<std::int64_t>(s.len) - 5;
  int functions = 0;
  std::int64_t i = 0;
  // Every step moves forward, so the scan ends at stop.
  while (i < stop) {
    const int c = byte_at(i);
    if (c < 0xC0) {
      ++i;
      continue;
    }
    const int length = MacWP1Len[static_cast<std::size_t>(c - 0xC0)];
    if (length == 0) {
      std::int64_t j = i + 1;
      while (j < stop && byte_at(j) != c) ++j;
      if (j >= stop) return 0;
      i = j + 1;
    } else if (length == -1) {
      const std::int64_t n = u16be(i + 3);
      if (byte_at(i + n + 9) != c) return 0;
      i += n + 10;
    } else {
      if (byte_at(i + length - 1) != c) return 0;
      i += length;
    }
    if (++functions == 10) return answer(59, 0);
  }
  return 0;
}

}  // namespace kiv
