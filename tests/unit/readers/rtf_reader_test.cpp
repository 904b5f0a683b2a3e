// The RTF reader through its interface: RTF in, intermediate stream out, shown
// in the stream notation. Each document names what it proves; the stream must
// be exactly the expected one, so a control word or hex data that leaks into the
// text, or a code the reader should write and does not, fails the case.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "rtf_code_pages.h"
#include "rtf_control_words.h"
#include "rtf_reader.h"
#include "stream/buffered_io.h"
#include "stream_notation.h"
#include "support/byte_sinks.h"
#include "support/case_file.h"
#include "support/temp_dir.h"

namespace {

std::string captured;

struct ReadResult {
  int status;
  std::string stream;  // notation, without line breaks
};

// Reads an opened input and shows the stream it wrote.
ReadResult read(kiv::RtfInput &input) {
  captured.clear();
  kiv::RedirectOutput(test_support::keep_byte<&captured>, test_support::take_back_byte<&captured>);
  const int status = kiv::read_rtf(input);
  kiv::RedirectOutputClose();
  std::string text = notation::to_notation(captured);
  std::erase(text, '\n');
  return {status, text};
}

// Reads the file open as fd, in blocks, and closes it.
ReadResult read_fd(int fd) {
  kiv::RtfInput input;
  if (!kiv::rtf_input_open_fd(input, fd)) return {-1, ""};
  const ReadResult result = read(input);
  kiv::rtf_input_close(input);
  close(fd);
  return result;
}

// An input over the bytes of rtf, which outlives it.
kiv::RtfInput memory_input(const std::string &rtf) {
  kiv::RtfInput input;
  kiv::rtf_input_open_memory(input, reinterpret_cast<const unsigned char *>(rtf.data()), rtf.size());
  return input;
}

ReadResult read(const std::string &rtf) {
  kiv::RtfInput input = memory_input(rtf);
  return read(input);
}

// The font code every document writes before its first text.
const std::string times = "{SPF 0|0|0|0|240|Times Roman|}";

class RtfReaderCases : public testing::TestWithParam<test_support::ConversionCase> {};

TEST_P(RtfReaderCases, WritesTheExpectedStream) {
  const ReadResult result = read(GetParam().input);
  EXPECT_EQ(result.status, kiv::rtf_status_ok);
  EXPECT_EQ(result.stream, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Documents, RtfReaderCases,
                         testing::ValuesIn(test_support::load_stream_cases(ICF_TEST_DATA_DIR "/rtf_reader.case")),
                         [](const auto &info) { return info.param.name; });

// The stream stays well formed: codes open and close in pairs.
bool balanced(const std::string &bytes) {
  int depth = 0;
  for (const char c : bytes) {
    if (c == 0x1B) ++depth;
    if (c == 0x1E && --depth < 0) return false;
  }
  return depth == 0;
}

// A file is read in blocks: a control word, its parameter, a \'hh, a table
// read ahead for its grid, each cut by a block's end, give the stream that
// the same bytes in memory give.
TEST(RtfReaderInput, AFileReadsAsTheSameBytesInMemory) {
  const std::string tail =
      "\\fs36 big\\'e9\\u945?{\\b b}\\par\\trowd\\clvmgf\\cellx1000\\cellx2000\\pard\\intbl a\\cell b\\cell\\row"
      "\\trowd\\clvmrg\\cellx1000\\cellx2000\\pard\\intbl\\cell c\\cell\\row\\pard end\\par}";
  test_support::TempDir dir;
  for (std::size_t cut = 0; cut < tail.size(); cut += 5) {
    // The block ends cut bytes into the tail.
    const std::string rtf = "{\\rtf1 " + std::string(kiv::rtf_block_size - 7 - cut, 'x') + tail;
    const std::string memory = read(rtf).stream;
    test_support::write_file(dir.file("in.rtf"), rtf);
    const int fd = open(dir.file("in.rtf").c_str(), O_RDONLY);
    ASSERT_NE(fd, -1);
    const ReadResult file = read_fd(fd);
    EXPECT_EQ(file.status, kiv::rtf_status_ok);
    EXPECT_EQ(file.stream, memory) << cut;
    EXPECT_NE(memory.find("{BCO 1|1|2|0|0|0|0|}"), std::string::npos) << cut;  // the span read ahead
  }
}

// A table's tokens, read ahead for its grid, are kept and not read again;
// a pipe, which cannot be read ahead past its window, keeps none. The same
// documents through memory, a file and a pipe give the same stream: tables
// that hold pictures (also before a cell's first text), raw data, vertical
// merges read ahead while kept tokens wait, a note with a table of its own,
// and tables longer than the kept tokens or their text.
TEST(RtfReaderInput, KeptTableTokensGiveTheStreamOfAPipe) {
  std::string many_rows;
  for (int k = 0; k < 700; ++k) many_rows += "\\trowd\\cellx1000\\cellx2000\\pard\\intbl a\\cell b\\cell\\row\n";
  const std::string documents[] = {
      "{\\rtf1\\trowd\\clvmgf\\cellx1000\\cellx2000\\pard\\intbl a\\cell {\\pict\\pngblip 8950}b\\cell\\row"
      "\\trowd\\clvmrg\\cellx1000\\cellx2500\\pard\\intbl\\cell c{\\footnote\\pard\\intbl n\\cell\\row}\\cell\\row\\pard end\\par}",
      "{\\rtf1\\trowd\\cellx1000\\pard\\intbl{\\pict\\wmetafile8 0100}a\\bin3 {}}\\cell\\row\\trowd\\cellx1500\\pard\\intbl b\\cell\\row"
      "\\pard after\\par}",
      "{\\rtf1 " + many_rows + "\\trowd\\cellx3000\\pard\\intbl z\\cell\\row\\pard x\\par}",
      "{\\rtf1\\trowd\\cellx1000\\cellx2000\\pard\\intbl v\\cell " + std::string(40000, 'w') +
          "\\cell\\row\\trowd\\cellx1500\\pard\\intbl u\\cell\\row\\pard}",
  };
  test_support::TempDir dir;
  for (const std::string &rtf : documents) {
    ASSERT_LT(rtf.size(), kiv::rtf_block_size);  // a pipe's reader sees the whole table in its window
    const ReadResult memory = read(rtf);
    ASSERT_NE(memory.stream.find("BCO"), std::string::npos);
    test_support::write_file(dir.file("in.rtf"), rtf);
    const int file_fd = open(dir.file("in.rtf").c_str(), O_RDONLY);
    int pipe_fds[2];
    ASSERT_NE(file_fd, -1);
    ASSERT_EQ(pipe(pipe_fds), 0);
    fcntl(pipe_fds[1], F_SETPIPE_SZ, static_cast<int>(kiv::rtf_block_size));
    ASSERT_EQ(write(pipe_fds[1], rtf.data(), rtf.size()), static_cast<ssize_t>(rtf.size()));
    close(pipe_fds[1]);
    for (const int fd : {file_fd, pipe_fds[0]}) {
      const ReadResult through_fd = read_fd(fd);
      EXPECT_EQ(through_fd.status, kiv::rtf_status_ok);
      EXPECT_EQ(through_fd.stream, memory.stream) << rtf.substr(0, 80) << (fd == file_fd ? " (file)" : " (pipe)");
    }
  }
}

// A text run ends at the first brace, backslash or line end, and its ASCII
// goes out up to the first byte beyond it, wherever they fall in the run:
// runs are looked at several bytes at a time.
TEST(RtfReaderInput, TextRunsEndAtTheirFirstSpecialByte) {
  const std::string filler = "a[]_~z^`";  // bytes next to the specials' values
  struct Ending {
    const char *rtf, *stream;
  };
  const Ending endings[] = {{"\\par b", "{HNL}b"}, {"{}b", "b"}, {"{\\v hidden}b", "b"}, {"\r\nb", "b"},
                            {"\\'41b", "Ab"}, {"\xe9\x7f\x1b\tb", "{XCS 8591|E9|}_{TAB}b"}};
  for (std::size_t n = 0; n <= 24; ++n) {
    std::string text;
    for (std::size_t k = 0; k < n; ++k) text += filler[k % filler.size()];
    for (const Ending &ending : endings) {
      const std::string more = "cdefghij";  // so that the bytes after an ending are looked at by the word
      const ReadResult result = read("{\\rtf1 " + text + ending.rtf + more + "}");
      EXPECT_EQ(result.stream, times + text + ending.stream + more + "{HNL}") << n << " " << ending.rtf;
    }
  }
}

TEST(RtfReaderInput, AFileThatIsNotRtfIsRefused) {
  EXPECT_EQ(read("plain text").status, kiv::rtf_status_not_rtf);
  EXPECT_EQ(read("{\\rt").status, kiv::rtf_status_not_rtf);
  EXPECT_EQ(read("  \r\n{\\rtf1 x}").status, kiv::rtf_status_ok);
  EXPECT_TRUE(kiv::starts_like_rtf(reinterpret_cast<const unsigned char *>(" {\\rtf1"), 7));
  EXPECT_FALSE(kiv::starts_like_rtf(reinterpret_cast<const unsigned char *>("{\\rt"), 4));
}

TEST(RtfReaderInput, HostileInputEndsCleanly) {
  const std::string deep = "{\\rtf1 " + std::string(100000, '{') + "x" + std::string(100000, '}') + "y}";
  const ReadResult nested = read(deep);
  EXPECT_EQ(nested.stream, times + "xy{HNL}");
  for (const std::string rtf : {"{\\rtf1 a}}}}}b", "{\\rtf1{\\b a", "{\\rtf1\\uc2147483647\\u66 abc\\par x",
                                "{\\rtf1\\fs-99999999999999 a\\li-2147483648\\bin-5 b\\bin99999999999 c",
                                "{\\rtf1\\ansicpg999999\\'zz\\'4\\'e9{\\*\\fldinst HYPERLINK \"\x1b\x1f\"}",
                                "{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt {\\footnote{\\header x}"}) {
    EXPECT_EQ(read(rtf).status, kiv::rtf_status_ok) << rtf;
    EXPECT_TRUE(balanced(captured)) << rtf;
  }
  // Control bytes of the stream in the RTF never reach the text.
  EXPECT_EQ(read("{\\rtf1 a\x1b\x1d\x1e\x1f\\'1b b}").stream, times + "a b{HNL}");
}

// The Windows Latin page is built in rather than loaded: every byte decodes
// to the character the C library's converter gives it (none where it gives none).
TEST(RtfReaderCodePages, TheBuiltInWindowsLatinPageIsTheLibrarys) {
  const iconv_t converter = iconv_open("UTF-32LE", "CP1252");
  ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
  const kiv::CodePageDecoder *decoder = kiv::code_page_decoder(kiv::code_page_default);
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b), out[4] = {};
    char *in_ptr = &in, *out_ptr = out;
    std::size_t in_left = 1, out_left = sizeof out;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char32_t expected = kiv::no_character;
    if (iconv(converter, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<std::size_t>(-1))
      std::memcpy(&expected, out, sizeof expected);
    EXPECT_EQ(decoder->table[static_cast<std::size_t>(b)], expected) << b;
  }
  iconv_close(converter);
  EXPECT_FALSE(decoder->multibyte);
}

// Control words are found by their letters alone, whatever the bytes after
// them in the tokenizer's buffer (the rest of a longer word read before).
TEST(RtfReaderControlWords, AWordIsFoundByItsLettersAlone) {
  struct Lookup {
    const char *buffer;
    std::size_t len;
    bool known;
  };
  for (const Lookup &lookup : {Lookup{"pardxxxxyyyy", 3, true}, Lookup{"pardxxxxyyyy", 4, true},
                               Lookup{"pardxxxxyyyy", 5, false}, Lookup{"ansicpgz", 7, true},
                               Lookup{"ansicpgz", 8, false}, Lookup{"bkmkstartend", 9, true},
                               Lookup{"bkmkstartend", 8, false}, Lookup{"listoverridetable", 17, true},
                               Lookup{"listoverridetablex", 18, false}}) {
    char word[kiv::rtf_word_max + 1] = {};
    std::strncpy(word, lookup.buffer, kiv::rtf_word_max);
    const std::string_view letters(lookup.buffer, lookup.len);
    const kiv::RtfWordEntry *entry = kiv::find_rtf_word(word, lookup.len);
    ASSERT_EQ(entry != nullptr, lookup.known) << letters;
    if (entry != nullptr) {
      EXPECT_EQ(entry->name, letters);
    }
  }
}

// A control word's letters are counted several at a time where the window
// holds the longest word kept, one by one near its end: both give the same
// word (cut after its first letters when longer), parameter and next token.
TEST(RtfReaderControlWords, LettersAreCountedTheSameEverywhere) {
  for (const std::size_t letters : {1, 7, 8, 9, 15, 16, 17, 31, 32, 33, 40}) {
    std::string word;
    for (std::size_t k = 0; k < letters; ++k) word += static_cast<char>(k % 2 ? 'a' + k % 26 : 'A' + k % 26);
    for (const std::size_t padding : {0, 64}) {
      const std::string rtf = "\\" + word + "-12 x" + std::string(padding, 'y');
      kiv::RtfInput input = memory_input(rtf);
      kiv::RtfToken token;
      kiv::rtf_next_token(input, token);
      const std::size_t kept = std::min(letters, kiv::rtf_word_max);
      EXPECT_EQ(std::string(token.word), word.substr(0, kept)) << letters << " " << padding;
      EXPECT_EQ(token.word_len, kept);
      EXPECT_EQ(token.param, -12);
      kiv::rtf_next_token(input, token);
      EXPECT_EQ(std::string(reinterpret_cast<const char *>(token.text), token.text_len), "x" + std::string(padding, 'y'));
    }
  }
}

// The tokenizer looks a word up itself: from the bytes in its window where
// the window holds the longest word, from the letters it gathered near the
// window's end. Both find the same entry, or none for an unknown word.
TEST(RtfReaderControlWords, TheTokenCarriesItsWordsEntry) {
  for (const std::string word : {"b", "par", "ansicpg", "bkmkstart", "listoverridetable", "pardx", "ansicpgz"}) {
    for (const std::size_t padding : {0, 64}) {
      const std::string rtf = "\\" + word + "1 " + std::string(padding, 'y');
      kiv::RtfInput input = memory_input(rtf);
      kiv::RtfToken token;
      kiv::rtf_next_token(input, token);
      char letters[kiv::rtf_word_max + 1] = {};
      std::strncpy(letters, word.c_str(), kiv::rtf_word_max);
      ASSERT_EQ(token.kind, kiv::RtfTokenKind::control_word) << word;
      EXPECT_EQ(token.entry, kiv::find_rtf_word(letters, word.size())) << word << " " << padding;
    }
  }
}

// A field instruction is gathered in runs of bytes up to the size it keeps;
// the rest is dropped: a link whose address lies beyond it is no link.
TEST(RtfReaderText, AFieldInstructionKeepsWhatFits) {
  const std::string long_address(1100, 'a');
  const ReadResult kept = read("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"" + long_address + "\"}{\\fldrslt go}}}");
  EXPECT_EQ(kept.stream, times + "{XRF 04|12|" + std::string(511, 'a') + "||}go{XRF 05|}{HNL}");
  const ReadResult dropped = read("{\\rtf1{\\field{\\*\\fldinst HYPERLINK" + std::string(1100, ' ') + "\"x\"}{\\fldrslt go}}}");
  EXPECT_EQ(dropped.stream, times + "go{HNL}");
}

// Printable text is measured sixteen bytes at a time, the last piece
// overlapping the one before: the run ends at the first byte outside
// printable ASCII wherever it stands, or at the end.
TEST(RtfReaderText, PrintableRunsEndAtTheFirstOtherByte) {
  for (std::size_t len = 0; len <= 40; ++len) {
    for (std::size_t stop = 0; stop <= len; ++stop) {
      for (const unsigned char other : {0x00, 0x1F, 0x7F, 0x80, 0xE9}) {
        std::string text(len, 'a');
        if (stop < len) text[stop] = static_cast<char>(other);
        if (stop + 1 < len) text[len - 1] = static_cast<char>(other);  // a later one does not count
        const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
        EXPECT_EQ(kiv::rtf_printable_end(bytes, bytes + len) - bytes, static_cast<std::ptrdiff_t>(stop)) << len << " " << stop;
      }
    }
  }
}

}  // namespace
