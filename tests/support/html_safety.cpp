#include "support/html_safety.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace test_support {

namespace {

constexpr std::string_view spaces = " \t\n\f\r";

std::string lower(std::string_view text) {
  std::string out(text);
  for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Character references decoded as in an attribute value (numeric ones and the
// few named ones that can spell a scheme).
std::string decode(std::string_view value) {
  constexpr std::array<std::pair<std::string_view, char>, 5> named = {{
      {"colon;", ':'}, {"tab;", '\t'}, {"newline;", '\n'}, {"amp;", '&'}, {"quot;", '"'}}};
  std::string out;
  for (std::size_t i = 0; i < value.size();) {
    const std::string_view rest = value.substr(i + 1);
    if (value[i] == '&' && rest.starts_with('#')) {
      const bool hex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
      const char *digits = rest.data() + (hex ? 2 : 1);
      unsigned long code = 0;
      const auto [end, error] = std::from_chars(digits, rest.data() + rest.size(), code, hex ? 16 : 10);
      if (end != digits) {
        out += error == std::errc() && code < 0x80 ? static_cast<char>(code) : '?';
        i = static_cast<std::size_t>(end - value.data()) + (end != value.data() + value.size() && *end == ';');
        continue;
      }
    }
    const auto name = std::ranges::find_if(
        named, [&](const auto &entry) { return value[i] == '&' && lower(rest.substr(0, entry.first.size())) == entry.first; });
    out += name == named.end() ? value[i] : name->second;
    i += name == named.end() ? 1 : 1 + name->first.size();
  }
  return out;
}

// The scheme a browser would take from a URL attribute value, lower case, or "".
std::string scheme_of(std::string_view raw) {
  const std::string value = decode(raw);
  std::string scheme;
  std::size_t i = 0;
  while (i < value.size() && static_cast<unsigned char>(value[i]) <= 0x20) ++i;
  for (; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (c == ':') return lower(scheme);
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return "";
    scheme += c;
  }
  return "";
}

constexpr std::array<std::string_view, 10> url_attributes = {"href",   "src",  "action",   "formaction", "background",
                                                             "lowsrc", "data", "codebase", "poster",     "dynsrc"};
constexpr std::array<std::string_view, 3> live_schemes = {"javascript", "vbscript", "data"};
// Elements whose content is text up to their own end tag.
constexpr std::array<std::string_view, 9> raw_text_elements = {"style",   "textarea", "title",  "xmp",      "iframe",
                                                                "noembed", "noframes", "script", "plaintext"};

template <typename List>
bool listed(const List &list, std::string_view name) {
  return std::ranges::find(list, name) != list.end();
}

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view html) : html_(html) {}

  std::string run() {
    while (at_ < html_.size() && finding_.empty()) {
      const std::size_t lt = html_.find('<', at_);
      if (lt == std::string_view::npos || lt + 1 >= html_.size()) break;
      at_ = lt + 1;
      const auto letter = [&](std::size_t i) { return i < html_.size() && std::isalpha(static_cast<unsigned char>(html_[i])); };
      if (html_.substr(at_, 3) == "!--") comment();
      else if (html_[at_] == '!' || html_[at_] == '?') skip_past('>');
      else if (html_[at_] == '/') letter(++at_) ? tag(false) : skip_past('>');
      else if (letter(at_)) tag(true);
    }
    return finding_;
  }

 private:
  std::size_t end_of(std::string_view stops, std::size_t from) const {
    return std::min(html_.find_first_of(stops, from), html_.size());
  }
  void skip_spaces() { at_ = std::min(html_.find_first_not_of(spaces, at_), html_.size()); }
  void skip_past(char c) { at_ = std::min(html_.find(c, at_), html_.size() - 1) + 1; }

  void comment() {
    at_ += 3;
    // "<!-->" and "<!--->" end at once.
    if (html_.substr(at_, 1) == ">") return void(++at_);
    if (html_.substr(at_, 2) == "->") return void(at_ += 2);
    for (std::size_t i = at_; i < html_.size(); ++i) {
      if (html_.substr(i, 3) == "-->") return void(at_ = i + 3);
      if (html_.substr(i, 4) == "--!>") return void(at_ = i + 4);
    }
    at_ = html_.size();
  }

  void tag(bool start) {
    const std::size_t end = end_of(" \t\n\f\r/>", at_);
    const std::string name = lower(html_.substr(at_, end - at_));
    at_ = end;
    if (start && name == "script") finding_ = "a SCRIPT element";
    attributes(start, name);
    if (!start || !finding_.empty() || !listed(raw_text_elements, name)) return;
    const std::size_t close = name == "plaintext" ? std::string::npos : lower(html_.substr(at_)).find("</" + name);
    at_ = close == std::string::npos ? html_.size() : at_ + close;
  }

  void attributes(bool start, const std::string &tag_name) {
    while (at_ < html_.size()) {
      at_ = std::min(html_.find_first_not_of(" \t\n\f\r/", at_), html_.size());
      if (at_ >= html_.size()) return;
      if (html_[at_] == '>') return void(++at_);
      const std::size_t end = end_of(" \t\n\f\r/>=", at_ + 1);  // a first "=" belongs to the name
      const std::string name = lower(html_.substr(at_, end - at_));
      at_ = end;
      skip_spaces();
      std::string_view value;
      if (at_ < html_.size() && html_[at_] == '=') {
        ++at_;
        skip_spaces();
        value = attribute_value();
      }
      if (!start) continue;
      if (name.rfind("on", 0) == 0) finding_ = "an event attribute " + name + " in " + tag_name;
      const std::string scheme = listed(url_attributes, name) ? scheme_of(value) : "";
      if (listed(live_schemes, scheme)) finding_ = "a " + scheme + ": URL in " + tag_name;
      if (!finding_.empty()) return;
    }
  }

  std::string_view attribute_value() {
    if (at_ >= html_.size()) return {};
    const char quote = html_[at_];
    const bool quoted = quote == '"' || quote == '\'';
    const std::size_t start = at_ + quoted;
    const std::size_t end = quoted ? std::min(html_.find(quote, start), html_.size()) : end_of(" \t\n\f\r>", at_);
    at_ = std::min(end + quoted, html_.size());
    return html_.substr(start, end - start);
  }

  std::string_view html_;
  std::size_t at_ = 0;
  std::string finding_;
};

}  // namespace

std::string live_content_in(std::string_view html) { return Tokenizer(html).run(); }

}  // namespace test_support
