// The code stack under nested comments: five open codes are converted, a
// sixth ends the conversion with 16, which still closes and removes its files.
#include "html/links_comments.h"

#include <gtest/gtest.h>

#include <string>

#include "html/dispatch.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace {

class NestedComments : public testing::TestWithParam<int> {};

TEST_P(NestedComments, TheCodeStackHoldsFiveOpenComments) {
  const int depth = GetParam();
  std::string stream;
  for (int i = 0; i < depth; ++i) stream += "{CMT c" + std::to_string(i);
  for (int i = 0; i < depth; ++i) stream += "|}";
  stream += "after";
  test_support::TempDir dir;
  test_support::ConversionSettings settings;
  settings.levels = "2";
  settings.options = {"CMD=TITLE=t"};
  const auto result = test_support::convert_notation(dir.path().string(), stream, settings);

  std::string opened;
  for (int i = 0; i < depth; ++i) opened += "<!-- c" + std::to_string(i);
  if (depth <= kiv::code_stack_depth) {
    EXPECT_EQ(result.code, 0);
    std::string closed;
    for (int i = 0; i < depth; ++i) closed += " -->\r\n";
    EXPECT_NE(result.html.find("<BODY>\r\n" + opened + closed + "after\r\n</BODY>"), std::string::npos)
        << result.html;
  } else {
    EXPECT_EQ(result.code, 16);
    // What was written before the overflow reaches the target; nothing after it.
    const std::string tail = opened.substr(0, opened.rfind("<!-- ")) + "<!-- ";
    EXPECT_EQ(result.html.substr(result.html.size() - tail.size()), tail) << result.html;
  }
  for (const std::string &name : dir.listing()) EXPECT_EQ(name, "out.html");
}

INSTANTIATE_TEST_SUITE_P(Depths, NestedComments, testing::Range(1, kiv::code_stack_depth + 2));

}  // namespace
