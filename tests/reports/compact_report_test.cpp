#include <gtest/gtest.h>

#include "report_fixtures.h"
#include "reports/cycle_reports.h"

namespace vestrim::reports {
namespace {

using testing::B1;
using testing::B30;
using testing::B31;
using testing::english;
using testing::joined;
using testing::kDots;
using testing::lineList;
using testing::Record;

constexpr int kSample = 120;
constexpr int kFirstPreVacuum = 163;

// The record lines of a compact report: from line 21 to the footer.
std::vector<std::string> recordLines(const Report& report) {
  EXPECT_TRUE(report.ok()) << report.reason;
  if (report.lines.size() < 41) {
    return {};
  }
  return {report.lines.begin() + 20, report.lines.end() - 21};
}

std::vector<std::string> times(const std::vector<std::string>& lines) {
  std::vector<std::string> shown;
  for (const std::string& line : lines) {
    shown.push_back(line.substr(0, line.find(' ')));
  }
  return shown;
}

Report compact(const Record& record, char separator = ',') {
  return LittleView(record.DeviceHeader, record.CycleData, english(separator));
}

TEST(LittleView, ShowsPeriodicSamplesAtMostOnceAMinuteAfterTheLastLineShown) {
  Record record;
  for (int seconds = 0; seconds < 200; seconds += 10) {
    record.sample(seconds, kSample);
  }
  EXPECT_EQ(times(recordLines(compact(record))),
            (std::vector<std::string>{"00:00", "01:00", "02:00", "03:00"}));

  Record withPhase;
  for (int seconds = 0; seconds < 200; seconds += 10) {
    withPhase.sample(seconds, kSample);
    if (seconds == 90) {
      withPhase.sample(95, kFirstPreVacuum);
    }
  }
  EXPECT_EQ(times(recordLines(compact(withPhase))),
            (std::vector<std::string>{"00:00", "01:00", "01:35", "02:40"}));
}

TEST(LittleView, FooterOfAnOrdinaryAndOfAFastCycle) {
  Record record;
  record.byte(76, 0);
  const Report report = compact(record);
  ASSERT_EQ(report.lines.size(), 41u);
  const std::vector<std::string> footer(report.lines.begin() + 20, report.lines.end());
  EXPECT_EQ(footer,
            lineList(B1, B1, "20:10 MAX 135,2", "16:45 MIN 134,1", B1, B1,
                     "Cycle of the day              01", "Cycle end                     14/03/2025",
                     "                              09:52", B1, B1, B1,
                     "Cycle result                  PASSED", B31, B31, B31, B31,
                     "               Operator signature", B31, B31, kDots))
      << joined(report.lines);

  const Report fast = compact(record.cycleType(12));
  ASSERT_EQ(fast.lines.size(), 37u);
  EXPECT_EQ(fast.lines[16 + 12], "           UNWRAPPED INSTRUMENTS ONLY");
  EXPECT_EQ(fast.lines[16 + 13], B30);
  EXPECT_EQ(fast.lines[16 + 14], "        FOR IMMEDIATE USE - DO NOT STORE");
}

}  // namespace
}  // namespace vestrim::reports
