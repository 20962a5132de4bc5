#pragma once

#include <string>

#include "reports/report_lines.h"

// The cycle reports built from a stored cycle file's DeviceHeader and
// CycleData (read by LeggiFile): the full report, the compact one, and the
// two vacuum test reports. Each gives the report's lines, or "File error"
// when the record holds something the report cannot show (a 16-bit value
// that does not fit, an elapsed time of 256 minutes or more, a record cut
// short, an event code without a message, a label too long for its column,
// a text too long to centre), whatever the bytes are.
namespace vestrim::reports {

// The full report: every record with PT1, P, PT2, PT3 and PT4, a blank line
// after the main phases, and the alarm footer when `HasAlarm`, else the
// maximum/minimum footer. PT3 and PT4 are dropped when both read zero in
// every record.
Report FullView(const std::string& DeviceHeader, const std::string& CycleData, bool HasAlarm,
                const ReportLanguage& language);

// The compact report: the full report's header, then phases from the first
// pre-vacuum on and the periodic samples at most once a minute, with PT1
// and P only, and the maximum/minimum footer.
Report LittleView(const std::string& DeviceHeader, const std::string& CycleData,
                  const ReportLanguage& language);

// The vacuum test reports: a shorter header, records as in the compact
// report with their own spacing, and the alarm footer (full) or the end and
// result footer (compact).
Report VacumTestFullView(const std::string& DeviceHeader, const std::string& CycleData,
                         const ReportLanguage& language);
Report VacumTestLittleView(const std::string& DeviceHeader, const std::string& CycleData,
                           const ReportLanguage& language);

}  // namespace vestrim::reports
