#include <gtest/gtest.h>

#include "report_fixtures.h"
#include "reports/cycle_reports.h"

namespace vestrim::reports {
namespace {

using testing::B1;
using testing::B31;
using testing::english;
using testing::joined;
using testing::kDashes;
using testing::kDots;
using testing::lineList;
using testing::Record;

constexpr int kSample = 120;
constexpr int kTestStart = 178;      // "VTS"
constexpr int kVacuumReached = 179;  // "VTR"
constexpr int kStartKey = 6;

const std::string kDeg(1, kDegreeSign);

Record vacuumTest() {
  Record record;
  record.cycleType(13).text(21, "VACUUM TEST         ");
  return record;
}

std::vector<std::string> recordLines(const Report& report, std::size_t footer) {
  EXPECT_TRUE(report.ok()) << report.reason;
  if (report.lines.size() < 13 + footer) {
    return {};
  }
  return {report.lines.begin() + 13, report.lines.end() - static_cast<long>(footer)};
}

TEST(VacuumTestReports, HeaderIsThirteenLinesWithTheTestsName) {
  const Record record = vacuumTest();
  const Report report = VacumTestLittleView(record.DeviceHeader, record.CycleData, english(','));
  ASSERT_EQ(report.lines.size(), 13u + 16u);
  const std::vector<std::string> header(report.lines.begin(), report.lines.begin() + 13);
  EXPECT_EQ(header, lineList("Machine                       VX22 CLASS B        ",
                             "Program                       VACUUM TEST         ",
                             "Serial number                 E21041178            ",
                             "Cycle number                  00007/00042", B1,
                             "Test                          134 " + kDeg + "C Vacuum test", B1,
                             "Cycle start                   14/03/2025",
                             "                              09:05", B1, B1,
                             "Time   Ph.         " + kDeg + "C       Bar  ", kDashes));
}

TEST(VacuumTestReports, ShowASampleOnceItsMinuteIsPastTheLastSamplesWhateverThePhases) {
  Record record = vacuumTest();
  record.sample(10, kSample, 512, -86)
      .sample(55, kSample)
      .sample(58, kVacuumReached, 509, -87)
      .sample(65, kSample, 508, -87)
      .sample(100, kStartKey)
      .sample(125, kSample, 507, -86);
  const Report full = VacumTestFullView(record.DeviceHeader, record.CycleData, english(','));
  EXPECT_EQ(recordLines(full, 21),
            lineList("00:10             051,2    -0,86", "00:58     VTR     050,9    -0,87",
                     "01:05              050,8    -0,87", "02:05              050,7    -0,86"))
      << joined(full.lines);
  const Report compact = VacumTestLittleView(record.DeviceHeader, record.CycleData, english('.'));
  EXPECT_EQ(recordLines(compact, 16),
            (std::vector<std::string>{
                "00:10              051.2    -0.86", "00:58     VTR     050.9    -0.87",
                "01:05              050.8    -0.87", "02:05              050.7    -0.86"}));
}

TEST(VacuumTestReports, AlarmFreeFooterShowsTheEndThenTheResultFromPosition19) {
  Record record = vacuumTest();
  record.byte(87, 1);  // not read here
  const Report report = VacumTestLittleView(record.DeviceHeader, record.CycleData, english(','));
  const std::vector<std::string> footer(report.lines.begin() + 13, report.lines.end());
  EXPECT_EQ(footer, lineList(B1, B1, B1, B1, "Cycle end                     14/03/2025",
                             "                              09:52", B1, B1,
                             "Test result                   PASSED", B31, B31, B31,
                             "               Operator signature", B31, B31, kDots))
      << joined(report.lines);
  record.byte(19, 0);
  EXPECT_EQ(VacumTestLittleView(record.DeviceHeader, record.CycleData, english(',')).lines[21],
            "Test result                   FAILED");
}

}  // namespace
}  // namespace vestrim::reports
