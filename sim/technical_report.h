#pragma once

#include <cstdint>
#include <string>

#include "sim/bytes.h"
#include "sim/cycle_generator.h"

// Technical reports: what a service engineer leaves in the board after a visit. The board keeps
// the report's text from byte 139 of the file on, each character stored as its code plus 100
// (modulo 256), lines ending in CR LF; the visit's date (dd/mm/yyyy) lies at bytes 160..169 and
// its time (hh:mm) at 202..206. The board's character set has the degree sign at 248, so it is
// stored as 92.
namespace devsim::content {

inline constexpr std::size_t kReportTextOffset = 139;
inline constexpr std::size_t kReportDateOffset = 160;
inline constexpr std::size_t kReportTimeOffset = 202;
inline constexpr char kBoardDegreeSign = static_cast<char>(248);

enum class ServiceVisit : std::uint8_t { Maintenance, Calibration, Repair };

struct TechnicalReportRequest {
  ServiceVisit visit = ServiceVisit::Maintenance;
  Stamp when{};
  int century = 20;                      // with when.year: the year written in the text
  std::uint32_t cycleNumber = 0;         // the cycle counter at the visit: the file number
  std::uint32_t cyclesSinceService = 0;  // at the visit; a maintenance resets it to 0
  std::uint32_t reportNumber = 1;
  std::string engineer = "A. Fenwick";
  std::string customer = "Riverside Dental Practice";
  // Repair: the alarm that called the engineer, and the cycle that ended in it.
  std::uint8_t alarmCode = 0;
  Stamp alarmTime{};
  std::uint32_t alarmCycle = 0;
  std::uint64_t seed = 1;
};

struct GeneratedReport {
  Bytes bytes{};  // header record and text; chain links left 0, as for cycles
  std::string fileCode{};
  std::string text{};  // the text in the board's characters, CR LF line ends
};

GeneratedReport generateTechnicalReport(const Machine& machine,
                                        const TechnicalReportRequest& request);

}  // namespace devsim::content
