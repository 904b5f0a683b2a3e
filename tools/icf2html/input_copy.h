// The converter removes its intermediate file when it is done, so icf2html
// hands it a private copy of the input.
#pragma once

#include <string>

namespace icf2html {

std::string directory_of(const std::string &path);
std::string temporary_directory();

// Copies input ("-" is standard input) into a new temporary file, beside the
// output when possible (its spill files go there too), else in the temporary
// directory. Its name, or "" when the input cannot be read (input_failed) or
// no file can be made.
std::string copy_to_intermediate(const char *input, const std::string &dir, bool &input_failed);

}  // namespace icf2html
