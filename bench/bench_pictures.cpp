// Pictures per second through the converter programs built beside the tools:
// documents of N pictures of about 100 KB each, as IGR codes naming a JPEG file
// (recognised, no conversion) and as PDS + PCT codes whose PNG data each become
// a JPEG file. Counters: pictures per second, the share of the run's time spent
// in converter processes (their CPU time over the wall time: the library waits
// while a converter runs), and the peak of the library's heap, which must not
// grow with N.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <icf2html.h>

#include "counting_heap.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t picture_bytes = 100 * 1024;

const std::string &converters() {
  static const std::string dir = std::string(ICF_CONVERTERS_DIR) + "/";
  return dir;
}

using bench_support::counting_allocate;
using bench_support::counting_release;
using bench_support::heap_now;
using bench_support::heap_peak;

// The folder of the runs, removed at exit.
char work_name[] = "/tmp/icf2html-bench-pictures-XXXXXX";

const fs::path &work() {
  static const fs::path dir = [] {
    if (const char *tmp = std::getenv("BENCH_DIR")) {
      std::snprintf(work_name, sizeof work_name, "%s", tmp);
      fs::create_directories(work_name);
    } else if (!mkdtemp(work_name)) {
      std::abort();
    }
    std::atexit([] { fs::remove_all(work_name); });
    return fs::path(work_name);
  }();
  return dir;
}

void write_file(const fs::path &name, const std::string &bytes) {
  std::FILE *f = std::fopen(name.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string read_file(const fs::path &name) {
  std::string bytes(fs::file_size(name), '\0');
  std::FILE *f = std::fopen(name.c_str(), "rb");
  if (!f || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
  return bytes;
}

void run_converter(const std::string &name, const fs::path &foreign, const fs::path &intermediate) {
  const std::string command = converters() + name + " " + foreign.string() + " -t=" + intermediate.string() + " -v0 -n";
  if (std::system(command.c_str()) != 0) std::abort();
}

// A noisy picture whose PNG and JPEG forms are each about 100 KB.
struct Pictures {
  std::string png;
  fs::path jpeg;
};

const Pictures &pictures() {
  static const Pictures made = [] {
    std::mt19937 random(42);
    const auto make = [&](int width, int height, int spread) {
      std::string bmp = "BM" + std::string(52, '\0');
      const int stride = (width * 3 + 3) / 4 * 4;
      const std::uint32_t size = 54 + stride * height;
      for (int i = 0; i < 4; ++i) bmp[2 + i] = static_cast<char>(size >> (8 * i));
      bmp[10] = 54, bmp[14] = 40, bmp[26] = 1, bmp[28] = 24;
      for (int i = 0; i < 4; ++i) bmp[18 + i] = static_cast<char>(width >> (8 * i)), bmp[22 + i] = static_cast<char>(height >> (8 * i));
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width * 3; ++x) bmp += static_cast<char>((x * 7 + y * 3) % 256 + random() % spread);
        bmp.append(static_cast<std::size_t>(stride - width * 3), '\0');
      }
      return bmp;
    };
    Pictures p;
    write_file(work() / "noise.bmp", make(220, 200, 48));
    run_converter("g513funx", work() / "noise.bmp", work() / "noise.png");
    p.png = read_file(work() / "noise.png");
    write_file(work() / "photo.bmp", make(410, 310, 64));
    run_converter("g513funx", work() / "photo.bmp", work() / "photo.png");
    p.jpeg = work() / "photo.jpg";
    run_converter("g521tunx", p.jpeg, work() / "photo.png");
    return p;
  }();
  return made;
}

void clear_outputs() {
  for (const auto &entry : fs::directory_iterator(work())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("GR", 0) == 0 || name.rfind("out", 0) == 0) fs::remove(entry.path());
  }
}

double cpu_seconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double children_cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void convert_document(benchmark::State &state, const std::string &stream, int count) {
  const fs::path source = work() / "source.icf";
  double wall = 0, children = 0, own = 0;
  for (auto _ : state) {
    state.PauseTiming();
    clear_outputs();
    write_file(work() / "in.icf", stream);
    state.ResumeTiming();
    heap_now = heap_peak = 0;
    std::string target = (work() / "out.html").string();
    std::string icf = (work() / "in.icf").string();
    std::string levels = "5";
    std::string folder = "E=" + converters();
    std::string quiet = "N";
    char *words[] = {folder.data(), quiet.data(), nullptr};
    const double children_before = children_cpu_seconds();
    const double own_before = cpu_seconds(RUSAGE_SELF);
    const auto start = std::chrono::steady_clock::now();
    const int code = MainEntryPoint(target.data(), icf.data(), levels.data(), words, counting_allocate, counting_release);
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    children += children_cpu_seconds() - children_before;
    own += cpu_seconds(RUSAGE_SELF) - own_before;
    GlobalShutDown();
    RemoveTempFiles();
    RemovePurgeableFiles();
    KIVFreeAll();
    if (code != 0) state.SkipWithError("conversion failed");
  }
  // On a shared machine the wall time includes waiting for a core; the CPU
  // times per picture say what the work costs.
  const double pictures = static_cast<double>(count) * static_cast<double>(state.iterations());
  state.counters["pictures_per_s"] = wall > 0 ? pictures / wall : 0;
  state.counters["pictures_per_cpu_s"] = own + children > 0 ? pictures / (own + children) : 0;
  state.counters["library_cpu_ms_each"] = own * 1000 / pictures;
  state.counters["converter_cpu_ms_each"] = children * 1000 / pictures;
  state.counters["converter_share"] = own + children > 0 ? children / (own + children) : 0;
  state.counters["library_peak_heap_kb"] = static_cast<double>(heap_peak) / 1024.0;
  state.counters["picture_kb"] = static_cast<double>(picture_bytes) / 1024.0;
  clear_outputs();
}

void BM_IgrJpegFiles(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  std::string stream;
  for (int i = 0; i < count; ++i) stream += "text \x1b\x1dIGR" + pictures().jpeg.string() + "\x1f\x1e";
  state.counters["file_kb"] = static_cast<double>(fs::file_size(pictures().jpeg)) / 1024.0;
  convert_document(state, stream, count);
}

void BM_PctThroughConverters(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : pictures().png) hex += digits[c >> 4], hex += digits[c & 15];
  const std::string one = "text \x1b\x1dPDS0\x1f" "0\x1f" "0\x1f" "0\x1f" "0\x1f" "0\x1f\x1e\x1b\x1dPCT" + hex + "\x1f\x1e";
  std::string stream;
  stream.reserve(one.size() * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) stream += one;
  state.counters["png_kb"] = static_cast<double>(pictures().png.size()) / 1024.0;
  convert_document(state, stream, count);
}

// Baseline: the JPEG converter program alone on the same PNG, started by the shell.
void BM_ConverterProgramAlone(benchmark::State &state) {
  write_file(work() / "alone.png", pictures().png);
  const std::string command =
      converters() + "g521tunx " + (work() / "alone.jpg").string() + " -t=" + (work() / "alone.png").string() + " -v0 -n";
  const double children_before = children_cpu_seconds();
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("converter failed");
  state.counters["converter_cpu_ms_each"] =
      (children_cpu_seconds() - children_before) * 1000 / static_cast<double>(state.iterations());
}

}  // namespace

BENCHMARK(BM_ConverterProgramAlone)->Unit(benchmark::kMillisecond)->Iterations(100)->UseRealTime();
BENCHMARK(BM_IgrJpegFiles)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PctThroughConverters)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

BENCHMARK_MAIN();
