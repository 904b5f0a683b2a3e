// The RTF reader as a converter program of the suite: w019funx RTF -t=STREAM
// [-vVARIANT] [-n] converts the RTF file into an intermediate stream file.
// Exit status 0 on success, 9 when the input is not RTF, 2 when it cannot be
// read, 1 when the stream file cannot be written, 4 when a write fails once
// the stream has begun.
#include <cstdio>
#include <cstring>

#include "rtf_file_conversion.h"
#include "rtf_pictures.h"
#include "rtf_reader.h"

int main(int argc, char **argv) {
  const char *input = nullptr;
  const char *output = nullptr;
  for (int k = 1; k < argc; ++k) {
    if (std::strncmp(argv[k], "-t=", 3) == 0) output = argv[k] + 3;
    else if (argv[k][0] == '-' && argv[k][1] != '\0') continue;  // -v variant, -n: nothing to do
    else if (input == nullptr) input = argv[k];
  }
  if (input == nullptr || output == nullptr || *output == '\0') {
    std::fprintf(stderr, "usage: %s RTF -t=STREAM [-vVARIANT] [-n]\n", argc > 0 ? argv[0] : "w019funx");
    return kiv::rtf_status_read_failed;
  }
  kiv::rtf_pictures_setup(argv[0], output);
  const int status = kiv::convert_rtf_file(input, output);
  if (status == kiv::rtf_status_not_rtf) std::fprintf(stderr, "%s: not an RTF file\n", input);
  else if (status == kiv::rtf_status_read_failed) std::fprintf(stderr, "%s: cannot be read\n", input);
  else if (status == kiv::rtf_status_target_failed) std::fprintf(stderr, "%s: cannot be written\n", output);
  return status;
}
