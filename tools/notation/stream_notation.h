// A readable text notation for intermediate code streams, exact in both
// directions for every byte sequence:
//   {ABC        ESC GS and a three-character code name (a single space after
//               the name is only a separator)
//   |           US, the end of a parameter        }   RS, the end of a code
//   \{ \| \} \\ the characters themselves          \n \r \t  LF, CR, TAB
//   \xNN        any other byte                     line breaks are ignored
// Every other printable character stands for itself.
#pragma once

#include <string>
#include <string_view>

namespace notation {

// The notation of a byte sequence; a line break follows every LF and every
// code that closes at the outer level.
std::string to_notation(std::string_view bytes);

// The bytes a notation stands for. On a malformed notation returns false and
// puts a message naming the position into error.
bool from_notation(std::string_view text, std::string &bytes, std::string &error);

}  // namespace notation
