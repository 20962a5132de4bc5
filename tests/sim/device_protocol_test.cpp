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
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

TEST(DeviceProtocol, AnswersTheMemorySizeReadWithTheFlashSizeMostSignificantByteFirst) {
  const Bytes frame = {0x00, 0x03, 0x00, 0x8C, 0x00, 0x00, 0x00, 0x8F, 0x00};
  Device standard;
  EXPECT_THAT(replyTo(standard, frame), ElementsAre(0x00, 0x20, 0x00, 0x00, 0x20, 0x00));
  Device larger({.flashSize = 4194304});
  EXPECT_THAT(replyTo(larger, frame), ElementsAre(0x00, 0x40, 0x00, 0x00, 0x40, 0x00));
}

TEST(DeviceProtocol, AnswersTheFirstHeaderReadOfAnEmptyChainWithErasedBytesAndTheirSum) {
  Device device;
  const Bytes reply = replyTo(device, {0x50, 0xA5, 0x00, 0x68, 0x08, 0x00, 0x00, 0x65, 0x01});
  ASSERT_EQ(reply.size(), 168u);
  EXPECT_THAT(Bytes(reply.begin(), reply.begin() + 166), ::testing::Each(0xFF));
  // 166 x 0xFF = 42330 = 0xA55A.
  EXPECT_THAT(Bytes(reply.begin() + 166, reply.end()), ElementsAre(0x5A, 0xA5));
}

TEST(DeviceProtocol, AcknowledgesTheFirstFreeLocationClearWithTwiceItsChecksumAndAppliesIt) {
  Device device;
  device.memory().write(Area::Eeprom, 32, Bytes{0x00, 0x00, 0x12, 0x34});
  EXPECT_THAT(replyTo(device, {0x90, 0x03, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                               0xB3, 0x00}),
              ElementsAre(0x66, 0x01));
  EXPECT_THAT(device.memory().read(Area::Eeprom, 32, 4), ElementsAre(0, 0, 0, 0));
}

TEST(DeviceProtocol, AcknowledgesA128ByteFlashWriteAt65536WithA001AndStoresIt) {
  Device device;
  device.memory().write(Area::Flash, 65536, Bytes(128, 0x00));
  const Bytes frame = writeFrame(kFlash, 65536, Bytes(128, 0xFF));
  ASSERT_THAT(Bytes(frame.end() - 2, frame.end()), ElementsAre(0xD0, 0x80));
  EXPECT_THAT(replyTo(device, frame), ElementsAre(0xA0, 0x01));
  EXPECT_THAT(device.memory().read(Area::Flash, 65536, 128), ::testing::Each(0xFF));
}

TEST(DeviceProtocol, ReadsBackWrittenBytesFollowedByTheirSumLowByteFirst) {
  Device device;
  replyTo(device, writeFrame(kFlash, 3000, {0x10, 0x20, 0xF0, 0xFF}));
  EXPECT_THAT(replyTo(device, readFrame(kFlash, 3000, 4)),
              ElementsAre(0x10, 0x20, 0xF0, 0xFF, 0x1F, 0x02));
}

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

TEST(DeviceProtocol, DoesNotApplyAWriteWithABadChecksumAndAcknowledgesTwiceItsOwnSum) {
  Device device;
  Bytes frame = writeFrame(kEeprom, 32, {0x00, 0x00, 0x30, 0x00});  // sum 0xE3
  frame[frame.size() - 2] ^= 0x01;
  EXPECT_THAT(replyTo(device, frame), ElementsAre(0xC6, 0x01));
  EXPECT_THAT(device.memory().read(Area::Eeprom, 32, 4), ElementsAre(0, 0, 0, 0));
  EXPECT_FALSE(device.requests().back().checksumOk);
}

TEST(DeviceProtocol, GivesNoReplyToAReadWithABadChecksum) {
  Device device;
  Bytes frame = readFrame(kRegisters, 140, 4);
  frame.back() ^= 0x01;
  EXPECT_THAT(device.receive(frame, 0), IsEmpty());
  ASSERT_EQ(device.requests().size(), 1u);
  EXPECT_FALSE(device.requests()[0].checksumOk);
  EXPECT_FALSE(device.requests()[0].replied);
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

TEST(DeviceProtocol, TreatsANonZeroBankAsNoMemory) {
  Device device;
  Bytes write = {0x90, 0x00, 0x01, 0x20, 0x00, 0x00, 0x00, 0x07};
  write = test::withSum16(write);
  EXPECT_EQ(replyTo(device, write).size(), 2u);
  EXPECT_EQ(device.memory().at(Area::Eeprom, 32), 0x00);
}

TEST(DeviceProtocol, RecordsEachRequestAsOneLogLine) {
  Device device;
  replyTo(device, {0x90, 0x03, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xB3, 0x00},
          1'250'000);
  ASSERT_EQ(device.requests().size(), 1u);
  EXPECT_EQ(formatLogLine(device.requests()[0]),
            "1.250000 write baud=19200 cmd=90 bank=00 addr=32 len=4 sum=ok fault=- "
            "data=00000000 reply=6601 delay_us=0");
  device.clearRequests();
  EXPECT_THAT(device.requests(), IsEmpty());
}

}  // namespace
}  // namespace devsim
