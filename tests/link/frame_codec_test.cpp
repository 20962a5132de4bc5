#include "link/frame_codec.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/requests.h"

namespace vestrim::link {
namespace {

using ::testing::ElementsAreArray;

TEST(FrameCodec, MemorySizeReadIsTheWellKnownNineBytes) {
  const LongFrame frame = encodeLongFrame(requests::CheckDimMMC());
  EXPECT_THAT(frame.bytes, ElementsAreArray<std::uint8_t>(
                               {0x00, 0x03, 0x00, 0x8C, 0x00, 0x00, 0x00, 0x8F, 0x00}));
  EXPECT_EQ(frame.checksum, 0x8Fu);
}

TEST(FrameCodec, FirstCatalogueRecordReadCarriesALengthOf165AndTheChainStart) {
  const LongFrame frame = encodeLongFrame(requests::ReadMMC(2152));
  EXPECT_THAT(frame.bytes, ElementsAreArray<std::uint8_t>(
                               {0x50, 0xA5, 0x00, 0x68, 0x08, 0x00, 0x00, 0x65, 0x01}));
}

TEST(FrameCodec, FirstCommandListReadAfterTheSpeedSwitch) {
  const LongFrame frame = encodeLongFrame(requests::ReadCmndLst(128));
  EXPECT_THAT(frame.bytes, ElementsAreArray<std::uint8_t>(
                               {0x50, 0x6D, 0x00, 0x80, 0x00, 0x00, 0x00, 0x3D, 0x01}));
}

TEST(FrameCodec, ClearingTheFirstFreePointerIsAWriteAcknowledgedWithTwiceItsChecksum) {
  const LongFrame frame = encodeLongFrame(requests::ClrPunEEP());
  EXPECT_THAT(frame.bytes, ElementsAreArray<std::uint8_t>({0x90, 0x03, 0x00, 0x20, 0x00, 0x00, 0x00,
                                                           0x00, 0x00, 0x00, 0x00, 0xB3, 0x00}));
  EXPECT_EQ(expectedAcknowledgement(frame.checksum), 0x0166);
  EXPECT_EQ(judgeReply(false, 0, frame.checksum, {0x66, 0x01}), ReplyVerdict::GoodAcknowledgement);
  EXPECT_EQ(judgeReply(false, 0, frame.checksum, {0x01, 0x66}), ReplyVerdict::BadAcknowledgement);
}

TEST(FrameCodec, FullBlockOfOnesAt65536HasAChecksumAbove255SentLowByteFirst) {
  const Bytes buffer(128, 0xFF);
  const LongFrame frame = encodeLongFrame(requests::WriteMMC(65536, 0, 128, buffer));
  ASSERT_EQ(frame.bytes.size(), 128u + 9u);
  EXPECT_THAT(Bytes(frame.bytes.begin(), frame.bytes.begin() + 7),
              ElementsAreArray<std::uint8_t>({0xD0, 0x7F, 0x00, 0x00, 0x00, 0x01, 0x00}));
  EXPECT_EQ(frame.checksum, 32976u);
  EXPECT_EQ(frame.bytes[135], 0xD0);
  EXPECT_EQ(frame.bytes[136], 0x80);
  EXPECT_EQ(expectedAcknowledgement(frame.checksum), 0x01A0);  // A0 01 on the line
}

TEST(FrameCodec, SpeedSwitchFrameIsFixedAndItsAcknowledgementIsE0) {
  EXPECT_THAT(speedSwitchFrame(),
              ElementsAreArray<std::uint8_t>({0x80, 0x00, 0x6E, 0x00, 0x02, 0xF0}));
  EXPECT_EQ(kSpeedSwitchAcknowledgement, (2 * kSpeedSwitchChecksum) & 0xFF);
}

TEST(FrameCodec, ReceivedValueIsBuiltFromTheLastTwoBytes) {
  EXPECT_EQ(receivedValue({0x11, 0x22, 0x66, 0x01}), 0x0166);
  // A one-byte acknowledgement is that byte as high byte, 0 as low byte.
  EXPECT_EQ(receivedValue({0x66}), 0x6600);
  EXPECT_EQ(receivedValue({}), 0);
}

TEST(FrameCodec, OneByteAcknowledgementIsBadEvenWhenItMatchesOneHalf) {
  // Expected 66 01: a lone 01 gives 0x0100, a lone 66 gives 0x6600.
  EXPECT_EQ(judgeReply(false, 0, 0xB3, {0x01}), ReplyVerdict::BadAcknowledgement);
  EXPECT_EQ(judgeReply(false, 0, 0xB3, {0x66}), ReplyVerdict::BadAcknowledgement);
}

TEST(FrameCodec, ReadIsCompleteWithItsDataAndTheirSumAndAcceptedOnlyWhenTheyAddUp) {
  EXPECT_FALSE(replyComplete(true, 4, 5));
  EXPECT_TRUE(replyComplete(true, 4, 6));
  EXPECT_FALSE(replyComplete(false, 4, 0));
  EXPECT_TRUE(replyComplete(false, 4, 1));
  const std::pair<Bytes, ReplyVerdict> cases[] = {
      {{1, 2, 3, 0xFA, 0x00, 0x01}, ReplyVerdict::ReadReply},  // sum 0x0100, low byte first
      {{1, 2, 3, 0xFA, 0x00, 0x01, 0x55, 0x55}, ReplyVerdict::ReadReply},  // bytes after it
      {{0x55, 1, 2, 3, 0xFA, 0x00, 0x01}, ReplyVerdict::BadReadReply},     // a byte before it
      {{1, 2, 3, 0xFA, 0x01, 0x00}, ReplyVerdict::BadReadReply},
      {{1, 2, 3, 0xFA, 0x00}, ReplyVerdict::BadReadReply},
  };
  for (const auto& [reply, verdict] : cases) {
    EXPECT_EQ(judgeReply(true, 4, 0, reply), verdict) << reply.size();
  }
}

TEST(FrameCodec, ZeroLengthReadAsksTheDeviceFor256Bytes) {
  // Its length field wraps to FF: the device sends 256 bytes, which must all
  // be taken in before the next request.
  const LongFrame frame = encodeLongFrame(requests::ReadFile(2408, 0));
  EXPECT_EQ(frame.bytes[1], 0xFF);
  EXPECT_EQ(wireLength(0), 256);
  EXPECT_EQ(wireLength(1), 1);
  EXPECT_EQ(wireLength(166), 166);
}

// The request shapes of every operation: kind, area, address and length.
struct Shape {
  const char* name;
  Request request;
  bool isRead;
  std::uint8_t area;
  std::uint32_t address;
  int length;
};

TEST(RequestShapes, EveryOperationAsksForItsAreaAddressAndLength) {
  const Bytes image(1024, 0x5A);
  const Bytes header(128, 0x11);
  const Shape shapes[] = {
      {"CheckDimMMC", requests::CheckDimMMC(), true, 0x00, 140, 4},
      {"ReadMMC", requests::ReadMMC(4000), true, 0x50, 4000, 166},
      {"WriteMMC", requests::WriteMMC(2152, 2, 40, image), false, 0x50, 2152, 40},
      {"WriteCmdDel", requests::WriteCmdDel(), false, 0x00, 110, 1},
      {"InitMem", requests::InitMem(128, 0, 22, image), false, 0x50, 128, 22},
      {"ClrPunEEP", requests::ClrPunEEP(), false, 0x10, 32, 4},
      {"ClrCntEEP 0", requests::ClrCntEEP(0), false, 0x10, 256, 128},
      {"ClrCntEEP 1", requests::ClrCntEEP(1), false, 0x10, 384, 112},
      {"ReadCmndLst", requests::ReadCmndLst(150), true, 0x50, 150, 110},
      {"ReadFile", requests::ReadFile(9000, 57), true, 0x50, 9000, 57},
      {"WriteFileType", requests::WriteFileType(2152, header), false, 0x50, 2152, 128},
      {"WriteFirstLocFree", requests::WriteFirstLocFree(0x00012345), false, 0x10, 32, 4},
      {"ReadCntFile", requests::ReadCntFile(262), true, 0x10, 262, 2},
      {"WriteBuffCmd", requests::WriteBuffCmd(262, 0x0102), false, 0x10, 262, 2},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    EXPECT_EQ(shape.request.RequestIsRead, shape.isRead);
    EXPECT_EQ(shape.request.CommandCode, shape.area);
    EXPECT_EQ(shape.request.RequestAddress, shape.address);
    EXPECT_EQ(shape.request.RequestLength, shape.length);
    EXPECT_EQ(shape.request.BankByte, 0);
    const LongFrame frame = encodeLongFrame(shape.request);
    EXPECT_EQ(frame.bytes.size(), static_cast<std::size_t>(9 + (shape.isRead ? 0 : shape.length)));
    EXPECT_EQ(frame.bytes[0], shape.isRead ? shape.area : (shape.area | 0x80));
    EXPECT_EQ(frame.bytes[1], shape.length - 1);
  }
}

TEST(RequestShapes, WritesCarryTheirDataMostSignificantByteFirst) {
  EXPECT_THAT(requests::WriteCmdDel().data, ElementsAreArray<std::uint8_t>({0x01}));
  EXPECT_THAT(requests::WriteFirstLocFree(0x00012345).data,
              ElementsAreArray<std::uint8_t>({0x00, 0x01, 0x23, 0x45}));
  EXPECT_THAT(requests::WriteBuffCmd(262, 0x0102).data,
              ElementsAreArray<std::uint8_t>({0x01, 0x02}));
  EXPECT_EQ(requests::ClrCntEEP(1).data, Bytes(112, 0));
}

TEST(RequestShapes, BlockWritesTakeTheirBlockOfTheBuffer) {
  Bytes image(300);
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<std::uint8_t>(i);
  }
  const Request last = requests::WriteMMC(2408, 2, 44, image);
  ASSERT_EQ(last.data.size(), 44u);
  EXPECT_EQ(last.data.front(), static_cast<std::uint8_t>(256));
  EXPECT_EQ(last.data.back(), static_cast<std::uint8_t>(299));
  EXPECT_EQ(last.BlockIndex, 2);
  // The header block of a new file is its first 128 bytes, type byte included.
  image[48] = 0x50;
  const Request header = requests::WriteFileType(2152, image);
  EXPECT_EQ(header.data.size(), 128u);
  EXPECT_EQ(header.data[48], 0x50);
}

}  // namespace
}  // namespace vestrim::link
