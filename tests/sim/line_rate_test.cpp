#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/device.h"
#include "sim/line_timing.h"
#include "tests/sim/host_frames.h"

namespace devsim {
namespace {

using test::kFlash;
using test::kSpeedSwitchFrame;
using test::readFrame;

// Switched to 57600 at time 0; its line is quiet again well before 1 s.
Device fastDeviceWithLineRate() {
  Device device({.lineRate = true});
  device.receive(kSpeedSwitchFrame, 0);
  return device;
}

TEST(LineRate, A128ByteReadAt57600ArrivesAfter139ByteTimes) {
  Device device = fastDeviceWithLineRate();
  const auto sent = device.receive(readFrame(kFlash, 2152, 128), 1'000'000);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bytes.size(), 130u);
  // 139 bytes x 10 bits / 57600 bit/s = 24.13 ms.
  EXPECT_NEAR(sent[0].delayUs, 24'132, 1);
}

TEST(LineRate, AdapterHandsRepliesOnAtTheNextTickOfItsLatencyTimer) {
  EXPECT_EQ(adapterReleaseUs(24'132, 16'000), 32'000);
  EXPECT_EQ(adapterReleaseUs(32'000, 16'000), 32'000);  // arrived on a tick: no wait
  EXPECT_EQ(adapterReleaseUs(32'001, 16'000), 48'000);
  EXPECT_EQ(adapterReleaseUs(24'132, 1'000), 25'000);
  EXPECT_EQ(adapterReleaseUs(24'132, 0), 24'132);
}

TEST(LineRate, SpeedSwitchAcknowledgementStillTravelsAt19200) {
  Device device({.lineRate = true});
  const auto sent = device.receive(kSpeedSwitchFrame, 0);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].delayUs, lineTimeUs(7, kSlowBaud));
}

}  // namespace
}  // namespace devsim
