// Recognisers of text-based formats: markup and command languages told by their
// first bytes or by counting their commands, and the plain-text statistics that
// run last of all.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "common/ascii.h"
#include "recognition/match.h"
#include "recognition/recogniser_list.h"

namespace kiv {

namespace {

constexpr unsigned char TAB = 0x09;
constexpr unsigned char ESC = 0x1B;


// Escape sequences of the escape-sequence document: the bytes after ESC "[".
struct DifSequence {
  int count;
  std::array<unsigned char, 3> bytes;
};

consteval DifSequence dif3(unsigned char a, unsigned char b, unsigned char c) { return {3, {a, b, c}}; }
consteval DifSequence dif2(unsigned char a, unsigned char b) { return {2, {a, b, 0}}; }

constexpr std::array<DifSequence, 20> dif_lst = {{
    dif3('0', '$', 'K'),  dif3('1', '$', 'K'),  dif3(0xFF, '$', '@'), dif3(0xFF, '$', 'A'),
    dif3(0xFF, ' ', 'N'), dif3('0', '$', '\\'), dif3('1', '$', '\\'), dif3('2', '$', '\\'),
    dif3('0', '$', ']'),  dif3('1', '$', ']'),  dif3('0', '$', '^'),  dif3('1', '$', '^'),
    dif3('6', ' ', 'F'),  dif3('0', ' ', 'F'),  dif3('1', '$', 'F'),  dif3('0', '$', 'F'),
    dif3('0', '$', 'O'),  dif3('1', '$', 'O'),  dif2('$', 'H'),       dif2('$', 'I'),
}};

// Keywords of the backslash-command format and the length compared.
struct PtKeyword {
  std::string_view word;
  int length;
};

constexpr std::array<PtKeyword, 13> pt_lst = {{
    {"SETUP", 5}, {"TEXT", 4}, {"COPY", 4}, {"CPI", 3}, {"CTR", 3}, {"LEFT", 4}, {"NOTE", 4},
    {"HEAD", 4},  {"FOOT", 4}, {"TAB", 3},  {"RIGHT", 5}, {"LM", 2},  {"RM", 2},
}};

constexpr auto vw_tab1 = text("..PAGE");
constexpr auto vw_tab2 = text("..HEAD");
constexpr auto vw_tab3 = text("..FOOT");
constexpr auto vw_tab4 = text("..LAYOUT");

// The characters a ruler line is made of.
constexpr std::array<bool, 256> uniplex_ruler = [] {
  std::array<bool, 256> t{};
  for (unsigned char c : text("#.ACHIJLMRTac|")) t[c] = true;
  return t;
}();

bool is_line_end(int c) { return c == CR || c == LF; }

bool pattern_at(std::int64_t pos, std::string_view word) {
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (byte_at(pos + static_cast<std::int64_t>(k)) != static_cast<unsigned char>(word[k])) return false;
  }
  return true;
}

}  // namespace

int auto_tst_dx() {
  if (st().len < 20) return 0;
  for (int pos : {2, 4, 6, 8, 9, 10}) {
    if (byte_at(pos) != '_') return 0;
  }
  if (byte_at(5) != ' ') return 0;
  return answer(30, 0);
}

int auto_tst_rtf() {
  if (st().len < 10 || !matches(0, text("{\\")) || !matches_nocase(2, text("rtf"))) return 0;
  return answer(19, byte_at(5) == '0' ? 0 : 1);
}

int auto_tst_ami() {
  if (st().len < 10) return 0;
  if (matches(0, text("[ver]"))) {
    if (matches(5, bytes(CR, LF, TAB)) && byte_in(8, text("43")) && matches(9, bytes(CR, LF))) {
      return answer(33, 0);
    }
    if (matches(5, bytes(CR, CR, LF, TAB, '4', CR, CR, LF))) return answer(33, 0);
    if (matches(5, bytes(LF, TAB, '4', LF))) return answer(33, 0);
  }
  if (matches(4, bytes('[', 'v', 'e', 'r', ']', CR, LF, TAB, '4', CR, LF))) return answer(33, 0);
  return 0;
}

int auto_tst_lm() {
  if (st().len < 10 || !matches(0, text("*R"))) return 0;
  if (byte_at(2) == '1' || matches(2, bytes('2', CR, LF))) return answer(24, 0);
  return 0;
}

int auto_tst_ilf() {
  if (st().len < 10 || !matches(0, text("<!")) || !matches_nocase(2, text("OPS"))) return 0;
  return answer(byte_at(17) < '8' ? 35 : 46, 0);
}

int auto_tst_com() {
  if (st().len < 10 || !matches(0, bytes(ESC, 0x1D, 'D', 'I', 'D'))) return 0;
  return answer(3, 0);
}

int auto_tst_dif() {
  // Deliberate: the variant is set before the answer is known and stays -1 when
  // the test fails.
  st().ver = -1;
  const std::int64_t stop = static_cast<std::int64_t>(st().len) - 3;
  int found = 0;
  for (std::int64_t i = find_byte(0, stop, ESC); i < stop; i = find_byte(i + 1, stop, ESC)) {
    if (byte_at(i + 1) != '[') continue;
    for (const DifSequence &row : dif_lst) {
      if (matches(i + 2, Pattern(row.bytes.data(), static_cast<std::size_t>(row.count)))) {
        if (++found == 4) return answer(18, 0);
        break;
      }
    }
  }
  return 0;
}

int auto_tst_leg() {
  if (st().len < 11) return 0;
  if (matches(0, text("# VE # 4.0"))) return answer(37, 0);
  if (matches(0, text("# VV # 5.0"))) return answer(37, 1);
  if (matches(0, bytes(0x55, 0xCE, 0x49, 0xD0, 0x4C, 0xC5, 0x58, 0x06, 0x63, 0x23))) return answer(37, 2);
  return 0;
}

int auto_tst_mdi() {
  if (byte_at(0) == 0x8F && matches_nocase(2, text("MDI")) && byte_at(5) == '/') return answer(103, 0);
  if (matches(0, text("Interpress/Xerox/"))) return answer(616, 4);
  return 0;
}

int auto_tst_op() {
  if (byte_at(0) != ESC) return 0;
  if (matches(3, text("6.0"))) return answer(102, 0);
  if (matches(8, text("7.0"))) return answer(102, 1);
  return 0;
}

int auto_tst_vw() {
  const std::int64_t len = st().len;
  // Either count answers the same, so each is taken over its own lead byte.
  int texts = 0;
  for (std::int64_t i = find_byte(0, len, '.'); i < len; i = find_byte(i + 1, len, '.')) {
    if (matches(i, vw_tab1) || matches(i, vw_tab2) || matches(i, vw_tab3) || matches(i, vw_tab4)) {
      if (++texts == 2) return answer(14, 0);
    }
  }
  int sequences = 0;
  for (std::int64_t i = find_byte(0, len, 0x14); i < len; i = find_byte(i + 1, len, 0x14)) {
    if (i + 3 <= len && matches(i, bytes(0x14, CR, LF)) && ++sequences == 15) return answer(14, 0);
  }
  return 0;
}

int auto_tst_wizi() {
  if (st().len < 14 || !matches(0, bytes(ESC, 'x', 'v')) || !matches(6, text("WiziWord"))) return 0;
  return answer(47, 0);
}

int auto_tst_pdf() {
  if (!matches(0, text("%PDF"))) return 0;
  return answer(107, 0);
}

int auto_tst_html() {
  const std::int64_t len = st().len;
  for (std::int64_t i = find_byte(0, len, '<'); i < len; i = find_byte(i + 1, len, '<')) {
    std::int64_t after = -1;
    if (matches_nocase(i + 1, text("HTML"))) after = i + 5;
    else if (matches_nocase(i + 1, text("TITLE"))) after = i + 6;
    else if (matches_nocase(i + 1, text("HEAD"))) after = i + 5;
    else if (matches(i + 1, text("!--"))) after = i + 4;
    if (after < 0) continue;
    if (find_byte(after, len, '>') < len) return answer(108, 3);
    // No ">" after this one: none after any later one either.
    return 0;
  }
  return 0;
}

int auto_tst_mas() {
  if (st().len < 500) return 0;
  if (byte_at(0) == 'Z') {
    if (byte_at(1) == 0 && matches(92, bytes(0xC9, 0x00)) && matches(296, bytes(0xC9, 0x00))) {
      return answer(31, 0);
    }
    return 0;
  }
  // A 90-character first line, then records of 200 characters.
  std::int64_t pos = 90;
  for (int line = 0; line < 3; ++line) {
    if (!is_line_end(byte_at(pos))) return 0;
    if (line == 2) break;
    if (is_line_end(byte_at(pos + 1))) ++pos;
    pos += 201;
  }
  return answer(31, 0);
}

int auto_tst_def() {
  const std::int64_t stop = static_cast<std::int64_t>(st().len) - 3;
  const std::int64_t line_end = find_byte(0, stop, CR);
  int score = 0;
  for (std::int64_t i = find_byte(0, line_end, '$'); i < line_end; i = find_byte(i + 1, line_end, '$')) {
    if (byte_at(i + 1) != '(') continue;
    if (matches(i, text("$(WY)"))) score += 200;
    else if (matches(i, text("$(SB)"))) score += 30;
    else if (matches(i, text("$(PGS")) || matches(i, text("$(PGM"))) score += 100;
    else if (byte_at(i + 2) >= '@' && byte_at(i + 3) >= '@') score += 2;
  }
  if (score < 235) return 0;
  return answer(36, 0);
}

int auto_tst_xyw() {
  const std::int64_t stop = static_cast<std::int64_t>(st().len) - 10;
  int commands = 0;
  int line_ends = 0;
  int nuls = 0;
  bool marked = false;
  for (std::int64_t i = 0; i < stop; ++i) {
    const int c = byte_at(i);
    if (c == 0) ++nuls;
    if (c == CR && byte_at(i + 1) == LF) ++line_ends;
    if (c != 0xAE) continue;
    if ((byte_at(i + 1) & 0x80) != 0 || (byte_at(i + 2) & 0x80) != 0) return 0;
    if (matches(i + 1, text("MD+"))) return answer(17, 2);
    // A command: the closing guillemet within the next nine bytes.
    for (std::int64_t j = i + 1; j < i + 9; ++j) {
      if (byte_at(j) == 0xAF) {
        ++commands;
        break;
      }
      if (is_digit(byte_at(j)) &&
          (matches(j + 1, text("DI")) || matches(j + 1, text("CM")) || matches(j + 1, text("LI")) ||
           matches(j + 1, text("PI")))) {
        marked = true;
      }
    }
  }
  if (nuls > 10) return 0;
  if (commands > 7 || (commands >= 4 && line_ends >= 5)) return answer(17, marked ? 2 : 1);
  return 0;
}

int auto_tst_uniplex() {
  const std::int64_t len = st().len;
  bool marked = false;
  bool ruler = true;
  int dots = 0;
  int ells = 0;
  for (std::int64_t i = 0; i <= len; ++i) {
    // The end of the data closes the last line as an LF would.
    const int c = i < len ? byte_at(i) : LF;
    if (c == CR) continue;  // the CR of a CR LF line end
    if (c == LF) {
      if (ruler && dots >= 21 && ells >= 1) marked = true;
      ruler = true;
      dots = 0;
      ells = 0;
      continue;
    }
    if (c < 32) return 0;
    if (!uniplex_ruler[static_cast<std::size_t>(c)]) ruler = false;
    dots += c == '.';
    ells += c == 'L';
  }
  return marked ? 101 : 0;
}

int auto_tst_ceo() {
  if (st().len < 9 || !matches(0, text(".** ")) || !matches(5, bytes(' ', 0x1E, 0x1F))) return 0;
  return answer(104, 0);
}

int auto_tst_ptx() {
  const std::int64_t stop = static_cast<std::int64_t>(st().len) - 5;
  int command = '\\';
  int keywords = 0;
  for (std::int64_t i = find_byte(0, stop, static_cast<unsigned char>(command)); i < stop;
       i = find_byte(i + 1, stop, static_cast<unsigned char>(command))) {
    if (matches(i + 1, text("CMD"))) {
      command = byte_at(i + 4);
      i += 4;
      continue;
    }
    for (const PtKeyword &row : pt_lst) {
      if (pattern_at(i + 1, row.word.substr(0, static_cast<std::size_t>(row.length)))) {
        if (++keywords == 5) return answer(27, 0);
        break;
      }
    }
  }
  return 0;
}

int auto_tst_asc() {
  const AutoRecState &s = st();
  const std::int64_t len = s.len;
  long crcrlf = 0, crlf = 0, lone_cr = 0, lone_lf = 0, blanks = 0, ats = 0, low = 0, high = 0, controls = 0;
  // The second CR of a CR CR LF belongs to that line end and is no CR LF of its own.
  std::int64_t second_cr = -1;
  for (std::int64_t i = 0; i < len - 1; ++i) {
    const int c = byte_at(i);
    if (c < 32 && c != TAB && c != 0x12 && c != 0x08 && c != CR && c != LF) {
      // Deliberate: the walk stops at the first other control byte and counts it.
      ++controls;
      break;
    }
    if (c >= 128) ++high; else ++low;
    if (c == ' ') ++blanks;
    else if (c == '@') ++ats;
    else if (c == CR) {
      if (i == second_cr) continue;
      if (byte_at(i + 1) == CR && byte_at(i + 2) == LF) {
        ++crcrlf;
        second_cr = i + 1;
      } else if (byte_at(i + 1) == LF) {
        ++crlf;
      } else {
        ++lone_cr;
      }
    } else if (c == LF && (i == 0 || byte_at(i - 1) != CR)) {
      ++lone_lf;
    }
  }
  const long t = std::min<long>(len / 302, 10);
  const long q = t / 4;
  crlf = std::max(crlf, crcrlf);
  int result = 0;
  const bool consistent = (crlf >= t && lone_lf <= q && lone_cr <= q) ||
                          (crlf <= q && lone_lf >= t && lone_cr <= q) ||
                          (crlf <= q && lone_lf <= q && lone_cr >= t);
  if (consistent) {
    if (ats > blanks) {
      if (high >= 2 * (low - ats)) result = 2;
      else if (low >= 6 * high) result = 1;
    } else if (low >= 4 * high) {
      result = 1;
    }
  }
  if (result == 0 && ats >= len / 10 && ats > 10 && high >= 2 * low) result = 2;
  if (result == 1 && (matches(0, text("%!")) || matches(0, bytes(0x04, '%', '!')))) return answer(503, 1);
  if (result == 1 && len / 4 < controls) result = 0;
  if (result == 0) return 0;
  return answer(result, 0);
}

}  // namespace kiv
