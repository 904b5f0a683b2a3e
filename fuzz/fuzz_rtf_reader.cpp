// Arbitrary bytes as an RTF document, read from memory by the RTF reader. The
// stream it writes must be well formed whatever the input: every ESC opens a
// code (GS and three name characters), every RS closes one, codes close at
// the end, and no other control byte of the stream appears in text. Pictures
// go through the library's picture writer with no converter program to find;
// its temporary files are made in the fuzz folder and must all be gone after
// every input.
#include <cstdint>
#include <cstdlib>

#include "rtf_reader.h"
#include "runtime/options.h"
#include "runtime/strings.h"
#include "stream/buffered_io.h"
#include "support/fuzz_workspace.h"

namespace {

struct StreamCheck {
  int depth = 0;
  int header = 0;  // bytes of a code's opening still expected (GS and the name)
};
StreamCheck check;

bool name_character(int c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' '; }

int take(int c) {
  if (check.header > 0) {
    const bool ok = check.header == 4 ? c == 0x1D : name_character(c);
    if (!ok) std::abort();
    --check.header;
    return 0;
  }
  if (c == 0x1B) {
    ++check.depth;
    check.header = 4;
  } else if (c == 0x1E) {
    if (--check.depth < 0) std::abort();
  } else if (c == 0x1D) {
    std::abort();
  } else if (c == 0x1F && check.depth == 0) {
    std::abort();  // a parameter end outside any code
  }
  return 0;
}

int take_back() { return -1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string &dir = test_support::fuzz_work_dir();
  kiv::copy_bounded(kiv::settings.icfname, sizeof kiv::settings.icfname, dir + "/stream.icf");
  kiv::copy_bounded(kiv::settings.SubLaunchPath, sizeof kiv::settings.SubLaunchPath, dir + "/no-converters/");
  check = {};
  kiv::RedirectOutput(take, take_back);
  kiv::RtfInput input;
  kiv::rtf_input_open_memory(input, data, size);
  kiv::read_rtf(input);
  kiv::RedirectOutputClose();
  if (check.depth != 0 || check.header != 0) std::abort();
  if (test_support::temporary_files_left(dir, "stream.icf")) std::abort();
  return 0;
}
