// A check of converted HTML for live content, tokenised as a browser reads
// markup: start tags and their attributes, end tags, comments, raw-text
// elements.
#pragma once

#include <string>
#include <string_view>

namespace test_support {

// "" when the HTML holds no SCRIPT element, no event attribute (a name that
// begins with "on") and no URL attribute whose scheme is javascript, vbscript
// or data; else a description of the first such finding.
std::string live_content_in(std::string_view html);

}  // namespace test_support
