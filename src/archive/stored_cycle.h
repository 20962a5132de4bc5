#pragma once

#include <optional>
#include <string>

#include "platform/bytes.h"
#include "reports/cycle_record.h"

namespace vestrim::archive {

// What the archive's check and search need of a stored cycle file, read
// from its bytes whatever its seal says: a copy that lost its file times
// still holds its cycle. Texts are single-byte, trimmed of blanks and 0x00.
struct StoredCycle {
  std::string serial;   // the machine's serial number (text 3)
  int cycleNumber = 0;  // FileNumber
  std::string program;  // the program text (text 2)
  reports::DateTimeFields start;
  reports::DateTimeFields end;
  int alarmCode = 0;    // 0: the cycle ended without alarm
  bool passed = false;  // the result the reports show: the 19th character of text 1 is not 0
  int result = 0;
  int CycleCode = 0;
  int samples = 0;  // sample records, as the reports walk them
};

// Nothing for a technical report, or for a file too short to hold a cycle
// summary or whose summary values do not fit.
std::optional<StoredCycle> storedCycle(const Bytes& stored);

// "2025-03-07 08:10": the date and time of a record's start or end.
std::string dateTimeText(const reports::DateTimeFields& time);

}  // namespace vestrim::archive
