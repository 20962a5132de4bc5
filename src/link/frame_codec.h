#pragma once

#include <cstddef>
#include <cstdint>

#include "link/request.h"
#include "platform/bytes.h"

// The bytes on the line. A long frame is
//   command byte, N - 1, bank byte, address (4 bytes, low first),
//   data (writes only), checksum (2 bytes, low first)
// where the checksum is the plain sum of every byte before it. There are no
// start or end markers and nothing is escaped: the length follows from the
// first bytes.
namespace vestrim::link {

struct LongFrame {
  Bytes bytes;
  std::uint32_t checksum = 0;  // LastChecksum
};

// Builds the frame of a request (the arithmetic of MakeBTx and the assembly
// of StartTx). A write takes its N bytes from request.data.
LongFrame encodeLongFrame(const Request& request);

// The short speed-switch frame sent at 19200 baud: 80 00 6E 00 02 F0. It has
// a 16-bit address and an 8-bit checksum, and no length byte.
const Bytes& speedSwitchFrame();
inline constexpr std::uint32_t kSpeedSwitchChecksum = 0xF0;
// The device's acknowledgement of the speed switch: (2 x F0) AND 255.
inline constexpr std::uint8_t kSpeedSwitchAcknowledgement = 0xE0;

// A write is acknowledged with twice its checksum, modulo 65536.
std::uint16_t expectedAcknowledgement(std::uint32_t checksum);

// The 16-bit value a reply ends with: last byte x 256 + the byte before it.
// A one-byte reply gives that byte as the high byte and 0 as the low byte.
std::uint16_t receivedValue(const Bytes& reply);

// The number of data bytes a frame asks for as the device reads its length
// field (N - 1 in one byte): N itself for 1 to 256, and 256 for a request of
// length 0, whose field wraps to FF.
int wireLength(int requestLength);

// Whether enough bytes are buffered to look at the reply: a read needs its
// N data bytes and the two bytes of their sum, a write at least one byte.
bool replyComplete(bool requestIsRead, int requestLength, std::size_t bufferedBytes);

enum class ReplyVerdict {
  ReadReply,            // a read reply whose data add up: its first N bytes are the data
  BadReadReply,         // a read reply whose two bytes after the data are not their sum
  GoodAcknowledgement,  // a write acknowledged with the expected value
  BadAcknowledgement,   // a write acknowledged with any other value
};

// Whether the two bytes after the `readLength` data bytes of a read reply
// are the data's sum modulo 65536, low byte first.
bool readSumMatches(int readLength, const Bytes& reply);

// The one place where a complete reply is matched with the request it
// answers. A read of `readLength` bytes is answered with the data and then
// a 16-bit value, low byte first. The device's rule for that value is not
// known for every board: it is checked against the data's sum only when
// `checkReadSum` says that this device sends their sum, so that bytes that
// reached the line before the reply (noise, the tail of an earlier reply)
// are never taken for data there. Bytes after the value are ignored. A write
// is judged by the last two bytes of its acknowledgement.
ReplyVerdict judgeReply(bool requestIsRead, int readLength, std::uint32_t checksum,
                        const Bytes& reply, bool checkReadSum = false);

}  // namespace vestrim::link
