// Whole transfers on a pipe or file descriptor, across short transfers and
// interrupted calls.
#pragma once

#include <cstddef>

namespace icf2html {

// False when the descriptor ends or fails before every byte went.
bool write_all(int fd, const void *data, std::size_t size);
// False when the descriptor ends or fails before size bytes came.
bool read_all(int fd, void *data, std::size_t size);

}  // namespace icf2html
