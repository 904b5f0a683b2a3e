// icf2html._native: the converter's C interface for Python. One conversion of an
// intermediate file, format recognition of a file or of bytes, and the words for
// formats and exit codes. The Python side holds the lock that keeps conversions
// one at a time; the interpreter lock is released while the library works.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <icf2html.h>

#include "icf-identify/format_names.h"
#include "runtime/error_exit.h"

namespace py = pybind11;

namespace {

// Converts the intermediate file into target and releases what the conversion
// left, as every host does after a call. The library removes the intermediate
// file. Returns the conversion's exit code.
int convert_intermediate(std::string target, std::string intermediate, std::string levels,
                         std::vector<std::string> words) {
  std::vector<char *> option_words;
  option_words.reserve(words.size() + 1);
  for (std::string &word : words) option_words.push_back(word.data());
  option_words.push_back(nullptr);
  py::gil_scoped_release unlocked;
  const int code = MainEntryPoint(target.data(), intermediate.data(), levels.data(), option_words.data(),
                                  nullptr, nullptr);
  GlobalShutDown();
  RemoveTempFiles();
  RemovePurgeableFiles();
  KIVFreeAll();
  return code;
}

std::pair<int, int> identify_file(const std::string &path) {
  int variant = 0;
  py::gil_scoped_release unlocked;
  const int code = autorec(path.c_str(), &variant);
  return {code, variant};
}

std::pair<int, int> identify_block(const py::bytes &data) {
  const std::string_view bytes = data;
  // The recognisers look at the first 4096 bytes only; this also keeps the
  // length within the entry point's int.
  const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), 4096));
  int variant = 0;
  const int code = AutoRecBlock(reinterpret_cast<const unsigned char *>(bytes.data()), length, 0, &variant);
  return {code, variant};
}

}  // namespace

PYBIND11_MODULE(_native, module) {
  module.doc() = "The converter's C interface; use the icf2html package instead.";
  module.def("convert_intermediate", &convert_intermediate, py::arg("target"), py::arg("intermediate"),
             py::arg("levels"), py::arg("words"),
             "Converts an intermediate file (which the library removes) into target; the exit code.");
  module.def("identify_file", &identify_file, py::arg("path"),
             "(format code, variant) of a file, or a negative code when it cannot be read.");
  module.def("identify_block", &identify_block, py::arg("data"), "(format code, variant) of bytes in memory.");
  module.def(
      "format_name",
      [](int code) { return code == 0 ? std::string("not recognised") : std::string(identify::library_format(code).description); },
      py::arg("code"),
      "The format number in words.");
  module.def(
      "exit_code_meaning", [](int code) { return std::string(kiv::exit_code_text(code)); }, py::arg("code"),
      "The converter's exit code in words.");
}
