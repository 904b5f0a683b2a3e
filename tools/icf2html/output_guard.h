// Keeps a failed conversion from damaging OUTPUT. The converter writes OUTPUT
// under its own name (the default title and the picture file names come from
// that name); a file already there is first set aside beside it and is put
// back if the conversion fails, so OUTPUT is then exactly as it was, or absent
// if it was absent. Devices and FIFOs are written directly.
#pragma once

#include <sys/types.h>

#include <set>
#include <string>

namespace icf2html {

class OutputGuard {
 public:
  // Sets an existing OUTPUT aside; false (with errno) when that cannot be done.
  bool protect(const std::string &output);
  // The conversion succeeded: the old file goes, the new one takes its permissions.
  void commit();
  // The conversion failed: the new file and the files it made beside OUTPUT go,
  // the old file comes back.
  void restore();

 private:
  std::string output_;
  std::string directory_;
  std::string aside_;  // the old OUTPUT while the conversion runs, or ""
  mode_t old_mode_ = 0;
  std::set<std::string> names_before_;
};

}  // namespace icf2html
