#include "support/html_safety.h"

#include <array>
#include <cctype>

namespace test_support {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

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
    if (value[i] != '&') {
      out += value[i++];
      continue;
    }
    const std::string_view rest = value.substr(i + 1);
    if (!rest.empty() && rest[0] == '#') {
      const bool hex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
      std::size_t j = hex ? 2 : 1;
      long code = 0;
      const std::size_t start = j;
      while (j < rest.size() && (hex ? std::isxdigit(static_cast<unsigned char>(rest[j])) != 0
                                     : std::isdigit(static_cast<unsigned char>(rest[j])) != 0)) {
        const int digit = std::isdigit(static_cast<unsigned char>(rest[j])) ? rest[j] - '0'
                                                                            : std::tolower(rest[j]) - 'a' + 10;
        if (code < 0x110000) code = code * (hex ? 16 : 10) + digit;
        ++j;
      }
      if (j > start) {
        if (j < rest.size() && rest[j] == ';') ++j;
        out += code < 0x80 ? static_cast<char>(code) : '?';
        i += 1 + j;
        continue;
      }
    }
    bool matched = false;
    for (const auto &[name, c] : named) {
      if (lower(rest.substr(0, name.size())) == name) {
        out += c;
        i += 1 + name.size();
        matched = true;
        break;
      }
    }
    if (!matched) out += value[i++];
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

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view html) : html_(html) {}

  std::string run() {
    while (at_ < html_.size() && finding_.empty()) {
      const std::size_t lt = html_.find('<', at_);
      if (lt == std::string_view::npos) break;
      at_ = lt + 1;
      if (at_ >= html_.size()) break;
      const char c = html_[at_];
      if (html_.substr(at_, 3) == "!--") {
        comment();
      } else if (c == '!' || c == '?') {
        skip_past('>');
      } else if (c == '/') {
        ++at_;
        if (at_ < html_.size() && std::isalpha(static_cast<unsigned char>(html_[at_]))) tag(false);
        else skip_past('>');
      } else if (std::isalpha(static_cast<unsigned char>(c))) {
        tag(true);
      }
    }
    return finding_;
  }

 private:
  void skip_past(char c) {
    const std::size_t end = html_.find(c, at_);
    at_ = end == std::string_view::npos ? html_.size() : end + 1;
  }

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
    std::size_t end = at_;
    while (end < html_.size() && !is_space(html_[end]) && html_[end] != '/' && html_[end] != '>') ++end;
    const std::string name = lower(html_.substr(at_, end - at_));
    at_ = end;
    if (start && name == "script") finding_ = "a SCRIPT element";
    attributes(start, name);
    if (!start || !finding_.empty()) return;
    for (std::string_view raw : raw_text_elements) {
      if (name != raw) continue;
      if (name == "plaintext") return void(at_ = html_.size());
      const std::string lowered = lower(html_.substr(at_));
      const std::size_t close = lowered.find("</" + name);
      at_ = close == std::string::npos ? html_.size() : at_ + close;
    }
  }

  void attributes(bool start, const std::string &tag_name) {
    while (at_ < html_.size()) {
      while (at_ < html_.size() && (is_space(html_[at_]) || html_[at_] == '/')) ++at_;
      if (at_ >= html_.size()) return;
      if (html_[at_] == '>') return void(++at_);
      std::size_t end = at_ + 1;  // a first "=" belongs to the name
      while (end < html_.size() && !is_space(html_[end]) && html_[end] != '/' && html_[end] != '>' && html_[end] != '=')
        ++end;
      const std::string name = lower(html_.substr(at_, end - at_));
      at_ = end;
      while (at_ < html_.size() && is_space(html_[at_])) ++at_;
      std::string_view value;
      if (at_ < html_.size() && html_[at_] == '=') {
        ++at_;
        while (at_ < html_.size() && is_space(html_[at_])) ++at_;
        value = attribute_value();
      }
      if (!start) continue;
      if (name.rfind("on", 0) == 0) finding_ = "an event attribute " + name + " in " + tag_name;
      for (std::string_view url : url_attributes) {
        if (name != url) continue;
        const std::string scheme = scheme_of(value);
        for (std::string_view live : live_schemes)
          if (scheme == live) finding_ = "a " + scheme + ": URL in " + tag_name;
      }
      if (!finding_.empty()) return;
    }
  }

  std::string_view attribute_value() {
    if (at_ >= html_.size()) return {};
    const char quote = html_[at_];
    if (quote == '"' || quote == '\'') {
      const std::size_t close = html_.find(quote, at_ + 1);
      const std::size_t stop = close == std::string_view::npos ? html_.size() : close;
      const std::string_view value = html_.substr(at_ + 1, stop - at_ - 1);
      at_ = close == std::string_view::npos ? html_.size() : close + 1;
      return value;
    }
    std::size_t end = at_;
    while (end < html_.size() && !is_space(html_[end]) && html_[end] != '>') ++end;
    const std::string_view value = html_.substr(at_, end - at_);
    at_ = end;
    return value;
  }

  std::string_view html_;
  std::size_t at_ = 0;
  std::string finding_;
};

}  // namespace

std::string live_content_in(std::string_view html) { return Tokenizer(html).run(); }

}  // namespace test_support
