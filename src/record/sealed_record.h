#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/bytes.h"
#include "shell/local_time.h"

// The sealed record: a device file as the archive keeps it. Saves and
// imports write it; the reports, the archive's check and the erase's guard
// read it.
//   0      12  stamp: digits of the file's own modification time
//   12     1   check sum, high byte
//   13     n   the device file (a cycle record: its 76-byte device header,
//              then the cycle block; a technical report, marked "TR": text)
//   13+n   1   one byte 0x00, the read after the end of the file
//   14+n   1   check sum, low byte
// The check sum is the sum of the n + 1 bytes after the high byte, modulo
// 65536.
namespace vestrim::record {

inline constexpr std::size_t kSealLength = 12;
inline constexpr std::size_t kDeviceHeaderLength = 76;
// The smallest file that holds a seal, a device header and both sum bytes.
inline constexpr std::size_t kMinimumFileLength = kSealLength + 1 + kDeviceHeaderLength + 1;
// A technical report's body starts here; each byte is the character + 100.
inline constexpr std::size_t kTechnicalReportBody = 152;
// A sealed file is its device file and this many bytes.
inline constexpr std::size_t kSealOverhead = 15;

// The 12 stamp digits: with D = ddmmyy and T = hhmmss, D1 T6 D2 T5 D3 T4
// D4 T3 D5 T2 D6 T1.
std::string dateSeal(const shell::LocalTime& time);
// The time a stamp records; nothing when it is not 12 digits of a time.
std::optional<shell::LocalTime> sealedTime(const std::string& stamp);

// Whether a stored seal belongs to a file last modified at `modified`. It
// does when it is that time; or exactly one hour earlier; or it shares the
// date and hour with that time, or with that time plus one hour, and lies
// within five seconds of it. The tolerance covers a write that ends a few
// seconds after the seal was taken, and summer-time shifts.
bool sealMatches(const std::string& seal, const shell::LocalTime& modified);

// The sealed file's bytes for a device file and a stamp.
Bytes sealContents(const std::string& stamp, std::span<const std::uint8_t> deviceFile);
// The device file a sealed file holds, when its check sum holds.
std::optional<std::span<const std::uint8_t>> sealedRecord(const Bytes& sealed);

// Whether a stored file's bytes are marked "TR", a technical report.
bool isTechnicalReport(const Bytes& stored);

}  // namespace vestrim::record
