#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/bytes.h"
#include "record/sealed_record.h"
#include "shell/local_time.h"

// A stored cycle record file (".dtl") read and judged: its seal against the
// file's time, its check sum, and its parts (sealed_record.h has the layout).
namespace vestrim::record {

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

// Judges and splits a stored file's bytes, given its modification time.
CycleFile readCycleFile(const Bytes& stored, const shell::LocalTime& modified);

// Reads a stored file and its modification time (LeggiFile). Nothing in the
// file is changed.
CycleFile LeggiFile(const std::filesystem::path& file);

// The words the status is reported with: "OK", "bad seal", ...
std::string statusText(CycleFileStatus status);

}  // namespace vestrim::record
