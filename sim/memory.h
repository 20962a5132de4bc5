#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "sim/bytes.h"

namespace devsim {

// The three memory areas, valued by the command code that addresses them in a frame.
enum class Area : std::uint8_t { Register = 0x00, Eeprom = 0x10, Flash = 0x50 };

// Maps a frame's command byte (with or without the write bit) to its area.
std::optional<Area> areaFromCommand(std::uint8_t command);

// The device's storage: register area, EEPROM and flash, as plain byte arrays.
// Side effects of the command register (erase, speed switch) belong to the device, not here.
class Memory {
 public:
  static constexpr std::size_t kRegisterSize = 256;
  static constexpr std::size_t kEepromSize = 4096;
  static constexpr std::uint32_t kDefaultFlashSize = 2097152;
  // Read-only registers that report the memory size, most significant byte first.
  static constexpr std::uint32_t kFlashSizeRegister = 140;
  static constexpr std::uint8_t kErasedFlash = 0xFF;

  // Blank memory: registers and EEPROM zero, flash erased.
  explicit Memory(std::uint32_t flashSize = kDefaultFlashSize);

  std::uint32_t flashSize() const { return static_cast<std::uint32_t>(flash_.size()); }
  // The memory size the registers report: the flash size, unless a board that reports another
  // size is being imitated. Not part of the stored memory.
  std::uint32_t reportedSize() const { return reportedSize_.value_or(flashSize()); }
  void setReportedSize(std::optional<std::uint32_t> size) { reportedSize_ = size; }
  std::size_t size(Area area) const;

  // Bytes past the end of an area read as erased flash (0xFF) or as 0 in the other areas.
  Bytes read(Area area, std::uint32_t address, std::size_t length) const;
  std::uint8_t at(Area area, std::uint32_t address) const;
  // Bytes past the end of an area are dropped.
  void write(Area area, std::uint32_t address, std::span<const std::uint8_t> data);

  void eraseFlash();

  // Direct access for the state file. The size registers are stored but always read derived.
  std::span<const std::uint8_t> raw(Area area) const;
  std::span<std::uint8_t> raw(Area area);

  bool operator==(const Memory&) const = default;

 private:
  Bytes registers_;
  Bytes eeprom_;
  Bytes flash_;
  std::optional<std::uint32_t> reportedSize_;
};

}  // namespace devsim
