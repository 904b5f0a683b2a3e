// Fuzz target: picture and object codes through MainEntryPoint. The first byte
// chooses the code the rest of the input is the inside of: picture data after
// a description (PCT), an object (OLE), a description alone (PDS) or an outside
// file reference (FIC). The converter folder does not exist, so every picture
// takes the paths of a failed conversion. Afterwards no temporary or picture
// file may remain and every block must be back.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "support/fake_host.h"
#include "support/fuzz_workspace.h"
#include "support/temp_dir.h"

namespace {

constexpr const char *openings[] = {"\x1b\x1dPDS0\x1f" "0\x1f" "0\x1f" "0\x1f" "0\x1f" "0\x1f\x1e\x1b\x1dPCT",
                                    "\x1b\x1dOLE", "\x1b\x1dPDS", "\x1b\x1d" "FIC"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1) return 0;
  const std::string &dir = test_support::fuzz_work_dir();
  std::string stream = "x";
  stream += openings[data[0] % 4];
  stream.append(reinterpret_cast<const char *>(data + 1), size - 1);
  stream += "\x1f\x1ey";
  const std::string target = dir + "/out.html";
  test_support::write_file(dir + "/in.icf", stream);
  test_support::convert_names(target, dir + "/in.icf", data[0] & 4 ? "5" : "2", {"E=" + dir + "/no-converters/"}, true);
  if (test_support::blocks_outstanding() != 0) std::abort();
  if (test_support::files_other_than(dir, "out.html")) std::abort();
  unlink(target.c_str());
  return 0;
}
