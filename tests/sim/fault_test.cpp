#include "sim/fault.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "sim/device.h"
#include "sim/line_timing.h"
#include "tests/sim/host_frames.h"

namespace devsim {
namespace {

using test::kEeprom;
using test::kRegisters;
using test::kSpeedSwitchFrame;
using test::readFrame;
using test::replyTo;
using test::writeFrame;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

FaultRule parsed(const std::string& text) {
  const FaultParseResult result = parseFault(text);
  EXPECT_TRUE(result.rule.has_value()) << text << ": " << result.error;
  return result.rule.value_or(FaultRule{});
}

// The request a fault of this kind watches by default.
Bytes requestWatchedBy(FaultKind kind) {
  switch (kind) {
    case FaultKind::SilentHandshake:
    case FaultKind::WrongHandshake:
      return kSpeedSwitchFrame;
    case FaultKind::OtherSum:
      return readFrame(kEeprom, 32, 4);
    default:
      return writeFrame(kEeprom, 32, {0x00, 0x00, 0x08, 0x68});
  }
}

std::optional<Transmission> onlyReply(Device& device, const Bytes& request) {
  auto sent = device.receive(request, 0);
  EXPECT_LE(sent.size(), 1u);
  return sent.empty() ? std::nullopt : std::optional(sent.front());
}

TEST(Faults, EveryKindIsNamedAndItsTextFormReadsBackAsTheSameRule) {
  for (const FaultKind kind : allFaultKinds()) {
    SCOPED_TRACE(std::string(faultName(kind)));
    EXPECT_EQ(parsed(std::string(faultName(kind))), FaultRule{.kind = kind});
    const FaultRule unusual{.kind = kind, .after = 2, .count = FaultRule::kEvery};
    EXPECT_EQ(parsed(formatFault(unusual)), unusual);
  }
  const FaultRule full{.kind = FaultKind::LongReply, .on = FaultOn::Read, .byte = 0x0A, .extra = 7};
  EXPECT_EQ(parsed(formatFault(full)), full);
}

TEST(Faults, TextFormRejectsWhatItCannotMeanWithAReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "unknown fault kind"},
      {"garble", "unknown fault kind 'garble'"},
      {"bad-ack:ms=5", "takes no key 'ms'"},
      {"silent-handshake:on=read", "takes no key 'on'"},
      {"delay:ms", "is not key=value"},
      {"drop-reply:after=three", "after needs a number"},
      {"drop-reply:after=-1", "after needs a number"},
      {"wrong-handshake:byte=0x100", "larger than 0xff"},
      {"bad-ack:count=0", "at least 1"},
      {"drop-reply:on=handshake", "does not apply"},
      {"delay:on=sideways", "does not apply"},
  };
  for (const auto& [text, reason] : cases) {
    const FaultParseResult result = parseFault(text);
    EXPECT_FALSE(result.rule.has_value()) << text;
    EXPECT_THAT(result.error, HasSubstr(reason)) << text;
  }
}

TEST(Faults, EveryKindChangesTheFirstRequestItWatchesAndNoOther) {
  for (const FaultKind kind : allFaultKinds()) {
    SCOPED_TRACE(std::string(faultName(kind)));
    const Bytes request = requestWatchedBy(kind);
    Device clean;
    const auto expected = onlyReply(clean, request);
    ASSERT_TRUE(expected.has_value());

    Device faulty;
    faulty.addFault({.kind = kind});
    const auto first = onlyReply(faulty, request);
    const auto second = onlyReply(faulty, request);

    EXPECT_NE(first, expected);
    EXPECT_EQ(second, expected);
    ASSERT_EQ(faulty.requests().size(), 2u);
    EXPECT_THAT(faulty.requests()[0].faults, ElementsAre(kind));
    EXPECT_THAT(faulty.requests()[1].faults, IsEmpty());
  }
}

TEST(Faults, FilterOnWritesLeavesReadsWhole) {
  Device device;
  device.addFault(parsed("one-byte-reply:on=write:count=all"));
  EXPECT_EQ(replyTo(device, readFrame(kRegisters, 140, 4)).size(), 6u);
  EXPECT_THAT(replyTo(device, writeFrame(kEeprom, 32, {0x00, 0x00, 0x00, 0x00})),
              ElementsAre(0x66));
}

TEST(Faults, DelayReachesTheHandshakeOnlyWhenAskedTo) {
  Device longOnly;
  longOnly.addFault(parsed("delay:ms=700:count=all"));
  EXPECT_EQ(longOnly.receive(kSpeedSwitchFrame, 0), (std::vector<Transmission>{{0, {0xE0}}}));

  Device handshake;
  handshake.addFault(parsed("delay:on=handshake:ms=700"));
  EXPECT_EQ(handshake.receive(kSpeedSwitchFrame, 0),
            (std::vector<Transmission>{{700'000, {0xE0}}}));
  EXPECT_EQ(handshake.baud(), kFastBaud);
}

TEST(Faults, RequestsWithABadChecksumDoNotUseUpAFault) {
  Device device;
  device.addFault(parsed("drop-reply"));
  Bytes damaged = writeFrame(kEeprom, 32, {0x01});
  damaged.back() ^= 0x01;
  EXPECT_EQ(replyTo(device, damaged).size(), 2u);
  EXPECT_THAT(replyTo(device, readFrame(kRegisters, 140, 4)), IsEmpty());
}

}  // namespace
}  // namespace devsim
