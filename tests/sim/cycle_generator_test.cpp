#include "sim/cycle_generator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/sim/content_reader.h"

namespace devsim::content {
namespace {

using Record = vestrim::reports::SampleRecord;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int kPeriodicSample = 120;
constexpr int kEquilibrationOver = 169;
constexpr int kSterilisationEnd = 170;
constexpr int kCycleEnd = 177;

Machine machine() {
  return {.model = "TEST MODEL", .serial = "20123456", .options = 0x06};
}

CycleRequest request(int code, std::uint64_t seed = 1, std::uint8_t alarm = 0) {
  return {.cycleCode = code,
          .alarmCode = alarm,
          .start = {.hour = 9, .minute = 5, .day = 14, .month = 3, .year = 25},
          .cycleNumber = 70001,
          .cyclesSinceService = 123,
          .cycleOfDay = 2,
          .seed = seed};
}

vestrim::reports::CycleRecord generate(const CycleRequest& r) {
  return contenttest::decoded(generateCycle(machine(), r).bytes);
}

// The phase codes from `from` on, in their order.
std::vector<int> phases(const vestrim::reports::CycleRecord& f, int from = 163) {
  std::vector<int> out;
  for (const Record& r : f.samples) {
    if (r.code >= from) {
      out.push_back(r.code);
    }
  }
  return out;
}

const Record& first(const vestrim::reports::CycleRecord& f, int code) {
  return *std::find_if(f.samples.begin(), f.samples.end(),
                       [&](const Record& r) { return r.code == code; });
}

TEST(CycleContent, SummaryOfEveryProgramHoldsWhatWasAskedAndEveryValueFitsTheReports) {
  for (int code = 0; code < 16; ++code) {
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE("cycle code " + std::to_string(code) + " seed " + std::to_string(seed));
      CycleRequest r = request(code, seed);
      r.coldChamber = seed == 2;
      r.alarmCode = seed == 3 ? (code == 13 ? kLeakRateAlarm : kTemperatureLowAlarm) : 0;
      const GeneratedFile generated = generateCycle(machine(), r);
      const std::string code16(generated.bytes.begin() + 32, generated.bytes.begin() + 48);
      EXPECT_EQ(generated.bytes[48], 0x50);
      EXPECT_EQ(code16.substr(0, 2), "DL");
      EXPECT_EQ(code16.substr(0, code16.find('\0')), generated.fileCode);
      EXPECT_GE(generated.fileCode.size(), 8u);  // the PC's save names need eight characters
      EXPECT_EQ((generated.bytes.size() - 166) % 13, 0u);
      const auto f = contenttest::decoded(generated.bytes);
      const auto& c = f.summary;
      EXPECT_EQ(f.header.FileNumber, 70001);
      EXPECT_EQ(f.header.secondNumber, 123);
      EXPECT_EQ(f.header.options, 0x06);
      EXPECT_EQ(c.text1, "TEST MODEL          ");  // its 19th character, a blank: "passed"
      EXPECT_EQ(c.text2, (programText(code) + "                    ").substr(0, 20));
      EXPECT_EQ(c.text3, "20123456            ");
      const int endMinutes = 9 * 60 + 5 + f.samples.back().elapsedSeconds / 60;
      EXPECT_THAT(
          (std::vector{c.start.hour, c.start.minute, c.start.day, c.start.month, c.start.year,
                       c.end.hour, c.end.minute, c.end.day, c.end.month, c.end.year}),
          ElementsAre(9, 5, 14, 3, 25, endMinutes / 60, endMinutes % 60, 14, 3, 25));
      EXPECT_EQ(c.alarmCode, r.alarmCode);
      EXPECT_EQ(c.result != 0, r.alarmCode != 0);
      EXPECT_EQ(c.counter, 2);
      EXPECT_EQ(c.CycleCode, code);
      EXPECT_EQ(f.samples.size(), generated.records);
      EXPECT_EQ(f.samples.front().code, 151);
      EXPECT_EQ(f.samples.back().code, kCycleEnd);
      int previous = 0;
      for (const Record& rec : f.samples) {
        ASSERT_GE(rec.elapsedSeconds, previous);
        previous = rec.elapsedSeconds;
        ASSERT_TRUE(rec.code <= 121 || (rec.code >= 151 && rec.code <= 200)) << int{rec.code};
        ASSERT_GE(rec.pt[0], 0);
      }
    }
  }
}

TEST(CycleContent, EachKindOfProgramRunsItsPhasesInProcessOrder) {
  CycleRequest liquids = request(kLiquidsCycleCode, 12);
  liquids.forcedCooling = true;
  const struct {
    CycleRequest request;
    std::vector<int> phases;
  } cases[] = {
      {request(0), {163, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175, 176, 177}},
      {request(kFastCycleCode, 2), {163, 168, 169, 170, 171, 172, 175, 176, 177}},
      {request(0, 4, kTemperatureLowAlarm),
       {163, 164, 165, 166, 167, 168, 169, 188, 171, 176, 177}},
      {request(kVacuumTestCode, 6), {178, 179, 180, 181, 182, 177}},
      {request(kVacuumTestCode, 6, kLeakRateAlarm), {178, 179, 180, 181, 182, 177}},
      {liquids, {183, 169, 170, 184, 185, 171, 176, 177}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("cycle code " + std::to_string(c.request.cycleCode));
    const auto f = generate(c.request);
    EXPECT_THAT(phases(f), ElementsAreArray(c.phases));
    // The preparation steps come first.
    const auto all = phases(f, 151);
    EXPECT_TRUE(std::all_of(all.begin(), std::find(all.begin(), all.end(), c.phases[0]),
                            [](int code) { return code >= 151 && code <= 162; }));
    // The plateau lasts the sterilisation time of the summary, in tenths of a minute for the
    // fast cycle.
    if (c.phases[0] == 163 && c.request.alarmCode == 0) {
      const int scale = c.request.cycleCode == kFastCycleCode ? 6 : 60;
      EXPECT_EQ(
          first(f, kSterilisationEnd).elapsedSeconds - first(f, kEquilibrationOver).elapsedSeconds,
          f.summary.sterilisationTime * scale);
    }
    // Periodic samples follow each other at the program's period.
    int last = -1;
    for (const Record& r : f.samples) {
      if (r.code == kPeriodicSample) {
        if (last >= 0) {
          ASSERT_EQ(r.elapsedSeconds - last, samplePeriodSeconds(c.request.cycleCode));
        }
        last = r.elapsedSeconds;
      }
    }
  }
}

TEST(CycleContent, SameSeedGivesTheSameBytesAndAnotherSeedOthers) {
  EXPECT_EQ(generateCycle(machine(), request(0, 42)).bytes,
            generateCycle(machine(), request(0, 42)).bytes);
  EXPECT_NE(generateCycle(machine(), request(0, 42)).bytes,
            generateCycle(machine(), request(0, 43)).bytes);
}

}  // namespace
}  // namespace devsim::content
