#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/bytes.h"
#include "sim/fault.h"

namespace devsim {

enum class RequestKind : std::uint8_t { Read, Write, SpeedSwitch, Garbage, Incomplete };

std::string_view requestKindName(RequestKind kind);

// What the device received and what it did about it; one per frame, and one per run of
// garbage bytes or abandoned partial frame.
struct RequestRecord {
  RequestKind kind = RequestKind::Garbage;
  std::int64_t timeUs = 0;  // when the frame's last byte arrived
  int baud = 0;             // line speed when it arrived
  std::uint8_t command = 0;
  std::uint8_t bank = 0;
  std::uint32_t address = 0;
  std::uint16_t length = 0;
  Bytes data{};  // write data; for garbage and incomplete frames the bytes dropped
  bool checksumOk = true;
  std::vector<FaultKind> faults{};
  bool replied = false;
  Bytes reply{};
  std::int64_t replyDelayUs = 0;  // from timeUs to the end of the reply on the line
};

// The request log line, fields separated by one blank:
//   <seconds.micros> <kind> baud=<n> cmd=<hh> bank=<hh> addr=<decimal> len=<n> sum=ok|bad
//   fault=<kind,...|-> data=<hex|-> reply=<hex|none> delay_us=<n>
// e.g. "1.250000 write baud=57600 cmd=90 bank=00 addr=32 len=4 sum=ok fault=- data=00000000
// reply=6601 delay_us=0". Garbage and incomplete lines carry only time, kind and data.
std::string formatLogLine(const RequestRecord& record);

}  // namespace devsim
