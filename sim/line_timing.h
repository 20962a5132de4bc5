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

// When a USB-serial adapter hands on bytes that reached it at `atUs`. A reply shorter than the
// adapter's buffer waits there for the next tick of its latency timer, which runs every
// `latencyUs` (the adapter's default is 16 ms; 0 = no adapter, handed on at once).
constexpr std::int64_t adapterReleaseUs(std::int64_t atUs, std::int64_t latencyUs) {
  return latencyUs <= 0 ? atUs : (atUs + latencyUs - 1) / latencyUs * latencyUs;
}

}  // namespace devsim
