#pragma once

#include <cstdint>
#include <span>

#include "link/request.h"

// The shapes of the device requests, one per operation. Each returns the
// request fields; the operation that sends it owns the sequencing.
namespace vestrim::link {

// Operation numbers (OperationCode); 0 means no operation.
enum OperationNumber : std::uint8_t {
  kNoOperation = 0,
  kCheckDimMMC = 1,         // memory size
  kReadMMC = 2,             // catalogue record
  kWriteMMC = 3,            // download block
  kWriteCmdDel = 4,         // erase command
  kInitMem = 5,             // command-list image
  kClrPunEEP = 6,           // clear the first-free pointer
  kClrCntEEP = 7,           // clear the counters
  kReadCmndLst = 8,         // command-list slot
  kReadFile = 9,            // upload block
  kWriteFileType = 10,      // header block of a new file
  kWriteFirstLocFree = 11,  // new first free location
  kReadCntFile = 12,        // file counter read
  kWriteBuffCmd = 13,       // file counter write
};
inline constexpr int kOperationCount = 13;

namespace requests {

// Read 4 bytes at register 140: the memory size.
Request CheckDimMMC();
// Read one 166-byte header record in flash.
Request ReadMMC(std::uint32_t blockAddress);
// Write block `blockIndex` (`length` bytes) of `txBuffer` into flash.
Request WriteMMC(std::uint32_t blockAddress, std::int32_t blockIndex, int length,
                 std::span<const std::uint8_t> txBuffer);
// Write 1 to the command register: erase the flash.
Request WriteCmdDel();
// Write block `blockIndex` of the command-list image into flash.
Request InitMem(std::uint32_t blockAddress, std::int32_t blockIndex, int length,
                std::span<const std::uint8_t> txBuffer);
// Write 00 00 00 00 to the first free location.
Request ClrPunEEP();
// Write zeros over the counters: block 0 is 128 bytes at 256, block 1 is
// 112 bytes at 384.
Request ClrCntEEP(std::int32_t blockIndex);
inline constexpr int kCounterBlocks = 2;
// Read 110 bytes of the command list; only the first 22 (one slot) are used.
Request ReadCmndLst(std::uint32_t blockAddress);
inline constexpr int kCommandListReadLength = 110;
// Read one upload block (`length` bytes, at most 128) in flash.
Request ReadFile(std::uint32_t blockAddress, int length);
// Write the first 128 bytes of a new file (its header block, with the type
// byte at offset 48) at the file's address.
Request WriteFileType(std::uint32_t fileAddress, std::span<const std::uint8_t> headerBlock);
// Write the new end of the file chain, most significant byte first.
Request WriteFirstLocFree(std::uint32_t chainEnd);
// Read the 2-byte download counter at `counterAddress` in EEPROM.
Request ReadCntFile(std::uint32_t counterAddress);
// Write the 2-byte download counter, most significant byte first.
Request WriteBuffCmd(std::uint32_t counterAddress, std::uint16_t counter);

}  // namespace requests
}  // namespace vestrim::link
