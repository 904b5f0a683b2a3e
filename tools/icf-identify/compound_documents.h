// Names the Office document inside a compound file from its stream names.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace identify {

struct CompoundDocument {
  std::string_view description;
  std::string_view mime;
};

// Whether the bytes start with the compound-file signature.
bool is_compound_file(std::span<const unsigned char> head);

// For the open file `fd`: the document its streams show ("WordDocument",
// "Workbook" or "Book", "PowerPoint Document"), or nothing when none of them
// is there or the file is not a readable compound file.
std::optional<CompoundDocument> compound_document(int fd);

}  // namespace identify
