#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/memory.h"

// Where the device keeps its bookkeeping, and helpers that lay out realistic contents:
// command-list slots, files appended to the chain, download counters.
namespace devsim::layout {

// EEPROM: end of the file chain, most significant byte first; 0 once the flash is erased.
inline constexpr std::uint32_t kFirstFreeAddress = 32;
// EEPROM: 2-byte download counter of command-list slot s at kCounterAddress + 2 * s, MSB first.
inline constexpr std::uint32_t kCounterAddress = 256;
inline constexpr int kCounterSlots = 120;

// Register area: writing one of these commands to the command register triggers it.
inline constexpr std::uint32_t kCommandRegister = 110;
inline constexpr std::uint8_t kEraseCommand = 1;
inline constexpr std::uint8_t kFastLineCommand = 2;

// Flash: command list of 22-byte slots, then the chain of stored files.
inline constexpr std::uint32_t kCommandListAddress = 128;
inline constexpr std::uint32_t kCommandSlotSize = 22;
inline constexpr int kCommandSlots = 92;
inline constexpr std::uint8_t kEndOfList = 0xFF;
inline constexpr std::uint32_t kChainStart = 2152;

// Header record at the start of every stored file.
inline constexpr std::uint32_t kHeaderSize = 166;
inline constexpr std::uint32_t kFileCodeOffset = 32;
inline constexpr std::uint32_t kFileTypeOffset = 48;
inline constexpr std::uint32_t kNextAddressOffset = 50;
inline constexpr std::uint32_t kPrevAddressOffset = 54;
inline constexpr std::uint32_t kFileNumberOffset = 59;
inline constexpr std::uint32_t kFileNameOffset = 96;
inline constexpr std::uint32_t kStampOffset = 140;
// PrevAddress of the first file in the chain.
inline constexpr std::uint32_t kNoPreviousFile = 0xFFFFFFFF;

struct CommandSlot {
  std::uint8_t fileType = kEndOfList;
  std::array<std::uint8_t, 5> parameters{};
  std::string label{};  // cut or blank-padded to 16 characters
};

struct FileHeader {
  std::string fileCode{};  // up to 16 characters, 0x00-padded
  std::uint8_t fileType = 0;
  std::uint32_t fileNumber = 0;  // 24 bits, stored least significant byte first
  std::string fileName{};        // up to 20 characters, blank-padded
  std::uint8_t hour = 0;
  std::uint8_t minute = 0;
  std::uint8_t day = 1;
  std::uint8_t month = 1;
  std::uint8_t year = 0;
};

// slot 0..91.
void writeCommandSlot(Memory& memory, int slot, const CommandSlot& contents);

// Contents of a freshly initialised device: flash erased, one command-list slot
// (type 0x50, "DataLogger"), an empty chain and a zero EEPROM.
void formatFreshDevice(Memory& memory);

// Addresses of the stored files, following NextAddress from the chain start. Stops at an erased
// header, a NextAddress of 0, a pointer back to an earlier file or one beyond the flash.
std::vector<std::uint32_t> chainAddresses(const Memory& memory);

// Writes a file (166-byte header record, then body) at the end of the chain, links it to the
// previous file and moves the EEPROM first free location past it. Returns the file's address.
// Throws std::length_error when the file does not fit into the flash.
std::uint32_t appendFile(Memory& memory, const FileHeader& header,
                         std::span<const std::uint8_t> body);

// The same for a file whose header record is already laid out (its first 166 bytes): only
// NextAddress and PrevAddress are filled in. Throws std::invalid_argument for a file shorter
// than a header record.
std::uint32_t appendRecord(Memory& memory, std::span<const std::uint8_t> file);

std::uint32_t firstFreeLocation(const Memory& memory);

// slot 0..119.
void setDownloadCounter(Memory& memory, int slot, std::uint16_t value);
std::uint16_t downloadCounter(const Memory& memory, int slot);

}  // namespace devsim::layout
