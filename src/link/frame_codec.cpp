#include "link/frame_codec.h"

#include <algorithm>
#include <numeric>

#include "link/device_addresses.h"

namespace vestrim::link {

LongFrame encodeLongFrame(const Request& request) {
  const std::uint32_t address = request.RequestAddress;
  const std::uint8_t addressBytes[4] = {
      static_cast<std::uint8_t>(address & 0xFFu),
      static_cast<std::uint8_t>((address >> 8) & 0xFFu),
      static_cast<std::uint8_t>((address >> 16) & 0xFFu),
      static_cast<std::uint8_t>((address >> 24) & 0xFFu),
  };
  const std::uint8_t command = request.RequestIsRead
                                   ? request.CommandCode
                                   : static_cast<std::uint8_t>(request.CommandCode | kWriteBit);
  const auto lengthField = static_cast<std::uint8_t>(request.RequestLength - 1);

  LongFrame frame;
  frame.bytes.reserve(
      static_cast<std::size_t>(9 + (request.RequestIsRead ? 0 : request.RequestLength)));
  frame.bytes.push_back(command);
  frame.bytes.push_back(lengthField);
  frame.bytes.push_back(request.BankByte);
  frame.bytes.insert(frame.bytes.end(), std::begin(addressBytes), std::end(addressBytes));

  std::uint32_t checksum = 0;
  for (const std::uint8_t byte : frame.bytes) {
    checksum += byte;
  }
  if (!request.RequestIsRead) {
    for (int i = 0; i < request.RequestLength; ++i) {
      const std::uint8_t byte = i < static_cast<int>(request.data.size())
                                    ? request.data[static_cast<std::size_t>(i)]
                                    : std::uint8_t{0};
      frame.bytes.push_back(byte);
      checksum += byte;
    }
  }
  frame.bytes.push_back(static_cast<std::uint8_t>(checksum % 256));
  frame.bytes.push_back(static_cast<std::uint8_t>((checksum / 256) % 256));
  frame.checksum = checksum;
  return frame;
}

const Bytes& speedSwitchFrame() {
  static const Bytes kFrame = {
      0x80, 0x00, 0x6E, 0x00, kSpeedSwitchCommand, static_cast<std::uint8_t>(kSpeedSwitchChecksum)};
  return kFrame;
}

std::uint16_t expectedAcknowledgement(std::uint32_t checksum) {
  return static_cast<std::uint16_t>((2u * checksum) & 0xFFFFu);
}

std::uint16_t receivedValue(const Bytes& reply) {
  if (reply.empty()) {
    return 0;
  }
  const unsigned high = reply.back();
  const unsigned low = reply.size() >= 2 ? reply[reply.size() - 2] : 0u;
  return static_cast<std::uint16_t>(high * 256u + low);
}

int wireLength(int requestLength) {
  return ((requestLength - 1) & 0xFF) + 1;
}

bool replyComplete(bool requestIsRead, int requestLength, std::size_t bufferedBytes) {
  if (requestIsRead) {
    return requestLength > 0 && bufferedBytes >= static_cast<std::size_t>(requestLength) + 2;
  }
  return bufferedBytes > 0;
}

bool readSumMatches(int readLength, const Bytes& reply) {
  const auto length = static_cast<std::size_t>(std::max(readLength, 0));
  if (reply.size() < length + 2) {
    return false;
  }
  const auto data = reply.begin() + static_cast<std::ptrdiff_t>(length);
  const auto sum = std::accumulate(reply.begin(), data, 0u) & 0xFFFFu;
  return static_cast<unsigned>(data[0] | data[1] << 8) == sum;
}

ReplyVerdict judgeReply(bool requestIsRead, int readLength, std::uint32_t checksum,
                        const Bytes& reply, bool checkReadSum) {
  if (requestIsRead) {
    const auto length = static_cast<std::size_t>(std::max(readLength, 0));
    if (reply.size() < length + 2 || (checkReadSum && !readSumMatches(readLength, reply))) {
      return ReplyVerdict::BadReadReply;
    }
    return ReplyVerdict::ReadReply;
  }
  return receivedValue(reply) == expectedAcknowledgement(checksum)
             ? ReplyVerdict::GoodAcknowledgement
             : ReplyVerdict::BadAcknowledgement;
}

}  // namespace vestrim::link
