// The stream notation, translated in both directions piece by piece.
#include "stream_notation.h"

namespace notation {

namespace {

constexpr char hex_digits[] = "0123456789ABCDEF";
constexpr unsigned char ESC = 0x1B, GS = 0x1D, RS = 0x1E, US = 0x1F;

// A code is ESC GS and three name characters; the byte after it decides
// whether a separating space follows the name. The dumper decides a byte only
// when this many bytes from it are known (or the input has ended).
constexpr std::size_t dump_lookahead = 6;
// The longest notation item after its first character: "{ABC " and "\xNN".
constexpr std::size_t assemble_lookahead = 5;

bool is_name_character(unsigned char c, int position) {
  if (c >= 'A' && c <= 'Z') return true;
  return position == 2 && ((c >= '0' && c <= '9') || c == ' ');
}

bool opens_code(std::string_view bytes, std::size_t at) {
  if (at + 5 > bytes.size()) return false;
  if (static_cast<unsigned char>(bytes[at]) != ESC || static_cast<unsigned char>(bytes[at + 1]) != GS) return false;
  for (int i = 0; i < 3; ++i)
    if (!is_name_character(static_cast<unsigned char>(bytes[at + 2 + i]), i)) return false;
  return true;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void put_escaped_byte(std::string &out, unsigned char c) {
  out += "\\x";
  out += hex_digits[c >> 4];
  out += hex_digits[c & 15];
}

}  // namespace

void Dumper::feed(std::string_view bytes, std::string &out) {
  pending_.append(bytes);
  translate(false, out);
}

void Dumper::finish(std::string &out) {
  translate(true, out);
  *this = {};
}

void Dumper::translate(bool at_end, std::string &out) {
  const std::string_view bytes = pending_;
  std::size_t i = 0;
  for (; i < bytes.size() && (at_end || i + dump_lookahead <= bytes.size()); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    const bool first_after_name = after_name_;
    after_name_ = false;
    if (opens_code(bytes, i)) {
      out += '{';
      out.append(bytes.substr(i + 2, 3));
      i += 4;
      ++depth_;
      if (i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) != RS) {
        out += ' ';
        after_name_ = true;
      }
      continue;
    }
    switch (c) {
      case US: out += '|'; break;
      case RS:
        out += '}';
        if (depth_ > 0 && --depth_ == 0) out += '\n';
        break;
      case '{': out += "\\{"; break;
      case '|': out += "\\|"; break;
      case '}': out += "\\}"; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c >= 32 && c <= 126 && !(c == ' ' && first_after_name)) out += static_cast<char>(c);
        else put_escaped_byte(out, c);
    }
  }
  pending_.erase(0, i);
}

bool Assembler::feed(std::string_view text, std::string &out, std::string &error) {
  pending_.append(text);
  return translate(false, out, error);
}

bool Assembler::finish(std::string &out, std::string &error) {
  const bool ok = translate(true, out, error);
  *this = {};
  return ok;
}

bool Assembler::translate(bool at_end, std::string &out, std::string &error) {
  const std::string_view text = pending_;
  const auto fail = [&](std::string_view what) {
    error = "line " + std::to_string(line_) + ": " + std::string(what);
    *this = {};
    return false;
  };
  std::size_t i = 0;
  for (; i < text.size() && (at_end || i + assemble_lookahead <= text.size()); ++i) {
    const char c = text[i];
    switch (c) {
      case '\n': ++line_; break;
      case '\r': break;
      case '|': out += static_cast<char>(US); break;
      case '}': out += static_cast<char>(RS); break;
      case '{': {
        if (i + 4 > text.size()) return fail("a code name needs three characters after {");
        out += static_cast<char>(ESC);
        out += static_cast<char>(GS);
        out.append(text.substr(i + 1, 3));
        i += 3;
        if (i + 1 < text.size() && text[i + 1] == ' ') ++i;
        break;
      }
      case '\\': {
        if (i + 1 >= text.size()) return fail("a backslash at the end");
        const char e = text[++i];
        switch (e) {
          case '{': case '|': case '}': case '\\': out += e; break;
          case 'n': out += '\n'; break;
          case 'r': out += '\r'; break;
          case 't': out += '\t'; break;
          case 'x': {
            const int high = i + 1 < text.size() ? hex_value(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? hex_value(text[i + 2]) : -1;
            if (high < 0 || low < 0) return fail("\\x needs two hexadecimal digits");
            out += static_cast<char>(high * 16 + low);
            i += 2;
            break;
          }
          default: return fail(std::string("unknown escape \\") + e);
        }
        break;
      }
      default: out += c;
    }
  }
  pending_.erase(0, i);
  return true;
}

std::string to_notation(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  Dumper dumper;
  dumper.feed(bytes, out);
  dumper.finish(out);
  return out;
}

bool from_notation(std::string_view text, std::string &bytes, std::string &error) {
  bytes.clear();
  Assembler assembler;
  return assembler.feed(text, bytes, error) && assembler.finish(bytes, error);
}

}  // namespace notation
