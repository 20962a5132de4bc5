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
    EXPECT_EQ(judgeReply(false, 0, c.checksum, c.reply), c.verdict)
        << c.checksum << " " << c.reply.size();
  }
}

TEST(FrameCodec, ReadIsCompleteWithItsDataAndTheValueAfterThem) {
  EXPECT_FALSE(replyComplete(true, 4, 5));
  EXPECT_TRUE(replyComplete(true, 4, 6));
  EXPECT_FALSE(replyComplete(true, 0, 9));
  EXPECT_FALSE(replyComplete(false, 4, 0));
  EXPECT_TRUE(replyComplete(false, 4, 1));
  const struct {
    Bytes reply;
    bool sumMatches;
  } cases[] = {
      {{1, 2, 3, 0xFA, 0x00, 0x01}, true},              // sum 0x0100, low byte first
      {{1, 2, 3, 0xFA, 0x00, 0x01, 0x55, 0x55}, true},  // bytes after it
      {{0x55, 1, 2, 3, 0xFA, 0x00, 0x01}, false},       // a byte before it
      {{1, 2, 3, 0xFA, 0x01, 0x00}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(readSumMatches(4, c.reply), c.sumMatches) << c.reply.size();
    // Judged by its sum only where the device is known to send one.
    EXPECT_EQ(judgeReply(true, 4, 0, c.reply, true),
              c.sumMatches ? ReplyVerdict::ReadReply : ReplyVerdict::BadReadReply);
    EXPECT_EQ(judgeReply(true, 4, 0, c.reply, false), ReplyVerdict::ReadReply);
  }
  EXPECT_EQ(judgeReply(true, 4, 0, {1, 2, 3, 0xFA, 0x00}, false), ReplyVerdict::BadReadReply);
  EXPECT_EQ(wireLength(0), 256);
  EXPECT_EQ(wireLength(166), 166);
}

}  // namespace
}  // namespace vestrim::link
