#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/bytes.h"
#include "shell/local_time.h"

// A stored cycle record file (".dtl"), as sealing wrote it:
//   0   12     date seal: digits of the file's own modification time
//   12  1      check sum, high byte
//   13  76     device header
//   89  N-90   cycle block
//   N-1 1      check sum, low byte
// Technical reports are wrapped the same way, are marked "TR", and carry
// text instead of a cycle block.
namespace vestrim::reports {

inline constexpr std::size_t kSealLength = 12;
inline constexpr std::size_t kDeviceHeaderLength = 76;
// The smallest file that holds a seal, a device header and both sum bytes.
inline constexpr std::size_t kMinimumFileLength = kSealLength + 1 + kDeviceHeaderLength + 1;
// A technical report's body starts here; each byte is the character + 100.
inline constexpr std::size_t kTechnicalReportBody = 152;

enum class CycleFileStatus {
  Cycle,            // seal and check sum good
  TechnicalReport,  // seal good, marked "TR" (the check sum is not tested)
  BadSeal,
  BadChecksum,
  TooShort,
  Unreadable,
};

// What reading a stored file gives (LeggiFile). The texts hold one
// character per stored byte.
struct CycleFile {
  CycleFileStatus status = CycleFileStatus::Unreadable;
  std::string DeviceHeader;  // 76 characters
  std::string CycleData;     // the cycle block, or the report body as stored; empty on failure
  bool IsTechnicalReport = false;

  bool showable() const {
    return status == CycleFileStatus::Cycle || status == CycleFileStatus::TechnicalReport;
  }
};

// Whether a stored seal belongs to a file last modified at `modified`. It
// does when it is that time; or exactly one hour earlier; or it shares the
// date and hour with that time, or with that time plus one hour, and lies
// within five seconds of it. The tolerance covers a write that ends a few
// seconds after the seal was taken, and summer-time shifts.
bool sealMatches(const std::string& seal, const shell::LocalTime& modified);

// Whether a stored file's bytes are marked "TR", a technical report.
bool isTechnicalReport(const Bytes& stored);

// Judges and splits a stored file's bytes, given its modification time.
CycleFile readCycleFile(const Bytes& stored, const shell::LocalTime& modified);

// Reads a stored file and its modification time (LeggiFile). Nothing in the
// file is changed.
CycleFile LeggiFile(const std::filesystem::path& file);

// The words the status is reported with: "OK", "bad seal", ...
std::string statusText(CycleFileStatus status);

}  // namespace vestrim::reports
