// Keeps a failed conversion from damaging OUTPUT. The converter writes OUTPUT
// under its own name (the default title and the picture file names come from
// that name); a file already there is first set aside beside it and is put
// back if the conversion fails, so OUTPUT is then exactly as it was, or absent
// if it was absent. Devices and FIFOs are written directly.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>
#include <vector>

namespace icf2html {

class OutputGuard {
 public:
  // Sets an existing OUTPUT aside; false (with errno) when that cannot be done.
  // With known_files, the caller names the files it places beside OUTPUT
  // (placed); otherwise a failure removes the files named as the conversion's
  // that changed after protect.
  bool protect(const std::string &output, bool known_files = false);
  // A file the caller put beside OUTPUT, removed by restore (with known_files).
  void placed(const std::string &path) { placed_.push_back(path); }
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
  timespec started_{};  // the folder's time when the conversion began
  bool known_files_ = false;
  std::vector<std::string> placed_;
};

}  // namespace icf2html
