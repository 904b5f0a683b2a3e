// Words and MIME types for the library's format numbers.
#pragma once

#include <string_view>

namespace identify {

struct FormatName {
  int code;
  std::string_view description;
  std::string_view mime;
};

// The row for a library format number; unknown numbers get a generic
// graphic or document row.
FormatName library_format(int code);

}  // namespace identify
