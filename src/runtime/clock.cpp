// The local clock.
#include "runtime/clock.h"

#include <ctime>

namespace kiv {

int getclk(unsigned char *buf) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  buf[0] = static_cast<unsigned char>(local.tm_wday);
  buf[1] = static_cast<unsigned char>(local.tm_year + 1900 - 1980);
  buf[2] = static_cast<unsigned char>(local.tm_mon + 1);
  buf[3] = static_cast<unsigned char>(local.tm_mday);
  buf[4] = static_cast<unsigned char>(local.tm_hour);
  buf[5] = static_cast<unsigned char>(local.tm_min);
  buf[6] = static_cast<unsigned char>(local.tm_sec);
  buf[7] = 0;
  return 0;
}

}  // namespace kiv
