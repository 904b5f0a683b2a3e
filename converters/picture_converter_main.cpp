// A graphic converter program. One program serves every name it is installed
// under; the name says the format and the direction:
//   g<NNN>funx, qtx<NN>f   from format NNN into the intermediate form (PNG)
//   g<NNN>tunx, qtx<NN>t   from the intermediate form into format NNN
// Arguments: FOREIGN-FILE -t=INTERMEDIATE-FILE -vDIGIT -n. Exit status 0 on
// success, 9 when the input is not of the format, 1 on any other failure.
// The picture's height and width in twips go to the extents file named by the
// environment variable ICF_EXTENTS_FILE, when it is set.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "raster.h"

namespace {

using namespace converters;

constexpr int exit_ok = 0;
constexpr int exit_failed = 1;
constexpr int exit_usage = 2;
constexpr int exit_wrong_format = 9;
// Input files larger than this are refused.
constexpr off_t max_input_size = 512L * 1024 * 1024;
// Pixels are taken at 96 to the inch: 15 twips each.
constexpr long twips_per_pixel = 15;

struct Job {
  int format = -1;
  bool to_intermediate = true;
};

// Reads the format number and direction from the program's name.
bool parse_name(std::string_view name, Job &job) {
  const auto slash = name.rfind('/');
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  for (std::string_view letters : {"qtx", "g", "vtx", "w"}) {
    if (name.substr(0, letters.size()) != letters) continue;
    std::string_view rest = name.substr(letters.size());
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
    if (digits < 2) continue;
    const std::string_view ending = rest.substr(digits);
    if (ending == "funx" || ending == "f") job.to_intermediate = true;
    else if (ending == "tunx" || ending == "t") job.to_intermediate = false;
    else continue;
    job.format = std::atoi(std::string(rest.substr(0, digits)).c_str());
    return true;
  }
  return false;
}

// The whole of a regular file; devices, pipes and links are not read.
bool read_input(const char *name, Bytes &data) {
  const int fd = open(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd == -1) return false;
  struct stat info{};
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= max_input_size;
  if (ok) {
    data.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    while (ok && got < data.size()) {
      const ssize_t n = read(fd, data.data() + got, data.size() - got);
      if (n <= 0) ok = false;
      else got += static_cast<std::size_t>(n);
    }
  }
  close(fd);
  return ok;
}

// Opens the output for writing: a new file, or an existing regular file that
// is emptied; never through a link, never a device or a pipe.
int open_output(const char *name) {
  const int fd = open(name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK, 0666);
  if (fd == -1) return -1;
  struct stat info{};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ftruncate(fd, 0) != 0) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

void report_extents(const Raster &picture) {
  const char *name = std::getenv("ICF_EXTENTS_FILE");
  if (!name || !*name) return;
  const int fd = open(name, O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NONBLOCK);
  if (fd == -1) return;
  struct stat info{};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    char text[48];
    const int n = std::snprintf(text, sizeof text, "%ld\n%ld\n", picture.height * twips_per_pixel,
                                picture.width * twips_per_pixel);
    if (write(fd, text, static_cast<std::size_t>(n)) != n) { /* no extents then */ }
  }
  close(fd);
}

ReadResult read_format(int format, const Bytes &data, Raster &picture) {
  switch (format) {
    case 501: return read_pcx(data, picture);
    case 502: return read_tiff(data, picture);
    case 504:
    case 0: return read_png(data, picture);
    case 512: return read_gif(data, picture);
    case 513: return read_bmp(data, picture);
    case 521: return read_jpeg(data, picture);
    default: return ReadResult::wrong_format;
  }
}

bool write_format(int format, const Raster &picture, int fd) {
  switch (format) {
    case 504:
    case 0: return write_png(picture, fd);
    case 512: return write_gif(picture, fd);
    case 521: return write_jpeg(picture, fd);
    default: return false;
  }
}

}  // namespace

int main(int argc, char **argv) {
  Job job;
  if (argc < 3 || !parse_name(argv[0], job) || std::strncmp(argv[2], "-t=", 3) != 0) {
    std::fprintf(stderr, "usage: g<NNN>funx|g<NNN>tunx FOREIGN -t=INTERMEDIATE [-vN] [-n]\n");
    return exit_usage;
  }
  const char *foreign = argv[1];
  const char *intermediate = argv[2] + 3;
  const char *input = job.to_intermediate ? foreign : intermediate;
  const char *output = job.to_intermediate ? intermediate : foreign;
  const int input_format = job.to_intermediate ? job.format : 0;
  const int output_format = job.to_intermediate ? 0 : job.format;

  Bytes data;
  if (!read_input(input, data)) return exit_failed;
  Raster picture;
  switch (read_format(input_format, data, picture)) {
    case ReadResult::ok: break;
    case ReadResult::wrong_format: return exit_wrong_format;
    case ReadResult::corrupt: return exit_failed;
  }
  const int fd = open_output(output);
  if (fd == -1) return exit_failed;
  const bool written = write_format(output_format, picture, fd);
  if (close(fd) != 0 || !written) {
    unlink(output);
    return exit_failed;
  }
  report_extents(picture);
  return exit_ok;
}
