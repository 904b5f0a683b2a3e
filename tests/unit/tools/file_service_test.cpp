// The controller's file service: which names of a conversion it answers for,
// and that the user's input is read but never written or removed.
#include "file_service.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace {

using test_support::read_file;
using test_support::write_file;

class FileService : public testing::Test {
 protected:
  void SetUp() override {
    write_file(input, "stream bytes");
    std::filesystem::create_directory(dir.file("private"));
  }
  test_support::TempDir dir;
  const std::string input = dir.file("user.icf");
  icf2html::FileService files{{dir.file("private"), ".input", input, "site/", "page.html", "page"}};
};

TEST_F(FileService, AnswersForThePagePicturesAndTemporaryFilesInItsFolderOnly) {
  struct Case {
    const char *name;
    bool answered;
  };
  const Case cases[] = {
      {"site/page.html", true},     {"site/page1.gif", true},    {"KV000123.TMP", true},
      {"site/KV000123.TMP", true},  {"site/other.html", false},  {"page.html", false},
      {"site/../page.html", false}, {"site/sub/page1.gif", false}, {"/etc/passwd", false},
      {"except.lst", false},        {"KV12345.TMP", false},      {"site/", false},
      {"site/GR000042.JPG", true},  {"GR000042.JPG", false},     {"site/GR00042.JPG", false},
      {"site/GR000042.", false},    {"site/GR000042.a.b", false},
  };
  for (const Case &c : cases) {
    const int h = files.open(c.name, 2, 0);
    EXPECT_EQ(h != -1, c.answered) << c.name;
    if (h != -1) {
      EXPECT_EQ(files.close(h), 0);
    }
  }
  EXPECT_EQ(files.refused().size(), 12u);
  EXPECT_EQ(files.refused().front(), "site/other.html");
  // What it answers for lands in the private folder.
  EXPECT_TRUE(std::filesystem::exists(dir.file("private/page1.gif")));
}

TEST_F(FileService, ReadsTheInputButNeverWritesOrRemovesIt) {
  const int h = files.open(".input", 1, 1);
  ASSERT_NE(h, -1);
  unsigned char buffer[32];
  EXPECT_EQ(files.read(h, buffer, sizeof buffer), 12);
  EXPECT_EQ(files.write(h, buffer, 1), -1);
  EXPECT_EQ(files.size(".input"), 12);
  EXPECT_EQ(files.unlink(".input"), 0);
  EXPECT_EQ(files.open(".input", 3, 1), -1);
  EXPECT_EQ(files.rename(".input", "site/page.html"), -1);
  EXPECT_EQ(read_file(input), "stream bytes");
  // Only handles it gave out are used.
  EXPECT_EQ(files.read(0, buffer, 1), -1);
  EXPECT_EQ(files.close(h), 0);
  EXPECT_EQ(files.close(h), -1);
}

}  // namespace
