// Whole conversions through MainEntryPoint on generated streams of each kind,
// written to a tmpfs folder, each paired with a minimal read-escape-write loop
// over a plain stream of the same size in the same iteration: the share of
// that loop is what the conversion reaches of the physical limit. Every run
// happens in a child process, so the figures are the child's own CPU time and
// peak resident size (other load on the machine does not count), and the peak
// of the library's heap comes from counting allocator hooks.
//
//   build/release/bench/bench_conversion [--benchmark_filter=...]
//   build/release/bench/bench_conversion --write_outputs=DIR [--size_mb=N] [--kind=NAME]
//
// The second form converts each kind's stream of N MB (default 4) without
// timing and leaves DIR/<kind>.icf and DIR/<kind>.html, so that the output of
// two builds can be compared byte for byte (bench/compare_outputs.sh). With
// --kind only that kind is converted ("escape" runs the escape loop over the
// plain stream instead), which is what a profiler is pointed at.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <icf2html.h>

#include "bench_folder.h"

namespace {

constexpr long megabyte = 1024 * 1024;

// Writes a stream of at least size bytes made by repeating unit to path.
void write_stream(const std::string &path, const std::string &unit, long size) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::string chunk;
  while (static_cast<long>(chunk.size()) < megabyte) chunk += unit;
  for (long written = 0; written < size; written += static_cast<long>(chunk.size()))
    std::fwrite(chunk.data(), 1, chunk.size(), f);
  std::fclose(f);
}

// The stream of a kind and size in the benchmark folder, written once.
std::string make_stream(const std::string &name, const std::string &unit, long size) {
  static std::map<std::string, std::string> made;
  const std::string key = name + std::to_string(size);
  if (auto it = made.find(key); it != made.end()) return it->second;
  const std::string path = bench_dir() + "/" + key + ".src";
  write_stream(path, unit, size);
  return made[key] = path;
}

long file_size(const std::string &path) {
  struct stat info{};
  return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : 0;
}

// Peak of the library's heap, through allocator hooks that count bytes.
std::size_t heap_now = 0;
std::size_t heap_peak = 0;

void *counting_allocate(std::size_t n) {
  auto *block = static_cast<std::size_t *>(std::malloc(n + sizeof(std::max_align_t)));
  if (!block) return nullptr;
  *block = n;
  heap_now += n;
  heap_peak = std::max(heap_peak, heap_now);
  return reinterpret_cast<unsigned char *>(block) + sizeof(std::max_align_t);
}

void counting_release(void *p) {
  if (!p) return;
  auto *block = reinterpret_cast<std::size_t *>(static_cast<unsigned char *>(p) - sizeof(std::max_align_t));
  heap_now -= *block;
  std::free(block);
}

// One conversion of source into target: the writer removes its intermediate
// file, so each run gets a fresh hard link to the stream (a copy when the
// stream is on another file system).
int convert_once(const std::string &source, const std::string &target) {
  const std::string icf = bench_dir() + "/run.icf";
  unlink(icf.c_str());
  if (link(source.c_str(), icf.c_str()) != 0 && !std::filesystem::copy_file(source, icf)) std::abort();
  std::string target_name = target;
  std::string icf_name = icf;
  std::string levels = "5";
  std::string quiet = "N";
  char *words[] = {quiet.data(), nullptr};
  const int code =
      MainEntryPoint(target_name.data(), icf_name.data(), levels.data(), words, counting_allocate, counting_release);
  GlobalShutDown();
  RemoveTempFiles();
  RemovePurgeableFiles();
  KIVFreeAll();
  return code;
}

// The least a converter must do: read, escape &, < and >, write.
int escape_loop(const std::string &source, const std::string &target) {
  std::vector<unsigned char> in(65536);
  std::vector<unsigned char> out(65536 * 5);
  const int src = open(source.c_str(), O_RDONLY);
  const int dst = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (src < 0 || dst < 0) return 1;
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
  return 0;
}

// What a child process reports: its CPU time (user and system), its peak
// resident size and the library's heap peak.
struct ChildRun {
  double cpu_seconds = 0;
  long peak_rss_kb = 0;
  std::size_t heap_peak = 0;
  bool ok = false;
};

struct SharedPage {
  int code;
  std::size_t heap_peak;
};

template <typename Work>
ChildRun in_child(Work work) {
  static auto *shared = static_cast<SharedPage *>(
      mmap(nullptr, sizeof(SharedPage), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  if (shared == MAP_FAILED) std::abort();
  shared->code = -1;
  const pid_t pid = fork();
  if (pid < 0) std::abort();
  if (pid == 0) {
    heap_now = heap_peak = 0;
    shared->code = work();
    shared->heap_peak = heap_peak;
    _exit(0);  // no exit handlers: the folder belongs to the parent
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) std::abort();
  ChildRun run;
  run.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.peak_rss_kb = usage.ru_maxrss;
  run.heap_peak = shared->heap_peak;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && shared->code == 0;
  return run;
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

// Mixed documents, written apart from the kinds above with other mixes of
// codes, to see that no kind's figure depends on one generator's pattern.
// A report: justified and centred paragraphs, headings by size, roman-numbered
// footnotes with formatting inside, characters outside ASCII, comments.
const std::string report_unit =
    icf_code("BCA") + icf_code("SPF", {"0", "0", "0", "0", "400", "Helvetica"}) + icf_code("BBT") +
    "Chapter heading" + icf_code("EBT") + icf_code("HNL") + icf_code("ERJ") + icf_code("BRJ") +
    icf_code("SPF", {"0", "0", "0", "0", "220", "Times Roman"}) + "The results in section " +
    icf_code("FNI", {"0", "0", "4"}) + "two show" + icf_code("FTN", {"3"}) + "See " + icf_code("ITO") +
    "the appendix" + icf_code("ITF") + " for the data & methods." + icf_code("EFN") + " that the na" +
    icf_code("XCS", {"819", "EF"}) + "ve model < the full one " + "\x1b\x1d" "CMT" "check this\x1e" +
    "by 3" + icf_code("XCS", {"819", "B0"}) + icf_code("TAB") + "in 97" + icf_code("UCS", {"25"}) + " of runs." +
    icf_code("HNL") + icf_code("SLG", {"1031"}) + "Ein Satz auf Deutsch, gr" + icf_code("XCS", {"819", "FC"}) +
    "n und sch" + icf_code("XCS", {"819", "F6"}) + "n." + icf_code("SLG", {"1033"}) + icf_code("HNL");
// A letter: header and footer on every page, short lines, tabs, colours,
// underline and superscripts, endnotes numbered by hand.
const std::string letter_unit =
    icf_code("HF2") + icf_code("BRA") + "Ref. 42/7" + icf_code("HFX") + icf_code("HF1") + icf_code("BCA") + "page " +
    icf_code("PPN") + icf_code("HFX") + "Dear Sir or Madam," + icf_code("HNL") + icf_code("HNL") + "thank you" +
    icf_code("TAB") + icf_code("TAB") + "for your letter of the 3" + icf_code("SPS") + "rd" + icf_code("EPS") +
    " which " + icf_code("BCL", {"0", "0", "0", "255"}) + "arrived" + icf_code("ECL") + " today" +
    icf_code("FNT", {"2", "00", "01"}) + "Received at 9" + icf_code("SBS") + "h" + icf_code("EBS") + "." +
    icf_code("EFT") + "; " + icf_code("BUL") + "please note" + icf_code("EUL") + " the new address." + icf_code("SNL") +
    "Yours faithfully" + icf_code("HNL") + icf_code("HNP");
// Notes standing in table cells, a note inside a note, and a header with
// formatting: sub-documents and table markup interleaved.
const std::string notes_in_tables_unit = [] {
  std::string unit = icf_code("CDS", {"8", "2", "2880", "5760"});
  for (int row = 0; row < 4; ++row) {
    unit += icf_code("BRO", {"0", "0", "0", "0"});
    unit += icf_code("BCO", {"1", "1", "1", "0", "2", "0", "0"}) + "item" + icf_code("FTN", {"9"}) + "Item note " +
            icf_code("BBT") + "bold" + icf_code("EBT") + icf_code("FNT", {"0", "00", "02"}) + "inner" +
            icf_code("EFN") + " outer." + icf_code("EFN");
    unit += icf_code("BCO", {"2", "1", "1", "0", "3", "0", "1"}) + "1,250.00";
  }
  unit += icf_code("ECM") + icf_code("HF2") + icf_code("ITO") + "Quarterly" + icf_code("ITF") + " figures" +
          icf_code("HFX") + "Text between the tables, with a " + icf_code("XRF", {"4", "1", "target", ""}) + "link" +
          icf_code("XRF", {"5", "0", "", ""}) + "." + icf_code("HNL");
  return unit;
}();

struct Kind {
  const char *name;
  const std::string *unit;
};

const Kind kinds[] = {
    {"plain", &plain_unit},           {"entities", &entity_unit},
    {"formatting", &formatting_unit}, {"tables", &table_unit},
    {"notes", &note_unit},            {"dense", &code_dense_unit},
    {"mixed-report", &report_unit},   {"mixed-letter", &letter_unit},
    {"mixed-notes-in-tables", &notes_in_tables_unit},
};

// Each iteration converts the kind's stream and runs the escape loop over a
// plain stream of the same size, both in child processes; the iteration time
// is the conversion's CPU time.
void run_kind(benchmark::State &state, const Kind &kind) {
  const long size = state.range(0) * megabyte;
  const std::string source = make_stream(kind.name, *kind.unit, size);
  const std::string plain = make_stream("plain", plain_unit, size);
  const long bytes = file_size(source);
  const long plain_bytes = file_size(plain);
  const std::string target = bench_dir() + "/out.html";
  const std::string baseline = bench_dir() + "/baseline.html";
  double conversion_seconds = 0;
  double escape_seconds = 0;
  long peak_rss_kb = 0;
  std::size_t peak_heap = 0;
  for (auto _ : state) {
    const ChildRun conversion = in_child([&] { return convert_once(source, target); });
    const ChildRun escape = in_child([&] { return escape_loop(plain, baseline); });
    if (!conversion.ok || !escape.ok) {
      state.SkipWithError("conversion failed");
      break;
    }
    state.SetIterationTime(conversion.cpu_seconds);
    conversion_seconds += conversion.cpu_seconds;
    escape_seconds += escape.cpu_seconds;
    peak_rss_kb = std::max(peak_rss_kb, conversion.peak_rss_kb);
    peak_heap = std::max(peak_heap, conversion.heap_peak);
  }
  const double iterations = static_cast<double>(state.iterations());
  const double conversion_rate = static_cast<double>(bytes) * iterations / megabyte / conversion_seconds;
  const double escape_rate = static_cast<double>(plain_bytes) * iterations / megabyte / escape_seconds;
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["MB/s"] = conversion_rate;
  state.counters["escape_MB/s"] = escape_rate;
  state.counters["share"] = conversion_rate / escape_rate;
  state.counters["peak_rss_kb"] = static_cast<double>(peak_rss_kb);
  state.counters["heap_kb"] = static_cast<double>(peak_heap) / 1024.0;
  // HTML bytes per stream byte: the escape loop writes about one, and every
  // byte written beyond that is work the loop does not do.
  state.counters["out_per_in"] = static_cast<double>(file_size(target)) / static_cast<double>(bytes);
}

// Converts every kind's stream of size_mb MB into dir, untimed. The targets
// are named relative to dir, since the document head holds the target's name.
int write_outputs(const std::string &dir, long size_mb, std::string_view only) {
  std::filesystem::create_directories(dir);
  if (chdir(dir.c_str()) != 0) return 1;
  if (only == "escape") {
    write_stream("plain.icf", plain_unit, size_mb * megabyte);
    return escape_loop("plain.icf", "escape.html");
  }
  for (const Kind &kind : kinds) {
    if (!only.empty() && only != kind.name) continue;
    const std::string stream = std::string(kind.name) + ".icf";
    write_stream(stream, *kind.unit, size_mb * megabyte);
    const int code = convert_once(std::filesystem::absolute(stream), std::string(kind.name) + ".html");
    std::printf("%s: exit code %d\n", kind.name, code);
    if (code != 0) return 1;
  }
  return 0;
}

void register_benchmarks() {
  for (const Kind &kind : kinds) {
    const std::string name = std::string("BM_Conversion/") + kind.name;
    // 1 MB first: the peaks of 1 MB and 64 MB side by side show whether memory grows.
    benchmark::RegisterBenchmark(name.c_str(), run_kind, kind)
        ->Arg(1)->Arg(64)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
  }
  // One run of 1 GB: notes, whose four buffers spill to disk, are where memory
  // would grow if anything did.
  benchmark::RegisterBenchmark("BM_Conversion/notes", run_kind, kinds[4])
      ->Arg(1024)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char **argv) {
  std::string outputs;
  std::string only;
  long size_mb = 4;
  std::vector<char *> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--write_outputs=")) outputs = std::string(arg.substr(16));
    else if (arg.starts_with("--size_mb=")) size_mb = std::atol(argv[i] + 10);
    else if (arg.starts_with("--kind=")) only = std::string(arg.substr(7));
    else rest.push_back(argv[i]);
  }
  if (!outputs.empty()) return write_outputs(outputs, size_mb > 0 ? size_mb : 4, only);
  int count = static_cast<int>(rest.size());
  register_benchmarks();
  benchmark::Initialize(&count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
