// The public header must compile as C++ without warnings, and take a C++ host's
// constant strings where the library only reads.
#include <icf2html.h>

#include <string>

int convert_in_cxx(const std::string &target, const std::string &icf) {
  char word[] = "N";
  char *const words[] = {word, nullptr};
  return MainEntryPoint(target.c_str(), icf.c_str(), "5", words, nullptr, nullptr);
}

static_assert(ICF2HTML_VERSION_MAJOR >= 1, "the version macros are numbers");
