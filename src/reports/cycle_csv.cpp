#include "reports/cycle_csv.h"

#include <cstdlib>

#include "shell/text_encoding.h"

namespace vestrim::reports {
namespace {

constexpr const char* kLineEnd = "\r\n";

// A field as RFC 4180 writes it: quoted, with its quotes doubled, when it
// holds the separator, a quote or a line end.
std::string field(const std::string& text, char separator) {
  if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos) {
    return text;
  }
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c;
    if (c == '"') {
      quoted += '"';
    }
  }
  return quoted + '"';
}

// `value` in units of 10^-digits as a decimal number with "." and `digits`
// decimals: 1342 with one decimal gives 134.2, -85 with two -0.85.
std::string decimal(int value, int digits) {
  const int scale = digits == 1 ? 10 : 100;
  const int magnitude = std::abs(value);
  std::string fraction = std::to_string(magnitude % scale);
  fraction.insert(0, static_cast<std::size_t>(digits) - fraction.size(), '0');
  return (value < 0 ? "-" : "") + std::to_string(magnitude / scale) + "." + fraction;
}

std::string nameOf(const SampleRecord& sample, const ReportLanguage& language) {
  std::string name = language.messages[sample.isPhase() ? 200 + std::size_t{sample.code}
                                                        : 401 + std::size_t{sample.code}];
  while (!name.empty() && name.back() == ' ') {
    name.pop_back();
  }
  return shell::windows1252ToUtf8(name);
}

}  // namespace

bool csvSeparatorAllowed(char separator) {
  return separator == ',' || separator == ';' || separator == '\t' || separator == '|';
}

std::string cycleCsv(const CycleRecord& record, const ReportLanguage& language, char separator) {
  const std::string s(1, separator);
  std::string csv = "Elapsed (s)" + s + "Elapsed (mm:ss)" + s + "Code" + s + "Text" + s +
                    "PT1 (\u00B0C)" + s + "PT2 (\u00B0C)" + s + "PT3 (\u00B0C)" + s +
                    "PT4 (\u00B0C)" + s + "P (bar)" + kLineEnd;
  csv.reserve(csv.size() + record.samples.size() * 56);
  for (const SampleRecord& sample : record.samples) {
    csv += std::to_string(sample.elapsedSeconds) + s + elapsedText(sample.elapsedSeconds) + s +
           std::to_string(sample.code) + s + field(nameOf(sample, language), separator);
    for (const int tenths : sample.pt) {
      csv += s + decimal(tenths, 1);
    }
    csv += s + decimal(sample.pressure, 2) + kLineEnd;
  }
  return csv;
}

}  // namespace vestrim::reports
