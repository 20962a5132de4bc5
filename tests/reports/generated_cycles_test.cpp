#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "report_fixtures.h"
#include "reports/report_window.h"

namespace vestrim::reports {
namespace {

using devsim::content::CycleRequest;
using testing::english;
using testing::generatedFile;
using testing::kDashes;

const std::set<std::string> kPhasesWithBlankLine = {"1PV", "3PV", "ET ", "SE ",
                                                    "DS ", "SPD", "EPD", "DE "};

std::size_t recordCount(const CycleFile& file) {
  return (file.CycleData.size() - 90) / 13;
}

// The record section: the lines between the dashes and the footer.
std::vector<std::string> recordSection(const Report& report, std::size_t footer) {
  const auto dashes = std::find(report.lines.begin(), report.lines.end(), kDashes);
  if (dashes == report.lines.end() || report.lines.end() - dashes < static_cast<long>(footer)) {
    ADD_FAILURE() << "no record section";
    return {};
  }
  return {dashes + 1, report.lines.end() - static_cast<long>(footer)};
}

// A record line is its time and then `width` characters.
void expectWidths(const std::vector<std::string>& lines, std::size_t width, const char* what) {
  for (const std::string& line : lines) {
    if (line == " ") {
      continue;
    }
    EXPECT_EQ(line.size() - line.find(':') - 3, width) << what << ": [" << line << "]";
  }
}

CycleRequest request(int code, std::uint64_t seed, std::uint8_t alarm = 0) {
  CycleRequest r;
  r.cycleCode = code;
  r.seed = seed;
  r.alarmCode = alarm;
  r.start = {8, 0, 14, 3, 25};
  return r;
}

// Every program, with its longest options, opens in its report and shows every record in the
// full one, which stays within the 500 lines the window holds but for the two long programs.
TEST(GeneratedCycles, EveryProgramOpensInItsReportWithEveryRecordInTheFullOne) {
  for (int code = 0; code < 16; ++code) {
    if (code == 13) {
      continue;
    }
    for (const std::uint8_t alarm : {0, 10}) {
      SCOPED_TRACE("cycle code " + std::to_string(code) + ", alarm " + std::to_string(alarm));
      CycleRequest r = request(code, 40 + static_cast<std::uint64_t>(code), alarm);
      r.drying = alarm == 0 ? devsim::content::DryingMode::Extended : r.drying;
      r.extraDryingMinutes = 5;
      r.coldChamber = alarm == 0;
      const CycleFile file = generatedFile(r);
      ReportWindow window(english(','));
      window.load(file);
      ASSERT_TRUE(window.report().ok()) << window.report().reason;
      if (alarm == 0) {
        ASSERT_EQ(window.shown(), ReportKind::Compact);
        expectWidths(recordSection(window.report(), 21), 24, "compact");
        window.pressSwitch();
        ASSERT_TRUE(window.report().ok()) << window.report().reason;
      }
      ASSERT_EQ(window.shown(), ReportKind::Full);
      const std::vector<std::string> records = recordSection(window.report(), alarm ? 21 : 24);
      expectWidths(records, 40, "full");
      const auto blanks = static_cast<std::size_t>(std::count(records.begin(), records.end(), " "));
      EXPECT_EQ(records.size() - blanks, recordCount(file));
      for (std::size_t i = 1; i < records.size(); ++i) {
        if (records[i] == " ") {
          const std::string name = records[i - 1].substr(records[i - 1].find(':') + 5, 3);
          EXPECT_TRUE(kPhasesWithBlankLine.contains(name)) << records[i - 1];
        }
      }
      EXPECT_EQ(window.print().pairs.size(), window.report().lines.size());
      if (code != 10 && code != 11) {
        EXPECT_LE(window.report().lines.size(), 500u);
      }
    }
  }
}

}  // namespace
}  // namespace vestrim::reports
