#include "sim/request_record.h"

#include <cstdio>

namespace devsim {

namespace {

std::string hex(const Bytes& bytes) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * bytes.size());
  for (const std::uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
  }
  return text;
}

}  // namespace

std::string_view requestKindName(RequestKind kind) {
  switch (kind) {
    case RequestKind::Read:
      return "read";
    case RequestKind::Write:
      return "write";
    case RequestKind::SpeedSwitch:
      return "speed-switch";
    case RequestKind::Garbage:
      return "garbage";
    case RequestKind::Incomplete:
      return "incomplete";
  }
  return "?";
}

std::string formatLogLine(const RequestRecord& record) {
  char time[32];
  std::snprintf(time, sizeof time, "%lld.%06lld", static_cast<long long>(record.timeUs / 1'000'000),
                static_cast<long long>(record.timeUs % 1'000'000));
  std::string line = std::string(time) + " " + std::string(requestKindName(record.kind));
  if (record.kind == RequestKind::Garbage || record.kind == RequestKind::Incomplete) {
    return line + " data=" + hex(record.data);
  }
  std::string faults;
  for (const FaultKind kind : record.faults) {
    faults += (faults.empty() ? "" : ",") + std::string(faultName(kind));
  }
  line += " baud=" + std::to_string(record.baud) + " cmd=" + hex({record.command}) +
          " bank=" + hex({record.bank}) + " addr=" + std::to_string(record.address) +
          " len=" + std::to_string(record.length) + " sum=" + (record.checksumOk ? "ok" : "bad") +
          " fault=" + (faults.empty() ? "-" : faults) +
          " data=" + (record.data.empty() ? "-" : hex(record.data)) +
          " reply=" + (record.replied ? hex(record.reply) : "none") +
          " delay_us=" + std::to_string(record.replyDelayUs);
  return line;
}

}  // namespace devsim
