// The writer's code table: 75 codes and their handlers, sorted by code number
// when the library is built.
#pragma once

#include <array>
#include <cstdint>

#include "html/format_record.h"
#include "stream/code_numbers.h"

namespace kiv {

struct CodeTableRow {
  std::int32_t code;
  CodeHandler handler;
};

inline constexpr std::size_t code_table_size = 75;

// Passed to the CMT and DTX handlers instead of their own code: close what is
// open. NOP has no handler of its own, so the value cannot be a real call.
inline constexpr std::int32_t close_selector = code("NOP");

extern const std::array<CodeTableRow, code_table_size> tran_table;

// The handler of a code number, or null when the table has none (a direct
// index built at compile time).
CodeHandler find_handler(std::int32_t code);

}  // namespace kiv
