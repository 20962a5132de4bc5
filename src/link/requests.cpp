#include "link/requests.h"

#include <algorithm>

#include "link/device_addresses.h"

namespace vestrim::link::requests {
namespace {

Request readRequest(std::uint8_t area, std::uint32_t address, int length) {
  Request request;
  request.RequestIsRead = true;
  request.CommandCode = area;
  request.RequestLength = static_cast<std::int16_t>(length);
  request.RequestAddress = address;
  return request;
}

Request writeRequest(std::uint8_t area, std::uint32_t address, Bytes data,
                     std::int32_t blockIndex = 0) {
  Request request;
  request.RequestIsRead = false;
  request.CommandCode = area;
  request.RequestLength = static_cast<std::int16_t>(data.size());
  request.RequestAddress = address;
  request.BlockIndex = blockIndex;
  request.data = std::move(data);
  return request;
}

// The bytes buffer[blockIndex x 128 ..] of one block; bytes beyond the
// buffer's end are zero.
Bytes blockOf(std::span<const std::uint8_t> buffer, std::int32_t blockIndex, int length) {
  Bytes block(static_cast<std::size_t>(std::max(length, 0)), 0);
  const std::size_t first = static_cast<std::size_t>(blockIndex) * kBlockLength;
  for (std::size_t i = 0; i < block.size() && first + i < buffer.size(); ++i) {
    block[i] = buffer[first + i];
  }
  return block;
}

Bytes bigEndian(std::uint32_t value, int bytes) {
  Bytes out(static_cast<std::size_t>(bytes));
  for (int i = bytes - 1; i >= 0; --i) {
    out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value & 0xFFu);
    value >>= 8;
  }
  return out;
}

}  // namespace

Request CheckDimMMC() {
  return readRequest(kRegisterArea, kMemorySizeRegister, 4);
}

Request ReadMMC(std::uint32_t blockAddress) {
  return readRequest(kFlashArea, blockAddress, kHeaderRecordLength);
}

Request WriteMMC(std::uint32_t blockAddress, std::int32_t blockIndex, int length,
                 std::span<const std::uint8_t> txBuffer) {
  return writeRequest(kFlashArea, blockAddress, blockOf(txBuffer, blockIndex, length), blockIndex);
}

Request WriteCmdDel() {
  return writeRequest(kRegisterArea, kCommandRegister, {kEraseCommand});
}

Request InitMem(std::uint32_t blockAddress, std::int32_t blockIndex, int length,
                std::span<const std::uint8_t> txBuffer) {
  return writeRequest(kFlashArea, blockAddress, blockOf(txBuffer, blockIndex, length), blockIndex);
}

Request ClrPunEEP() {
  return writeRequest(kEepromArea, kFirstFreeLocation, Bytes(4, 0));
}

Request ClrCntEEP(std::int32_t blockIndex) {
  // The 240 counter bytes go out as one full block and one of 112 bytes.
  const int length = blockIndex == 0 ? kBlockLength : kCountersLength - kBlockLength;
  const std::uint32_t address =
      kCountersAddress + static_cast<std::uint32_t>(blockIndex) * kBlockLength;
  return writeRequest(kEepromArea, address, Bytes(static_cast<std::size_t>(length), 0), blockIndex);
}

Request ReadCmndLst(std::uint32_t blockAddress) {
  return readRequest(kFlashArea, blockAddress, kCommandListReadLength);
}

Request ReadFile(std::uint32_t blockAddress, int length) {
  return readRequest(kFlashArea, blockAddress, length);
}

Request WriteFileType(std::uint32_t fileAddress, std::span<const std::uint8_t> headerBlock) {
  return writeRequest(kFlashArea, fileAddress, blockOf(headerBlock, 0, kBlockLength));
}

Request WriteFirstLocFree(std::uint32_t chainEnd) {
  return writeRequest(kEepromArea, kFirstFreeLocation, bigEndian(chainEnd, 4));
}

Request ReadCntFile(std::uint32_t counterAddress) {
  return readRequest(kEepromArea, counterAddress, 2);
}

Request WriteBuffCmd(std::uint32_t counterAddress, std::uint16_t counter) {
  return writeRequest(kEepromArea, counterAddress, bigEndian(counter, 2));
}

}  // namespace vestrim::link::requests
