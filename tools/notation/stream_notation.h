// A readable text notation for intermediate code streams, exact in both
// directions for every byte sequence:
//   {ABC        ESC GS and a three-character code name (a single space after
//               the name is only a separator)
//   |           US, the end of a parameter        }   RS, the end of a code
//   \{ \| \} \\ the characters themselves          \n \r \t  LF, CR, TAB
//   \xNN        any other byte                     line breaks are ignored
// Every other printable character stands for itself.
//
// Both directions stream: input arrives in pieces of any size and the
// translator holds back only the few characters it must see before deciding,
// so whole files translate in constant memory.
#pragma once

#include <string>
#include <string_view>

namespace notation {

// Bytes to notation. feed() appends the notation of what it can already
// decide to `out`; finish() appends the rest at the end of the input.
class Dumper {
 public:
  void feed(std::string_view bytes, std::string &out);
  void finish(std::string &out);

 private:
  void translate(bool at_end, std::string &out);
  std::string pending_;     // bytes waiting for the lookahead a code needs
  int depth_ = 0;           // codes open around the current byte
  bool after_name_ = false; // a leading space of the first parameter must be escaped
};

// Notation to bytes. feed() appends the bytes of what it can already decide
// to `out`; on a malformed notation feed() or finish() returns false and puts
// a message naming the line into `error`, and the translation is over.
class Assembler {
 public:
  bool feed(std::string_view text, std::string &out, std::string &error);
  bool finish(std::string &out, std::string &error);

 private:
  bool translate(bool at_end, std::string &out, std::string &error);
  std::string pending_;     // characters waiting for the rest of an escape or code name
  std::size_t line_ = 1;
};

// The notation of a whole byte sequence; a line break follows every LF and
// every code that closes at the outer level.
std::string to_notation(std::string_view bytes);

// The bytes a whole notation stands for; false and a message naming the line
// on a malformed notation.
bool from_notation(std::string_view text, std::string &bytes, std::string &error);

}  // namespace notation
