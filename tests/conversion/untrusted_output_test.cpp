// Documents nobody checked: with the UNTRUSTED option word, known injection
// strings in every place where document text reaches markup give pages without
// live content, as read by a real HTML parser; without the option the output
// stays as it was, and every conversion case gives the same bytes either way
// unless its document text holds markup characters.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "html/links_comments.h"
#include "support/fake_host.h"
#include "support/case_file.h"
#include "support/temp_dir.h"

namespace {

using test_support::ConversionSettings;

const std::vector<std::string> injections = {
    "x\"><script>alert(3)</script>",
    "javascript:alert(1)\" onmouseover=\"alert(2)",
    "javascript:alert(1)",
    "JaVaScRiPt:alert(1)",
    "JAVASCRIPT:alert(1)",
    " javascript:alert(1)",
    "\tjavascript:alert(1)",
    "java\tscript:alert(1)",
    "java\nscript:alert(1)",
    "\x01javascript:alert(1)",
    "&#106;avascript:alert(1)",
    "&#x6A;avascript:alert(1)",
    "&#0000106avascript:alert(1)",
    "&#74;&#65;&#86;&#65;script:alert(1)",
    "javascript&colon;alert(1)",
    "jav&#x09;ascript:alert(1)",
    "jav&Tab;ascript:alert(1)",
    "vbscript:msgbox(1)",
    "data:text/html,<script>alert(1)</script>",
    "data:text/html;base64,PHNjcmlwdD5hbGVydCgxKTwvc2NyaXB0Pg==",
    "\" onclick=\"alert(1)",
    "' onclick='alert(1)",
    "\"/onerror=alert(1) x=\"",
    "x\" onfocus=alert(1) autofocus x=\"",
    "<img src=x onerror=alert(1)>",
    "</A><SCRIPT>alert(1)</SCRIPT>",
    "--><script>alert(1)</script>",
    "</TITLE><SCRIPT>alert(1)</SCRIPT>",
    "<svg onload=alert(1)>",
    "\"><iframe src=javascript:alert(1)>",
    "&quot; onmouseover=&quot;alert(1)",
    "x\" style=\"background:url(javascript:alert(1))",
};

constexpr char ESC = '\x1B', GS = '\x1D', US = '\x1F', RS = '\x1E';

// A code with its parameters, as bytes (parameters are taken as they are).
std::string code(const std::string &name, const std::vector<std::string> &parameters) {
  std::string bytes{ESC, GS};
  bytes += name;
  for (const std::string &p : parameters) bytes += p + US;
  return bytes + RS;
}

std::string summary_with(int field, const std::string &text) {
  std::vector<std::string> fields(21);
  fields[static_cast<std::size_t>(field - 1)] = text;
  return code("SSI", fields);
}

struct Place {
  const char *name;
  std::string (*stream)(const std::string &injection);
};

// Every place where a document's text reaches the page outside running text.
const std::vector<Place> places = {
    {"link target", [](const std::string &s) { return "a" + code("XRF", {"0", "12", s, "see"}) + "b"; }},
    {"link text", [](const std::string &s) { return "a" + code("XRF", {"0", "12", "ok.htm", s}) + "b"; }},
    {"place in the document", [](const std::string &s) { return "a" + code("XRF", {"0", "3", s, "see"}); }},
    {"open link", [](const std::string &s) { return "a" + code("XRF", {"4", "12", s, ""}) + "t" + code("XRF", {"5", "0", "", ""}); }},
    {"link closed by a line break", [](const std::string &s) { return code("XRF", {"4", "12", s, ""}) + "t" + code("HNL", {}); }},
    {"anchor", [](const std::string &s) { return "a" + code("XRF", {"1", "0", s, ""}) + "b"; }},
    {"font face", [](const std::string &s) { return code("SPF", {"0", "0", "10", "0", "240", s}) + "text"; }},
    {"title", [](const std::string &s) { return summary_with(21, s) + "text"; }},
    {"subject", [](const std::string &s) { return summary_with(1, s) + "text"; }},
    {"author", [](const std::string &s) { return summary_with(2, s) + "text"; }},
    {"keywords", [](const std::string &s) { return summary_with(4, s) + "text"; }},
    {"comment", [](const std::string &s) { return "a" + code("CMT", {s}) + "b"; }},
    {"running text", [](const std::string &s) { return s; }},
    {"footnote", [](const std::string &s) { return "a" + code("FTN", {"1"}) + s + code("EFN", {}) + "b"; }},
    {"file link", [](const std::string &s) { return "a" + code("FIC", {s, "0"}) + "b"; }},
};

struct CheckRun {
  int status;
  std::string report;
};

CheckRun check_with_html_parser(const std::vector<std::string> &files) {
  std::string command = "python3 " ICF_CASES_DIR "/../tools/check_untrusted_html.py";
  for (const std::string &f : files) command += " '" + f + "'";
  CheckRun run{-1, ""};
  std::FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) run.report.append(chunk, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// Converts every injection in every place into its own page under dir; the page names.
std::vector<std::string> convert_all(const test_support::TempDir &dir, const std::vector<std::string> &options) {
  std::vector<std::string> pages;
  ConversionSettings settings;
  settings.options = options;
  for (std::size_t p = 0; p < places.size(); ++p) {
    for (std::size_t i = 0; i < injections.size(); ++i) {
      const auto result = test_support::convert_bytes(dir.path().string(), places[p].stream(injections[i]), settings);
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
  const CheckRun check = check_with_html_parser(pages);
  EXPECT_EQ(check.status, 0) << check.report;
  EXPECT_NE(check.report.find(std::to_string(places.size() * injections.size()) + " files read"), std::string::npos)
      << check.report;
}

TEST(UntrustedOutput, WithoutTheOptionTheInjectionsAreLive) {
  // Shows that the parser check can fail: the design's bytes carry the attacks.
  test_support::TempDir dir;
  const auto pages = convert_all(dir, {});
  const CheckRun check = check_with_html_parser(pages);
  EXPECT_EQ(check.status, 1) << check.report;
  EXPECT_NE(check.report.find("a SCRIPT element"), std::string::npos);
  EXPECT_NE(check.report.find("an event attribute onmouseover in a"), std::string::npos);
  EXPECT_NE(check.report.find("a javascript: URL in a"), std::string::npos);
}

TEST(UntrustedOutput, RefusedLinksKeepTheirTextAndAllowedOnesStay) {
  test_support::TempDir dir;
  ConversionSettings untrusted;
  untrusted.options = {"UNTRUSTED"};
  const std::string stream = "|" + code("XRF", {"0", "12", "javascript:alert(1)", "<b>see</b>"}) + "|" +
                             code("XRF", {"4", "12", "JAVA&#83;cript:x", ""}) + "inside" +
                             code("XRF", {"5", "0", "", ""}) + "|" +
                             code("XRF", {"0", "12", "https://example.org/a?b=\"c\"", "ok"}) +
                             code("XRF", {"4", "12", "mailto:a@b", ""}) + "mail" + code("HNL", {});
  const auto result = test_support::convert_bytes(dir.path().string(), stream, untrusted);
  EXPECT_NE(result.html.find("|&lt;b&gt;see&lt;/b&gt;|inside|"), std::string::npos) << result.html;
  EXPECT_NE(result.html.find("<A HREF=\"https://example.org/a?b=&quot;c&quot;\">ok</A>"), std::string::npos);
  EXPECT_NE(result.html.find("<A HREF=\"mailto:a@b\">mail</A><BR>"), std::string::npos) << result.html;
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
