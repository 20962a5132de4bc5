#pragma once

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

}  // namespace vestrim::catalogue
