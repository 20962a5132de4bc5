#include "record/cycle_file.h"

#include <gtest/gtest.h>

#include "record/sealed_record.h"

namespace vestrim::record {
namespace {

shell::LocalTime at(int hour, int minute, int second) {
  return {2012, 3, 5, hour, minute, second};
}

TEST(SealCheck, AcceptsTheSealedTimeAnHourEarlierAndAFewSecondsOfWriting) {
  const std::string seal = dateSeal(at(10, 15, 30));
  struct Case {
    shell::LocalTime modified;
    bool accepted;
  };
  const Case cases[] = {
      {at(10, 15, 30), true},
      {at(11, 15, 30), true},  // summer time, one way
      {at(9, 15, 30), true},   // and the other
      {at(10, 15, 34), true},
      {at(10, 15, 25), true},  // within five seconds
      {at(10, 15, 36), false},
      {at(10, 15, 24), false},  //
      {at(11, 15, 33), false},  // one hour later only exactly
      {at(9, 15, 33), true},    // one hour earlier, within five seconds
      {at(12, 15, 30), false},
      {at(8, 15, 30), false},
      {{2012, 3, 6, 10, 15, 30}, false},  // another day
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.modified.hour) + ":" + std::to_string(c.modified.minute) + ":" +
                 std::to_string(c.modified.second) + " day " + std::to_string(c.modified.day));
    EXPECT_EQ(sealMatches(seal, c.modified), c.accepted);
  }
}

TEST(SealCheck, ToleranceNeverReachesAcrossAnHour) {
  EXPECT_FALSE(sealMatches(dateSeal(at(10, 59, 58)), at(11, 0, 2)));
  EXPECT_TRUE(sealMatches(dateSeal(at(10, 59, 58)), at(10, 59, 59)));
  EXPECT_FALSE(sealMatches(dateSeal(at(0, 0, 1)), at(23, 59, 59)));
}

Bytes stored(const Bytes& device, const shell::LocalTime& time) {
  return sealContents(dateSeal(time), device);
}

Bytes deviceBytes(std::size_t size) {
  Bytes device(size);
  for (std::size_t i = 0; i < size; ++i) {
    device[i] = static_cast<std::uint8_t>(i * 7 + 1);
  }
  device[31] = 'X';  // no "TR" mark
  device[32] = 'Y';
  return device;
}

TEST(CycleFileRead, FileTooShortForAHeaderAndBothSumBytesIsRefused) {
  // A sealed device file of 74 bytes is 89 bytes long: one short of a full
  // device header between the sum bytes.
  EXPECT_EQ(readCycleFile(stored(deviceBytes(74), at(10, 0, 0)), at(10, 0, 0)).status,
            CycleFileStatus::TooShort);
  EXPECT_EQ(readCycleFile(stored(deviceBytes(75), at(10, 0, 0)), at(10, 0, 0)).status,
            CycleFileStatus::Cycle);
  EXPECT_EQ(LeggiFile("/no/such/file.dtl").status, CycleFileStatus::Unreadable);
}

}  // namespace
}  // namespace vestrim::record
