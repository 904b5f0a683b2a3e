// The reader program writing its stream into a pipe, as icf2html runs it: the
// stream goes into the pipe by reference, slot by slot, and a slot is filled
// again only once the other end has read it. The other end here reads slowly
// and in odd pieces, so the reader waits on a full pipe again and again; what
// comes out must be the very stream that the same document gives in a file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

const std::string tools = ICF_TOOLS_DIR;

// Paragraphs that differ from each other, so that a slot overwritten too
// early, or handed on twice, shows in the stream.
std::string numbered_document(int paragraphs) {
  std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}";
  for (int k = 0; k < paragraphs; ++k)
    rtf += "\\pard Paragraph " + std::to_string(k) + (k % 7 == 0 ? " {\\b bold}" : "") + " caf\\'e9 \\u945?\\par\n";
  return rtf + "}";
}

// Everything that comes down the FIFO, read a few hundred bytes at a time with
// a pause after every 48 KB; closes fd.
std::string read_slowly(int fd) {
  fcntl(fd, F_SETFL, 0);  // opened without waiting for the writer; reads wait
  std::string got;
  char piece[777];
  std::size_t since_pause = 0;
  for (ssize_t n; (n = read(fd, piece, sizeof piece)) > 0;) {
    got.append(piece, static_cast<std::size_t>(n));
    if ((since_pause += static_cast<std::size_t>(n)) >= 48 * 1024) {
      since_pause = 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  close(fd);
  return got;
}

// The FIFO's read end, opened first so that the reader's open does not wait,
// and the reader started with its standard output on the FIFO.
struct ReaderIntoFifo {
  int read_end = -1;
  pid_t reader = -1;
};

ReaderIntoFifo start_reader_into_fifo(const test_support::TempDir &dir) {
  const std::string fifo = dir.file("stream.fifo");
  std::remove(fifo.c_str());
  if (mkfifo(fifo.c_str(), 0600) != 0) return {};
  const int read_end = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  test_support::StartIn into_fifo;
  into_fifo.stdout_file = fifo;
  return {read_end, test_support::start_program({tools + "/w019funx", dir.file("in.rtf"), "-t=stdout"}, into_fifo)};
}

TEST(RtfReaderProgram, AStreamIntoASlowPipeIsTheStreamOfAFile) {
  test_support::TempDir dir;
  // A few bytes, less than a slot, and many slots with a part-filled last one.
  for (const int paragraphs : {1, 9000}) {
    test_support::write_file(dir.file("in.rtf"), numbered_document(paragraphs));
    const pid_t to_file = test_support::start_program({tools + "/w019funx", dir.file("in.rtf"), "-t=" + dir.file("out.icf")});
    ASSERT_EQ(test_support::wait_program(to_file), 0);
    const std::string expected = test_support::read_file(dir.file("out.icf"));
    ASSERT_GT(expected.size(), paragraphs > 1 ? 200'000u : 10u);

    const ReaderIntoFifo run = start_reader_into_fifo(dir);
    ASSERT_NE(run.read_end, -1);
    ASSERT_NE(run.reader, -1);
    const std::string got = read_slowly(run.read_end);
    EXPECT_EQ(test_support::wait_program(run.reader), 0);
    EXPECT_EQ(got.size(), expected.size()) << paragraphs << " paragraphs";
    EXPECT_TRUE(got == expected) << paragraphs << " paragraphs: the streams differ";
  }
}

// A reader whose pipe is closed under it, with SIGPIPE ignored (as a host may
// start it), stops at once with the status of a failed write, as a refused
// write of its buffered target ends it, instead of reading the rest.
TEST(RtfReaderProgram, APipeClosedUnderItEndsTheReader) {
  test_support::TempDir dir;
  test_support::write_file(dir.file("in.rtf"), numbered_document(40000));
  struct sigaction ignore{}, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);  // a spawned program keeps an ignored signal ignored
  const ReaderIntoFifo run = start_reader_into_fifo(dir);
  sigaction(SIGPIPE, &previous, nullptr);
  ASSERT_NE(run.read_end, -1);
  ASSERT_NE(run.reader, -1);
  fcntl(run.read_end, F_SETFL, 0);
  char first[4096];
  EXPECT_GT(read(run.read_end, first, sizeof first), 0);
  close(run.read_end);
  EXPECT_EQ(test_support::wait_program(run.reader), 4);  // exit_write_failed
}

}  // namespace
