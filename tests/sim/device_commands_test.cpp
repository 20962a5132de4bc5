#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/device.h"
#include "sim/line_timing.h"
#include "sim/memory_layout.h"
#include "tests/sim/host_frames.h"

namespace devsim {
namespace {

using test::kRegisters;
using test::kSpeedSwitchFrame;
using test::replyTo;
using test::writeFrame;
using ::testing::Each;
using ::testing::ElementsAre;

TEST(DeviceCommands, SpeedSwitchFrameMovesTheLineTo57600OnlyWithItsChecksum) {
  Device device;
  EXPECT_THAT(replyTo(device, {0x80, 0x00, 0x6E, 0x00, 0x02, 0xF1}), ElementsAre(0xE0));
  EXPECT_EQ(device.baud(), kSlowBaud);
  EXPECT_FALSE(device.requests().back().checksumOk);
  EXPECT_THAT(replyTo(device, kSpeedSwitchFrame), ElementsAre(0xE0));
  EXPECT_EQ(device.baud(), kFastBaud);
  EXPECT_EQ(device.requests().back().kind, RequestKind::SpeedSwitch);
  EXPECT_EQ(device.requests().back().baud, kSlowBaud);
}

TEST(DeviceCommands, LongWriteOf2ToTheCommandRegisterSwitchesAfterItsAcknowledgement) {
  Device device;
  EXPECT_THAT(replyTo(device, writeFrame(kRegisters, 110, {0x02})), ElementsAre(0xE0, 0x01));
  EXPECT_EQ(device.requests().back().baud, kSlowBaud);
  EXPECT_EQ(device.baud(), kFastBaud);
}

TEST(DeviceCommands, EraseCommandErasesTheWholeFlashAndLeavesTheEepromAlone) {
  Device device({.flashSize = 65536});
  layout::appendFile(device.memory(), {.fileType = 0x50, .fileName = "CYCLE"}, Bytes(500, 0x11));
  const Bytes eeprom(device.memory().raw(Area::Eeprom).begin(),
                     device.memory().raw(Area::Eeprom).end());

  replyTo(device, writeFrame(kRegisters, 110, {0x01}));

  EXPECT_THAT(device.memory().raw(Area::Flash), Each(0xFF));
  EXPECT_TRUE(std::ranges::equal(device.memory().raw(Area::Eeprom), eeprom));
  EXPECT_EQ(device.baud(), kSlowBaud);
}

}  // namespace
}  // namespace devsim
