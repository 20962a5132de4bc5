#include "sim/technical_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/sim/content_reader.h"

namespace devsim::content {
namespace {

TechnicalReportRequest visit(ServiceVisit kind) {
  TechnicalReportRequest r;
  r.visit = kind;
  r.when = {.hour = 7, .minute = 34, .day = 5, .month = 3, .year = 25};
  r.cycleNumber = 1843;
  r.cyclesSinceService = 417;
  r.reportNumber = 2;
  r.alarmCode = 10;
  r.alarmTime = {.hour = 10, .minute = 12, .day = 4, .month = 3, .year = 25};
  r.alarmCycle = 1840;
  r.seed = 5;
  return r;
}

std::string stored(const Bytes& file, std::size_t from, std::size_t length) {
  std::string out;
  for (std::size_t i = from; i < from + length; ++i) {
    out += static_cast<char>(file[i] - 100);
  }
  return out;
}

TEST(TechnicalReportContent, HeaderNamesItsTypeCountersDateAndTimeWhereThePenDriveSaveReadsThem) {
  const Bytes maintenance =
      generateTechnicalReport(Machine{}, visit(ServiceVisit::Maintenance)).bytes;
  const Bytes file = generateTechnicalReport(Machine{}, visit(ServiceVisit::Calibration)).bytes;
  EXPECT_EQ(contenttest::text(std::span(file).subspan(32, 2)), "TR");
  EXPECT_EQ(file[48], 0x60);
  EXPECT_EQ(file[59] + 256 * file[60] + 65536 * file[61], 1843);
  EXPECT_EQ(contenttest::text(std::span(file).subspan(96, 20)), "SERVICE             ");
  // Maintenance resets the service counter.
  EXPECT_EQ(maintenance[62] + 256 * maintenance[63], 0);
  EXPECT_EQ(file[62] + 256 * file[63], 417);
  // The saved copy's positions 161..170 and 203..207, counting its first byte as 1.
  EXPECT_EQ(stored(maintenance, 160, 10), "05/03/2025");
  EXPECT_EQ(stored(maintenance, 202, 5), "07:34");
}

}  // namespace
}  // namespace devsim::content
