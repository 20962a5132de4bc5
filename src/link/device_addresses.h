#pragma once

#include <cstdint>

// Where the device keeps what the link reads and writes. Multi-byte values in
// device memory are most significant byte first; frame addresses are least
// significant byte first.
namespace vestrim::link {

// Command codes of the three memory areas; a write sets bit 7 on top.
inline constexpr std::uint8_t kRegisterArea = 0x00;
inline constexpr std::uint8_t kEepromArea = 0x10;
inline constexpr std::uint8_t kFlashArea = 0x50;
inline constexpr std::uint8_t kWriteBit = 0x80;

// Register area.
inline constexpr std::uint32_t kCommandRegister = 110;  // 1 = erase flash, 2 = 57600 baud
inline constexpr std::uint8_t kEraseCommand = 1;
inline constexpr std::uint8_t kSpeedSwitchCommand = 2;
inline constexpr std::uint32_t kMemorySizeRegister = 140;  // 4 bytes

// EEPROM area.
inline constexpr std::uint32_t kFirstFreeLocation = 32;  // 4 bytes, end of the file chain
inline constexpr std::uint32_t kCountersAddress = 256;   // 2 bytes per command-list slot
inline constexpr int kCountersLength = 240;

// Flash area.
inline constexpr std::uint32_t kCommandListAddress = 128;  // 92 slots of 22 bytes
inline constexpr int kCommandListSlotLength = 22;
inline constexpr std::uint32_t kFirstFileAddress = 2152;  // first header of the file chain
inline constexpr int kHeaderRecordLength = 166;

// Transfers move blocks of this many bytes.
inline constexpr int kBlockLength = 128;

}  // namespace vestrim::link
