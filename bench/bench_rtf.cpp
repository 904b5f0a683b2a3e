// RTF to HTML end to end on generated RTF documents of 10 MB and 50 MB:
// icf2html on the RTF file (it starts the reader program w019funx, whose
// stream goes down a pipe to the writer), against unrtf --html on the same
// file in the same run; and the reader program alone, writing its stream to
// /dev/null. Counters: MB/s of RTF, the peak resident memory of the
// processes (for icf2html the larger of icf2html and its reader) and their
// processor time per run (icf2html's with its reader's).
//
//   build/release/bench/bench_rtf [--benchmark_filter=...]
//
// The programs are looked up beside this benchmark (../tools) and unrtf along
// the search path; a missing unrtf skips its runs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_folder.h"

namespace {

constexpr long megabyte = 1024 * 1024;

std::string tools_dir() {
  return (std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "tools").string();
}

// One page of an ordinary word-processor document: styled runs, accented
// letters in the code page, Unicode characters, a small table, a link and a
// footnote.
const char *const page =
    "\\pard\\plain\\qj\\f0\\fs24 The northern basin was surveyed over three weeks. {\\b Bold findings} and "
    "{\\i italic caveats} with {\\ul underlined actions}; caf\\'e9 na\\'efve \\u945?\\u946? \\u1044?\\u1086? "
    "{\\f1\\cf2 coloured monospaced text} and more ordinary words to fill the line of the page.\\par\n"
    "\\pard\\plain\\f0\\fs24 See {\\field{\\*\\fldinst HYPERLINK \"https://example.org/tides\"}{\\fldrslt tide "
    "tables}} and a note{\\super\\chftn}{\\footnote\\pard\\plain\\fs20{\\super\\chftn} Measured at dawn.}.\\par\n"
    "\\trowd\\trgaph108\\clbrdrt\\brdrs\\cellx3000\\clbrdrt\\brdrs\\cellx6000\\pard\\intbl East quay\\cell "
    "4.6\\cell\\row\n\\trowd\\trgaph108\\clbrdrt\\brdrs\\cellx3000\\clbrdrt\\brdrs\\cellx6000\\pard\\intbl "
    "West quay\\cell 4.4\\cell\\row\n\\pard\\plain\\f0\\fs24 A closing paragraph of plain text follows the table "
    "and ends the page with a few more words than the others have.\\par\n";

std::string make_rtf(long size) {
  static std::map<long, std::string> made;
  if (auto it = made.find(size); it != made.end()) return it->second;
  const std::string path = bench_dir() + "/doc" + std::to_string(size / megabyte) + ".rtf";
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::fputs("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fmodern Courier "
             "New;}}{\\colortbl;\\red0\\green0\\blue0;\\red192\\green0\\blue0;}{\\info{\\title Generated}}\n", f);
  long written = 0;
  const std::string unit = page;
  while (written < size) {
    std::fwrite(unit.data(), 1, unit.size(), f);
    written += static_cast<long>(unit.size());
  }
  std::fputs("}\n", f);
  std::fclose(f);
  made[size] = path;
  return path;
}

// What a program used: peak resident memory in KB (-1 when it failed) and
// processor time, user and system, in seconds (its children's included).
struct Usage {
  long peak_kb = -1;
  double cpu_seconds = 0;
};

// How a program is started. Spawned, its time does not include a copy of
// this process's page tables, which a fork makes; but its peak memory then
// starts at this process's resident size, as it ran in this process's memory
// until its exec. Forked, its peak is its own.
enum class Start { spawned, forked };

pid_t start(std::vector<char *> &argv, const std::string &stdout_file, Start how) {
  if (how == Start::forked) {
    const pid_t child = fork();
    if (child == 0) {
      if (!stdout_file.empty() && !std::freopen(stdout_file.c_str(), "wb", stdout)) _exit(127);
      if (!std::freopen("/dev/null", "wb", stderr)) _exit(127);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    return child;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!stdout_file.empty())
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  const int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? child : -1;
}

// Runs a program to its end.
Usage run(const std::vector<std::string> &arguments, const std::string &stdout_file, Start how) {
  std::vector<char *> argv;
  for (const std::string &a : arguments) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t child = start(argv, stdout_file, how);
  int status = 0;
  rusage usage{};
  if (child == -1 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return {};
  const auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return {usage.ru_maxrss, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

// Runs the program once per iteration on a document of the benchmark's size
// (the RTF file's name stands for "{rtf}" among the arguments) and reports
// bytes per second, the program's peak resident memory and its processor
// time per run (less disturbed than the clock on a shared machine). Timed
// runs are spawned; the peak comes from one more run, forked, after them (a
// program timed once is forked then: a fork's cost is lost in its time).
// Every run writes a new output file, as a first conversion does: the last
// run's output is removed while the clock stands (freeing the pages of a
// large file costs about a millisecond here, in whichever program replaces it).
void time_program(benchmark::State &state, std::vector<std::string> arguments, const std::string &output,
                  const std::string &stdout_file, const char *failure) {
  const long size = state.range(0) * megabyte;
  const std::string rtf = make_rtf(size);
  for (std::string &a : arguments)
    if (a == "{rtf}") a = rtf;
  const bool timed_once = state.max_iterations == 1;
  long peak = 0;
  double cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!output.empty()) unlink(output.c_str());
    state.ResumeTiming();
    const Usage used = run(arguments, stdout_file, timed_once ? Start::forked : Start::spawned);
    if (used.peak_kb < 0) {
      state.SkipWithError(failure);
      return;
    }
    peak = used.peak_kb;
    cpu += used.cpu_seconds;
  }
  if (!timed_once) peak = run(arguments, stdout_file, Start::forked).peak_kb;
  state.SetBytesProcessed(state.iterations() * size);
  state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024.0;
  state.counters["cpu_ms"] = cpu * 1000.0 / static_cast<double>(state.iterations());
}

void BM_Ours(benchmark::State &state) {
  const std::string output = bench_dir() + "/ours.html";
  time_program(state, {tools_dir() + "/icf2html", "{rtf}", output}, output, "", "the conversion failed");
}

void BM_ReaderAlone(benchmark::State &state) {
  time_program(state, {tools_dir() + "/w019funx", "{rtf}", "-t=stdout", "-v1", "-n"}, "", "/dev/null", "the reader failed");
}

void BM_Unrtf(benchmark::State &state) {
  const std::string output = bench_dir() + "/unrtf.html";
  time_program(state, {"unrtf", "--html", "{rtf}"}, output, output, "unrtf is missing or failed");
}

BENCHMARK(BM_Ours)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_ReaderAlone)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_Unrtf)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
