#include "single_conversion.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <icf2html.h>

#include "document_input.h"
#include "input_copy.h"
#include "interruptions.h"
#include "messages.h"
#include "output_guard.h"
#include "progress_bar.h"

namespace icf2html {
namespace {

// The converter's run, with the host's shutdown calls after it.
int run_converter(std::string target, const std::string &intermediate, std::string levels,
                  std::vector<std::string> words) {
  std::vector<char *> option_words;
  for (std::string &word : words) option_words.push_back(word.data());
  option_words.push_back(nullptr);
  std::string icf = intermediate;
  const int code = MainEntryPoint(target.data(), icf.data(), levels.data(), option_words.data(), nullptr, nullptr);
  GlobalShutDown();
  RemoveTempFiles();
  RemovePurgeableFiles();
  KIVFreeAll();
  return code;
}

// Checks that can name the cause before anything is made; a status, or 0.
int refuse_early(const std::string &input, const std::string &output) {
  struct stat info{};
  if (input != "-") {
    if (stat(input.c_str(), &info) != 0) {
      report(input, with_reason("cannot be read", errno));
      return status_input_unreadable;
    }
    if (S_ISDIR(info.st_mode)) {
      report(input, with_reason("cannot be read", EISDIR));
      return status_input_unreadable;
    }
  }
  if (output == "-") return 0;
  if (stat(output.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    report(output, with_reason("cannot be written", EISDIR));
    return status_output_unwritable;
  }
  const std::string directory = directory_of(output).empty() ? "." : directory_of(output);
  const bool found = stat(directory.c_str(), &info) == 0;
  if (!found || !S_ISDIR(info.st_mode)) {
    report(output, with_reason("cannot be created", found ? ENOTDIR : errno));
    return status_output_unwritable;
  }
  return 0;
}

// The name the converter is given for OUTPUT: only "-" means standard output,
// so a file that the converter would take for a standard stream is named by
// its path.
std::string target_name(const std::string &output) {
  if (output == "-") return "stdout";
  if (output == "stdout" || output == "stdin") return "./" + output;
  return output;
}

int interrupted_status() { return status_interrupted + interruption(); }

}  // namespace

int convert_one(ConversionRequest request) {
  if (const std::string word = converter_folder_word(); !word.empty())
    request.words.insert(request.words.begin(), word);
  catch_interruptions();
  const std::string &input = request.input;
  const std::string &output = request.output;
  const bool to_stdout = output == "-";
  if (const int refused = refuse_early(input, output)) return refused;

  const std::string work_dir = to_stdout ? temporary_directory() : directory_of(output);
  DocumentInput document;
  if (input != "-") {
    if (read_document_input(request.program, input.c_str(), work_dir, document) != 0) return status_input_unreadable;
    if (!document.stream.empty()) request.words.insert(request.words.end(), {"UNICODE", "HEADERROWS"});
  }
  bool input_failed = false;
  int input_error = 0;
  const std::string intermediate = document.stream.empty()
                                       ? copy_to_intermediate(input.c_str(), work_dir, input_failed, input_error)
                                       : document.stream;
  if (interruption()) {
    if (!intermediate.empty()) unlink(intermediate.c_str());
    return interrupted_status();
  }
  if (intermediate.empty()) {
    if (input_failed) {
      report(input, with_reason("cannot be read", input_error));
      return status_input_unreadable;
    }
    report(temporary_directory(), with_reason("no temporary file can be written", input_error));
    return status_conversion_failed;
  }

  OutputGuard guard;
  if (!to_stdout && !guard.protect(output)) {
    const int error = errno;
    unlink(intermediate.c_str());
    report(output, with_reason("cannot be replaced", error));
    return status_output_unwritable;
  }
  request.words.emplace_back("KEEPSIGNALS");
  if (!request.trusted) request.words.emplace_back("UNTRUSTED");
  request.words.push_back(request.show_progress ? start_progress_bar() : "N");

  const int code = run_converter(target_name(output), intermediate, request.levels, request.words);
  finish_progress_bar();
  unlink(intermediate.c_str());  // normally gone already: the converter removes it
  const int reading = finish_document_input(input.c_str(), document);

  if (interruption()) {
    guard.restore();
    return interrupted_status();
  }
  if (reading != 0) {  // the page was made from a stream the reader did not finish
    guard.restore();
    return status_input_unreadable;
  }
  struct stat info{};
  // The converter's 1 is also its warning flag: the page is then complete.
  const bool warning = code == 1 && (to_stdout || (lstat(output.c_str(), &info) == 0 && S_ISREG(info.st_mode)));
  if (code == 0 || warning) {
    guard.commit();
    if (to_stdout) std::fflush(stdout);
    if (!warning) return status_converted;
    report(input, "warning: the input ended inside a code");
    return status_converted_with_warning;
  }
  guard.restore();
  const Cause cause = cause_of(code);
  report(cause.input ? input : output, std::string(cause.text) + " (converter code " + std::to_string(code) + ")");
  return cause.status;
}

}  // namespace icf2html
