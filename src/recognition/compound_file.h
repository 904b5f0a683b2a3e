// The compound-file walker: reads the header, the allocation-table sectors named
// in it, the directory chain and the first bytes of one stream of a compound
// (OLE2) file, through a seek and read pair. Every sector number read from the file
// is checked, and every chain it follows is capped.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>

namespace kiv {

// Positions the file at offset from its start: 0, or -1 on failure.
using CompoundSeek = int (*)(long offset);
// Reads up to count bytes: the number read, 0 at the end or on failure.
using CompoundRead = int (*)(void *buffer, int count);

inline constexpr int sector_size = 512;
inline constexpr int mini_sector_size = 64;
inline constexpr int header_table_sectors = 109;   // table sectors named in the header
inline constexpr int table_entries_per_sector = 128;
inline constexpr int directory_entry_size = 128;
inline constexpr int entries_per_directory_sector = 4;
inline constexpr int directory_sector_limit = 109;  // directory sectors followed
inline constexpr int directory_entry_limit = directory_sector_limit * entries_per_directory_sector;
// No chain holds more distinct sectors than the header's table sectors can
// describe; a longer walk is going round a cycle.
inline constexpr std::int64_t chain_step_limit =
    static_cast<std::int64_t>(header_table_sectors) * table_entries_per_sector;
inline constexpr std::uint32_t end_of_chain = 0xFFFFFFFE;
inline constexpr std::uint32_t free_sector = 0xFFFFFFFF;

inline constexpr std::array<unsigned char, 8> Signature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// Header and directory-entry field offsets.
inline constexpr int header_table_count = 44;
inline constexpr int header_first_directory = 48;
inline constexpr int header_first_mini_table = 60;
inline constexpr int header_table_list = 76;
inline constexpr int entry_left = 68;
inline constexpr int entry_right = 72;
inline constexpr int entry_child = 76;
inline constexpr int entry_start = 116;
inline constexpr int entry_size = 120;

// Unsigned 32-bit little-endian value at p (4 readable bytes).
std::uint32_t AutoPtrInt32(const unsigned char *p);

// True for the two values that end a chain.
constexpr bool ends_chain(std::uint32_t sector) { return sector >= end_of_chain; }

// File offset of a regular sector.
constexpr std::int64_t sector_offset(std::uint32_t sector) {
  return sector_size + static_cast<std::int64_t>(sector) * sector_size;
}

// State of one walk: the allocation-table reader with its table-sector list, and
// the directory-sector list.
struct CompoundFile {
  CompoundSeek seek = nullptr;
  CompoundRead read = nullptr;
  std::uint32_t table_sector_count = 0;  // from the header
  // Table sectors from the header, ended by -1.
  std::array<std::int64_t, header_table_sectors + 1> table_sectors{};
  int listed_table_sectors = 0;
  // Table sectors read so far; a short read leaves zeros.
  std::array<std::array<unsigned char, sector_size>, header_table_sectors> table_cache{};
  std::bitset<header_table_sectors> table_loaded;
  // File offsets of the directory sectors in chain order, and the last index.
  std::array<std::int64_t, directory_sector_limit> directory_offsets{};
  int last_directory = -1;
  std::uint32_t first_mini_table = free_sector;
};

// Sets up the walk from the 512-byte header: the table-sector list and the
// directory chain (which reads allocation-table sectors).
void compound_open(CompoundFile &file, const unsigned char *header, CompoundSeek seek, CompoundRead read);

// The sector after s in its chain; free_sector when s lies beyond the table.
std::uint32_t AutoFAT_LookupBlock(CompoundFile &file, std::uint32_t s);

// Seeks to offset and reads count bytes into buffer (cleared first); the number read.
int compound_read_at(CompoundFile &file, std::int64_t offset, unsigned char *buffer, int count);

// Reads directory sector `index` of the chain into buffer; the number of bytes
// read, 0 when index is outside the recorded chain.
int read_directory_sector(CompoundFile &file, int index, unsigned char *buffer);

// Reads the first bytes of the stream of a directory entry into out (512 bytes,
// cleared first): a regular sector for a stream of 4096 bytes or more, else up to
// eight mini sectors. False when a read comes short.
bool read_stream_start(CompoundFile &file, const unsigned char *entry, unsigned char *out);

}  // namespace kiv
