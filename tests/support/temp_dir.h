// A fresh temporary directory for one test, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  const std::filesystem::path &path() const { return path_; }
  std::string file(const std::string &name) const { return (path_ / name).string(); }
  // Names of the files in the directory, sorted.
  std::vector<std::string> listing() const;

 private:
  std::filesystem::path path_;
};

std::string read_file(const std::string &name);
void write_file(const std::string &name, const std::string &bytes);

}  // namespace test_support
