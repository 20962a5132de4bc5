#include "reports/technical_view.h"

namespace vestrim::reports {
namespace {

constexpr unsigned char kStoredDegreeSign = 92;

}  // namespace

Report TechnicalView(const std::string& body) {
  Report report;
  std::string line;
  for (const char stored : body) {
    const auto byte = static_cast<unsigned char>(stored);
    const auto character = static_cast<unsigned char>(byte - 100);
    if (character == '\r') {
      continue;
    }
    if (character == '\n') {
      report.lines.push_back(std::move(line));
      line.clear();
    } else {
      line += byte == kStoredDegreeSign ? kDegreeSign : static_cast<char>(character);
    }
  }
  return report;
}

}  // namespace vestrim::reports
