#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/bytes.h"
#include "sim/fault.h"
#include "sim/fault_plan.h"
#include "sim/frame_reader.h"
#include "sim/memory.h"
#include "sim/request_record.h"

namespace devsim {

struct DeviceConfig {
  std::uint32_t flashSize = Memory::kDefaultFlashSize;
  // Deliver each reply only once the request and the reply could have crossed a real line at
  // the device's current speed.
  bool lineRate = false;
};

// Bytes the device sends, delayUs after the bytes that triggered them arrived.
struct Transmission {
  std::int64_t delayUs = 0;
  Bytes bytes{};

  bool operator==(const Transmission&) const = default;
};

// The device's side of the serial line: answers each request once, keeps its memory, obeys the
// command register, applies scripted faults and remembers what it received.
//
// Replies: a read gets its N data bytes and then their sum mod 65536, low byte first; a write
// gets twice the request's checksum mod 65536, low byte first. A request whose checksum does
// not add up is not carried out: a write is still answered, with twice the device's own sum
// (a wrong acknowledgement to the host), a read gets no reply at all. A bank byte other than 0
// selects no memory: reads give the fill value and writes are dropped.
class Device {
 public:
  explicit Device(DeviceConfig config = {});

  // The host's bytes arrived at nowUs (any monotonic microsecond count).
  std::vector<Transmission> receive(std::span<const std::uint8_t> bytes, std::int64_t nowUs);

  void addFault(const FaultRule& rule) { faults_.add(rule); }
  void clearFaults() { faults_.clear(); }

  const std::vector<RequestRecord>& requests() const { return requests_; }
  void clearRequests() { requests_.clear(); }

  Memory& memory() { return memory_; }
  const Memory& memory() const { return memory_; }

  int baud() const { return baud_; }
  bool lineRate() const { return lineRate_; }

 private:
  std::optional<Transmission> handleLong(const IncomingFrame& frame, std::int64_t nowUs);
  std::optional<Transmission> handleSpeedSwitch(const IncomingFrame& frame, std::int64_t nowUs);
  // Register writes run the command register; returns the line speed it asks for, if any.
  std::optional<int> applyWrite(Area area, const IncomingFrame& frame);
  std::optional<Transmission> send(RequestRecord& record, const IncomingFrame& frame,
                                   ShapedReply reply, std::int64_t nowUs);
  void noteGarbage(const IncomingFrame& frame, std::int64_t nowUs);

  Memory memory_;
  FrameReader reader_;
  FaultPlan faults_;
  std::vector<RequestRecord> requests_;
  bool garbageRunOpen_ = false;
  bool lineRate_;
  int baud_;
  std::int64_t inboundFreeAtUs_ = 0;
  std::int64_t outboundFreeAtUs_ = 0;
};

}  // namespace devsim
