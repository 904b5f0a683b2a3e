// Whole conversions through MainEntryPoint on generated streams, written to a
// tmpfs folder, beside a minimal read-escape-write loop as the baseline; and
// the peak of the library's heap for 1 MB and for 64 MB of input.
//
//   build/release/bench/bench_conversion [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include <icf2html.h>

#include "bench_folder.h"
#include "counting_heap.h"

namespace {

constexpr long megabyte = 1024 * 1024;

// A stream of at least size bytes made by repeating unit; written once per name.
std::string make_stream(const std::string &name, const std::string &unit, long size) {
  static std::map<std::string, std::string> made;
  const std::string key = name + std::to_string(size);
  if (auto it = made.find(key); it != made.end()) return it->second;
  const std::string path = bench_dir() + "/" + key + ".src";
  std::FILE *f = std::fopen(path.c_str(), "wb");
  std::string chunk;
  while (static_cast<long>(chunk.size()) < megabyte) chunk += unit;
  for (long written = 0; written < size; written += static_cast<long>(chunk.size()))
    std::fwrite(chunk.data(), 1, chunk.size(), f);
  std::fclose(f);
  return made[key] = path;
}

long file_size(const std::string &path) {
  struct stat info{};
  return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : 0;
}

long peak_rss_kb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// One conversion of source: the writer removes its intermediate file, so each
// run gets a fresh hard link to the generated stream.
int convert_once(const std::string &source, void *(*allocate)(std::size_t) = nullptr,
                 void (*release)(void *) = nullptr) {
  const std::string icf = bench_dir() + "/run.icf";
  unlink(icf.c_str());
  if (link(source.c_str(), icf.c_str()) != 0) std::abort();
  std::string target = bench_dir() + "/out.html";
  std::string icf_name = icf;
  std::string levels = "5";
  std::string quiet = "N";
  char *words[] = {quiet.data(), nullptr};
  const int code = MainEntryPoint(target.data(), icf_name.data(), levels.data(), words, allocate, release);
  GlobalShutDown();
  RemoveTempFiles();
  RemovePurgeableFiles();
  KIVFreeAll();
  return code;
}

void run_conversion(benchmark::State &state, const std::string &source) {
  const long bytes = file_size(source);
  for (auto _ : state) {
    if (convert_once(source) != 0) state.SkipWithError("conversion failed");
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["peak_rss_kb"] = static_cast<double>(peak_rss_kb());
}

// Words of plain text with a line break now and then.
const std::string plain_unit =
    "The quick brown fox jumps over the lazy dog while the writer copies every byte. ";
// A formatting code about every 12 bytes.
const std::string code_dense_unit = "word \x1b\x1d" "BBT\x1e" "bold \x1b\x1d" "EBT\x1e" "text\x1b\x1d" "TAB\x1e";

// A code of the stream with its parameters.
std::string icf_code(const char *name, std::initializer_list<const char *> params = {}) {
  std::string code = "\x1b\x1d";
  code += name;
  for (const char *param : params) code += std::string(param) + "\x1f";
  return code + "\x1e";
}
// Characters outside ASCII every few bytes: named characters with their
// substitutes, and runs of hexadecimal character codes.
const std::string entity_unit = "caf" + icf_code("XCS", {"819", "E9"}) + "e na" + icf_code("UCS", {"8B"}) + "ve Stra" +
                                icf_code("HEX", {"E1"}) + "e " + icf_code("XCS", {"9998", "61"}) + "a " +
                                icf_code("UCS", {"82", "8A", "85", "E6"}) + " 20" + icf_code("XCS", {"819", "B1"}) +
                                "+1" + icf_code("NBR") + icf_code("XCS", {"819", "97"}) + "- ";
// Attribute and font changes every few words, so tags are closed and reopened
// around FONT tags all the time.
const std::string formatting_unit =
    "some " + icf_code("BBT") + "bold words " + icf_code("ITO") + "and italic " +
    icf_code("SPF", {"0", "0", "10", "0", "320", "Arial"}) + "in Arial " + icf_code("EBT") + "not bold " +
    icf_code("BCL", {"0", "200", "0", "0"}) + "red " + icf_code("ITF") + icf_code("BUL") + "under " + icf_code("ECL") +
    icf_code("SPF", {"0", "0", "10", "0", "240", "Times New Roman"}) + "lined " + icf_code("EUL") + "plain " +
    icf_code("HNL");

// Tables of ten rows of three cells, each cell reopening the FONT tag, and a
// column layout of two columns broken four times.
const std::string table_unit = [] {
  std::string unit = icf_code("SHD", {"4", "20", "FF", "00", "00"}) + icf_code("CDS", {"28", "3", "1440", "2880", "4320"});
  for (int row = 0; row < 10; ++row) {
    unit += icf_code("BRO", {"0", "0", "300", "1"});
    unit += icf_code("BCO", {"1", "1", "1", "0", "0", "0", "0"}) + "first cell & text ";
    unit += icf_code("BCO", {"2", "1", "1", "0", "3", "0", "2"}) + "12.50 ";
    unit += icf_code("BCO", {"3", "2", "1", "0", "1", "0", "1"}) + "a longer cell of running text ";
  }
  unit += icf_code("ECM") + icf_code("CDS", {"0", "2"});
  for (int column = 0; column < 4; ++column) unit += "newspaper column text " + icf_code("HCB");
  return unit + icf_code("ECM") + "between tables " + icf_code("HNL");
}();
// A footnote every few words, an endnote and a header now and then: the
// notes are collected in temporary buffers that spill to disk.
const std::string note_unit = "Text with a note" + icf_code("FTN", {"1"}) + "The note's own text, a sentence long." +
                              icf_code("EFN") + " and more " + icf_code("FNT", {"2", "00", "07"}) + "An endnote." +
                              icf_code("EFT") + " words " + icf_code("HF2") + "Page head" + icf_code("HFX") +
                              " then a mark" + icf_code("FNT", {"1", "2", "2A"}) + "Starred." + icf_code("EFN") + ". ";

void BM_PlainText(benchmark::State &state) {
  run_conversion(state, make_stream("plain", plain_unit, state.range(0) * megabyte));
}
void BM_EntityHeavy(benchmark::State &state) {
  run_conversion(state, make_stream("entities", entity_unit, state.range(0) * megabyte));
}
void BM_FormattingHeavy(benchmark::State &state) {
  run_conversion(state, make_stream("formatting", formatting_unit, state.range(0) * megabyte));
}
void BM_TableHeavy(benchmark::State &state) {
  run_conversion(state, make_stream("tables", table_unit, state.range(0) * megabyte));
}
void BM_NoteHeavy(benchmark::State &state) {
  run_conversion(state, make_stream("notes", note_unit, state.range(0) * megabyte));
}
void BM_CodeDense(benchmark::State &state) {
  run_conversion(state, make_stream("dense", code_dense_unit, state.range(0) * megabyte));
}

// Peak of the library's heap while converting a stream of the given size,
// through allocator hooks that count bytes: constant memory means the same
// figure for 1 MB and 64 MB. (The whole icf2html process, measured with
// /usr/bin/time, adds only the program and the C and C++ runtimes.)
using bench_support::counting_allocate;
using bench_support::counting_release;
using bench_support::heap_now;
using bench_support::heap_peak;

void BM_LibraryPeakHeap(benchmark::State &state) {
  const std::string source = make_stream("plain", plain_unit, state.range(0) * megabyte);
  for (auto _ : state) {
    heap_now = heap_peak = 0;
    if (convert_once(source, counting_allocate, counting_release) != 0) state.SkipWithError("conversion failed");
  }
  state.counters["library_peak_heap_kb"] = static_cast<double>(heap_peak) / 1024.0;
}

// The least a converter must do: read, escape &, < and >, write.
void BM_BaselineEscapeLoop(benchmark::State &state) {
  const std::string source = make_stream("plain", plain_unit, state.range(0) * megabyte);
  const std::string target = bench_dir() + "/baseline.html";
  std::vector<unsigned char> in(65536);
  std::vector<unsigned char> out(65536 * 5);
  for (auto _ : state) {
    const int src = open(source.c_str(), O_RDONLY);
    const int dst = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t n;
    while ((n = read(src, in.data(), in.size())) > 0) {
      std::size_t o = 0;
      for (ssize_t i = 0; i < n; ++i) {
        const unsigned char c = in[static_cast<std::size_t>(i)];
        if (c == '&') { std::memcpy(&out[o], "&amp;", 5); o += 5; }
        else if (c == '<') { std::memcpy(&out[o], "&lt;", 4); o += 4; }
        else if (c == '>') { std::memcpy(&out[o], "&gt;", 4); o += 4; }
        else out[o++] = c;
      }
      if (write(dst, out.data(), o) != static_cast<ssize_t>(o)) std::abort();
    }
    close(src);
    close(dst);
  }
  state.SetBytesProcessed(state.iterations() * file_size(source));
}

}  // namespace

// The 1 MB runs come first, so the 64 MB run shows whether the peak grew.
BENCHMARK(BM_PlainText)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainText)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EntityHeavy)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FormattingHeavy)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TableHeavy)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_NoteHeavy)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CodeDense)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LibraryPeakHeap)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BaselineEscapeLoop)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
