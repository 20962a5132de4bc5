#include "reports/probe_columns.h"

#include "reports/report_lines.h"

namespace vestrim::reports {
namespace {

bool inSection(std::size_t number, const ProbeColumns& columns) {
  return columns.header != 0 && number >= columns.header + 2 && number <= columns.sectionEnd;
}

}  // namespace

ProbeColumns findProbeColumns(const std::vector<std::string>& lines, char decimalSeparator) {
  ProbeColumns columns;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.size() > 3 && line.compare(line.size() - 4, 3, "PT4") == 0) {
      columns.header = i + 1;
      break;
    }
  }
  if (columns.header == 0) {
    return columns;
  }
  int blanksInARow = 0;
  for (std::size_t number = columns.header + 1; number <= lines.size(); ++number) {
    if (lines[number - 1] == " ") {
      if (++blanksInARow == 2) {
        columns.sectionEnd = number - 2;
        break;
      }
    } else {
      blanksInARow = 0;
    }
  }
  const std::string zero = temperatureText(0, decimalSeparator);
  const std::string bothZero = zero + "  " + zero;
  columns.absent = true;
  for (std::size_t number = columns.header + 2; number <= columns.sectionEnd; ++number) {
    const std::string& line = lines[number - 1];
    if (line.size() > 11 &&
        line.compare(line.size() - bothZero.size(), bothZero.size(), bothZero) != 0) {
      columns.absent = false;
      break;
    }
  }
  return columns;
}

std::string withoutProbeColumns(const std::string& line, std::size_t number,
                                const ProbeColumns& columns) {
  if (line.size() < kShortLine) {
    return " ";
  }
  if (number == columns.header || inSection(number, columns)) {
    return line.substr(0, line.size() - kProbeColumnsWidth);
  }
  return line;
}

}  // namespace vestrim::reports
