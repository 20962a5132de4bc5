#pragma once

#include <compare>
#include <cstdint>
#include <span>
#include <string>

// The header record: the first 166 bytes of every device file.
//   32..47 file code, 48 file type, 50..53 next header (most significant byte
//   first; 0xFF at 50 = end), 54..57 previous header, 59..61 file number
//   (least significant byte first), 96..115 file name, 140..144 hour,
//   minute, day, month, year.
namespace vestrim::catalogue {

inline constexpr int kFileCodeOffset = 32;
inline constexpr int kFileTypeOffset = 48;
inline constexpr int kNextAddressOffset = 50;
inline constexpr int kPrevAddressOffset = 54;
inline constexpr int kFileNumberOffset = 59;
inline constexpr int kFileNameOffset = 96;
inline constexpr int kFileNameLength = 20;
inline constexpr int kStampOffset = 140;
inline constexpr std::uint8_t kNoFileType = 0xFF;

// The types of the files the PC writes into the device.
inline constexpr std::uint8_t kMessagesType = 0x30;
inline constexpr std::uint8_t kDataType = 0x20;        // data files and datalogger copies
inline constexpr std::uint8_t kFirmware24Type = 0x01;  // S2 records, 24-bit addresses
inline constexpr std::uint8_t kFirmware16Type = 0xA5;  // S1 records, 16-bit addresses

// Whether a file of `type` is one the PC wrote into the device: no record of
// the device's own, so no cycle for the archive.
bool isSentFileType(std::uint8_t type);

using HeaderBytes = std::span<const std::uint8_t>;  // at least 166 bytes

// The next header's address; 0 when the chain ends here.
std::uint32_t nextAddressOf(HeaderBytes header);

// The file number as at least five decimal digits: 39 30 00 gives "12345",
// 07 00 00 gives "00007".
std::string fileIdOf(HeaderBytes header);

// The 20 name characters, trimmed of blanks at both ends, then thinned: a
// single blank is removed, and of a run of blanks every other one.
std::string fileNameOf(HeaderBytes header);
std::string removeBlanks(std::string name);

// The five stamp bytes as characters: hour, minute, day, month, year.
std::string fileStampOf(HeaderBytes header);

// What tells one device file from another without reading it: the code,
// type, file number, name and stamp of its header record, and its length.
// A sealed copy holds the same header, so the archive can be searched for a
// record the catalogue lists.
struct RecordKey {
  std::string header;
  std::uint64_t length = 0;
  auto operator<=>(const RecordKey&) const = default;
};
RecordKey recordKey(HeaderBytes header, std::uint64_t length);
RecordKey recordKey(std::span<const std::uint8_t> code, std::uint8_t type,
                    const std::string& fileId, const std::string& name, const std::string& stamp,
                    std::uint64_t length);

}  // namespace vestrim::catalogue
