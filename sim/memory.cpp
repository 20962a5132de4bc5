#include "sim/memory.h"

#include <algorithm>

namespace devsim {

namespace {

std::uint8_t fillByte(Area area) {
  return area == Area::Flash ? Memory::kErasedFlash : 0x00;
}

}  // namespace

std::optional<Area> areaFromCommand(std::uint8_t command) {
  switch (command & 0x7F) {
    case 0x00:
      return Area::Register;
    case 0x10:
      return Area::Eeprom;
    case 0x50:
      return Area::Flash;
    default:
      return std::nullopt;
  }
}

Memory::Memory(std::uint32_t flashSize)
    : registers_(kRegisterSize, 0), eeprom_(kEepromSize, 0), flash_(flashSize, kErasedFlash) {}

std::size_t Memory::size(Area area) const {
  return raw(area).size();
}

std::uint8_t Memory::at(Area area, std::uint32_t address) const {
  if (area == Area::Register && address >= kFlashSizeRegister && address < kFlashSizeRegister + 4) {
    const unsigned shift = 8 * (3 - (address - kFlashSizeRegister));
    return static_cast<std::uint8_t>(reportedSize() >> shift);
  }
  const auto bytes = raw(area);
  if (address >= bytes.size()) {
    return fillByte(area);
  }
  return bytes[address];
}

Bytes Memory::read(Area area, std::uint32_t address, std::size_t length) const {
  Bytes out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    // A read that runs past address 2^32 - 1 is beyond the end of every area, not wrapped.
    const std::uint64_t a = std::uint64_t{address} + i;
    out.push_back(a <= 0xFFFFFFFFu ? at(area, static_cast<std::uint32_t>(a)) : fillByte(area));
  }
  return out;
}

void Memory::write(Area area, std::uint32_t address, std::span<const std::uint8_t> data) {
  auto bytes = raw(area);
  if (address >= bytes.size()) {
    return;
  }
  const std::size_t n = std::min<std::size_t>(data.size(), bytes.size() - address);
  std::copy_n(data.begin(), n, bytes.begin() + address);
}

void Memory::eraseFlash() {
  std::fill(flash_.begin(), flash_.end(), kErasedFlash);
}

std::span<const std::uint8_t> Memory::raw(Area area) const {
  switch (area) {
    case Area::Register:
      return registers_;
    case Area::Eeprom:
      return eeprom_;
    case Area::Flash:
      break;
  }
  return flash_;
}

std::span<std::uint8_t> Memory::raw(Area area) {
  switch (area) {
    case Area::Register:
      return registers_;
    case Area::Eeprom:
      return eeprom_;
    case Area::Flash:
      break;
  }
  return flash_;
}

}  // namespace devsim
