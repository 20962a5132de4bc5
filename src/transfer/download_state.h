#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/header_record.h"
#include "platform/bytes.h"

namespace vestrim::transfer {

inline constexpr std::size_t kBufferSize = 1048576;        // LoadBuffer and TxBuffer
inline constexpr std::uint32_t kTopSectorStart = 0xFC000;  // firmware above is never sent

// Type codes of the images sent to the device.
using catalogue::kDataType;
using catalogue::kFirmware16Type;
using catalogue::kFirmware24Type;
using catalogue::kMessagesType;

// One sector of the device's flash: first and last address, 0-0 when absent.
struct Sector {
  std::int32_t first = 0;
  std::int32_t last = 0;
};

// What a file to send becomes on its way to the device: the file as read
// (LoadBuffer), the image with its header (TxBuffer) and the facts about it.
struct DownloadState {
  // The transfer buffer also holds the largest data image: its 76-byte
  // header and a full load buffer.
  DownloadState() : LoadBuffer(kBufferSize, 0xFF), TxBuffer(kBufferSize + 76, 0xFF) {}

  Bytes LoadBuffer;  // for firmware, the memory image by device address
  std::int32_t LoadedLength = 0;
  Bytes TxBuffer;  // the image: header, then payload
  std::int32_t FileLength = 0;
  std::uint8_t FileTypeToFind = 0;
  bool FileNotReady = true;
  std::string FileExtension;     // lower case, the last three characters of the name
  std::string DownloadFileName;  // as chosen: a full path, or a bare name within a selection
  std::array<std::array<Sector, 4>, 8> SectorMap{};
  std::string S0HeaderText;  // the hexadecimal name text of a firmware file's S0 record
};

}  // namespace vestrim::transfer
