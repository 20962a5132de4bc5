#include "reports/cycle_record.h"

#include <gtest/gtest.h>

#include "report_fixtures.h"

namespace vestrim::reports {
namespace {

using testing::Record;

TEST(CycleRecord, SummaryAndSamplesDecodeIntoTheirFields) {
  Record record;
  record.headerByte(61, 0x01).headerByte(66, 0x04).cycleType(2, 1);
  record.sample(0, 163, 215, -85, 210, 0, 7).sample(65, 120, 1340, 230, 1335);
  const auto decoded = decodeCycleRecord(record.DeviceHeader, record.CycleData);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->header.FileNumber, 256 + 42);  // least significant byte first
  EXPECT_EQ(decoded->header.secondNumber, 7);
  EXPECT_EQ(decoded->header.options, 0x04);
  const CycleSummary& s = decoded->summary;
  EXPECT_EQ(s.text2, "STD 134 WRAPPED     ");
  EXPECT_EQ(s.start.hour, 9);
  EXPECT_EQ(s.start.minute, 5);
  EXPECT_EQ(s.start.year, 25);
  EXPECT_EQ(s.end.minute, 52);
  EXPECT_EQ(s.CycleCode, 2);
  EXPECT_EQ(s.mode, 1);
  EXPECT_EQ(s.maximumTemperature, 1352);
  EXPECT_EQ(s.maximumTime, 1210);
  EXPECT_EQ(s.minimumTemperature, 1341);
  EXPECT_EQ(s.minimumTime, 1005);
  EXPECT_EQ(s.sterilisationTime, 4);
  ASSERT_EQ(decoded->samples.size(), 2u);
  const SampleRecord& phase = decoded->samples[0];
  EXPECT_TRUE(phase.isPhase());
  EXPECT_EQ(phase.pressure, -85);
  EXPECT_EQ(phase.pt[3], 7);
  const SampleRecord& sample = decoded->samples[1];
  EXPECT_FALSE(sample.isPhase());
  EXPECT_EQ(sample.elapsedSeconds, 65);
  EXPECT_EQ(sample.pt[0], 1340);
  EXPECT_EQ(sample.pt[1], 1335);
  EXPECT_EQ(sample.pressure, 230);
}

TEST(CycleRecord, OneTrailingByteIsIgnoredAndValuesThatDoNotFitAreErrors) {
  Record record;
  record.sample(0, 163).sample(256 * 60 - 1, 120);
  EXPECT_EQ(decodeCycleRecord(record.DeviceHeader, record.CycleData + "x")->samples.size(), 2u);
  for (int extra = 2; extra <= 12; ++extra) {
    std::string error;
    EXPECT_FALSE(decodeCycleRecord(record.DeviceHeader,
                                   record.CycleData + std::string(std::size_t(extra), 'x'), &error))
        << extra;
    EXPECT_FALSE(error.empty());
  }
  for (const Record& bad : {Record().sample(0, 163, 0x8000), Record().sample(256 * 60, 120),
                            Record().value16(78, 0xFFFF)}) {
    EXPECT_FALSE(decodeCycleRecord(bad.DeviceHeader, bad.CycleData));
  }
}

}  // namespace
}  // namespace vestrim::reports
