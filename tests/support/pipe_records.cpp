#include "support/pipe_records.h"

#include <algorithm>

namespace test_support {

void put_word(std::string &record, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) record[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

std::uint32_t word_at(const std::string &record, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(record[at + i]);
  return value;
}

std::string pipe_record(std::int32_t command, std::uint32_t serial, std::initializer_list<std::int32_t> words,
                        const std::string &bytes, std::uint32_t signature) {
  std::string record(std::max<std::size_t>(256, 16 + 4 * words.size() + bytes.size()), '\0');
  put_word(record, 0, static_cast<std::uint32_t>(record.size()));
  put_word(record, 4, signature);
  put_word(record, 8, serial);
  put_word(record, 12, static_cast<std::uint32_t>(command));
  std::size_t at = 16;
  for (const std::int32_t w : words) {
    put_word(record, at, static_cast<std::uint32_t>(w));
    at += 4;
  }
  record.replace(at, bytes.size(), bytes);
  return record;
}

}  // namespace test_support
