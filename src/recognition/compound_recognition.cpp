// Compound-file recognition: a pre-order walk of the sibling tree of the root's
// children (child storages are not entered), a stream-name table, and the
// refinement of the answer from the first bytes of the stream found.
#include "recognition/compound_recognition.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "recognition/autorec.h"

namespace kiv {

namespace {

constexpr int minimum_file_bytes = 2048;
constexpr int name_bytes = 64;

struct StreamName {
  std::string_view name;
  int code;
  int variant;
};

constexpr std::array<StreamName, 8> stream_names = {{
    {"WordDocument", 49, 0},
    {"Book", 21, 4},
    {"MN0", 58, 0},
    {"MM", 39, 0},
    {"PP40", 619, 2},
    {"PowerPoint Document", 627, 0},
    {"PerfectOffice_MAIN", 48, 2},
    {"NOVELL_MAIN", 801, 3},
}};
static_assert(std::ranges::all_of(stream_names, [](const StreamName &s) { return s.name.size() < name_bytes / 2; }));

// One walk; a file's directory may hold sibling cycles, so every entry is
// looked at once at most.
struct OleWalk {
  CompoundFile file;
  std::array<unsigned char, sector_size> sector{};
  std::array<unsigned char, sector_size> stream{};
  std::bitset<directory_entry_limit> visited;
};
OleWalk walk;

int AutoOLECheckVersion(int code, const unsigned char *entry) {
  if (!read_stream_start(walk.file, entry, walk.stream.data())) return code;
  const unsigned char *b = walk.stream.data();
  auto starts = [b](std::initializer_list<unsigned char> head) {
    return std::equal(head.begin(), head.end(), b);
  };
  switch (code) {
    case 48:
      if (starts({0xFF, 'W', 'P', 'C'}) && b[8] == 1 && b[9] == 10 && b[10] == 2 && b[11] == 2) {
        autorec_state.ver = 2;
        return 48;
      }
      if (starts({0x00, 0x00, 0x02, 0x00, 0x07, 0x10})) {
        autorec_state.ver = 3;
        return 801;
      }
      return code;
    case 49:
      if (b[0] == 0xDC && b[1] == 0xA5) {
        if (b[21] == 0) autorec_state.ver = 0;
        if (b[21] == 1) autorec_state.ver = 1;
        return 49;
      }
      if (b[0] == 0xEC) return 0;  // left to the block recognisers
      return code;
    case 58:
      if (!starts({'C', 'H', 'N', 'K'})) {
        autorec_state.ver = 1;
        return 39;
      }
      return code;
    default:
      return code;
  }
}

int AutoOLEChkObj(std::uint32_t e) {
  if (static_cast<std::int32_t>(e) < 0) return 0;
  if (e / entries_per_directory_sector > static_cast<std::uint32_t>(walk.file.last_directory)) return 0;
  // A sibling cycle leads back to an entry already looked at: unreadable.
  if (walk.visited.test(e)) return 0;
  walk.visited.set(e);
  // Deliberate: a short read of a directory sector is not looked at; the sector
  // buffer then holds zeros beyond what was read.
  read_directory_sector(walk.file, static_cast<int>(e / entries_per_directory_sector), walk.sector.data());
  const unsigned char *entry = walk.sector.data() + (e % entries_per_directory_sector) * directory_entry_size;
  if (const int code = AutoOLE2Check(entry); code != 0) return AutoOLECheckVersion(code, entry);
  // The walk below reads other sectors into the buffer: keep the links first.
  const std::uint32_t left = AutoPtrInt32(entry + entry_left);
  const std::uint32_t right = AutoPtrInt32(entry + entry_right);
  if (!ends_chain(left)) {
    if (const int result = AutoOLEChkObj(left); result != 0) return result;
  }
  if (!ends_chain(right)) return AutoOLEChkObj(right);
  return 0;
}

}  // namespace

int AutoStrCmpIC(const unsigned char *name, const char *text) {
  const std::size_t n = std::strlen(text);
  if (n >= name_bytes / 2) return 1;
  for (std::size_t k = 0; k <= n; ++k) {
    const unsigned char expected = k < n ? static_cast<unsigned char>(text[k]) : 0;
    if (name[2 * k] != expected || name[2 * k + 1] != 0) return 1;
  }
  return 0;
}

int AutoOLE2Check(const unsigned char *name) {
  for (const StreamName &row : stream_names) {
    if (AutoStrCmpIC(name, row.name.data()) == 0) {
      autorec_state.ver = row.variant;
      return row.code;
    }
  }
  return 0;
}

int auto_OLE2Formats(const unsigned char *data, int length, CompoundSeek seek, CompoundRead read) {
  if (data == nullptr || length < minimum_file_bytes) return 0;
  if (!std::equal(Signature.begin(), Signature.end(), data)) return 0;
  walk.visited.reset();
  std::memcpy(walk.sector.data(), data, sector_size);
  compound_open(walk.file, walk.sector.data(), seek, read);
  if (read_directory_sector(walk.file, 0, walk.sector.data()) < sector_size) return 0;
  return AutoOLEChkObj(AutoPtrInt32(walk.sector.data() + entry_child));
}

}  // namespace kiv
