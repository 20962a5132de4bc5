#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace devsim {

enum class FaultKind : std::uint8_t {
  SilentHandshake,  // no answer to the speed-switch frame
  WrongHandshake,   // the speed-switch frame is answered with `byte`
  DropReply,        // no reply to a long frame
  BadAck,           // the write is applied, its acknowledgement is one too high
  OneByteReply,     // only the first byte of the reply
  LongReply,        // the reply followed by `extra` bytes of value `byte`
  Delay,            // the reply goes out `ms` later
  Garbage,          // `extra` bytes of value `byte` go out before the reply
  CutReply,         // the first half of the reply, then nothing
  Silence,          // the request is not taken in: no reply, a write is not carried out
  OtherSum,         // the value after a read's data is not their sum (a board with another rule)
};

// Which requests a rule watches. Handshake faults always watch the speed-switch frame,
// bad-ack always watches writes and silence every request; for them this field is not used.
enum class FaultOn : std::uint8_t { Long, Read, Write, Handshake };

// One scripted fault. Of the requests the rule watches, the first `after` pass untouched and
// the next `count` are affected; the default hits the first attempt only.
struct FaultRule {
  static constexpr std::uint32_t kEvery = 0xFFFFFFFF;

  FaultKind kind = FaultKind::DropReply;
  std::uint32_t after = 0;
  std::uint32_t count = 1;
  FaultOn on = FaultOn::Long;
  std::uint32_t ms = 2500;  // beyond the host's 2 s reply timeout
  std::uint8_t byte = 0x55;
  std::uint32_t extra = 3;

  bool operator==(const FaultRule&) const = default;
};

std::span<const FaultKind> allFaultKinds();
std::string_view faultName(FaultKind kind);

struct FaultParseResult {
  std::optional<FaultRule> rule;
  std::string error;  // set when rule is empty
};

// Text form: kind[:key=value]..., keys after, count (a number or "all"), on (read, write, long,
// handshake), ms, byte (decimal or 0x hex), extra; each kind takes only the keys it uses.
// Example: "delay:ms=2500:count=all", "bad-ack:count=5", "wrong-handshake:byte=0x12".
FaultParseResult parseFault(std::string_view text);

// The shortest text that parseFault reads back as the same rule.
std::string formatFault(const FaultRule& rule);

// One line per kind with its keys, for --help.
std::string faultSyntaxHelp();

}  // namespace devsim
