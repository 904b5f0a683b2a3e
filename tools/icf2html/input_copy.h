// The converter removes its intermediate file when it is done, so icf2html
// hands it a private name for the input: a second link to the same file when
// the file system allows, else a copy.
#pragma once

#include <string>

namespace icf2html {

std::string directory_of(const std::string &path);
std::string temporary_directory();

// Gives input ("-" is standard input) a new temporary name, beside the output
// when possible (its spill files go there too), else in the temporary
// directory: a hard link to a regular file on the same file system, else a
// copy. The name, or "" when the input cannot be read (input_failed) or no
// file can be made; error then holds the system's reason.
std::string copy_to_intermediate(const char *input, const std::string &dir, bool &input_failed, int &error);

}  // namespace icf2html
