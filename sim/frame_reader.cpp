#include "sim/frame_reader.h"

#include <numeric>

namespace devsim {

namespace {

constexpr std::uint8_t kWriteBit = 0x80;
// In a long frame the third byte is the bank, always 0; in the short speed-switch frame it is
// the low byte of the command register address.
constexpr std::uint8_t kShortFrameMarker = 0x6E;
constexpr std::size_t kShortFrameLength = 6;
// Command, length, bank, four address bytes, then the two checksum bytes.
constexpr std::size_t kLongFrameOverhead = 9;

std::uint16_t sum16(std::span<const std::uint8_t> bytes) {
  return static_cast<std::uint16_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

}  // namespace

bool canStartFrame(std::uint8_t byte) {
  switch (byte & ~kWriteBit) {
    case 0x00:
    case 0x10:
    case 0x50:
      return true;
    default:
      return false;
  }
}

std::vector<IncomingFrame> FrameReader::push(std::span<const std::uint8_t> bytes,
                                             std::int64_t nowUs) {
  std::vector<IncomingFrame> frames;
  if (!pending_.empty() && nowUs - lastByteUs_ > kInterByteGapUs) {
    frames.push_back({.type = FrameType::Incomplete, .raw = pending_, .firstByteUs = firstByteUs_});
    pending_.clear();
  }
  IncomingFrame garbage{.type = FrameType::Garbage, .firstByteUs = nowUs};
  const auto flushGarbage = [&] {
    if (!garbage.raw.empty()) {
      frames.push_back(garbage);
      garbage.raw.clear();
    }
  };
  for (const std::uint8_t byte : bytes) {
    if (pending_.empty()) {
      if (!canStartFrame(byte)) {
        garbage.raw.push_back(byte);
        continue;
      }
      flushGarbage();
      firstByteUs_ = nowUs;
    }
    pending_.push_back(byte);
    const auto length = expectedLength();
    if (length && pending_.size() == *length) {
      frames.push_back(decode());
      pending_.clear();
    }
  }
  flushGarbage();
  if (!bytes.empty()) {
    lastByteUs_ = nowUs;
  }
  return frames;
}

std::optional<std::size_t> FrameReader::expectedLength() const {
  if (pending_[0] == kWriteBit) {
    if (pending_.size() < 3) {
      return std::nullopt;
    }
    if (pending_[2] == kShortFrameMarker) {
      return kShortFrameLength;
    }
  }
  if ((pending_[0] & kWriteBit) == 0) {
    return kLongFrameOverhead;
  }
  if (pending_.size() < 2) {
    return std::nullopt;
  }
  return kLongFrameOverhead + pending_[1] + 1;
}

IncomingFrame FrameReader::decode() const {
  const Bytes& raw = pending_;
  IncomingFrame frame{.raw = raw, .firstByteUs = firstByteUs_, .command = raw[0]};
  if (raw.size() == kShortFrameLength && raw[0] == kWriteBit && raw[2] == kShortFrameMarker) {
    frame.type = FrameType::SpeedSwitch;
    frame.bank = raw[1];
    frame.address = static_cast<std::uint32_t>(raw[2] | (raw[3] << 8));
    frame.length = 1;
    frame.data = {raw[4]};
    frame.sentSum = raw[5];
    frame.computedSum = sum16(std::span(raw).first(5)) & 0xFF;
    return frame;
  }
  frame.type = (raw[0] & kWriteBit) ? FrameType::LongWrite : FrameType::LongRead;
  frame.length = static_cast<std::uint16_t>(raw[1] + 1);
  frame.bank = raw[2];
  frame.address = static_cast<std::uint32_t>(raw[3]) | static_cast<std::uint32_t>(raw[4]) << 8 |
                  static_cast<std::uint32_t>(raw[5]) << 16 |
                  static_cast<std::uint32_t>(raw[6]) << 24;
  const std::size_t sumAt = raw.size() - 2;
  if (frame.type == FrameType::LongWrite) {
    frame.data.assign(raw.begin() + 7, raw.begin() + static_cast<std::ptrdiff_t>(sumAt));
  }
  frame.sentSum = static_cast<std::uint16_t>(raw[sumAt] | (raw[sumAt + 1] << 8));
  frame.computedSum = sum16(std::span(raw).first(sumAt));
  return frame;
}

}  // namespace devsim
