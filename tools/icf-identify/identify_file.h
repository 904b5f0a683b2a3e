// What the identifier says about one file: the library's recognition,
// completed by the identifier's own knowledge where the library cannot know
// (file kinds, common formats, Office documents inside compound files).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "compound_documents.h"

namespace identify {

struct Identity {
  std::string_view description;
  std::string_view mime;
  bool recognised = false;  // the library read the bytes: `code` and `variant` hold its answer
  int code = 0;
  int variant = 0;
};

struct Outcome {
  Identity identity;
  std::string failure;  // empty, or why the file could not be opened or read
};

// Identifies the file `name`, or standard input for "-".
Outcome identify_name(const std::string &name);

// The answer for a file's first bytes and the library's answer about them;
// `compound` is the document found in the file's compound streams, if any.
Identity decide(std::span<const unsigned char> head, int code, int variant, const CompoundDocument *compound);

}  // namespace identify
