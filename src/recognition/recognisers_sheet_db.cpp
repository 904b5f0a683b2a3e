// Recognisers of spreadsheets, databases and other data files: worksheet and
// workbook headers, database headers checked against their field descriptors,
// and a few archive and help-file signatures.
#include <array>
#include <cstdint>

#include "recognition/match.h"
#include "recognition/recogniser_list.h"

namespace kiv {

namespace {

// "Book" and its NUL in UTF-16: the workbook stream of a compound file.
constexpr std::array<unsigned char, 10> XLS5Doc = {'B', 0, 'o', 0, 'o', 0, 'k', 0, 0, 0};

constexpr auto dbase_field_types = text("CDFLMNG");

// A dBASE field descriptor at pos: a name of printable bytes up to its NUL and a
// known type letter, all within len.
bool dbase_field_ok(std::int64_t pos) {
  if (pos + 13 > st().len) return false;
  if (byte_at(pos) == 0) return false;
  for (int i = 0; i < 11; ++i) {
    const int c = byte_at(pos + i);
    if (c == 0) break;
    if (c <= 32) return false;
  }
  return byte_in(pos + 11, dbase_field_types);
}

// Sum of count bytes at first, first + 2, first + 4, ...
long paradox_field_sum(std::int64_t first, int count) {
  long sum = 0;
  for (int k = 0; k < count; ++k) sum += byte_at(first + 2 * k);
  return sum;
}

}  // namespace

int auto_tst_fcdb() {
  if (st().len < 660 || byte_at(8) != 0x0C || !matches(9, text("GERBILDB"))) return 0;
  return answer(708, 0);
}

int auto_tst_wks() {
  if (st().len < 30) return 0;
  if (matches(0, bytes(0x00, 0x00, 0x02, 0x00)) && byte_at(4) >= 4 && byte_at(4) < 12) {
    return answer(20, byte_at(5) == 4 ? 1 : 0);
  }
  if (matches(0, bytes(0x00, 0x00, 0x1A, 0x00)) && (byte_at(4) == 0 || byte_at(4) == 2) &&
      matches(5, bytes(0x10, 0x04, 0x00)) && byte_at(20) == 1) {
    return answer(20, byte_at(4) == 2 ? 3 : 2);
  }
  return 0;
}

int auto_tst_xls() {
  if (st().len < 10) return 0;
  if (matches(0, bytes(0x09, 0x00, 0x04, 0x00)) && byte_at(4) >= 2 && byte_at(5) == 0 &&
      matches(6, bytes(0x10, 0x00))) {
    return answer(21, 0);
  }
  if (byte_at(0) == 0x09 && (byte_at(2) == 0x06 || byte_at(2) == 0x04) && byte_at(3) == 0 &&
      byte_at(5) == 0 && matches(6, bytes(0x10, 0x00))) {
    if (byte_at(1) == 0x02) return answer(21, 1);
    if (byte_at(1) == 0x04) return answer(21, 2);
  }
  return 0;
}

int auto_tst_fw3() {
  if (st().len < 40 || !matches(6, bytes(0xED, 0xFB))) return 0;
  if (u16le(12) < 201 || u16le(24) < 2) return 0;
  return answer(29, 0);
}

int auto_tst_db() {
  const std::int64_t len = st().len;
  if (len < 65 || byte_at(2) > 12 || byte_at(3) > 31) return 0;
  const std::int64_t h = u16le(8);
  if (h < 32) return 0;
  const bool rest33 = (h - 33) % 32 == 0;
  const bool rest34 = (h - 34) % 32 == 0;
  if (rest33) {
    if (h < len && byte_at(h - 1) == CR) return answer(770, 1);
  } else if (rest34) {
    if (h < len && byte_at(h - 2) == CR) return answer(770, 0);
  } else {
    return 0;
  }
  // The header does not end where expected: judge by the first field descriptors.
  if (len < 128) return 0;
  for (std::int64_t pos = 32; pos <= 96; pos += 32) {
    if (!dbase_field_ok(pos)) return 0;
  }
  return answer(770, (h < len && byte_at(h - 2) == 0) ? 1 : 0);
}

int auto_tst_pdx() {
  const std::int64_t len = st().len;
  if (len < 128) return 0;
  const long r = u16le(0);
  if (r < 1 || r > 4000) return 0;
  const int n = byte_at(100);
  if (len < 2 * n + 121) return 0;
  if (n >= 1 && paradox_field_sum(121, n - 1) == r && r > 4L * n) return answer(703, 1);
  if (n > 2 && paradox_field_sum(121, n - 2) == r && r > 4L * n) return answer(703, 1);
  const int m = byte_at(33);
  if (len < 2 * m + 89) return 0;
  if (paradox_field_sum(89, m) == r && r > 4L * m) return answer(703, 0);
  return 0;
}

int auto_tst_access() {
  // Deliberate: clears the variant on every call, matched or not; recognisers
  // later in the sequence that name no variant rely on it.
  st().ver = 0;
  if (st().len < 1035 || !matches(1030, text("Rich")) || byte_at(1034) != 0x09) return 0;
  return 771;
}

int auto_tst_quattro() {
  if (st().len < 10 || !matches(0, bytes(0x00, 0x00, 0x02, 0x00))) return 0;
  if (matches(4, bytes(0x20, 'Q'))) return answer(801, 0);
  if (matches(4, bytes(0x01, 0x10))) return answer(801, 1);
  if (matches(4, bytes(0x02, 0x10))) return answer(801, 2);
  return 0;
}

int auto_tst_crystal() {
  if (st().len < 160 || !matches(0, bytes(0x80, 'M', 'T', '2'))) return 0;
  return answer(105, 0);
}

int auto_tst_xls5() {
  if (st().len <= directory_entry_size || !block_has_directory_entry(XLS5Doc)) return 0;
  return answer(21, 4);
}

int auto_tst_misc() {
  if (st().len < 16) return 0;
  if (matches(0, bytes(0x9C, 0xA5, 0x21, 0x00, 0xDD, 0x20, 0x02, 0x00, 0x00, 0x00, 0x08, 0x00, 0x19, 0x00,
                       0x00, 0x00))) {
    return answer(950, 0);
  }
  if (matches(0, bytes('?', '_', 0x03, 0x00))) return answer(950, 1);
  return 0;
}

int auto_tst_zip() {
  if (st().len <= 20 || !matches(0, text("PK")) || byte_at(2) >= 10) return 0;
  return answer(940, 0);
}

}  // namespace kiv
