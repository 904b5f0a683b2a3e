// Files that are not regular files, given to the library as target, input or
// list: devices, FIFOs and sockets are used as they stand and never removed, a
// directory is refused untouched, a symbolic link is never followed. And the
// intermediate file that is a regular file is gone after every call.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>

#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using test_support::convert_names;
using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

std::string read_all(int fd) {
  std::string bytes;
  char chunk[4096];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) bytes.append(chunk, static_cast<std::size_t>(n));
  return bytes;
}

bool is_fifo(const std::string &name) {
  struct stat info{};
  return lstat(name.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

TEST(SpecialFiles, FifoTargetIsWrittenAsItStands) {
  TempDir dir;
  const std::string fifo = dir.file("pipe.html");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  write_file(dir.file("in.icf"), "through a pipe");
  std::string received;
  std::thread reader([&] {
    const int fd = open(fifo.c_str(), O_RDONLY);
    received = read_all(fd);
    close(fd);
  });
  EXPECT_EQ(convert_names(fifo, dir.file("in.icf")), 0);
  reader.join();
  EXPECT_TRUE(is_fifo(fifo));
  EXPECT_NE(received.find("through a pipe"), std::string::npos);
  EXPECT_NE(received.find("</HTML>"), std::string::npos);
}

// A device of the kind of /dev/full, made in the test's folder.
TEST(SpecialFiles, DeviceTargetIsWrittenAsItStands) {
  TempDir dir;
  const std::string device = dir.file("full");
  if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) GTEST_SKIP() << "no right to make a device";
  write_file(dir.file("in.icf"), "text");
  EXPECT_EQ(convert_names(device, dir.file("in.icf")), 4);
  EXPECT_TRUE(fs::is_character_file(fs::symlink_status(device)));
  EXPECT_FALSE(fs::exists(dir.file("in.icf")));
}

TEST(SpecialFiles, SocketTargetIsNeitherRemovedNorReplaced) {
  TempDir dir;
  const std::string path = dir.file("s");
  const int server = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  write_file(dir.file("in.icf"), "text");
  EXPECT_EQ(convert_names(path, dir.file("in.icf")), 1);
  EXPECT_TRUE(fs::is_socket(fs::symlink_status(path)));
  close(server);
}

TEST(SpecialFiles, LinkedTargetIsReplacedWithoutTouchingWhatItNamed) {
  TempDir dir;
  write_file(dir.file("precious"), "someone's file");
  fs::create_symlink(dir.file("precious"), dir.file("out.html"));
  write_file(dir.file("in.icf"), "new page");
  EXPECT_EQ(convert_names(dir.file("out.html"), dir.file("in.icf")), 0);
  EXPECT_EQ(read_file(dir.file("precious")), "someone's file");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.file("out.html"))));
  EXPECT_NE(read_file(dir.file("out.html")).find("new page"), std::string::npos);
}

TEST(SpecialFiles, LinkedExceptionListIsNotWrittenThrough) {
  TempDir dir;
  write_file(dir.file("precious"), "someone's file");
  fs::create_symlink(dir.file("precious"), dir.file("except.lst"));
  write_file(dir.file("in.icf"), test_support::assemble("a{QQQ 1|}b"));
  convert_names(dir.file("out.html"), dir.file("in.icf"), "5", {"PE=" + dir.file("except.lst")});
  EXPECT_EQ(read_file(dir.file("precious")), "someone's file");
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.file("except.lst"))));
}

TEST(SpecialFiles, DirectoriesAreRefusedUntouched) {
  TempDir dir;
  const std::string folder = dir.file("folder.icf");
  fs::create_directory(folder);
  fs::permissions(folder, fs::perms::owner_all);
  write_file(dir.file("out.html"), "the previous page");
  EXPECT_EQ(convert_names(dir.file("out.html"), folder), 3);  // refused before the target is touched
  EXPECT_EQ(read_file(dir.file("out.html")), "the previous page");
  write_file(dir.file("in.icf"), "text");
  EXPECT_EQ(convert_names(folder, dir.file("in.icf")), 1);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
}

TEST(SpecialFiles, FifoInputIsReadAsAStreamAndKept) {
  TempDir dir;
  const std::string fifo = dir.file("in.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string stream = test_support::assemble("streamed {BBT}text{EBT}") + std::string(100000, 'x');
  std::thread writer([&] {
    const int fd = open(fifo.c_str(), O_WRONLY);
    EXPECT_EQ(write(fd, stream.data(), stream.size()), static_cast<ssize_t>(stream.size()));
    close(fd);
  });
  EXPECT_EQ(convert_names(dir.file("out.html"), fifo), 0);
  writer.join();
  EXPECT_TRUE(is_fifo(fifo));
  const std::string html = read_file(dir.file("out.html"));
  EXPECT_NE(html.find("streamed <B>text</B>" + std::string(100000, 'x')), std::string::npos);
}

// The intermediate file goes whatever the exit code.
TEST(SpecialFiles, IntermediateFileIsRemovedAtEveryExitCode) {
  struct Exit {
    int code;
    std::string target;
    std::string stream;
    std::vector<std::string> options;
  };
  TempDir dir;
  fs::create_directory(dir.file("folder"));
  const std::vector<Exit> exits = {
      {0, "out.html", "text", {}},
      {1, "folder", "text", {}},
      {3, "out.html", "text", {"T=" + dir.file("missing.icf")}},
      {16, "out.html", test_support::assemble("a}b"), {}},
  };
  for (const Exit &e : exits) {
    write_file(dir.file("in.icf"), e.stream);
    EXPECT_EQ(convert_names(dir.file(e.target), dir.file("in.icf"), "5", e.options), e.code) << e.stream;
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file("in.icf")))) << "code " << e.code;
  }
  // Refused before the conversion starts: an intermediate name too long to
  // pass on, whose first 124 characters name another file.
  const std::string victim = dir.file(std::string(124 - dir.file("").size(), 'v'));
  const std::string overlong = victim + "-and-more.icf";
  write_file(victim, "someone's file");
  write_file(overlong, "text");
  EXPECT_EQ(convert_names(dir.file("out.html"), overlong), 3);
  EXPECT_FALSE(fs::exists(overlong));
  EXPECT_EQ(read_file(victim), "someone's file");
}

// A host that keeps its own SIGINT and SIGTERM: the signal reaches its handler
// and ends the conversion, not the process.
std::atomic<int> host_handler_calls{0};
void host_handler(int) { ++host_handler_calls; }

TEST(SpecialFiles, HostThatKeepsItsSignalsGetsThemAndTheConversionEnds) {
  for (int signal : {SIGINT, SIGTERM}) {
    TempDir dir;
    struct sigaction mine{}, before{};
    mine.sa_handler = host_handler;
    sigemptyset(&mine.sa_mask);
    sigaction(signal, &mine, &before);
    host_handler_calls = 0;
    const std::string fifo = dir.file("in.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const pthread_t converting = pthread_self();
    std::atomic<bool> done{false};
    std::thread feeder([&] {
      const int fd = open(fifo.c_str(), O_WRONLY);
      EXPECT_EQ(write(fd, "some text", 9), 9);
      // The conversion now waits for more input; the signal ends that wait.
      while (!done) {
        pthread_kill(converting, signal);
        usleep(20000);
      }
      close(fd);
    });
    const int code = convert_names(dir.file("out.html"), fifo, "5", {"KEEPSIGNALS"});
    done = true;
    feeder.join();
    EXPECT_EQ(code, 17);
    EXPECT_GE(host_handler_calls.load(), 1);
    struct sigaction after{};
    sigaction(signal, nullptr, &after);
    EXPECT_EQ(after.sa_handler, host_handler);
    EXPECT_TRUE(is_fifo(fifo));
    for (const std::string &name : dir.listing()) EXPECT_NE(name.rfind("KV", 0), 0u) << name;
    sigaction(signal, &before, nullptr);
  }
}

}  // namespace
