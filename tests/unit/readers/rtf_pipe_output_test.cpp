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

TEST(RtfReaderProgram, AStreamIntoASlowPipeIsTheStreamOfAFile) {
  test_support::TempDir dir;
  // A few bytes, less than a slot, and many slots with a part-filled last one.
  for (const int paragraphs : {1, 9000}) {
    test_support::write_file(dir.file("in.rtf"), numbered_document(paragraphs));
    const pid_t to_file = test_support::start_program({tools + "/w019funx", dir.file("in.rtf"), "-t=" + dir.file("out.icf")});
    ASSERT_EQ(test_support::wait_program(to_file), 0);
    const std::string expected = test_support::read_file(dir.file("out.icf"));
    ASSERT_GT(expected.size(), paragraphs > 1 ? 200'000u : 10u);

    const std::string fifo = dir.file("stream.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int read_end = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // so that the reader's open does not wait
    ASSERT_NE(read_end, -1);
    test_support::StartIn into_fifo;
    into_fifo.stdout_file = fifo;
    const pid_t to_pipe = test_support::start_program({tools + "/w019funx", dir.file("in.rtf"), "-t=stdout"}, into_fifo);
    ASSERT_NE(to_pipe, -1);
    const std::string got = read_slowly(read_end);
    EXPECT_EQ(test_support::wait_program(to_pipe), 0);
    EXPECT_EQ(got.size(), expected.size()) << paragraphs << " paragraphs";
    EXPECT_TRUE(got == expected) << paragraphs << " paragraphs: the streams differ";
    std::remove(fifo.c_str());
  }
}

}  // namespace
