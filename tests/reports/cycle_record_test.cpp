#include "reports/cycle_record.h"

#include <gtest/gtest.h>

namespace vestrim::reports {
namespace {

void put16(std::string& data, std::size_t position, int value) {
  data[position - 1] = static_cast<char>(value & 0xFF);
  data[position] = static_cast<char>((value >> 8) & 0xFF);
}

std::string summary() {
  std::string data(90, '\0');
  const std::string program = "STD 134             ";
  data.replace(20, 20, program);
  data[64] = 14;  // start 14:20 on 5 March 2012
  data[65] = 20;
  data[66] = 5;
  data[67] = 3;
  data[68] = 12;
  data[74] = 0;           // no alarm
  data[76] = 0x12;        // mode 1, cycle code 2
  put16(data, 78, 1365);  // 136.5 degrees
  put16(data, 80, 1200);
  put16(data, 82, 210);
  put16(data, 84, 3);
  data[85] = 4;  // minutes
  return data;
}

std::string sample(int seconds, int code, int pt1, int pressureStored) {
  std::string record(13, '\0');
  put16(record, 1, seconds);
  record[2] = static_cast<char>(code);
  put16(record, 4, pt1);
  put16(record, 6, pt1 - 5);
  put16(record, 8, 0);
  put16(record, 10, 0);
  put16(record, 12, pressureStored);
  return record;
}

TEST(CycleRecord, SummaryAndSamplesDecodeIntoTheirFields) {
  std::string header(76, '\0');
  header[59] = 0x2A;  // file number 42 at positions 60..62
  header[65] = 0x04;
  const std::string data = summary() + sample(0, 163, 215, 15) + sample(65, 120, 1340, 330);
  const auto record = decodeCycleRecord(header, data);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->header.FileNumber, 42);
  EXPECT_EQ(record->header.options, 0x04);
  const CycleSummary& s = record->summary;
  EXPECT_EQ(s.text2, "STD 134             ");
  EXPECT_EQ(s.start.hour, 14);
  EXPECT_EQ(s.start.year, 12);
  EXPECT_EQ(s.CycleCode, 2);
  EXPECT_EQ(s.mode, 1);
  EXPECT_EQ(s.maximumTemperature, 1365);
  EXPECT_EQ(s.sterilisationTime, 4);
  ASSERT_EQ(record->samples.size(), 2u);
  EXPECT_TRUE(record->samples[0].isPhase());
  EXPECT_EQ(record->samples[0].pressure, -85);
  EXPECT_FALSE(record->samples[1].isPhase());
  EXPECT_EQ(record->samples[1].elapsedSeconds, 65);
  EXPECT_EQ(record->samples[1].pt[1], 1335);
  EXPECT_EQ(record->samples[1].pressure, 230);
}

TEST(CycleRecord, OneTrailingByteIsIgnoredAndTwoToTwelveEndInAnError) {
  const std::string header(76, '\0');
  const std::string data = summary() + sample(0, 163, 215, 15) + sample(4, 120, 300, 50);
  EXPECT_EQ(decodeCycleRecord(header, data + "x")->samples.size(), 2u);
  for (int extra = 2; extra <= 12; ++extra) {
    std::string error;
    EXPECT_FALSE(
        decodeCycleRecord(header, data + std::string(static_cast<std::size_t>(extra), 'x'), &error))
        << extra;
    EXPECT_FALSE(error.empty());
  }
}

TEST(CycleRecord, ValuesThatDoNotFitSixteenSignedBitsOrReach256MinutesAreErrors) {
  const std::string header(76, '\0');
  EXPECT_FALSE(decodeCycleRecord(header, summary() + sample(0, 163, 0x8000, 15)));
  EXPECT_FALSE(decodeCycleRecord(header, summary() + sample(256 * 60, 120, 215, 15)));
  EXPECT_TRUE(decodeCycleRecord(header, summary() + sample(256 * 60 - 1, 120, 215, 15)));
  std::string badSummary = summary();
  put16(badSummary, 78, 0xFFFF);
  EXPECT_FALSE(decodeCycleRecord(header, badSummary));
}

}  // namespace
}  // namespace vestrim::reports
