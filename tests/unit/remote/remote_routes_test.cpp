// Whole conversions whose every file operation goes to a controller thread in
// this process, over a real pipe pair or a private message queue, served by
// the same file service as icf2html --isolate.
#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "file_service.h"
#include "pipe_server.h"
#include "queue_server.h"
#include "support/case_file.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace {

using test_support::Conversion;

enum class Route { pipes_4k, pipes_64k, queue };

// Request codes of the pipe route.
constexpr std::int32_t open_file = 2, read_file = 3, write_file = 4, close_file = 6, unlink_file = 9;

struct Served {
  Conversion conversion;
  std::vector<std::int32_t> commands;  // pipe route: the command of each request served
  std::vector<std::string> refused;
};

// The files of a conversion as test_support::convert_bytes names them.
icf2html::FilePolicy policy_for(const std::string &dir) {
  return {dir, "input.icf", dir + "/input.icf", "", "out.html", "out"};
}

// Converts bytes in dir with the controller serving at most serve_limit
// requests (-1: all) before it goes away.
Served convert_served(Route route, const std::string &dir, const std::string &bytes,
                      test_support::ConversionSettings settings = {}, int serve_limit = -1) {
  Served served;
  icf2html::FileService files(policy_for(dir));
  int requests[2] = {-1, -1}, replies[2] = {-1, -1};
  int queue_id = -1;
  std::thread controller;
  const int record_length = route == Route::pipes_64k ? 65536 : 4096;
  if (route == Route::queue) {
    queue_id = msgget(IPC_PRIVATE, IPC_CREAT | 0600);
    settings.options.insert(settings.options.end(), {"IF", "Q" + std::to_string(queue_id)});
    controller = std::thread([&] { icf2html::QueueServer(files, queue_id).serve_all(); });
  } else {
    EXPECT_EQ(pipe2(requests, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(replies, O_CLOEXEC), 0);
    settings.options.insert(settings.options.end(),
                            {"INP=" + std::to_string(replies[0]), "OUTP=" + std::to_string(requests[1]),
                             "BP=" + std::to_string(record_length)});
    controller = std::thread([&] {
      icf2html::PipeServer server(files, requests[0], replies[1], record_length);
      for (int served_count = 0; serve_limit < 0 || served_count < serve_limit; ++served_count) {
        if (server.serve_one() != icf2html::Served::answered) break;
        served.commands.push_back(server.last_command());
      }
      close(requests[0]);
      close(replies[1]);
    });
  }
  testing::internal::CaptureStdout();  // the pipe trace
  served.conversion = test_support::convert_bytes(dir, bytes, settings);
  testing::internal::GetCapturedStdout();
  if (route == Route::queue) {
    icf2html::QueueServer::request_stop(queue_id);
    controller.join();
    msgctl(queue_id, IPC_RMID, nullptr);
  } else {
    close(requests[1]);
    close(replies[0]);
    controller.join();
  }
  served.refused = files.refused();
  return served;
}

class Routes : public testing::TestWithParam<Route> {};

TEST_P(Routes, EveryConversionCaseGivesTheBytesOfTheLocalRoute) {
  int compared = 0;
  for (const auto &c : test_support::load_case_directory(ICF_CASES_DIR)) {
    test_support::TempDir dir;
    test_support::ConversionSettings settings;
    settings.levels = c.levels;
    settings.options = c.options;
    const std::string bytes = test_support::assemble(c.input);
    const Conversion local = test_support::convert_bytes(dir.path().string(), bytes, settings);
    std::filesystem::remove(dir.file("out.html"));
    const Served remote = convert_served(GetParam(), dir.path().string(), bytes, settings);
    // An exception list or another file beside the conversion is not the
    // controller's to give; such cases only show that it says no.
    if (!remote.refused.empty()) continue;
    ++compared;
    EXPECT_EQ(remote.conversion.code, local.code) << c.file << ": " << c.name;
    EXPECT_EQ(test_support::describe_difference(local.html, remote.conversion.html), "") << c.file << ": " << c.name;
    EXPECT_EQ(dir.listing(), std::vector<std::string>({"input.icf", "out.html"})) << c.name << ": files left behind";
  }
  EXPECT_GT(compared, 90);
}

TEST_P(Routes, SpilledTemporaryBuffersGoThroughTheRouteAndAreRemoved) {
  // Many long notes spill their buffers into temporary files.
  std::string notation;
  for (int i = 1; i <= 20; ++i) notation += "text{FTN " + std::to_string(i) + "|}" + std::string(2000, 'n') + "{EFN}";
  test_support::TempDir dir;
  const std::string bytes = test_support::assemble(notation);
  test_support::ConversionSettings small_buffers;
  small_buffers.buffer_limit = 17;
  const Conversion local = test_support::convert_bytes(dir.path().string(), bytes, small_buffers);
  std::filesystem::remove(dir.file("out.html"));
  const Served remote = convert_served(GetParam(), dir.path().string(), bytes, small_buffers);
  EXPECT_EQ(remote.conversion.code, 0);
  EXPECT_EQ(remote.conversion.html, local.html);
  EXPECT_TRUE(remote.refused.empty());
  EXPECT_EQ(dir.listing(), std::vector<std::string>({"input.icf", "out.html"}));
  if (GetParam() != Route::queue) {
    // The intermediate file, the page, and at least one spill file.
    EXPECT_GT(std::count(remote.commands.begin(), remote.commands.end(), open_file), 2);
  }
}

std::string route_name(const testing::TestParamInfo<Route> &info) {
  constexpr const char *names[] = {"Pipes4K", "Pipes64K", "Queue"};
  return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(EachRoute, Routes, testing::Values(Route::pipes_4k, Route::pipes_64k, Route::queue),
                         route_name);

}  // namespace


namespace {

TEST(PipeRoute, AConversionOpensReadsWritesClosesAndRemovesItsIntermediateFile) {
  test_support::TempDir dir;
  const Served served = convert_served(Route::pipes_4k, dir.path().string(), "Hello");
  EXPECT_EQ(served.conversion.code, 0);
  // One read: the reply that carries the input marks its end, which is not asked for again.
  const std::vector<std::int32_t> expected = {open_file, open_file, read_file, write_file,
                                              close_file, close_file, unlink_file};
  EXPECT_EQ(served.commands, expected);
  // The controller answered the removal without touching the input.
  EXPECT_TRUE(std::filesystem::exists(dir.file("input.icf")));
}

struct GoneCase {
  int served_before;  // requests answered before the controller goes away
  int code;
  const char *where;
};

class ControllerGone : public testing::TestWithParam<GoneCase> {};

TEST_P(ControllerGone, EndsTheConversionWithTheCodeOfThatPlace) {
  const GoneCase c = GetParam();
  test_support::TempDir dir;
  const Served served = convert_served(Route::pipes_4k, dir.path().string(), std::string(20000, 'x'), {},
                                       c.served_before);
  EXPECT_EQ(served.conversion.code, c.code) << c.where;
}

INSTANTIATE_TEST_SUITE_P(
    Places, ControllerGone,
    testing::Values(GoneCase{0, 3, "opening the intermediate file"}, GoneCase{1, 1, "creating the page"},
                    GoneCase{2, 8, "the first read"}, GoneCase{3, 2, "a later read"},
                    GoneCase{4, 4, "a write"}));

// A queue controller that answers every write with nothing written: the
// conversion ends as for a full disk.
TEST(QueueRoute, AWriteAnsweredWithNothingWrittenEndsWithDiskFull) {
  test_support::TempDir dir;
  const int queue_id = msgget(IPC_PRIVATE, IPC_CREAT | 0600);
  ASSERT_NE(queue_id, -1);
  std::thread controller([&] {
    struct {
      long type;
      char text[1024];
    } message;
    while (msgrcv(queue_id, &message, sizeof message.text, 4, 0) >= 0) {
      const std::string word = message.text;
      std::string answer = std::string("SUCCESS") + '\0';
      // Every file opens, is empty, and takes nothing.
      if (word == "OPEN" || word == "GETSIZE" || word == "READ" || word == "WRITE") answer += "0" + std::string(1, '\0');
      message.type = 3;
      answer.copy(message.text, answer.size());
      msgsnd(queue_id, &message, answer.size(), 0);
    }
  });
  test_support::ConversionSettings settings;
  settings.options = {"IF", "Q" + std::to_string(queue_id)};
  const Conversion conversion = test_support::convert_bytes(dir.path().string(), "Hello", settings);
  msgctl(queue_id, IPC_RMID, nullptr);
  controller.join();
  EXPECT_EQ(conversion.code, 10);
}

}  // namespace
