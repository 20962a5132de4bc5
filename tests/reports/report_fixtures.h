#pragma once

#include <cstdint>
#include <string>

#include "record/cycle_file.h"
#include "reports/report_lines.h"
#include "shell/text_table.h"
#include "sim/cycle_generator.h"

// What the report tests share: the shipped English words, cycle records
// written field by field, and the simulator's cycles and technical report as stored files.
namespace vestrim::reports::testing {

// The tables of lang/English.lng, loaded once.
const shell::LanguageTexts& englishTexts();
const shell::LanguageMessages& englishMessages();

ReportLanguage english(char separator);

// Language tables a test may change.
struct Words {
  shell::LanguageTexts texts = englishTexts();
  shell::LanguageMessages messages = englishMessages();
  ReportLanguage with(char separator) const { return {texts, messages, separator}; }
};

// Lines of blanks by their width, dots and dashes, for expected reports.
inline const std::string B1 = " ";
inline const std::string B30(30, ' ');
inline const std::string B31(31, ' ');
inline const std::string B45(45, ' ');
inline const std::string B46(46, ' ');
inline const std::string kDots(45, '.');
inline const std::string kDashes(45, '-');

// A cycle record written field by field, by the 1-based positions the
// reports read. It starts as a finished cycle of code 0 without alarm.
class Record {
 public:
  Record();

  Record& byte(std::size_t position, int value);
  Record& value16(std::size_t position, int value);
  Record& text(std::size_t position, const std::string& text);
  Record& headerByte(std::size_t position, int value);
  Record& cycleType(int code, int mode = 0, bool bit6 = false, bool bit7 = false);
  Record& alarm(int code) { return byte(75, code); }
  // A sample record: probes in tenths of a degree, pressure in hundredths
  // of a bar (stored plus 100).
  Record& sample(int seconds, int code, int pt1 = 1345, int hundredths = 210, int pt2 = 1340,
                 int pt3 = 1338, int pt4 = 1339);
  // Raw bytes after the last record.
  Record& tail(const std::string& bytes);

  std::string DeviceHeader;
  std::string CycleData;
};

// A cycle from the simulator, sealed and read back as the report window
// reads it.
record::CycleFile generatedFile(const devsim::content::CycleRequest& request);
// A technical report from the simulator, sealed and read back.
record::CycleFile generatedTechnicalReport(std::uint64_t seed);

// Expected report lines, in order.
template <typename... Texts>
std::vector<std::string> lineList(const Texts&... texts) {
  return {std::string(texts)...};
}

// The words of a report line list, for messages: one line per line.
std::string joined(const std::vector<std::string>& lines);

}  // namespace vestrim::reports::testing
