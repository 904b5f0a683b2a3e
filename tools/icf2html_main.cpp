// icf2html: converts an intermediate code stream file into HTML through the
// shared library, as any host program does.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <icf2html.h>

namespace {

constexpr std::size_t max_intermediate_name = 124;  // the entry keeps at most this many characters

void usage(std::FILE *to) {
  std::fprintf(to,
               "usage: icf2html [-l LEVELS] [-o WORD]... [--progress] INPUT OUTPUT\n"
               "Converts the intermediate code stream in INPUT into an HTML file OUTPUT\n"
               "(\"-\" writes to standard output).\n"
               "  -l LEVELS   level letter 0-5 and modifier letters E, M, N, P, X (default 5)\n"
               "  -o WORD     an option word for the converter, e.g. -o PE=except.lst\n"
               "  --progress  show the progress bar on standard output\n");
}

// The cause of an exit code in words, and whether it concerns the input.
struct Cause {
  const char *text;
  bool input;
};

Cause cause_of(int code, bool output_written) {
  switch (code) {
    case 1:
      return output_written ? Cause{"a warning was recorded: the input ended inside a code", true}
                            : Cause{"the output file cannot be created or replaced", false};
    case 2: return {"reading the input failed", true};
    case 3: return {"the intermediate file or a temporary file cannot be opened", true};
    case 4: return {"writing the output failed", false};
    case 5: case 12: return {"a warning was recorded: the input ended inside a code", true};
    case 6: return {"the exception list cannot be opened", false};
    case 7: return {"writing the exception list failed", false};
    case 8: return {"not enough memory", true};
    case 10: return {"the disk is full", false};
    case 16: return {"the input is not a well-formed intermediate code stream", true};
    default: return {"the conversion failed", true};
  }
}

std::string directory_of(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string temporary_directory() {
  const char *tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/";
}

// A new empty file named after the template in dir; its descriptor, or -1.
int make_temporary(const std::string &dir, std::string &name) {
  if (dir.size() + 20 > max_intermediate_name) return -1;
  std::vector<char> buffer(dir.begin(), dir.end());
  for (char c : std::string("icf2html-XXXXXX")) buffer.push_back(c);
  buffer.push_back('\0');
  const int fd = mkstemp(buffer.data());
  if (fd != -1) name = buffer.data();
  return fd;
}

// Copies input into a new temporary file, beside the output when possible (its
// spill files go there too), else in the temporary directory. Its name, or ""
// when the input cannot be read (input_failed) or no file can be made.
std::string copy_to_intermediate(const char *input, const std::string &dir, bool &input_failed) {
  std::string name;
  int out = make_temporary(dir, name);
  if (out == -1) out = make_temporary(temporary_directory(), name);
  if (out == -1) return "";
  const int in = std::strcmp(input, "-") == 0 ? STDIN_FILENO : open(input, O_RDONLY);
  input_failed = in == -1;
  bool ok = in != -1;
  char chunk[65536];
  while (ok) {
    const ssize_t n = read(in, chunk, sizeof chunk);
    if (n == 0) break;
    ok = n > 0 && write(out, chunk, static_cast<std::size_t>(n)) == n;
  }
  if (in > STDIN_FILENO) close(in);
  ok = close(out) == 0 && ok;
  if (!ok) {
    unlink(name.c_str());
    return "";
  }
  return name;
}

}  // namespace

int main(int argc, char **argv) {
  std::string levels = "5";
  std::vector<std::string> words;
  std::vector<const char *> files;
  bool show_progress = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    }
    if ((arg == "-l" || arg == "-o") && i + 1 < argc) {
      (arg == "-l" ? levels : words.emplace_back()) = argv[++i];
    } else if (arg == "--progress") {
      show_progress = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "icf2html: unknown option %s\n", arg.c_str());
      usage(stderr);
      return 2;
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.size() != 2) {
    usage(stderr);
    return 2;
  }
  const char *input = files[0];
  const std::string output = files[1];
  const bool to_stdout = output == "-";
  if (!show_progress || to_stdout) words.emplace_back("N");  // the bar would mix with the HTML

  bool input_failed = false;
  const std::string intermediate =
      copy_to_intermediate(input, to_stdout ? temporary_directory() : directory_of(output), input_failed);
  if (intermediate.empty()) {
    if (input_failed) std::fprintf(stderr, "icf2html: %s: the input cannot be read\n", input);
    else std::fprintf(stderr, "icf2html: %s: no temporary file can be written\n", temporary_directory().c_str());
    return 1;
  }
  std::vector<char *> option_words;
  for (std::string &word : words) option_words.push_back(word.data());
  option_words.push_back(nullptr);
  std::string target = to_stdout ? "stdout" : output;

  const int code = MainEntryPoint(target.data(), const_cast<char *>(intermediate.c_str()), levels.data(),
                                  option_words.data(), nullptr, nullptr);
  GlobalShutDown();
  RemoveTempFiles();
  RemovePurgeableFiles();
  KIVFreeAll();
  unlink(intermediate.c_str());  // normally gone already: the writer removes it

  if (code != 0) {
    struct stat info{};
    const bool written = !to_stdout && stat(output.c_str(), &info) == 0;
    const Cause cause = cause_of(code, written);
    std::fprintf(stderr, "icf2html: %s: %s (code %d)\n", cause.input ? input : output.c_str(), cause.text, code);
    return 1;
  }
  if (to_stdout) std::fflush(stdout);
  return 0;
}
