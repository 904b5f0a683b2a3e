// Signature bytes for the recognition tests: a small block builder, the
// compound-file builder, and the per-recogniser samples read from samples/.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace recognition_test {

using Data = std::vector<unsigned char>;

// A block of `size` bytes (fill), written into at fixed positions; writing past
// the end grows it.
class Block {
 public:
  explicit Block(std::size_t size = 0, unsigned char fill = 0) : data_(size, fill) {}
  explicit Block(Data data) : data_(std::move(data)) {}
  Block &put(std::size_t at, std::string_view text) {
    grow(at + text.size());
    std::copy(text.begin(), text.end(), data_.begin() + static_cast<std::ptrdiff_t>(at));
    return *this;
  }
  Block &put(std::size_t at, std::initializer_list<int> values) {
    grow(at + values.size());
    for (int v : values) data_[at++] = static_cast<unsigned char>(v);
    return *this;
  }
  Block &put16(std::size_t at, unsigned v) { return put(at, {static_cast<int>(v & 0xFF), static_cast<int>(v >> 8)}); }
  Block &put32(std::size_t at, std::uint32_t v) {
    return put(at, {static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF),
                    static_cast<int>(v >> 24)});
  }
  Block &append(std::string_view text) { return put(data_.size(), text); }
  Block &append(std::initializer_list<int> values) { return put(data_.size(), values); }
  Block &repeat(std::string_view text, int times) {
    for (int i = 0; i < times; ++i) append(text);
    return *this;
  }
  Block &resize(std::size_t size, unsigned char fill = 0) {
    data_.resize(size, fill);
    return *this;
  }
  Data data() const { return data_; }
  operator Data() const { return data_; }

 private:
  void grow(std::size_t size) {
    if (data_.size() < size) data_.resize(size, 0);
  }
  Data data_;
};

inline Data with_byte(Data d, std::size_t at, int value) {
  if (d.size() <= at) d.resize(at + 1, 0);
  d[at] = static_cast<unsigned char>(value);
  return d;
}

inline Data truncated(Data d, std::size_t size) {
  d.resize(size);
  return d;
}

// A compound file: header, one allocation-table sector, one directory sector, one
// mini-table sector, the mini stream, then any regular stream sectors.
struct CompoundEntry {
  std::u16string name;
  int type = 2;  // 1 storage, 2 stream, 5 root
  std::uint32_t left = 0xFFFFFFFF;
  std::uint32_t right = 0xFFFFFFFF;
  std::uint32_t child = 0xFFFFFFFF;
  std::uint32_t start = 0;
  std::uint32_t size = 0;
};

class CompoundBuilder {
 public:
  static constexpr std::uint32_t fat_sector = 0, directory_sector = 1, mini_table_sector = 2, mini_stream_sector = 3;
  static constexpr std::uint32_t first_free_sector = 4;

  CompoundBuilder() {
    entries_.push_back({u"Root Entry", 5, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, mini_stream_sector, 512});
    fat_.assign(128, 0xFFFFFFFF);
    fat_[fat_sector] = 0xFFFFFFFD;
    fat_[directory_sector] = 0xFFFFFFFE;
    fat_[mini_table_sector] = 0xFFFFFFFE;
    fat_[mini_stream_sector] = 0xFFFFFFFE;
    mini_fat_.assign(128, 0xFFFFFFFF);
    mini_stream_.assign(512, 0);
  }

  // A stream of `content` (in the mini stream unless `regular` or 4096 bytes and
  // more); returns its entry number.
  std::uint32_t stream(std::u16string name, const Data &content, bool regular = false) {
    CompoundEntry e{std::move(name)};
    if (regular || content.size() >= 4096) {
      const auto first = static_cast<std::uint32_t>(first_free_sector + regular_.size() / 512);
      const std::size_t sectors = std::max<std::size_t>(1, (content.size() + 511) / 512);
      for (std::size_t k = 0; k < sectors; ++k) {
        fat_[first + k] = k + 1 < sectors ? static_cast<std::uint32_t>(first + k + 1) : 0xFFFFFFFE;
      }
      Data padded = content;
      padded.resize(sectors * 512, 0);
      regular_.insert(regular_.end(), padded.begin(), padded.end());
      e.start = first;
      e.size = static_cast<std::uint32_t>(std::max<std::size_t>(content.size(), 4096));
    } else {
      const auto first = static_cast<std::uint32_t>(mini_used_);
      const std::size_t sectors = std::max<std::size_t>(1, (content.size() + 63) / 64);
      for (std::size_t k = 0; k < sectors; ++k) {
        mini_fat_[first + k] = k + 1 < sectors ? static_cast<std::uint32_t>(first + k + 1) : 0xFFFFFFFE;
      }
      std::copy(content.begin(), content.end(), mini_stream_.begin() + static_cast<std::ptrdiff_t>(first * 64));
      mini_used_ += sectors;
      e.start = first;
      e.size = static_cast<std::uint32_t>(content.size());
    }
    entries_.push_back(e);
    return static_cast<std::uint32_t>(entries_.size() - 1);
  }
  std::uint32_t storage(std::u16string name) {
    entries_.push_back({std::move(name), 1});
    return static_cast<std::uint32_t>(entries_.size() - 1);
  }
  CompoundEntry &entry(std::uint32_t n) { return entries_[n]; }
  void top_level(std::uint32_t n) { entries_[0].child = n; }
  std::vector<std::uint32_t> &fat() { return fat_; }

  Data build() const {
    Block out(512);
    out.put(0, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1});
    out.put32(44, 1).put32(48, directory_sector).put32(60, mini_table_sector);
    for (int k = 0; k < 109; ++k) out.put32(76 + 4 * k, 0xFFFFFFFF);
    out.put32(76, fat_sector);
    Data d = out;
    append_words(d, fat_);
    Data dir(512, 0);
    for (std::size_t n = 0; n < entries_.size() && n < 4; ++n) write_entry(dir.data() + n * 128, entries_[n]);
    d.insert(d.end(), dir.begin(), dir.end());
    append_words(d, mini_fat_);
    d.insert(d.end(), mini_stream_.begin(), mini_stream_.end());
    d.insert(d.end(), regular_.begin(), regular_.end());
    if (d.size() < 2560) d.resize(2560, 0);
    return d;
  }

 private:
  static void put32(unsigned char *p, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) p[k] = static_cast<unsigned char>(v >> (8 * k));
  }
  static void append_words(Data &d, const std::vector<std::uint32_t> &words) {
    for (std::uint32_t w : words) {
      for (int k = 0; k < 4; ++k) d.push_back(static_cast<unsigned char>(w >> (8 * k)));
    }
  }
  static void write_entry(unsigned char *p, const CompoundEntry &e) {
    for (std::size_t k = 0; k < e.name.size() && k < 31; ++k) {
      p[2 * k] = static_cast<unsigned char>(e.name[k] & 0xFF);
      p[2 * k + 1] = static_cast<unsigned char>(e.name[k] >> 8);
    }
    p[64] = static_cast<unsigned char>(2 * (e.name.size() + 1));
    p[66] = static_cast<unsigned char>(e.type);
    put32(p + 68, e.left);
    put32(p + 72, e.right);
    put32(p + 76, e.child);
    put32(p + 116, e.start);
    put32(p + 120, e.size);
  }

  std::vector<CompoundEntry> entries_;
  std::vector<std::uint32_t> fat_;
  std::vector<std::uint32_t> mini_fat_;
  Data mini_stream_;
  std::size_t mini_used_ = 0;
  Data regular_;
};

// A minimal positive sample of one recogniser, the code and variant it gives
// through the full sequence, and its nearest miss, which that recogniser refuses.
struct Sample {
  std::string label;
  std::string recogniser;
  Data positive;
  int code;
  int variant;
  Data negative;
};

inline std::ostream &operator<<(std::ostream &os, const Sample &s) { return os << s.label; }

// Samples for every recogniser, read from the samples folder.
std::vector<Sample> recogniser_samples();

}  // namespace recognition_test
