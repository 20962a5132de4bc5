#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "shell/text_table.h"

// The names sealed records are stored under, made from their device bytes.
namespace vestrim::record {

// The sealed name, P_N_Y_DT.dtl, in the system's single-byte text:
//   P  the program text (header 96..115) trimmed, without blanks, a
//      trailing "////" as "0000"
//   N  the cycle number (59..61, low byte first), at least five digits
//   Y  message 50 + cycle type (low four bits of 152), trimmed, without
//      blanks and without its first "°C"
//   DT day, month, year "_" hour, minute (142, 143, 144 "_" 140, 141)
// Characters that a file name cannot hold (separators, reserved and
// control characters, "..", a leading ".") become "_". Bytes beyond a short file read as 0.
std::string sealedFileName(std::span<const std::uint8_t> deviceFile,
                           const shell::LanguageMessages& messages);

// The P and N parts of the sealed name, made safe.
std::string sealedProgramPart(std::span<const std::uint8_t> deviceFile);
std::string sealedNumberPart(std::span<const std::uint8_t> deviceFile);
// Makes a piece of a file name safe: separators, reserved and control
// characters, "..", and a leading "." (which hides a file) become "_".
std::string safeForFileName(std::string text);

}  // namespace vestrim::record
