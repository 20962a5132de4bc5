#pragma once

// Request frames as a host sends them, built independently of the device code under test so
// that the worked examples pin both.

#include <cstdint>
#include <initializer_list>
#include <numeric>
#include <vector>

#include "sim/bytes.h"
#include "sim/device.h"

namespace devsim::test {

inline constexpr std::uint8_t kRegisters = 0x00;
inline constexpr std::uint8_t kEeprom = 0x10;
inline constexpr std::uint8_t kFlash = 0x50;

inline const Bytes kSpeedSwitchFrame = {0x80, 0x00, 0x6E, 0x00, 0x02, 0xF0};

inline Bytes withSum16(Bytes frame) {
  const unsigned sum = std::accumulate(frame.begin(), frame.end(), 0u);
  frame.push_back(static_cast<std::uint8_t>(sum));
  frame.push_back(static_cast<std::uint8_t>(sum >> 8));
  return frame;
}

inline Bytes readFrame(std::uint8_t area, std::uint32_t address, int length) {
  return withSum16({area, static_cast<std::uint8_t>(length - 1), 0x00,
                    static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
                    static_cast<std::uint8_t>(address >> 16),
                    static_cast<std::uint8_t>(address >> 24)});
}

inline Bytes writeFrame(std::uint8_t area, std::uint32_t address, const Bytes& data) {
  Bytes frame = {static_cast<std::uint8_t>(area | 0x80),
                 static_cast<std::uint8_t>(data.size() - 1),
                 0x00,
                 static_cast<std::uint8_t>(address),
                 static_cast<std::uint8_t>(address >> 8),
                 static_cast<std::uint8_t>(address >> 16),
                 static_cast<std::uint8_t>(address >> 24)};
  frame.insert(frame.end(), data.begin(), data.end());
  return withSum16(frame);
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

// Everything the device sends in answer to `bytes`, delays ignored.
inline Bytes replyTo(Device& device, const Bytes& bytes, std::int64_t nowUs = 0) {
  Bytes out;
  for (const Transmission& t : device.receive(bytes, nowUs)) {
    out.insert(out.end(), t.bytes.begin(), t.bytes.end());
  }
  return out;
}

}  // namespace devsim::test
