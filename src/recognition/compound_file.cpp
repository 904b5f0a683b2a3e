// The compound-file walker. The allocation table is read only through the sector
// numbers the header lists, so no chain can name more than 109 * 128 sectors.
#include "recognition/compound_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kiv {

namespace {

// Streams below this size live in the mini stream.
constexpr std::uint32_t mini_stream_cutoff = 4096;
// At most eight mini sectors (512 bytes) are read.
constexpr std::uint32_t mini_read_limit = 511;

// The sector reached after `steps` links from `sector`; free_sector when the chain
// ends first or the walk is longer than any chain can be.
std::uint32_t follow_chain(CompoundFile &file, std::uint32_t sector, std::int64_t steps) {
  if (steps > chain_step_limit) return free_sector;
  for (std::int64_t k = 0; k < steps && !ends_chain(sector); ++k) sector = AutoFAT_LookupBlock(file, sector);
  return sector;
}

}  // namespace

std::uint32_t AutoPtrInt32(const unsigned char *p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

int compound_read_at(CompoundFile &file, std::int64_t offset, unsigned char *buffer, int count) {
  std::memset(buffer, 0, static_cast<std::size_t>(count));
  if (offset < 0 || offset > static_cast<std::int64_t>(std::numeric_limits<long>::max())) return 0;
  if (file.seek(static_cast<long>(offset)) != 0) return 0;
  const int got = file.read(buffer, count);
  return std::clamp(got, 0, count);
}

void compound_open(CompoundFile &file, const unsigned char *header, CompoundSeek seek, CompoundRead read) {
  file.seek = seek;
  file.read = read;
  file.table_sector_count = AutoPtrInt32(header + header_table_count);
  file.first_mini_table = AutoPtrInt32(header + header_first_mini_table);
  file.table_loaded.reset();

  int listed = 0;
  for (; listed < header_table_sectors; ++listed) {
    const std::uint32_t sector = AutoPtrInt32(header + header_table_list + 4 * listed);
    if (ends_chain(sector)) break;
    file.table_sectors[static_cast<std::size_t>(listed)] = sector;
  }
  file.table_sectors[static_cast<std::size_t>(listed)] = -1;
  file.listed_table_sectors = listed;

  std::uint32_t sector = AutoPtrInt32(header + header_first_directory);
  int recorded = 0;
  while (recorded < directory_sector_limit) {
    file.directory_offsets[static_cast<std::size_t>(recorded++)] = sector_offset(sector);
    sector = AutoFAT_LookupBlock(file, sector);
    if (ends_chain(sector)) break;
  }
  file.last_directory = recorded - 1;
}

std::uint32_t AutoFAT_LookupBlock(CompoundFile &file, std::uint32_t s) {
  const std::uint32_t i = s / table_entries_per_sector;
  if (i >= file.table_sector_count || i >= header_table_sectors) return free_sector;
  // A list shorter than the table's sector count names no sector here.
  if (i >= static_cast<std::uint32_t>(file.listed_table_sectors)) return free_sector;
  const std::int64_t table_sector = file.table_sectors[i];
  auto &cache = file.table_cache[i];
  if (!file.table_loaded.test(i)) {
    compound_read_at(file, sector_offset(static_cast<std::uint32_t>(table_sector)), cache.data(), sector_size);
    file.table_loaded.set(i);
  }
  return AutoPtrInt32(cache.data() + 4 * (s % table_entries_per_sector));
}

int read_directory_sector(CompoundFile &file, int index, unsigned char *buffer) {
  if (index < 0 || index > file.last_directory) {
    std::memset(buffer, 0, sector_size);
    return 0;
  }
  return compound_read_at(file, file.directory_offsets[static_cast<std::size_t>(index)], buffer, sector_size);
}

bool read_stream_start(CompoundFile &file, const unsigned char *entry, unsigned char *out) {
  std::memset(out, 0, sector_size);
  const std::uint32_t start = AutoPtrInt32(entry + entry_start);
  std::uint32_t size = AutoPtrInt32(entry + entry_size);
  if (size >= mini_stream_cutoff) {
    return compound_read_at(file, sector_offset(start), out, sector_size) == sector_size;
  }
  size = std::min(size, mini_read_limit);

  std::array<unsigned char, sector_size> root{};
  if (read_directory_sector(file, 0, root.data()) < sector_size) return false;
  const std::uint32_t mini_stream_first = AutoPtrInt32(root.data() + entry_start);
  std::array<unsigned char, sector_size> work{};
  if (compound_read_at(file, sector_offset(file.first_mini_table), work.data(), sector_size) < sector_size) {
    return false;
  }
  std::uint32_t work_sector = file.first_mini_table;

  std::uint32_t m = start;
  const std::uint32_t passes = size / mini_sector_size + 1;
  for (std::uint32_t r = 1; r <= passes; ++r) {
    const std::uint32_t table_sector = follow_chain(file, file.first_mini_table, m / table_entries_per_sector);
    if (table_sector != work_sector) {
      if (compound_read_at(file, sector_offset(table_sector), work.data(), sector_size) < sector_size) return false;
      work_sector = table_sector;
    }
    const std::uint32_t next = AutoPtrInt32(work.data() + 4 * (m % table_entries_per_sector));

    const std::uint64_t byte = static_cast<std::uint64_t>(m) * mini_sector_size;
    const std::uint32_t holder = follow_chain(file, mini_stream_first, static_cast<std::int64_t>(byte / sector_size));
    if (ends_chain(holder)) break;  // the mini stream is shorter: keep what was read
    const std::int64_t offset = sector_offset(holder) + static_cast<std::int64_t>(byte % sector_size);
    unsigned char *place = out + (r - 1) * mini_sector_size;
    if (compound_read_at(file, offset, place, mini_sector_size) < mini_sector_size) return false;

    if (ends_chain(next)) break;
    m = next;
  }
  return true;
}

}  // namespace kiv
