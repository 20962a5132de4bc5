#pragma once

#include <cstdint>

namespace devsim {

inline constexpr int kSlowBaud = 19200;
inline constexpr int kFastBaud = 57600;

// Time for `bytes` bytes to cross a serial line at `baud`, 8N1: a start bit, eight data bits
// and a stop bit per byte. Rounded up, so that nothing arrives earlier than the line allows.
constexpr std::int64_t lineTimeUs(std::int64_t bytes, int baud) {
  return (bytes * 10 * 1'000'000 + baud - 1) / baud;
}

}  // namespace devsim
