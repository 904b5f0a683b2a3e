// The controller's side of remote file access: it carries out the file
// operations a converter asks for, on the files of one conversion only. Every
// name is checked against the conversion's policy; anything else is refused
// and remembered.
#pragma once

#include <sys/types.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace icf2html {

// The files one isolated conversion may reach. The converter names the page
// as the user did; the page, the pictures beside it (names that begin with
// the page's stem, or numbered picture names) and the temporary files all
// live in the private folder.
struct FilePolicy {
  std::string private_dir;        // absolute, without a final '/'
  std::string intermediate_name;  // the converter's name for its intermediate file
  std::string input_path;         // the user's file behind it: read only, never removed
  std::string target_dir;         // the folder part of the converter's page name ("" or ending in '/')
  std::string page_name;          // the page's name without its folder
  std::string picture_stem;       // the page's name without its extension
};

// Whether a name has the form of the library's temporary files ("KV", six digits, ".TMP").
bool is_temporary_name(std::string_view name);
// The private folder's record of a claimed picture name: a symbolic link to
// the claim, named this prefix and the name, so that whoever removes a private
// folder left by a killed conversion removes its claims too.
inline constexpr std::string_view claim_link_prefix = ".claim-";
// Removes the claims recorded in a private folder that are still empty files.
void remove_claims_recorded_in(const std::string &private_dir);

// Whether a name has the form of the picture files the library numbers
// beside the page ("GR", six digits, "." and an extension).
bool is_picture_name(std::string_view name);

class FileService {
 public:
  explicit FileService(FilePolicy policy) : policy_(std::move(policy)) {}
  ~FileService();
  FileService(const FileService &) = delete;
  FileService &operator=(const FileService &) = delete;

  // A descriptor of the input, opened read-only by the caller: the converter's
  // first open of its intermediate file gets it instead of a new one.
  void hand_input(int fd) { handed_input_ = fd; }

  // The file layer's operations and results (handles are the controller's own
  // descriptors; a handle it did not hand out is refused with -1).
  int open(std::string_view name, int mode, int kind);
  // Reads up to count bytes, fewer only at the end of the file; -1 on error.
  int read(int handle, unsigned char *to, int count);
  int write(int handle, const unsigned char *from, int count);
  long seek(int handle, long offset, int whence);
  int close(int handle);
  int unlink(std::string_view name);
  int rename(std::string_view old_name, std::string_view new_name);
  long size(std::string_view name);
  // A picture name is taken when the file is in the private folder or beside
  // the page, so that a conversion never names a picture over one there. A
  // free name beside the page is claimed at once with an empty file of that
  // name (made only when none is there), so that a conversion into the same
  // folder at the same time sees it taken; the picture replaces it when it is
  // placed, and the claims of pictures not placed go with the service.
  int exists(std::string_view name);

  // Whether the converter named a file of the private folder other than its
  // page so far (a picture, a temporary file): only then can the programs it
  // starts have written pictures there.
  bool reached_other_files() const { return other_files_; }
  // Names refused so far, in the order they were asked for.
  const std::vector<std::string> &refused() const { return refused_; }
  const FilePolicy &policy() const { return policy_; }

 private:
  enum class Access { refused, input, private_file };
  struct Resolved {
    Access access;
    std::string path;
    std::string beside;  // for a picture: the same name beside the page, where a plain conversion would look
  };
  Resolved resolve(std::string_view name);
  // True when the name beside the page is this conversion's: claimed now or before.
  bool claim(const std::string &beside);

  struct Claim {
    std::string path;
    dev_t device;
    ino_t inode;
    std::string record;  // its link in the private folder, or ""
  };

  FilePolicy policy_;
  std::vector<Claim> claims_;
  int handed_input_ = -1;
  bool other_files_ = false;
  std::set<int> handles_;
  std::vector<std::string> refused_;
};

}  // namespace icf2html
