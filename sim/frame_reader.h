#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/bytes.h"

namespace devsim {

enum class FrameType : std::uint8_t {
  LongRead,
  LongWrite,
  SpeedSwitch,  // the short frame: 0x80, bank, address low, address high, data, 8-bit sum
  Garbage,      // bytes that cannot start a frame
  Incomplete,   // the start of a frame that the host abandoned
};

// A frame as the device cut it from the byte stream, with its fields read out.
struct IncomingFrame {
  FrameType type = FrameType::Garbage;
  Bytes raw{};
  std::int64_t firstByteUs = 0;
  std::uint8_t command = 0;  // as sent, write bit included
  std::uint8_t bank = 0;
  std::uint32_t address = 0;
  std::uint16_t length = 0;  // N, the number of data bytes read or written
  Bytes data{};              // write data
  std::uint16_t sentSum = 0;
  std::uint16_t computedSum = 0;

  bool checksumOk() const { return sentSum == computedSum; }
};

// Cuts the host's byte stream into frames. The line has no start or end markers, so a frame's
// length follows from its first bytes; bytes that cannot start a frame are dropped as garbage,
// and a partial frame followed by a silence longer than kInterByteGapUs is dropped as
// incomplete, so that a host that gave up mid-frame and starts again is understood.
class FrameReader {
 public:
  // Far longer than any pause inside a frame that a host writes in one go, and far shorter than
  // the host's 2 s reply timeout after which it starts again.
  static constexpr std::int64_t kInterByteGapUs = 100'000;

  std::vector<IncomingFrame> push(std::span<const std::uint8_t> bytes, std::int64_t nowUs);

  bool midFrame() const { return !pending_.empty(); }

 private:
  std::optional<std::size_t> expectedLength() const;
  IncomingFrame decode() const;

  Bytes pending_;
  std::int64_t firstByteUs_ = 0;
  std::int64_t lastByteUs_ = 0;
};

// 0x00, 0x10, 0x50 and the same with the write bit.
bool canStartFrame(std::uint8_t byte);

}  // namespace devsim
