// Launching of the graphic converter programs and the extents file.
#include "objects/graphic_converters.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "runtime/memory.h"
#include "runtime/options.h"
#include "runtime/strings.h"

extern char **environ;

namespace kiv {

GraphicConverterState graphic_converters;

namespace {

constexpr int not_started = 255;
constexpr int first_graphic_format = 500;
constexpr int last_graphic_format = 699;
constexpr int path_size = 256;
// Polling interval while a time limit is set.
constexpr long poll_nanoseconds = 5'000'000;

// Program directory: SubLaunchPath as given, else ARG0_BasePath up to and
// including its last '/' (a '/' in the first position does not count).
std::string_view program_directory() {
  if (settings.SubLaunchPath[0] != '\0') return settings.SubLaunchPath;
  const char *arg0 = settings.ARG0_BasePath;
  if (!arg0) return {};
  const std::string_view path(arg0);
  const auto slash = path.rfind('/');
  if (slash == std::string_view::npos || slash == 0) return {};
  return path.substr(0, slash + 1);
}

// A fresh, empty extents file; its name goes to EnvFilename ("" when none
// could be made, so the converter then reports nothing).
void make_extents_name() {
  char *name = graphic_converters.EnvFilename;
  const char *dir = std::getenv("TMPDIR");
  if (!dir || !*dir) dir = "/tmp";
  name[0] = '\0';
  if (std::snprintf(name, path_size, "%s/icfextXXXXXX", dir) >= path_size) {
    name[0] = '\0';
    return;
  }
  const int fd = mkstemp(name);
  if (fd == -1) name[0] = '\0';
  else close(fd);
}

// The environment of the child: the parent's, plus the extents file's name.
struct ChildEnvironment {
  char **vector = nullptr;
  char *entry = nullptr;
  ChildEnvironment() {
    std::size_t count = 0;
    while (environ && environ[count]) ++count;
    vector = static_cast<char **>(KIVmalloc((count + 2) * sizeof(char *)));
    const std::size_t entry_size = std::strlen(extents_variable) + 2 + std::strlen(graphic_converters.EnvFilename);
    entry = static_cast<char *>(KIVmalloc(entry_size));
    if (!vector || !entry) return;
    std::snprintf(entry, entry_size, "%s=%s", extents_variable, graphic_converters.EnvFilename);
    std::size_t out = 0;
    const std::size_t prefix = std::strlen(extents_variable) + 1;
    for (std::size_t i = 0; i < count; ++i)
      if (std::strncmp(environ[i], entry, prefix) != 0) vector[out++] = environ[i];
    vector[out++] = entry;
    vector[out] = nullptr;
  }
  ~ChildEnvironment() {
    KIVfree(vector);
    KIVfree(entry);
  }
  ChildEnvironment(const ChildEnvironment &) = delete;
  ChildEnvironment &operator=(const ChildEnvironment &) = delete;
  bool ready() const { return vector && entry; }
};

// Waits for the child; with a time limit the child is killed (by its own id)
// when the limit has passed. The exit status, or 255 for a child ended by a
// signal; 255 when the child cannot be waited for.
int wait_for(pid_t child, int time_limit) {
  int status = 0;
  if (time_limit <= 0) {
    while (waitpid(child, &status, 0) == -1)
      if (errno != EINTR) return not_started;
  } else {
    const std::time_t deadline = std::time(nullptr) + time_limit;
    for (;;) {
      const pid_t done = waitpid(child, &status, WNOHANG);
      if (done == child) break;
      if (done == -1 && errno != EINTR) return not_started;
      if (std::time(nullptr) >= deadline) {
        kill(child, SIGKILL);
        while (waitpid(child, &status, 0) == -1)
          if (errno != EINTR) return not_started;
        break;
      }
      const timespec pause{0, poll_nanoseconds};
      nanosleep(&pause, nullptr);
    }
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return not_started;
}

bool is_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One signed decimal at text[pos] onwards, after white space; pos moves past it.
bool parse_decimal(std::span<const unsigned char> text, std::size_t &pos, int &value) {
  while (pos < text.size() && is_space(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  // Magnitudes up to 2^31 fit; only a negative value may reach it.
  constexpr std::int64_t limit = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  std::size_t digits = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos, ++digits) {
    magnitude = magnitude * 10 + (text[pos] - '0');
    if (magnitude > limit) return false;
  }
  if (digits == 0 || (!negative && magnitude == limit)) return false;
  if (pos < text.size() && !is_space(text[pos])) return false;  // "12x" is no number
  value = static_cast<int>(negative ? -magnitude : magnitude);
  return true;
}

}  // namespace

void reset_graphic_converters() { graphic_converters = {}; }

int converter_program_name(int format, int direction, bool second, char *out, std::size_t size) {
  const bool graphic = format >= first_graphic_format && format <= last_graphic_format;
  const char *letters = graphic ? (second ? "qtx" : "g") : (second ? "vtx" : "w");
  const char *ending = direction == 0 ? (second ? "f" : "funx") : (second ? "t" : "tunx");
  const std::string_view dir = program_directory();
  const int written = std::snprintf(out, size, "%.*s%s%0*d%s", static_cast<int>(dir.size()), dir.data(), letters,
                                    second ? 2 : 3, format, ending);
  return written >= 0 && static_cast<std::size_t>(written) < size ? 0 : -1;
}

namespace {

// Starts the first converter program of the two names that exists and waits
// for it; -1 when it cannot be set up, 255 when neither program starts.
int run_converter(int format, int direction, const char *input, const char *output, const char *variantText) {
  char first[path_size];
  char second[path_size];
  if (converter_program_name(format, direction, false, first, sizeof first) != 0 ||
      converter_program_name(format, direction, true, second, sizeof second) != 0)
    return -1;
  char to_argument[path_size + 3];
  char variant_argument[16];
  const char *foreign = direction == 0 ? input : output;
  const char *intermediate = direction == 0 ? output : input;
  if (std::snprintf(to_argument, sizeof to_argument, "-t=%s", intermediate) >= static_cast<int>(sizeof to_argument))
    return -1;
  std::snprintf(variant_argument, sizeof variant_argument, "-v%s", variantText ? variantText : "");
  char n_argument[] = "-n";

  int result = -1;
  {
    ChildEnvironment environment;
    if (!environment.ready()) return -1;
    pid_t child = -1;
    int started = -1;
    // The signals that end a program wait while the child starts, so that its
    // id is recorded before a handler of theirs can look for it; the child
    // starts with the mask as it was.
    sigset_t ending, previous;
    sigemptyset(&ending);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&ending, signal);
    sigprocmask(SIG_BLOCK, &ending, &previous);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigmask(&attributes, &previous);
    // A program writing into a pipe that closed ends as programs do, even
    // when its host (the isolated converter child, for one) ignores SIGPIPE.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    for (char *program : {first, second}) {
      char *const argv[] = {program, const_cast<char *>(foreign), to_argument, variant_argument, n_argument, nullptr};
      started = posix_spawnp(&child, program, nullptr, &attributes, argv, environment.vector);
      if (started == 0) break;
    }
    posix_spawnattr_destroy(&attributes);
    if (started == 0) graphic_converters.running = child;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (started == 0) result = wait_for(child, settings.converter_time_limit);
    else if (started == ENOENT || started == EACCES || started == ENOEXEC || started == ENOTDIR)
      result = not_started;  // neither program exists: as a child that could not start either
    graphic_converters.running = 0;
  }
  return result;
}

}  // namespace

int ConvertGraphicFile(int format, int direction, const char *input, const char *output, const char *variantText) {
  make_extents_name();
  const int result = run_converter(format, direction, input, output, variantText);
  // Read on every path, including a failed set-up, so that the extents file
  // made above never stays behind.
  SetGraphicsExtentsPointer(nullptr);
  return result;
}

int CheckGraphicConvExist() { return 0; }
int CheckConvExist() { return CheckGraphicConvExist(); }

bool parse_extents(std::span<const unsigned char> text, std::array<int, 2> &out) {
  if (text.size() > extents_text_max) return false;
  std::size_t pos = 0;
  std::array<int, 2> values{};
  if (!parse_decimal(text, pos, values[0]) || !parse_decimal(text, pos, values[1])) return false;
  while (pos < text.size() && is_space(text[pos])) ++pos;
  if (pos != text.size()) return false;
  out = values;
  return true;
}

int SetGraphicsExtentsPointer(const char *) {
  GraphicConverterState &s = graphic_converters;
  s.GraphicObjectExtents = {0, 0};
  if (s.EnvFilename[0] == '\0') return 0;
  const int fd = open(s.EnvFilename, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd == -1) return 0;
  struct stat info{};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    // One byte more than an extents file may hold tells a longer file apart.
    std::array<unsigned char, extents_text_max + 1> text{};
    std::size_t got = 0;
    for (ssize_t n; got < text.size() && (n = read(fd, text.data() + got, text.size() - got)) != 0;) {
      if (n < 0) {
        if (errno == EINTR) continue;
        got = 0;
        break;
      }
      got += static_cast<std::size_t>(n);
    }
    if (got > 0) parse_extents(std::span(text.data(), got), s.GraphicObjectExtents);
    close(fd);
    unlink(s.EnvFilename);
  } else {
    close(fd);
  }
  s.EnvFilename[0] = '\0';
  return 0;
}

}  // namespace kiv

// The extents file named by EnvFilename, or in a converter program by the
// environment variable; nothing is written when it cannot be created.
extern "C" ICF2HTML_API int SetGraphicsExtents(int first, int second) {
  const char *name = kiv::graphic_converters.EnvFilename;
  if (name[0] == '\0') name = std::getenv(kiv::extents_variable);
  if (!name || !*name) return 0;
  const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
  if (fd == -1) return 0;
  char text[32];
  const int n = std::snprintf(text, sizeof text, "%d\n%d\n", first, second);
  if (write(fd, text, static_cast<std::size_t>(n)) != n) { /* a short file reads as no extents */ }
  close(fd);
  return 0;
}
