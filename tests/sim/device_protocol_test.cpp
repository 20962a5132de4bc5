#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/device.h"
#include "sim/frame_reader.h"
#include "tests/sim/host_frames.h"

namespace devsim {
namespace {

using test::concat;
using test::kEeprom;
using test::kFlash;
using test::kRegisters;
using test::readFrame;
using test::replyTo;
using test::writeFrame;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(DeviceProtocol, GivesTheSameAnswersWhetherBytesArriveOneByOneOrAllAtOnce) {
  const Bytes stream = concat({test::kSpeedSwitchFrame,
                               {0x41, 0x0D},
                               writeFrame(kEeprom, 32, {0x00, 0x00, 0x20, 0x00}),
                               readFrame(kFlash, 128, 110),
                               readFrame(kRegisters, 140, 4)});
  Device whole;
  const Bytes wholeReply = replyTo(whole, stream);

  Device trickled;
  Bytes trickledReply;
  for (const std::uint8_t byte : stream) {
    const Bytes part = replyTo(trickled, {byte});
    trickledReply.insert(trickledReply.end(), part.begin(), part.end());
  }

  EXPECT_EQ(trickledReply, wholeReply);
  EXPECT_EQ(trickledReply.size(), 1u + 2 + 112 + 6);
  EXPECT_EQ(trickled.memory(), whole.memory());
  ASSERT_EQ(trickled.requests().size(), whole.requests().size());
  for (std::size_t i = 0; i < whole.requests().size(); ++i) {
    EXPECT_EQ(formatLogLine(trickled.requests()[i]), formatLogLine(whole.requests()[i]));
  }
}

TEST(DeviceProtocol, DropsBytesThatCannotStartAFrameAndAnswersTheFrameAfterThem) {
  Device device;
  replyTo(device, {0x41, 0x42});
  EXPECT_THAT(replyTo(device, concat({{0xFF}, readFrame(kRegisters, 140, 4)})),
              ElementsAre(0x00, 0x20, 0x00, 0x00, 0x20, 0x00));
  ASSERT_EQ(device.requests().size(), 2u);
  EXPECT_EQ(device.requests()[0].kind, RequestKind::Garbage);
  EXPECT_THAT(device.requests()[0].data, ElementsAre(0x41, 0x42, 0xFF));
  EXPECT_EQ(device.requests()[1].kind, RequestKind::Read);
}

TEST(DeviceProtocol, DiscardsAPartialFrameAfterASilenceLongerThanTheInterByteGap) {
  const Bytes write = writeFrame(kEeprom, 32, {1, 2, 3, 4});
  const Bytes head(write.begin(), write.begin() + 5);
  const Bytes tail(write.begin() + 5, write.end());

  Device patient;
  replyTo(patient, head, 0);
  EXPECT_THAT(replyTo(patient, tail, FrameReader::kInterByteGapUs), ElementsAre(0x7A, 0x01));

  Device abandoned;
  replyTo(abandoned, head, 0);
  EXPECT_THAT(replyTo(abandoned, readFrame(kRegisters, 140, 4), FrameReader::kInterByteGapUs + 1),
              ElementsAre(0x00, 0x20, 0x00, 0x00, 0x20, 0x00));
  EXPECT_THAT(abandoned.memory().read(Area::Eeprom, 32, 4), ElementsAre(0, 0, 0, 0));
  ASSERT_EQ(abandoned.requests().size(), 2u);
  EXPECT_EQ(abandoned.requests()[0].kind, RequestKind::Incomplete);
  EXPECT_EQ(abandoned.requests()[0].data, head);
}

TEST(DeviceProtocol, AcknowledgesAWriteWithABadChecksumWithTwiceItsOwnSumAndIgnoresItAndTheRead) {
  Device device;
  Bytes frame = writeFrame(kEeprom, 32, {0x00, 0x00, 0x30, 0x00});  // sum 0xE3
  frame[frame.size() - 2] ^= 0x01;
  EXPECT_THAT(replyTo(device, frame), ElementsAre(0xC6, 0x01));
  EXPECT_THAT(device.memory().read(Area::Eeprom, 32, 4), ElementsAre(0, 0, 0, 0));
  Bytes read = readFrame(kRegisters, 140, 4);
  read.back() ^= 0x01;
  EXPECT_THAT(device.receive(read, 0), IsEmpty());
  ASSERT_EQ(device.requests().size(), 2u);
  EXPECT_FALSE(device.requests()[0].checksumOk);
  EXPECT_FALSE(device.requests()[1].checksumOk);
  EXPECT_FALSE(device.requests()[1].replied);
}

TEST(DeviceProtocol, FillsReadsBeyondAnAreaAndAcknowledgesButIgnoresWritesThere) {
  Device device({.flashSize = 4096});
  replyTo(device, writeFrame(kFlash, 4094, {0x01, 0x02, 0x03}));
  replyTo(device, writeFrame(kEeprom, 4095, {0x04, 0x05}));
  EXPECT_THAT(replyTo(device, writeFrame(kFlash, 5000, {0x00})), ElementsAre(0xD6, 0x02));

  EXPECT_THAT(device.memory().read(Area::Flash, 4094, 4), ElementsAre(0x01, 0x02, 0xFF, 0xFF));
  EXPECT_THAT(replyTo(device, readFrame(kEeprom, 4095, 2)), ElementsAre(0x04, 0x00, 0x04, 0x00));
  EXPECT_THAT(replyTo(device, readFrame(kRegisters, 255, 2)), ElementsAre(0x00, 0x00, 0x00, 0x00));
  EXPECT_THAT(replyTo(device, readFrame(kFlash, 0xFFFFFFFF, 2)),
              ElementsAre(0xFF, 0xFF, 0xFE, 0x01));
}

}  // namespace
}  // namespace devsim
