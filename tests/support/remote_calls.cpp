#include "support/remote_calls.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace test_support {

RemoteCall call_remote(const RemoteOperations &operations, const std::string &step) {
  const std::size_t arrow = step.rfind(" -> ");
  if (arrow == std::string::npos) throw std::runtime_error("no result in: " + step);
  const std::vector<std::string> w = words_of(step.substr(0, arrow));
  RemoteCall call;
  call.expected = std::stol(step.substr(arrow + 4), nullptr, 0);
  const std::string &op = w.at(0);
  auto number = [&w](std::size_t i) { return std::stol(w.at(i), nullptr, 0); };
  auto name = [&w](std::size_t i) { return bytes_of(w.at(i)); };
  if (op == "open") {
    call.result = operations.open(name(1).c_str(), int(number(2)), int(number(3)));
  } else if (op == "read") {
    // Marked bytes around the count show what the read touched.
    const int count = int(number(2));
    std::string buffer(std::size_t(count) + 16, '\xEE');
    call.result = operations.read(int(number(1)), buffer.data(), count);
    const std::size_t got = std::size_t(std::max(call.result, 0L));
    call.read = buffer.substr(0, got);
    call.wrote_past = buffer.find_first_not_of('\xEE', got) != std::string::npos;
  } else if (op == "write") {
    const std::string bytes = bytes_of(after_words(step.substr(0, arrow), 2));
    call.result = operations.write(int(number(1)), bytes.data(), int(bytes.size()));
  } else if (op == "lseek") {
    call.result = operations.lseek(int(number(1)), number(2), int(number(3)));
  } else if (op == "close") {
    call.result = operations.close(int(number(1)));
  } else if (op == "unlink") {
    call.result = operations.unlink(name(1).c_str());
  } else if (op == "rename") {
    call.result = operations.rename(name(1).c_str(), name(2).c_str());
  } else if (op == "getsize") {
    call.result = operations.get_size(name(1).c_str());
  } else if (op == "exist") {
    call.result = operations.check_exist(name(1).c_str());
  } else {
    throw std::runtime_error("no operation " + op);
  }
  return call;
}

}  // namespace test_support
