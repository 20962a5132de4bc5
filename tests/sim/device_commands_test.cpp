#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/device.h"
#include "sim/line_timing.h"
#include "sim/memory_layout.h"
#include "tests/sim/host_frames.h"

namespace devsim {
namespace {

using test::kFlash;
using test::kRegisters;
using test::kSpeedSwitchFrame;
using test::readFrame;
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

TEST(DeviceCommands, ReportedMemorySizeReplacesTheFlashSizeInTheRegistersButNotTheFlash) {
  Device device({.flashSize = 65536});
  replyTo(device, writeFrame(kRegisters, 140, {0x12, 0x34, 0x56, 0x78}));  // ignored
  EXPECT_THAT(replyTo(device, readFrame(kRegisters, 140, 4)), ElementsAre(0, 1, 0, 0, 1, 0));
  device.memory().setReportedSize(0);
  EXPECT_THAT(replyTo(device, readFrame(kRegisters, 140, 4)), ElementsAre(0, 0, 0, 0, 0, 0));
  replyTo(device, writeFrame(kFlash, 65000, {0x12, 0x34}));
  EXPECT_THAT(replyTo(device, readFrame(kFlash, 65000, 2)), ElementsAre(0x12, 0x34, 0x46, 0x00));

  device.memory().setReportedSize(0xFFFFFFFF);
  replyTo(device, writeFrame(kRegisters, 110, {0x01}));
  EXPECT_THAT(replyTo(device, readFrame(kRegisters, 138, 8)),
              ElementsAre(0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0xFC, 0x03));
  EXPECT_EQ(device.memory().flashSize(), 65536u);
}

}  // namespace
}  // namespace devsim
