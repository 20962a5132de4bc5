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

const std::string kDeg(1, kDegreeSign);

Record vacuumTest() {
  Record record;
  record.cycleType(13).text(21, "VACUUM TEST         ");
  return record;
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
