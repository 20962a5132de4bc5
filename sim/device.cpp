#include "sim/device.h"

#include <algorithm>
#include <numeric>

#include "sim/line_timing.h"
#include "sim/memory_layout.h"

namespace devsim {

namespace {

Bytes littleEndian16(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
}

RequestRecord recordOf(const IncomingFrame& frame, RequestKind kind, std::int64_t nowUs, int baud) {
  return {.kind = kind,
          .timeUs = nowUs,
          .baud = baud,
          .command = frame.command,
          .bank = frame.bank,
          .address = frame.address,
          .length = frame.length,
          .data = frame.data,
          .checksumOk = frame.checksumOk()};
}

}  // namespace

Device::Device(DeviceConfig config)
    : memory_(config.flashSize), lineRate_(config.lineRate), baud_(kSlowBaud) {
  layout::formatFreshDevice(memory_);
}

std::vector<Transmission> Device::receive(std::span<const std::uint8_t> bytes, std::int64_t nowUs) {
  std::vector<Transmission> out;
  for (const IncomingFrame& frame : reader_.push(bytes, nowUs)) {
    std::optional<Transmission> reply;
    switch (frame.type) {
      case FrameType::Garbage:
        noteGarbage(frame, nowUs);
        continue;
      case FrameType::Incomplete:
        requests_.push_back(
            {.kind = RequestKind::Incomplete, .timeUs = frame.firstByteUs, .data = frame.raw});
        break;
      case FrameType::SpeedSwitch:
        reply = handleSpeedSwitch(frame, nowUs);
        break;
      case FrameType::LongRead:
      case FrameType::LongWrite:
        reply = handleLong(frame, nowUs);
        break;
    }
    garbageRunOpen_ = false;
    if (reply) {
      out.push_back(std::move(*reply));
    }
  }
  return out;
}

void Device::noteGarbage(const IncomingFrame& frame, std::int64_t nowUs) {
  // Bytes dropped one after another form one record however the host's writes were split.
  if (garbageRunOpen_ && !requests_.empty()) {
    Bytes& data = requests_.back().data;
    data.insert(data.end(), frame.raw.begin(), frame.raw.end());
    return;
  }
  requests_.push_back({.kind = RequestKind::Garbage, .timeUs = nowUs, .data = frame.raw});
  garbageRunOpen_ = true;
}

std::optional<Transmission> Device::handleLong(const IncomingFrame& frame, std::int64_t nowUs) {
  const bool isRead = frame.type == FrameType::LongRead;
  RequestRecord record =
      recordOf(frame, isRead ? RequestKind::Read : RequestKind::Write, nowUs, baud_);
  // The reader only lets frames start with a command byte of a known area.
  const Area area = areaFromCommand(frame.command).value_or(Area::Register);

  if (!frame.checksumOk()) {
    if (isRead) {
      return send(record, frame, {.sent = false}, nowUs);
    }
    return send(record, frame, {.bytes = littleEndian16(2u * frame.computedSum)}, nowUs);
  }

  if (isRead) {
    Bytes reply = frame.bank == 0 ? memory_.read(area, frame.address, frame.length)
                                  : Bytes(frame.length, area == Area::Flash ? 0xFF : 0x00);
    // The value after a read's data is the sum of the data bytes mod 65536, low byte first.
    const auto sum = std::accumulate(reply.begin(), reply.end(), 0u);
    const Bytes trailer = littleEndian16(sum);
    reply.insert(reply.end(), trailer.begin(), trailer.end());
    return send(record, frame, faults_.shape(RequestClass::Read, std::move(reply)), nowUs);
  }

  ShapedReply shaped = faults_.shape(RequestClass::Write, littleEndian16(2u * frame.sentSum));
  // A silent device did not take the frame in: the write is not carried out.
  const bool heard = std::find(shaped.applied.begin(), shaped.applied.end(), FaultKind::Silence) ==
                     shaped.applied.end();
  const std::optional<int> newBaud = heard ? applyWrite(area, frame) : std::nullopt;
  auto reply = send(record, frame, std::move(shaped), nowUs);
  // The acknowledgement still goes out at the old speed; the device switches after it.
  baud_ = newBaud.value_or(baud_);
  return reply;
}

std::optional<Transmission> Device::handleSpeedSwitch(const IncomingFrame& frame,
                                                      std::int64_t nowUs) {
  RequestRecord record = recordOf(frame, RequestKind::SpeedSwitch, nowUs, baud_);
  if (!frame.checksumOk()) {
    return send(record, frame, {.bytes = {static_cast<std::uint8_t>(2 * frame.computedSum)}},
                nowUs);
  }
  ShapedReply reply =
      faults_.shape(RequestClass::Handshake, {static_cast<std::uint8_t>(2 * frame.sentSum)});
  // A device that stays silent or answers wrongly did not take the frame in, so it keeps its
  // speed and its registers.
  const bool understood = std::none_of(reply.applied.begin(), reply.applied.end(), [](auto k) {
    return k == FaultKind::SilentHandshake || k == FaultKind::WrongHandshake ||
           k == FaultKind::Silence;
  });
  const std::optional<int> newBaud = understood ? applyWrite(Area::Register, frame) : std::nullopt;
  auto sent = send(record, frame, std::move(reply), nowUs);
  baud_ = newBaud.value_or(baud_);
  return sent;
}

std::optional<int> Device::applyWrite(Area area, const IncomingFrame& frame) {
  if (frame.bank != 0) {
    return std::nullopt;
  }
  memory_.write(area, frame.address, frame.data);
  const std::uint64_t offset = std::uint64_t{layout::kCommandRegister} - frame.address;
  if (area != Area::Register || frame.address > layout::kCommandRegister ||
      offset >= frame.data.size()) {
    return std::nullopt;
  }
  switch (frame.data[offset]) {
    case layout::kEraseCommand:
      memory_.eraseFlash();
      return std::nullopt;
    case layout::kFastLineCommand:
      return kFastBaud;
    default:
      return std::nullopt;
  }
}

std::optional<Transmission> Device::send(RequestRecord& record, const IncomingFrame& frame,
                                         ShapedReply reply, std::int64_t nowUs) {
  record.faults = reply.applied;
  // A request crosses the line from its first byte on, behind any request still crossing
  // ahead of it; a reply starts once its request is in and the previous reply has left.
  std::int64_t requestInUs = nowUs;
  if (lineRate_) {
    requestInUs = std::max(
        std::max(frame.firstByteUs, inboundFreeAtUs_) + lineTimeUs(std::ssize(frame.raw), baud_),
        nowUs);
    inboundFreeAtUs_ = requestInUs;
  }
  std::optional<Transmission> out;
  if (reply.sent) {
    std::int64_t delayUs = reply.extraDelayUs;
    if (lineRate_) {
      const std::int64_t startUs = std::max(requestInUs + reply.extraDelayUs, outboundFreeAtUs_);
      outboundFreeAtUs_ = startUs + lineTimeUs(std::ssize(reply.bytes), baud_);
      delayUs = outboundFreeAtUs_ - nowUs;
    }
    record.replied = true;
    record.reply = reply.bytes;
    record.replyDelayUs = delayUs;
    out = Transmission{delayUs, std::move(reply.bytes)};
  }
  requests_.push_back(std::move(record));
  return out;
}

}  // namespace devsim
