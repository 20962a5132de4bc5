#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The fields of a cycle record, decoded from a stored file's DeviceHeader
// and CycleData. Positions below are 1-based, as the reports address them.
namespace vestrim::reports {

inline constexpr std::size_t kSummaryLength = 90;
inline constexpr std::size_t kSampleLength = 13;
inline constexpr std::uint8_t kFirstPhaseCode = 151;
inline constexpr int kVacuumTestCycle = 13;
inline constexpr int kFastCycle = 12;

struct DateTimeFields {
  int hour = 0;
  int minute = 0;
  int day = 0;
  int month = 0;
  int year = 0;  // two digits
};

struct CycleSummary {
  std::string text1;           // positions 1..20; its 19th character is tested by the footers
  std::string text2;           // 21..40: the program text
  std::string text3;           // 42..61
  DateTimeFields start;        // 65..69
  DateTimeFields end;          // 70..74
  int alarmCode = 0;           // 75; 0 = no alarm
  int counter = 0;             // 76, shown plus one
  std::uint8_t cycleType = 0;  // 77
  int CycleCode = 0;           // bits 0-3 of 77
  int mode = 0;                // bits 4-5 of 77
  bool flag6 = false;
  bool flag7 = false;
  int maximumTemperature = 0;  // 78-79, tenths of a degree
  int maximumTime = 0;         // 80-81, seconds from the start
  int minimumTemperature = 0;  // 82-83
  int minimumTime = 0;         // 84-85
  int sterilisationTime = 0;   // 86: minutes; tenths of a minute for the fast cycle
  int result = 0;              // 87
  int line13Number = 0;        // 88
};

struct SampleRecord {
  int elapsedSeconds = 0;    // from the cycle start
  std::uint8_t code = 0;     // below 151 an event, from 151 a phase
  int pt[4] = {0, 0, 0, 0};  // PT1..PT4, tenths of a degree
  int pressure = 0;          // hundredths of a bar (the stored value less 100)

  bool isPhase() const { return code >= kFirstPhaseCode; }
};

struct DeviceHeaderFields {
  int FileNumber = 0;        // positions 60..62
  int secondNumber = 0;      // 63..65
  std::uint8_t options = 0;  // 66
};

struct CycleRecord {
  DeviceHeaderFields header;
  CycleSummary summary;
  std::vector<SampleRecord> samples;
};

// A 16-bit value as the reports read it: high byte x 256 + low byte, which
// must fit a signed 16-bit number (a high byte of 128 or more does not).
std::optional<int> value16(const std::string& data, std::size_t position);

// The start positions of the sample records: from 91, every 13, while the
// start is at most the length - 1. A trailing part of 2 to 12 bytes starts
// a record that runs past the end; a single trailing byte is ignored.
std::vector<std::size_t> recordPositions(const std::string& CycleData);

// Decodes every field. Nothing, with `error` saying why, when a value does
// not fit, an elapsed time reaches 256 minutes, a record is cut short, or
// the summary is incomplete.
std::optional<CycleRecord> decodeCycleRecord(const std::string& DeviceHeader,
                                             const std::string& CycleData,
                                             std::string* error = nullptr);

}  // namespace vestrim::reports
