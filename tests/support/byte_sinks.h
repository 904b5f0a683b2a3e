// Callbacks for output redirection and copying that keep the bytes they are
// given in a string of the test, and take them back from its end.
#pragma once

#include <string>

namespace test_support {

template <std::string *Kept>
int keep_byte(int c) {
  Kept->push_back(static_cast<char>(c));
  return 0;
}

// The last byte kept, removed; -1 when none is left.
template <std::string *Kept>
int take_back_byte() {
  if (Kept->empty()) return -1;
  const int c = static_cast<unsigned char>(Kept->back());
  Kept->pop_back();
  return c;
}

}  // namespace test_support
