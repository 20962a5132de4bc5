#include "link/frame_codec.h"

#include <gtest/gtest.h>

#include "link/requests.h"

namespace vestrim::link {
namespace {

Bytes join(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST(FrameCodec, WorkedExamplesEncodeToTheirBytesWithTheSumLowByteFirst) {
  const struct {
    const char* name;
    Request request;
    Bytes frame;
  } examples[] = {
      {"memory size", requests::CheckDimMMC(), {0x00, 0x03, 0x00, 0x8C, 0, 0, 0, 0x8F, 0x00}},
      {"first header", requests::ReadMMC(2152), {0x50, 0xA5, 0, 0x68, 0x08, 0, 0, 0x65, 0x01}},
      {"command list", requests::ReadCmndLst(128), {0x50, 0x6D, 0, 0x80, 0, 0, 0, 0x3D, 0x01}},
      {"clear", requests::ClrPunEEP(), {0x90, 3, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0xB3, 0}},
      {"ones", requests::WriteMMC(65536, 0, 128, Bytes(128, 0xFF)),
       join(join({0xD0, 0x7F, 0x00, 0x00, 0x00, 0x01, 0x00}, Bytes(128, 0xFF)), {0xD0, 0x80})},
      // Its length field wraps to FF: the device sends 256 bytes.
      {"zero length", requests::ReadFile(2408, 0), {0x50, 0xFF, 0, 0x68, 0x09, 0, 0, 0xC0, 0x01}},
  };
  for (const auto& example : examples) {
    SCOPED_TRACE(example.name);
    const LongFrame frame = encodeLongFrame(example.request);
    EXPECT_EQ(frame.bytes, example.frame);
    EXPECT_EQ(frame.checksum,
              example.frame[example.frame.size() - 2] + 256u * example.frame.back());
  }
  EXPECT_EQ(speedSwitchFrame(), (Bytes{0x80, 0x00, 0x6E, 0x00, 0x02, 0xF0}));
}

TEST(FrameCodec, WriteIsGoodOnlyWhenItsLastTwoBytesReadTwiceItsChecksumLowByteFirst) {
  const struct {
    std::uint32_t checksum;
    Bytes reply;
    ReplyVerdict verdict;
  } cases[] = {
      {0xB3, {0x66, 0x01}, ReplyVerdict::GoodAcknowledgement},
      {0xB3, {0x11, 0x22, 0x66, 0x01}, ReplyVerdict::GoodAcknowledgement},
      {0xB3, {0x01, 0x66}, ReplyVerdict::BadAcknowledgement},
      // A lone byte is the high byte: 01 reads 0x0100 and 66 reads 0x6600.
      {0xB3, {0x01}, ReplyVerdict::BadAcknowledgement},
      {0xB3, {0x66}, ReplyVerdict::BadAcknowledgement},
      {0x3300, {0x66}, ReplyVerdict::GoodAcknowledgement},
      {0xB3, {}, ReplyVerdict::BadAcknowledgement},
      {32976, {0xA0, 0x01}, ReplyVerdict::GoodAcknowledgement},  // twice the sum, cut to 16 bits
  };
  for (const auto& c : cases) {
    EXPECT_EQ(judgeReply(false, c.checksum, c.reply), c.verdict)
        << c.checksum << " " << c.reply.size();
  }
  // Read replies are never rejected, whatever follows the data.
  EXPECT_EQ(judgeReply(true, 0, {1, 2, 3, 4, 0xFF, 0xFF}), ReplyVerdict::ReadReply);
}

TEST(FrameCodec, ReplyIsCompleteWithNDataBytesForAReadAndOneByteForAWrite) {
  EXPECT_FALSE(replyComplete(true, 4, 3));
  EXPECT_TRUE(replyComplete(true, 4, 4));
  EXPECT_FALSE(replyComplete(true, 0, 9));
  EXPECT_FALSE(replyComplete(false, 4, 0));
  EXPECT_TRUE(replyComplete(false, 4, 1));
  EXPECT_EQ(wireLength(0), 256);
  EXPECT_EQ(wireLength(166), 166);
}

TEST(RequestShapes, EveryOperationAsksForItsAreaAddressAndLengthWithItsData) {
  Bytes image(300);
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<std::uint8_t>(i / 2);
  }
  const struct {
    const char* name;
    Request request;
    bool isRead;
    std::uint8_t area;
    std::uint32_t address;
    int length;
    Bytes data;  // the first bytes of a write's data
  } shapes[] = {
      {"CheckDimMMC", requests::CheckDimMMC(), true, 0x00, 140, 4, {}},
      {"ReadMMC", requests::ReadMMC(4000), true, 0x50, 4000, 166, {}},
      {"WriteMMC", requests::WriteMMC(2408, 2, 44, image), false, 0x50, 2408, 44, {128, 128, 129}},
      {"WriteCmdDel", requests::WriteCmdDel(), false, 0x00, 110, 1, {0x01}},
      {"InitMem", requests::InitMem(128, 1, 22, image), false, 0x50, 128, 22, {64, 64, 65}},
      {"ClrPunEEP", requests::ClrPunEEP(), false, 0x10, 32, 4, {0, 0, 0, 0}},
      {"ClrCntEEP 0", requests::ClrCntEEP(0), false, 0x10, 256, 128, {0}},
      {"ClrCntEEP 1", requests::ClrCntEEP(1), false, 0x10, 384, 112, {0}},
      {"ReadCmndLst", requests::ReadCmndLst(150), true, 0x50, 150, 110, {}},
      {"ReadFile", requests::ReadFile(9000, 57), true, 0x50, 9000, 57, {}},
      {"WriteFileType", requests::WriteFileType(2152, image), false, 0x50, 2152, 128, {0, 0, 1}},
      {"WriteFirstLocFree",
       requests::WriteFirstLocFree(0x00012345),
       false,
       0x10,
       32,
       4,
       {0, 1, 0x23, 0x45}},
      {"ReadCntFile", requests::ReadCntFile(262), true, 0x10, 262, 2, {}},
      {"WriteBuffCmd", requests::WriteBuffCmd(262, 0x0102), false, 0x10, 262, 2, {0x01, 0x02}},
  };
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape.name);
    const Request& request = shape.request;
    EXPECT_EQ(request.RequestIsRead, shape.isRead);
    EXPECT_EQ(request.CommandCode, shape.area);
    EXPECT_EQ(request.RequestAddress, shape.address);
    EXPECT_EQ(request.RequestLength, shape.length);
    EXPECT_EQ(request.data.size(), shape.isRead ? 0u : static_cast<std::size_t>(shape.length));
    EXPECT_TRUE(std::equal(shape.data.begin(), shape.data.end(), request.data.begin()));
  }
  // The last block of 300 bytes ends with byte 299.
  EXPECT_EQ(requests::WriteMMC(2408, 2, 44, image).data.back(), 149);
  EXPECT_EQ(requests::WriteMMC(2408, 2, 44, image).BlockIndex, 2);
}

}  // namespace
}  // namespace vestrim::link
