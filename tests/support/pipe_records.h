// Records of the pipe route built and read by hand, for tests of either end:
// big-endian words; the head (length, signature, serial, command), then the
// data from byte 16.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace test_support {

constexpr std::uint32_t pipe_signature = 0x18436572;
constexpr std::uint32_t pipe_reply_bit = 0x80000000;

void put_word(std::string &record, std::size_t at, std::uint32_t value);
std::uint32_t word_at(const std::string &record, std::size_t at);
// A record of at least 256 bytes: the head, then the words, then the bytes.
std::string pipe_record(std::int32_t command, std::uint32_t serial, std::initializer_list<std::int32_t> words = {},
                        const std::string &bytes = "", std::uint32_t signature = pipe_signature);

}  // namespace test_support
