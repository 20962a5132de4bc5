#include "sim/memory_layout.h"

#include <algorithm>
#include <stdexcept>

namespace devsim::layout {

namespace {

Bytes bigEndian32(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
          static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::uint32_t readBigEndian32(const Memory& memory, Area area, std::uint32_t address) {
  std::uint32_t value = 0;
  for (const std::uint8_t b : memory.read(area, address, 4)) {
    value = (value << 8) | b;
  }
  return value;
}

void putText(Bytes& record, std::uint32_t offset, const std::string& text, std::size_t width,
             std::uint8_t pad) {
  for (std::size_t i = 0; i < width; ++i) {
    record[offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : pad;
  }
}

void checkSlot(int slot, int slots) {
  if (slot < 0 || slot >= slots) {
    throw std::out_of_range("slot " + std::to_string(slot) + " outside 0.." +
                            std::to_string(slots - 1));
  }
}

}  // namespace

void writeCommandSlot(Memory& memory, int slot, const CommandSlot& contents) {
  checkSlot(slot, kCommandSlots);
  Bytes bytes(kCommandSlotSize);
  bytes[0] = contents.fileType;
  std::copy(contents.parameters.begin(), contents.parameters.end(), bytes.begin() + 1);
  putText(bytes, 6, contents.label, 16, ' ');
  memory.write(Area::Flash,
               kCommandListAddress + kCommandSlotSize * static_cast<std::uint32_t>(slot), bytes);
}

void formatFreshDevice(Memory& memory) {
  memory = Memory(memory.flashSize());
  writeCommandSlot(
      memory, 0,
      {.fileType = 0x50, .parameters = {0xFF, 0xAA, 0xFF, 0xFF, 0xFF}, .label = "DataLogger"});
  // Slot 1 already starts with 0xFF, the end of the list, because the flash is erased.
}

std::vector<std::uint32_t> chainAddresses(const Memory& memory) {
  std::vector<std::uint32_t> files;
  std::uint32_t address = kChainStart;
  while (std::uint64_t{address} + kHeaderSize <= memory.flashSize()) {
    if (memory.at(Area::Flash, address + kNextAddressOffset) == 0xFF) {
      break;  // erased header: the end marker
    }
    const std::uint32_t next = readBigEndian32(memory, Area::Flash, address + kNextAddressOffset);
    if (next == 0) {
      break;
    }
    files.push_back(address);
    if (next <= address) {
      break;
    }
    address = next;
  }
  return files;
}

std::uint32_t appendFile(Memory& memory, const FileHeader& header,
                         std::span<const std::uint8_t> body) {
  Bytes file(kHeaderSize, 0x00);
  putText(file, kFileCodeOffset, header.fileCode, 16, 0x00);
  file[kFileTypeOffset] = header.fileType;
  for (std::uint32_t i = 0; i < 3; ++i) {
    file[kFileNumberOffset + i] = static_cast<std::uint8_t>(header.fileNumber >> (8 * i));
  }
  putText(file, kFileNameOffset, header.fileName, 20, ' ');
  const std::uint8_t stamp[] = {header.hour, header.minute, header.day, header.month, header.year};
  std::copy(std::begin(stamp), std::end(stamp), file.begin() + kStampOffset);
  file.insert(file.end(), body.begin(), body.end());
  return appendRecord(memory, file);
}

std::uint32_t appendRecord(Memory& memory, std::span<const std::uint8_t> file) {
  if (file.size() < kHeaderSize) {
    throw std::invalid_argument("a file of " + std::to_string(file.size()) +
                                " bytes has no room for its header record");
  }
  const auto files = chainAddresses(memory);
  const std::uint32_t address =
      files.empty() ? kChainStart
                    : readBigEndian32(memory, Area::Flash, files.back() + kNextAddressOffset);
  const std::uint64_t end = std::uint64_t{address} + file.size();
  if (end > memory.flashSize()) {
    throw std::length_error("file of " + std::to_string(file.size()) + " bytes at " +
                            std::to_string(address) + " does not fit into " +
                            std::to_string(memory.flashSize()) + " bytes of flash");
  }
  const auto next = static_cast<std::uint32_t>(end);

  Bytes record(file.begin(), file.begin() + kHeaderSize);
  const Bytes nextBytes = bigEndian32(next);
  const Bytes prevBytes = bigEndian32(files.empty() ? kNoPreviousFile : files.back());
  std::copy(nextBytes.begin(), nextBytes.end(), record.begin() + kNextAddressOffset);
  std::copy(prevBytes.begin(), prevBytes.end(), record.begin() + kPrevAddressOffset);

  memory.write(Area::Flash, address, record);
  memory.write(Area::Flash, address + kHeaderSize, file.subspan(kHeaderSize));
  memory.write(Area::Eeprom, kFirstFreeAddress, bigEndian32(next));
  return address;
}

std::uint32_t firstFreeLocation(const Memory& memory) {
  return readBigEndian32(memory, Area::Eeprom, kFirstFreeAddress);
}

void setDownloadCounter(Memory& memory, int slot, std::uint16_t value) {
  checkSlot(slot, kCounterSlots);
  const std::uint8_t bytes[] = {static_cast<std::uint8_t>(value >> 8),
                                static_cast<std::uint8_t>(value)};
  memory.write(Area::Eeprom, kCounterAddress + 2 * static_cast<std::uint32_t>(slot), bytes);
}

std::uint16_t downloadCounter(const Memory& memory, int slot) {
  checkSlot(slot, kCounterSlots);
  const auto bytes =
      memory.read(Area::Eeprom, kCounterAddress + 2 * static_cast<std::uint32_t>(slot), 2);
  return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

}  // namespace devsim::layout
