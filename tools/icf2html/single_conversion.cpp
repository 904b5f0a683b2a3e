#include "single_conversion.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include <icf2html.h>

#include "document_input.h"
#include "input_copy.h"
#include "messages.h"

namespace icf2html {

int convert_one(ConversionRequest request) {
  const char *input = request.input;
  const std::string &output = request.output;
  const bool to_stdout = output == "-";
  if (!request.show_progress || to_stdout) request.words.emplace_back("N");  // the bar would mix with the HTML

  bool input_failed = false;
  const std::string work_dir = to_stdout ? temporary_directory() : directory_of(output);
  DocumentInput document;
  if (std::string_view(input) != "-") {
    if (read_document_input(request.program, input, work_dir, document) != 0) return 1;
    if (!document.stream.empty()) request.words.emplace_back("UNICODE");
  }
  const std::string intermediate =
      document.stream.empty() ? copy_to_intermediate(input, work_dir, input_failed) : document.stream;
  if (intermediate.empty()) {
    if (input_failed) std::fprintf(stderr, "icf2html: %s: the input cannot be read\n", input);
    else std::fprintf(stderr, "icf2html: %s: no temporary file can be written\n", temporary_directory().c_str());
    return 1;
  }
  std::vector<char *> option_words;
  for (std::string &word : request.words) option_words.push_back(word.data());
  option_words.push_back(nullptr);
  std::string target = to_stdout ? "stdout" : output;

  const int code = MainEntryPoint(target.data(), const_cast<char *>(intermediate.c_str()), request.levels.data(),
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

}  // namespace icf2html
