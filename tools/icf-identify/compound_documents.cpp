// Reads a compound file's directory through its sector allocation table and
// looks for the stream that each Office application writes first.
#include "compound_documents.h"

#include <unistd.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace identify {

namespace {

constexpr unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t end_of_chain = 0xFFFFFFFE;
constexpr std::size_t header_size = 512, header_fat_entries = 109, entry_size = 128;
// Directories of real documents hold a few dozen entries; these caps bound
// the work on a hostile file whose chains loop or run long.
constexpr std::size_t max_directory_sectors = 256, max_fat_sectors = 4096;

struct Known {
  std::u16string_view stream;
  CompoundDocument document;
};

constexpr auto known_streams = std::to_array<Known>({
    {u"WordDocument", {"Microsoft Word 97 or later document (compound file)", "application/msword"}},
    {u"Workbook", {"Microsoft Excel 97 or later workbook (compound file)", "application/vnd.ms-excel"}},
    {u"Book", {"Microsoft Excel 5 or 95 workbook (compound file)", "application/vnd.ms-excel"}},
    {u"PowerPoint Document", {"Microsoft PowerPoint presentation (compound file)", "application/vnd.ms-powerpoint"}},
});

std::uint32_t little32(const unsigned char *p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool read_at(int fd, std::uint64_t offset, unsigned char *to, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, to + done, size - done, static_cast<off_t>(offset + done));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

class CompoundFile {
 public:
  explicit CompoundFile(int fd) : fd_(fd) {}

  bool open() {
    std::array<unsigned char, header_size> h{};
    if (!read_at(fd_, 0, h.data(), h.size()) || !is_compound_file(h)) return false;
    const unsigned shift = h[0x1E] | h[0x1F] << 8;
    if (shift != 9 && shift != 12) return false;
    sector_size_ = std::size_t{1} << shift;
    first_directory_ = little32(&h[0x30]);
    // The first 109 allocation-table sectors are listed in the header, the rest
    // in a chain of further list sectors.
    for (std::size_t i = 0; i < header_fat_entries; ++i) fat_sectors_.push_back(little32(&h[0x4C + 4 * i]));
    std::uint32_t list = little32(&h[0x44]);
    std::vector<unsigned char> sector(sector_size_);
    const std::size_t per_list = sector_size_ / 4 - 1;
    while (list < end_of_chain && fat_sectors_.size() < max_fat_sectors) {
      if (!read_sector(list, sector)) return false;
      for (std::size_t i = 0; i < per_list; ++i) fat_sectors_.push_back(little32(&sector[4 * i]));
      list = little32(&sector[4 * per_list]);
    }
    return true;
  }

  // Calls `found` with each directory entry's name until it returns true.
  template <typename Found>
  bool any_entry(Found found) {
    std::vector<unsigned char> sector(sector_size_);
    std::uint32_t at = first_directory_;
    for (std::size_t n = 0; at < end_of_chain && n < max_directory_sectors; ++n) {
      if (!read_sector(at, sector)) return false;
      for (std::size_t e = 0; e + entry_size <= sector_size_; e += entry_size) {
        const unsigned char *entry = &sector[e];
        const std::size_t name_bytes = entry[0x40] | entry[0x41] << 8;
        if (name_bytes < 2 || name_bytes > 64 || name_bytes % 2 != 0) continue;
        std::u16string name;
        for (std::size_t i = 0; i + 2 < name_bytes; i += 2) name.push_back(static_cast<char16_t>(entry[i] | entry[i + 1] << 8));
        if (found(std::u16string_view(name))) return true;
      }
      if (!next(at)) return false;
    }
    return false;
  }

 private:
  // Sector 0 follows the header, which fills one whole sector of either size.
  bool read_sector(std::uint32_t number, std::vector<unsigned char> &to) const {
    return read_at(fd_, (std::uint64_t{number} + 1) * sector_size_, to.data(), sector_size_);
  }

  bool next(std::uint32_t &sector) {
    const std::size_t per_fat = sector_size_ / 4;
    const std::size_t index = sector / per_fat;
    if (index >= fat_sectors_.size() || fat_sectors_[index] >= end_of_chain) return false;
    std::vector<unsigned char> fat(sector_size_);
    if (!read_sector(fat_sectors_[index], fat)) return false;
    sector = little32(&fat[4 * (sector % per_fat)]);
    return true;
  }

  int fd_;
  std::size_t sector_size_ = header_size;
  std::uint32_t first_directory_ = end_of_chain;
  std::vector<std::uint32_t> fat_sectors_;
};

}  // namespace

bool is_compound_file(std::span<const unsigned char> head) {
  if (head.size() < sizeof signature) return false;
  for (std::size_t i = 0; i < sizeof signature; ++i)
    if (head[i] != signature[i]) return false;
  return true;
}

std::optional<CompoundDocument> compound_document(int fd) {
  CompoundFile file(fd);
  if (!file.open()) return std::nullopt;
  std::optional<CompoundDocument> document;
  file.any_entry([&](std::u16string_view name) {
    for (const Known &k : known_streams) {
      if (name == k.stream) {
        document = k.document;
        return true;
      }
    }
    return false;
  });
  return document;
}

}  // namespace identify
