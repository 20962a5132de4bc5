#include <gtest/gtest.h>

#include "report_fixtures.h"
#include "reports/cycle_reports.h"

namespace vestrim::reports {
namespace {

using testing::B1;
using testing::B45;
using testing::B46;
using testing::english;
using testing::joined;
using testing::kDashes;
using testing::kDots;
using testing::lineList;
using testing::Record;

// Phase and event codes with their English names.
constexpr int kFirstPreVacuum = 163;  // "1PV"
constexpr int kSample = 120;          // "120"

const std::string kDeg(1, kDegreeSign);

std::vector<std::string> full(const Record& record, char separator = ',', bool alarm = false) {
  const Report report = FullView(record.DeviceHeader, record.CycleData, alarm, english(separator));
  EXPECT_TRUE(report.ok()) << report.reason;
  return report.lines;
}

std::vector<std::string> slice(const std::vector<std::string>& lines, std::size_t first,
                               std::size_t last) {
  return {lines.begin() + static_cast<long>(first) - 1, lines.begin() + static_cast<long>(last)};
}

TEST(FullView, HeaderOfAnOrdinaryCycleIsTwentyLinesWithLabelsPaddedToColumn31) {
  Record record;
  record.cycleType(0, 1, false, true).headerByte(66, 4).sample(0, kFirstPreVacuum);
  const std::vector<std::string> lines = full(record);
  EXPECT_EQ(
      slice(lines, 1, 20),
      lineList("Machine                       VX22 CLASS B        ",
               "Program                       STD 134 WRAPPED     ",
               "Serial number                 E21041178            ",
               "Cycle number                  00007/00042", B1,
               "Cycle                         134 " + kDeg + "C Wrapped",
               "Sterilisation temperature     134" + kDeg + "C",
               "Sterilisation pressure        2.10 bar", "Sterilisation time            4 min", B1,
               "Water supply                  Mains water", "Start mode                    Delayed",
               "Final phase                   Short drying", B1,
               "Cycle start                   14/03/2025", "                              09:05",
               B1, B1, "Time   Ph.  PT1    P      PT2    PT3    PT4 ", kDashes))
      << joined(lines);
}

TEST(FullView, NormalFooterShowsExtremesCounterEndAndResultFromPosition19) {
  Record record;
  record.sample(0, kFirstPreVacuum).byte(76, 2).byte(87, 1);
  std::vector<std::string> lines = full(record);
  ASSERT_EQ(lines.size(), 22u + 24u);
  // Position 19 is a blank, not 0: the cycle passed.
  EXPECT_EQ(
      slice(lines, 23, 46),
      lineList(B1, B1, B1, B1, "20:10 MAX 135,2", "16:45 MIN 134,1", B46, B1,
               "Cycle of the day              03", "Cycle end                     14/03/2025",
               "                              09:52", B45, B45,
               "Cycle result                  PASSED", B45, B45, B45,
               "               Operator signature", B45, B45, kDots, B45,
               "            Keep this report with the", "              sterilisation records"))
      << joined(lines);
  EXPECT_EQ(full(record.byte(19, 0))[35], "Cycle result                  FAILED");
}

TEST(FullView, AlarmFooterTakesItsResultFromPosition87AndNamesTheAlarm) {
  Record record;
  record.alarm(10).byte(87, 0).byte(19, 0);
  std::vector<std::string> lines = full(record, ',', true);
  ASSERT_EQ(lines.size(), 20u + 21u);
  EXPECT_EQ(
      slice(lines, 21, 41),
      lineList(B1, B1, B1, B1, "Cycle result              PASSED", B1,
               "Alarm                     A10 Temperature low",
               "Action                    Check steam generator",
               "End date                  14/03/2025", "End time                  09:52", B45, B45,
               "                  *** ALARM ***", "          Follow the action given above", B45,
               B45, B45, "               Operator signature", B45, B45, kDots))
      << joined(lines);
  EXPECT_EQ(full(record.byte(87, 1), ',', true)[24], "Cycle result              FAILED");
}

// A value's high byte of 128 (PT1, PT4, a maximum), 256 minutes (a record, a maximum's time),
// event codes without a name, a record or the summary cut short.
TEST(FullView, EndsInFileErrorOnWhatItCannotShow) {
  Record shortSummary;
  shortSummary.CycleData.resize(85);
  const Record cases[] = {Record().sample(0, kSample, 0x8000),
                          Record().sample(0, kSample, 1, 1, 1, 1, 0x8000),
                          Record().value16(78, 0x8001),
                          Record().sample(256 * 60, kSample),
                          Record().value16(80, 256 * 60),
                          Record().sample(0, 123),
                          Record().sample(0, 150),
                          Record().sample(0, kSample).tail("ab"),
                          shortSummary};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Report report = FullView(cases[i].DeviceHeader, cases[i].CycleData, false, english(','));
    EXPECT_EQ(report.failure, "File error") << "case " << i;
    EXPECT_TRUE(report.lines.empty()) << "case " << i;
  }
}

}  // namespace
}  // namespace vestrim::reports
