// Fuzz target: picture and object codes through MainEntryPoint. The first byte
// chooses the code the rest of the input is the inside of: picture data after
// a description (PCT), an object (OLE), a description alone (PDS) or an outside
// file reference (FIC). The converter folder does not exist, so every picture
// takes the paths of a failed conversion. Afterwards no temporary or picture
// file may remain and every block must be back.
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <icf2html.h>

#include "support/fake_host.h"

namespace {

char work_dir_name[] = "/tmp/icf2html-fuzz-pictures-XXXXXX";

const std::string &work_dir() {
  static const std::string dir = [] {
    if (!mkdtemp(work_dir_name)) std::abort();
    std::atexit([] { std::filesystem::remove_all(work_dir_name); });
    return std::string(work_dir_name);
  }();
  return dir;
}

bool files_left(const std::string &dir) {
  DIR *d = opendir(dir.c_str());
  if (!d) return false;
  bool found = false;
  while (const dirent *entry = readdir(d)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || name == "out.html") continue;
    found = true;
  }
  closedir(d);
  return found;
}

constexpr const char *openings[] = {"\x1b\x1dPDS0\x1f" "0\x1f" "0\x1f" "0\x1f" "0\x1f" "0\x1f\x1e\x1b\x1dPCT",
                                    "\x1b\x1dOLE", "\x1b\x1dPDS", "\x1b\x1d" "FIC"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1) return 0;
  const std::string &dir = work_dir();
  std::string stream = "x";
  stream += openings[data[0] % 4];
  stream.append(reinterpret_cast<const char *>(data + 1), size - 1);
  stream += "\x1f\x1ey";

  const std::string icf = dir + "/in.icf";
  std::FILE *f = std::fopen(icf.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(stream.data(), 1, stream.size(), f);
  std::fclose(f);

  std::vector<std::string> words = {"N", "E=" + dir + "/no-converters/"};
  std::vector<char *> option_words;
  for (std::string &w : words) option_words.push_back(w.data());
  option_words.push_back(nullptr);
  std::string target = dir + "/out.html";
  std::string icf_name = icf;
  std::string levels = data[0] & 4 ? "5" : "2";

  test_support::reset_allocator(0);
  MainEntryPoint(target.data(), icf_name.data(), levels.data(), option_words.data(), test_support::counting_malloc,
                 test_support::counting_free);
  GlobalShutDown();
  RemoveTempFiles();
  RemovePurgeableFiles();
  KIVFreeAll();
  if (test_support::blocks_outstanding() != 0) std::abort();
  if (files_left(dir)) std::abort();
  unlink(target.c_str());
  return 0;
}
