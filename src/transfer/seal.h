#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "platform/bytes.h"
#include "shell/local_time.h"
#include "shell/text_table.h"

// Sealing a saved device file: it is renamed after its contents (program,
// cycle number, cycle type, date and time) and wrapped in a 16-bit additive
// check sum, with a 12-digit stamp of its own modification time in front:
//   stamp (12) | sum high byte | the device bytes | one byte 0x00 | sum low byte
namespace vestrim::transfer {

// The 12 stamp digits: with D = ddmmyy and T = hhmmss, D1 T6 D2 T5 D3 T4
// D4 T3 D5 T2 D6 T1.
std::string dateSeal(const shell::LocalTime& time);
// The time a stamp records; nothing when it is not 12 digits of a time.
std::optional<shell::LocalTime> sealedTime(const std::string& stamp);

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

// The sealed file's bytes for a device file and a stamp.
Bytes sealContents(const std::string& stamp, std::span<const std::uint8_t> deviceFile);
// A sealed file is its device file and this many bytes.
inline constexpr std::size_t kSealOverhead = 15;
// The device file a sealed file holds, when its check sum holds.
std::optional<std::span<const std::uint8_t>> sealedRecord(const Bytes& sealed);

struct SealResult {
  std::filesystem::path file;  // the sealed file; empty on failure
  std::string error;
  // The archive journal could not take the file's entry: nothing was
  // sealed, and the save or import stops, since what follows would fail
  // the same way.
  bool journalFailed = false;
};

// Seals `deviceFile` into `folder`, a folder below `programFolder`
// (ProtectDataLogger): the sealed file is written under a temporary name,
// stamped with that file's own modification time, entered in the archive
// journal of `programFolder` and only then renamed into place, all under
// the journal's lock, so that saves from several programs into one shared
// folder neither pick the same name nor break the journal's chain. An
// existing file of the same name holding the same record (same bytes after
// the stamp) is replaced; one holding another record is kept, and the new
// one gets "_2", "_3", ... before ".dtl".
SealResult ProtectDataLogger(const std::filesystem::path& programFolder,
                             const std::filesystem::path& folder,
                             std::span<const std::uint8_t> deviceFile,
                             const shell::LanguageMessages& messages);

// Seals `deviceFile` into `folder` under `name` (single-byte text), as
// ProtectDataLogger does with the name it builds.
SealResult sealAs(const std::filesystem::path& programFolder, const std::filesystem::path& folder,
                  std::span<const std::uint8_t> deviceFile, const std::string& name);

}  // namespace vestrim::transfer
