// Batches of 10,000 small documents: icf2html --batch with 1 and 2 workers,
// beside the machine's ceiling measured in the same run (one and two processes
// calling MainEntryPoint directly, side by side) and a direct call in this
// process, which sets the cost per document that the batch adds to.
//
//   [ICF_BENCH_DOCUMENTS=N] build/release/bench/bench_batch [--benchmark_filter=...]
// Speed-up of the batch = Batch/2 ÷ Batch/1; ceiling = Ceiling/2 ÷ Ceiling/1;
// the overhead per document = what Batch/1 adds to DirectCall's µs per
// document, shown as a multiple of DirectCall's (overhead_x_direct, when both
// ran in the same run; the target is at most 2). On a
// shared machine the wall clock follows the other users' load; cpu_us_per_doc
// (the processor time of every process the run waited for, per document) is
// the cost that load does not change, switches_per_doc the hand-overs between
// processes (and the waits for a processor) behind it.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <icf2html.h>

extern char **environ;

namespace {

// 10,000 unless ICF_BENCH_DOCUMENTS asks for another count (a loaded machine).
const int document_count = [] {
  const char *asked = std::getenv("ICF_BENCH_DOCUMENTS");
  return asked && std::atoi(asked) > 0 ? std::atoi(asked) : 10'000;
}();

char bench_dir_name[64];  // a plain array: still readable in the exit handler

const std::string &bench_dir() {
  static const std::string dir = [] {
    const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::snprintf(bench_dir_name, sizeof bench_dir_name, "%s/icf2html-batch-bench-XXXXXX", base);
    if (!mkdtemp(bench_dir_name)) std::abort();
    std::atexit([] { std::filesystem::remove_all(bench_dir_name); });
    return std::string(bench_dir_name);
  }();
  return dir;
}

// Small documents of a few paragraphs each, made once.
const std::vector<std::string> &documents() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> made;
    const std::string folder = bench_dir() + "/docs";
    std::filesystem::create_directories(folder);
    for (int i = 0; i < document_count; ++i) {
      made.push_back(folder + "/doc" + std::to_string(i) + ".icf");
      std::FILE *f = std::fopen(made.back().c_str(), "wb");
      std::fprintf(f, "\x1b\x1d" "DID1\x1f\x1e" "Document %d: a short note with \x1b\x1d" "BBT\x1e" "bold\x1b\x1d"
                   "EBT\x1e words & <marks>.\x1b\x1dHNL\x1e" "A second paragraph follows here.", i);
      std::fclose(f);
    }
    return made;
  }();
  return names;
}

std::string fresh_folder(const char *name) {
  const std::string folder = bench_dir() + "/" + name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

// What any host does per document: a private link to the intermediate file
// (the library removes it), the call, and the shutdown calls; with the word
// UNTRUSTED, so that the page is the one the batch writes.
void convert_directly(std::size_t first, std::size_t step, const std::string &out) {
  const auto &docs = documents();
  char levels[] = "5", no_bar[] = "N", untrusted[] = "UNTRUSTED";
  char *words[] = {no_bar, untrusted, nullptr};
  for (std::size_t i = first; i < docs.size(); i += step) {
    std::string copy = out + "/in" + std::to_string(i) + ".icf";
    std::string page = out + "/doc" + std::to_string(i) + ".html";
    if (link(docs[i].c_str(), copy.c_str()) != 0) std::abort();
    if (MainEntryPoint(page.data(), copy.data(), levels, words, nullptr, nullptr) != 0) std::abort();
    GlobalShutDown();
    RemoveTempFiles();
    RemovePurgeableFiles();
    KIVFreeAll();
  }
}

// Processor seconds, user and system, and context switches, of this process
// or of the children it waited for.
struct Usage {
  double cpu = 0;
  double switches = 0;
  Usage operator-(const Usage &before) const { return {cpu - before.cpu, switches - before.switches}; }
  Usage &operator+=(const Usage &more) {
    cpu += more.cpu;
    switches += more.switches;
    return *this;
  }
};

Usage usage_of(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return {static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6,
          static_cast<double>(usage.ru_nvcsw + usage.ru_nivcsw)};
}

void report(benchmark::State &state, const Usage &used) {
  state.SetItemsProcessed(state.iterations() * document_count);
  const double documents = static_cast<double>(state.iterations()) * document_count;
  state.counters["us_per_doc"] = benchmark::Counter(documents * 1e-6, benchmark::Counter::kIsRate |
                                                                          benchmark::Counter::kInvert);
  state.counters["cpu_us_per_doc"] = used.cpu * 1e6 / documents;
  // Every hand-over between processes costs a switch: the batch's own cost beside the conversion's.
  state.counters["switches_per_doc"] = used.switches / documents;
}

// DirectCall's wall clock per document in this run, for the batch's overhead; 0 until it ran.
double direct_seconds_per_doc = 0;

void BM_DirectCall(benchmark::State &state) {
  documents();
  Usage used;
  std::chrono::steady_clock::duration spent{};
  for (auto _ : state) {
    const std::string out = fresh_folder("direct");
    const Usage before = usage_of(RUSAGE_SELF);
    const auto started = std::chrono::steady_clock::now();
    convert_directly(0, 1, out);
    spent += std::chrono::steady_clock::now() - started;
    used += usage_of(RUSAGE_SELF) - before;
  }
  report(state, used);
  direct_seconds_per_doc = std::chrono::duration<double>(spent).count() / (static_cast<double>(state.iterations()) * document_count);
}

// N processes side by side, each converting every Nth document directly.
void BM_Ceiling(benchmark::State &state) {
  documents();
  const auto processes = static_cast<std::size_t>(state.range(0));
  const Usage before = usage_of(RUSAGE_CHILDREN);
  for (auto _ : state) {
    const std::string out = fresh_folder("ceiling");
    std::vector<pid_t> children;
    for (std::size_t p = 0; p < processes; ++p) {
      const pid_t child = fork();
      if (child == 0) {
        convert_directly(p, processes, out);
        _exit(0);
      }
      children.push_back(child);
    }
    for (const pid_t child : children) waitpid(child, nullptr, 0);
  }
  report(state, usage_of(RUSAGE_CHILDREN) - before);
}

void BM_Batch(benchmark::State &state) {
  documents();
  const std::string jobs = std::to_string(state.range(0));
  const Usage before = usage_of(RUSAGE_CHILDREN);
  std::chrono::steady_clock::duration spent{};
  for (auto _ : state) {
    const std::string out = fresh_folder("batch");
    const auto started = std::chrono::steady_clock::now();
    std::string program = ICF2HTML_PROGRAM, batch = "--batch", jobs_flag = "--jobs", docs = bench_dir() + "/docs";
    std::string jobs_value = jobs, out_value = out;
    char *arguments[] = {program.data(), batch.data(), out_value.data(), jobs_flag.data(), jobs_value.data(),
                         docs.data(), nullptr};
    pid_t child = 0;
    int status = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, arguments, environ) != 0) std::abort();
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the batch failed");
    spent += std::chrono::steady_clock::now() - started;
  }
  report(state, usage_of(RUSAGE_CHILDREN) - before);
  if (state.range(0) == 1 && direct_seconds_per_doc > 0) {
    const double batch = std::chrono::duration<double>(spent).count() / (static_cast<double>(state.iterations()) * document_count);
    state.counters["overhead_x_direct"] = (batch - direct_seconds_per_doc) / direct_seconds_per_doc;
  }
}

BENCHMARK(BM_DirectCall)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_Ceiling)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_Batch)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
