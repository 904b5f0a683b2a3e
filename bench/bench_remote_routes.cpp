// Whole conversions with every file operation carried out by a controller
// thread in this process, over pipes at record lengths of 4 KiB and 64 KiB and
// over a message queue, beside the same conversion on the local route.
//
//   build/release/bench/bench_remote_routes
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <icf2html.h>

#include "file_service.h"
#include "pipe_server.h"
#include "bench_folder.h"
#include "queue_server.h"

namespace {

constexpr long stream_bytes = 16L << 20;
constexpr int no_route = 0;
constexpr int queue_route = -1;

// Plain text with a bold word and a line break now and then.
std::string source_stream() {
  static const std::string path = [] {
    const std::string name = bench_dir() + "/source.icf";
    const std::string unit = "The quick brown fox jumps over the \x1b\x1d" "BBT\x1e" "lazy\x1b\x1d" "EBT\x1e dog. "
                             "\x1b\x1d" "HNL\x1e";
    std::string chunk;
    while (chunk.size() < (1u << 20)) chunk += unit;
    std::FILE *f = std::fopen(name.c_str(), "wb");
    for (long done = 0; done < stream_bytes; done += static_cast<long>(chunk.size()))
      std::fwrite(chunk.data(), 1, chunk.size(), f);
    std::fclose(f);
    return name;
  }();
  return path;
}

// The pipe trace goes where an isolated child's goes: nowhere.
class QuietStdout {
 public:
  QuietStdout() : saved_(dup(STDOUT_FILENO)) {
    std::fflush(stdout);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, STDOUT_FILENO);
    close(null_fd);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

// One conversion; route is no_route, queue_route or a pipe record length.
// The controller's end of the pipe route, until the converter closes it.
void serve_pipe(icf2html::FileService &files, int request_fd, int reply_fd, int record_length) {
  icf2html::PipeServer server(files, request_fd, reply_fd, record_length);
  while (server.serve_one() == icf2html::Served::answered) {
  }
}

int convert_once(int route) {
  const std::string dir = bench_dir();
  const std::string icf = dir + "/run.icf";
  unlink(icf.c_str());
  if (link(source_stream().c_str(), icf.c_str()) != 0) std::abort();
  std::vector<std::string> words = {"N"};
  icf2html::FileService files({dir, icf, icf, dir + "/", "out.html", "out"});
  int requests[2] = {-1, -1}, replies[2] = {-1, -1};
  int queue_id = -1;
  std::thread controller;
  if (route == queue_route) {
    queue_id = msgget(IPC_PRIVATE, IPC_CREAT | 0600);
    words.insert(words.end(), {"IF", "Q" + std::to_string(queue_id)});
    controller = std::thread([&] { icf2html::QueueServer(files, queue_id).serve_all(); });
  } else if (route != no_route) {
    if (pipe2(requests, O_CLOEXEC) != 0 || pipe2(replies, O_CLOEXEC) != 0) std::abort();
    words.insert(words.end(), {"INP=" + std::to_string(replies[0]), "OUTP=" + std::to_string(requests[1]),
                               "BP=" + std::to_string(route)});
    controller = std::thread(serve_pipe, std::ref(files), requests[0], replies[1], route);
  }
  std::vector<char *> option_words;
  for (std::string &word : words) option_words.push_back(word.data());
  option_words.push_back(nullptr);
  std::string target = dir + "/out.html";
  std::string icf_name = icf;
  std::string levels = "5";
  int code;
  {
    QuietStdout quiet;
    code = MainEntryPoint(target.data(), icf_name.data(), levels.data(), option_words.data(), nullptr, nullptr);
    GlobalShutDown();
    RemoveTempFiles();
    RemovePurgeableFiles();
    KIVFreeAll();
  }
  if (route == queue_route) {
    icf2html::QueueServer::request_stop(queue_id);
    controller.join();
    msgctl(queue_id, IPC_RMID, nullptr);
  } else if (route != no_route) {
    close(requests[1]);
    close(replies[0]);
    controller.join();
    close(requests[0]);
    close(replies[1]);
  }
  return code;
}

void BM_Route(benchmark::State &state) {
  const int route = static_cast<int>(state.range(0));
  for (auto _ : state) {
    if (convert_once(route) != 0) state.SkipWithError("conversion failed");
  }
  state.SetBytesProcessed(state.iterations() * stream_bytes);
}

BENCHMARK(BM_Route)->ArgName("local")->Arg(no_route)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Route)->ArgName("pipe_record")->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Route)->ArgName("queue")->Arg(queue_route)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
