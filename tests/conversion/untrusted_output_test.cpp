// Documents nobody checked: with the UNTRUSTED option word, known injection
// strings in every place where document text reaches markup give pages without
// live content, as a browser tokenises the markup; without the option the output
// stays as it was, and every conversion case gives the same bytes either way
// unless its document text holds markup characters.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "html/links_comments.h"
#include "support/fake_host.h"
#include "support/case_file.h"
#include "support/html_safety.h"
#include "support/temp_dir.h"

namespace {

using test_support::ConversionSettings;

// Known injection strings, one a line, and the places where a document's text
// reaches the page outside running text, as "name: stream" with @ where the
// injection goes; both in the stream notation.
std::vector<std::string> lines_of(const std::string &name) {
  std::vector<std::string> lines;
  std::istringstream text(test_support::read_file(ICF_CASES_DIR "/../untrusted/" + name));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

struct Place {
  std::string name;
  std::string stream;
  std::string with(const std::string &injection) const {
    std::string filled = stream;
    return filled.replace(filled.find('@'), 1, injection);
  }
};

const std::vector<std::string> injections = lines_of("injections.txt");
const std::vector<Place> places = [] {
  std::vector<Place> all;
  for (const std::string &line : lines_of("places.txt")) {
    const std::size_t colon = line.find(": ");
    all.push_back({line.substr(0, colon), line.substr(colon + 2)});
  }
  return all;
}();

// The live content found in each page: "page: finding" lines.
std::string findings_in(const std::vector<std::string> &pages) {
  std::string report;
  for (const std::string &page : pages) {
    const std::string finding = test_support::live_content_in(test_support::read_file(page));
    if (!finding.empty()) report += page + ": " + finding + "\n";
  }
  return report;
}

// Converts every injection in every place into its own page under dir; the page names.
std::vector<std::string> convert_all(const test_support::TempDir &dir, const std::vector<std::string> &options) {
  EXPECT_TRUE(places.size() == 16 && injections.size() == 32) << "the data files were not read whole";
  std::vector<std::string> pages;
  ConversionSettings settings;
  settings.options = options;
  for (std::size_t p = 0; p < places.size(); ++p) {
    for (std::size_t i = 0; i < injections.size(); ++i) {
      const auto result = test_support::convert_notation(dir.path().string(), places[p].with(injections[i]), settings);
      EXPECT_EQ(result.code, 0) << places[p].name << ": " << injections[i];
      const std::string page = dir.file("page-" + std::to_string(p) + "-" + std::to_string(i) + ".html");
      test_support::write_file(page, result.html);
      pages.push_back(page);
    }
  }
  return pages;
}

TEST(UntrustedOutput, KnownInjectionsLeaveNoLiveContent) {
  test_support::TempDir dir;
  const auto pages = convert_all(dir, {"UNTRUSTED"});
  EXPECT_EQ(findings_in(pages), "");
}

TEST(UntrustedOutput, WithoutTheOptionTheInjectionsAreLive) {
  // Shows that the check can fail: the plain output carries the attacks.
  test_support::TempDir dir;
  const std::string report = findings_in(convert_all(dir, {}));
  EXPECT_NE(report.find("a SCRIPT element"), std::string::npos) << report;
  EXPECT_NE(report.find("an event attribute onmouseover in a"), std::string::npos) << report;
  EXPECT_NE(report.find("a javascript: URL in a"), std::string::npos) << report;
}

TEST(UntrustedOutput, SchemesAreReadAsABrowserReadsThem) {
  for (const char *allowed : {"http://x", "HTTPS://x", "mailto:a@b", "ftp://h/f", "file:///c/d", "other.htm",
                              "dir/a:b", "?q=a:b", "#frag:x", "", "  page.htm", "Ht&#x74;p://x"})
    EXPECT_TRUE(kiv::link_target_allowed(allowed)) << allowed;
  for (const char *refused : {"javascript:x", "JaVaScRiPt:x", " javascript:x", "java\tscript:x", "&#106;avascript:x",
                              "&#x6a;avascript:x", "javascript&colon;x", "jav&Tab;ascript:x", "vbscript:x",
                              "data:text/html,x", "java script:x", "c:\\doc.htm", "\x01javascript:x", "&#1;x:y"})
    EXPECT_FALSE(kiv::link_target_allowed(refused)) << refused;
}

TEST(UntrustedOutput, CasesGiveTheSameBytesUnlessTheirTextHoldsMarkup) {
  int compared = 0;
  for (const test_support::ConversionCase &c : test_support::load_case_directory(ICF_CASES_DIR)) {
    test_support::TempDir dir;
    ConversionSettings settings;
    settings.levels = c.levels;
    settings.options = c.options;
    settings.options.emplace_back("UNTRUSTED");
    const auto result = test_support::convert_notation(dir.path().string(), c.input, settings);
    EXPECT_EQ(result.code, c.code) << c.file << ": " << c.name;
    if (c.input.find_first_of("&\"<>") != std::string::npos || c.input.find("\\x") != std::string::npos) continue;
    ++compared;
    EXPECT_EQ(result.html, c.expected) << c.file << ": " << c.name << test_support::describe_difference(c.expected, result.html);
  }
  EXPECT_GT(compared, 80);
}

}  // namespace
