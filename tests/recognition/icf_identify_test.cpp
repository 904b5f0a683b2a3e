// The icf-identify command as a user of file(1) runs it: one answer per file,
// the library's answer where its recognisers are sure, the command's own
// words for file kinds, common formats and Office documents in compound
// files, and errors with their cause on standard error.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include <icf2html.h>

#include "support/temp_dir.h"

namespace recognition_test {
namespace {

struct ToolRun {
  std::string output;
  std::string errors;
  int status = -1;
};

std::string identify_program() { return std::string(ICF_TOOLS_DIR) + "/icf-identify"; }

std::string quoted(const std::string &s) { return "'" + s + "'"; }

std::string le16(unsigned v) { return {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)}; }
std::string le32(std::uint32_t v) { return le16(v & 0xffff) + le16(v >> 16); }

// A compound file of 512-byte sectors: sector 0 the allocation table, sector 1
// the directory with the root entry and one stream of the given name.
std::string compound_file_with(const std::u16string &stream) {
  std::string header(512, '\0');
  header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
  header.replace(0x18, 6, le16(0x3E) + le16(3) + le16(0xFFFE));
  header.replace(0x1E, 4, le16(9) + le16(6));
  header.replace(0x2C, 8, le32(1) + le32(1));
  header.replace(0x38, 16, le32(4096) + le32(0xFFFFFFFE) + le32(0) + le32(0xFFFFFFFE));
  header.replace(0x48, 8, le32(0) + le32(0));
  for (std::size_t at = 0x50; at < 512; at += 4) header.replace(at, 4, le32(0xFFFFFFFF));
  std::string fat = le32(0xFFFFFFFD) + le32(0xFFFFFFFE);
  while (fat.size() < 512) fat += le32(0xFFFFFFFF);
  const auto entry = [](const std::u16string &name, char type) {
    std::string e(128, '\0');
    for (std::size_t i = 0; i < name.size(); ++i) e.replace(2 * i, 2, le16(name[i]));
    e.replace(0x40, 2, le16(static_cast<unsigned>(2 * (name.size() + 1))));
    e[0x42] = type;
    e.replace(0x44, 12, le32(0xFFFFFFFF) + le32(0xFFFFFFFF) + le32(type == 5 ? 1 : 0xFFFFFFFF));
    e.replace(0x74, 4, le32(0xFFFFFFFE));
    return e;
  };
  std::string directory = entry(u"Root Entry", 5) + entry(stream, 2);
  directory.resize(512, '\0');
  return header + fat + directory;
}

class IdentifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(identify_program())) GTEST_SKIP() << "icf-identify is not built";
  }
  std::string put(const std::string &name, const std::string &bytes) {
    test_support::write_file(dir_.file(name), bytes);
    return quoted(dir_.file(name));
  }
  ToolRun run(const std::string &arguments, const std::string &input = "") {
    ToolRun r;
    test_support::write_file(dir_.file("stdin"), input);
    const std::string command = identify_program() + " " + arguments + " <" + quoted(dir_.file("stdin")) + " 2>" +
                                quoted(dir_.file("stderr"));
    FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    std::array<char, 512> chunk{};
    for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0;) r.output.append(chunk.data(), n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.errors = test_support::read_file(dir_.file("stderr"));
    return r;
  }
  test_support::TempDir dir_;
};

struct Sample {
  const char *label;
  std::string bytes;
  const char *description;
  const char *mime;
};

// Bytes built here, each with the answer a user of file(1) expects.
TEST_F(IdentifyTest, NamesKindsAndFormats) {
  std::string tga(18, '\0');
  tga[2] = 2;
  tga.replace(12, 4, le16(4) + le16(3));
  tga[16] = 24;
  tga += std::string(36, '\x7f');
  std::string ico = le16(0) + le16(1) + le16(1) + std::string("\x10\x10\0\0", 4) + le16(1) + le16(32) +
                    le32(1128) + le32(22);
  ico += std::string(64, '\0');
  const Sample samples[] = {
      {"gif", "GIF89a\x01\0\x01\0\0\0\0", "GIF image", "image/gif"},
      {"text", "plain words\nand lines\n", "plain text (ASCII)", "text/plain"},
      {"short binary", std::string("\0\x01\x02\x03", 4), "data", "application/octet-stream"},
      {"gzip", std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03\x03\0\0\0\0\0\0\0\0\0", 20), "gzip compressed data",
       "application/gzip"},
      {"zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'), "ZIP archive", "application/zip"},
      {"xml", "<?xml version=\"1.0\"?>\n<html><head></head></html>\n", "XML document", "text/xml"},
      {"elf", std::string("\x7f" "ELF\x02\x01\x01\0", 8) + std::string(56, '\0'), "ELF executable or object",
       "application/x-executable"},
      {"pbm", "P1\n# a comment\n2 2\n0 1\n1 0\n", "Netpbm image (PBM, PGM, PPM or PAM)", "image/x-portable-anymap"},
      {"ico", ico, "Windows icon or cursor", "image/vnd.microsoft.icon"},
      {"tga", tga, "Truevision TGA image", "image/x-tga"},
      {"stream", "Hello \x1b\x1d" "BBT\x1e" "bold\x1b\x1d" "SPF1\x1f" "240\x1f\x1e\r\n", "intermediate code stream",
       "application/x-icf"},
      {"html in a script", "#!/bin/sh\ncat <<EOF\n<html><head><title>x</title></head></html>\nEOF\n", "ASCII text",
       "text/plain"},
      {"word", compound_file_with(u"WordDocument"), "Microsoft Word 97 or later document (compound file)",
       "application/msword"},
      {"excel", compound_file_with(u"Workbook"), "Microsoft Excel 97 or later workbook (compound file)",
       "application/vnd.ms-excel"},
      {"powerpoint", compound_file_with(u"PowerPoint Document"), "Microsoft PowerPoint presentation (compound file)",
       "application/vnd.ms-powerpoint"},
      {"empty", "", "empty", "inode/x-empty"},
  };
  for (const Sample &s : samples) {
    const std::string file = put("sample", s.bytes);
    ToolRun r = run("-b " + file);
    EXPECT_EQ(r.output, std::string(s.description) + "\n") << s.label;
    EXPECT_EQ(r.status, 0) << s.label;
    r = run("--mime-type " + file);
    EXPECT_EQ(r.output, dir_.file("sample") + ": " + s.mime + "\n") << s.label;
    // Standard input gives the same answer from the same bytes.
    EXPECT_EQ(run("-b -", s.bytes).output, std::string(s.description) + "\n") << s.label;
  }
  EXPECT_EQ(run("-b " + quoted(dir_.path().string())).output, "directory\n");
}

// A compound file without the Office streams keeps the library's answer, and
// --code shows the library's numbers whatever the words say.
TEST_F(IdentifyTest, CodeShowsTheLibraryAnswer) {
  const std::string gif = put("a.gif", "GIF89a and more bytes");
  EXPECT_EQ(run("--code " + gif).output, dir_.file("a.gif") + ": 512/0\n");
  const std::string other = put("other", compound_file_with(u"Contents"));
  EXPECT_NE(run("-b " + other).output.find("compound"), std::string::npos);
}

TEST_F(IdentifyTest, NamesFromAListAndStandardInput) {
  put("a.gif", "GIF89a and more bytes");
  put("b.txt", "plain words\n");
  test_support::write_file(dir_.file("names"), dir_.file("a.gif") + "\n\n" + dir_.file("b.txt") + "\n");
  const std::string expected = dir_.file("a.gif") + ": GIF image\n" + dir_.file("b.txt") + ": plain text (ASCII)\n";
  EXPECT_EQ(run("-f " + quoted(dir_.file("names"))).output, expected);
  EXPECT_EQ(run("-f -", test_support::read_file(dir_.file("names"))).output, expected);
}

// Errors go to standard error with their cause; the other files are still
// answered and only an unreadable file fails the run.
TEST_F(IdentifyTest, ErrorsNameTheirCause) {
  const std::string gif = put("a.gif", "GIF89a and more bytes");
  ToolRun r = run(quoted(dir_.file("missing")) + " " + gif);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, dir_.file("a.gif") + ": GIF image\n");
  EXPECT_EQ(r.errors, "icf-identify: " + dir_.file("missing") + ": cannot open (No such file or directory)\n");

  r = run("-f " + quoted(dir_.file("no-list")));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("no-list"), std::string::npos);

  r = run("--bogus " + gif);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output, "");
  EXPECT_NE(r.errors.find("usage: icf-identify"), std::string::npos);
  EXPECT_EQ(run("").status, 2);
}

TEST_F(IdentifyTest, HelpAndVersionAreNotFileNames) {
  ToolRun r = run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("usage: icf-identify", 0), 0u) << r.output;
  r = run("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("icf-identify " ICF2HTML_VERSION, 0), 0u) << r.output;
  // After "--" every word is a name.
  r = run("-- --help");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("--help: cannot open"), std::string::npos) << r.errors;
}

}  // namespace
}  // namespace recognition_test
