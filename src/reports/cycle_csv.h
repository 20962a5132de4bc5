#pragma once

#include <string>

#include "reports/cycle_record.h"
#include "reports/report_lines.h"

// A cycle's sample records as comma-separated values for spreadsheets and
// scripts: a header row, then one row per record with its elapsed time in
// seconds and as minutes:seconds, its phase or event code and name, PT1 to
// PT4 in degrees Celsius and the pressure in bar. Numbers take "." whatever
// the locale; fields are quoted as RFC 4180 has it; lines end in CR LF; the
// text is UTF-8.
namespace vestrim::reports {

// `separator` is "," or, for spreadsheets set to a comma locale, ";".
std::string cycleCsv(const CycleRecord& record, const ReportLanguage& language,
                     char separator = ',');

// Whether a character can separate the fields: ",", ";", a tab or "|" (the
// numbers' digits, points, minus signs and colons cannot).
bool csvSeparatorAllowed(char separator);

}  // namespace vestrim::reports
