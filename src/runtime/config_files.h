// Configuration files: one option word a line, read through the file layer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kiv {

struct ConfigFilesState {
  int nesting = 0;  // configuration files being read, one inside another
};
extern ConfigFilesState config_files;

void reset_config_files();

// Copies the line at p (up to CR, LF or NUL; at most line_size - 1 bytes, the
// rest of a longer line is dropped) into line; returns the start of the next
// line, past every CR and LF.
const char *CopyConfigurationOption(const char *p, char *line, std::size_t line_size);
// Reads a configuration file and parses each line as an option word; returns the
// OR of their bits, 0 when the file cannot be read. Files that name further
// configuration files are followed only a few levels deep.
std::uint32_t LoadConfiguration(const char *file);

}  // namespace kiv
