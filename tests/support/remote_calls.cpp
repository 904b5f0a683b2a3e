#include "support/remote_calls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace test_support {

bool CallSteps::take(const std::string &word, const std::string &rest) {
  if (word == "call") {
    const std::size_t arrow = rest.rfind(" -> ");
    if (arrow == std::string::npos) throw std::runtime_error("no result in: " + rest);
    testing::internal::CaptureStderr();
    const long result = call(rest.substr(0, arrow));
    errors_ = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, std::stol(rest.substr(arrow + 4), nullptr, 0));
  } else if (word == "got") {
    EXPECT_EQ(read_, bytes_of(rest));
  } else if (word == "stderr") {
    EXPECT_EQ(errors_, bytes_of(rest));
  } else if (word == "stderr-has") {
    EXPECT_NE(errors_.find(bytes_of(rest)), std::string::npos) << errors_;
  } else {
    return false;
  }
  return true;
}

long CallSteps::call(const std::string &step) {
  const std::vector<std::string> w = words_of(step);
  const std::string &op = w.at(0);
  auto number = [&w](std::size_t i) { return std::stol(w.at(i), nullptr, 0); };
  auto name = [&w](std::size_t i) { return bytes_of(w.at(i)); };
  if (op == "open") return operations_.open(name(1).c_str(), int(number(2)), int(number(3)));
  if (op == "read") {
    // Marked bytes around the count show what the read touched.
    const int count = int(number(2));
    std::string buffer(std::size_t(count) + 16, '\xEE');
    const int result = operations_.read(int(number(1)), buffer.data(), count);
    const std::size_t got = std::size_t(std::max(result, 0));
    read_ = buffer.substr(0, got);
    EXPECT_EQ(buffer.find_first_not_of('\xEE', got), std::string::npos) << "a read wrote past what it returned";
    return result;
  }
  if (op == "write") {
    const std::string bytes = bytes_of(after_words(step, 2));
    return operations_.write(int(number(1)), bytes.data(), int(bytes.size()));
  }
  if (op == "lseek") return operations_.lseek(int(number(1)), number(2), int(number(3)));
  if (op == "close") return operations_.close(int(number(1)));
  if (op == "unlink") return operations_.unlink(name(1).c_str());
  if (op == "rename") return operations_.rename(name(1).c_str(), name(2).c_str());
  if (op == "getsize") return operations_.get_size(name(1).c_str());
  if (op == "exist") return operations_.check_exist(name(1).c_str());
  throw std::runtime_error("no operation " + op);
}

}  // namespace test_support
