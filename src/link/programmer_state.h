#pragma once

#include <cstddef>
#include <cstdint>

#include "link/device_addresses.h"

namespace vestrim::link {

// The state of the programmer window that the device link and the
// operations built on it (catalogue walks, transfers, erase) share. It lives
// in one place so that every step reads and writes the same values.
struct ProgrammerState {
  // The operation in flight (an OperationNumber); 0 = none. A builder starts
  // its operation only when this is not already its own number; called again
  // during its own operation it sends the next step.
  std::uint8_t OperationCode = 0;

  // Bad write acknowledgements in a row. Cleared by the first request of an
  // operation and by every accepted reply; while it is not 0 the block
  // operations re-send the same block at the same address.
  std::uint8_t RetryCount = 0;

  // Block position of transfers: BlockCount full blocks of 128 bytes, then
  // one block of LastBlockLength bytes. Held in 32 bits so that a transfer
  // of a whole flash memory cannot wrap.
  std::int32_t BlockIndex = 0;
  std::int32_t BlockCount = 0;
  std::uint8_t LastBlockLength = 0;
  // Device address of the next block, catalogue record or command-list slot.
  std::uint32_t BlockAddress = 0;

  bool readEnd = false;     // the catalogue chain was read to its end
  bool startWrite = false;  // a download waits for the catalogue
  bool startRead = false;   // read the catalogue after the memory size
  bool startErase = false;  // an erase is pending

  bool TimeoutFlag = false;           // the last reply timeout expired
  bool UploadDone = false;            // an upload's last block is written
  bool FileNotReady = true;           // no valid image is loaded for a download
  std::uint8_t SpeedSwitchCount = 0;  // speed-switch frames since the last reply timeout

  // Starts a block transfer of `size` bytes at `address`.
  void beginBlocks(std::uint32_t address, std::size_t size) {
    BlockIndex = 0;
    BlockCount = static_cast<std::int32_t>(size / kBlockLength);
    LastBlockLength = static_cast<std::uint8_t>(size % kBlockLength);
    BlockAddress = address;
  }
  // Whether a full block follows the current one.
  bool moreBlocks() const { return BlockIndex < BlockCount; }
  // Length of the current block: full blocks first, then the short one.
  int blockLength() const { return BlockIndex < BlockCount ? kBlockLength : LastBlockLength; }
  // Moves to the next block unless the last one is being retried.
  void advance() {
    if (RetryCount == 0) {
      ++BlockIndex;
    }
  }
  // The address of the block after the first; unchanged while retrying.
  void stepBlockAddress() {
    if (RetryCount == 0) {
      BlockAddress += kBlockLength;
    }
  }
};

}  // namespace vestrim::link
