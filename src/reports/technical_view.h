#pragma once

#include <string>

#include "reports/report_lines.h"

namespace vestrim::reports {

// The technical report's lines from its stored body (each byte the
// character's code plus 100, modulo 256): carriage returns are dropped, a
// line feed ends a line, the stored byte 92 is the degree sign, and text
// after the last line feed is not shown. Any number of lines.
Report TechnicalView(const std::string& body);

}  // namespace vestrim::reports
