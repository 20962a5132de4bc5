#include "sim/cycle_generator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "tests/sim/content_reader.h"

namespace devsim::content {
namespace {

using Record = vestrim::reports::SampleRecord;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int kPeriodicSample = 120;
constexpr int kEquilibrationOver = 169;
constexpr int kSterilisationEnd = 170;
constexpr int kAlarmRaised = 68;
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

TEST(CycleContent, PulsesReachDeepVacuumAndThePlateauHoldsTheBandForItsTime) {
  for (const int code : {0, 6}) {
    SCOPED_TRACE(code);
    const auto f = generate(request(code, 3));
    const bool at134 = code == 0;
    // Each pre-vacuum pulls the chamber to about -0.85 bar.
    for (const int vacuum : {163, 165, 167}) {
      int lowest = 1000;
      for (const Record* r = &first(f, vacuum); r->code != vacuum + 1; ++r) {
        lowest = std::min(lowest, r->pressure);
      }
      EXPECT_LE(lowest, -83);
      EXPECT_GE(lowest, -95);
    }
    const Record* et = &first(f, kEquilibrationOver);
    const Record* se = &first(f, kSterilisationEnd);
    ASSERT_LT(et, se);
    for (const Record* r = et; r <= se; ++r) {
      EXPECT_GE(r->pt[0], at134 ? 1340 : 1210);
      EXPECT_LE(r->pt[0], at134 ? 1370 : 1245);
      EXPECT_GE(r->pressure, at134 ? 209 : 100);
      EXPECT_LE(r->pressure, at134 ? 230 : 130);
    }
    EXPECT_EQ(se->elapsedSeconds - et->elapsedSeconds, f.summary.sterilisationTime * 60);
    // The load probes have caught up with the chamber by the plateau's end.
    for (std::size_t p = 1; p < 4; ++p) {
      EXPECT_NEAR(se->pt[p], se->pt[0], 15);
    }
  }
  const auto fast = generate(request(kFastCycleCode, 2));
  EXPECT_EQ(fast.summary.sterilisationTime, 35);  // tenths of a minute
  EXPECT_EQ(first(fast, kSterilisationEnd).elapsedSeconds -
                first(fast, kEquilibrationOver).elapsedSeconds,
            210);
}

TEST(CycleContent, MaximumAndMinimumAreThoseOfTheChamberProbeOnThePlateau) {
  for (const std::uint8_t alarm : {std::uint8_t{0}, kTemperatureLowAlarm}) {
    const auto f = generate(request(3, 9, alarm));
    const Record* from = &first(f, kEquilibrationOver);
    const Record* to = &first(f, alarm != 0 ? 188 : kSterilisationEnd);
    const auto [low, high] = std::minmax_element(
        from, to + 1, [](const Record& a, const Record& b) { return a.pt[0] < b.pt[0]; });
    EXPECT_EQ(f.summary.maximumTemperature, high->pt[0]);
    EXPECT_EQ(f.summary.maximumTime, high->elapsedSeconds);
    EXPECT_EQ(f.summary.minimumTemperature, low->pt[0]);
    EXPECT_EQ(f.summary.minimumTime, low->elapsedSeconds);
    if (alarm != 0) {
      EXPECT_LT(f.summary.minimumTemperature, 1340);  // the temperature the alarm is about
      EXPECT_LT(f.samples.back().elapsedSeconds - first(f, kAlarmRaised).elapsedSeconds, 5 * 60);
      EXPECT_LT(&first(f, 52), &first(f, kAlarmRaised));  // the low temperature was noted first
    }
  }
}

TEST(CycleContent, VacuumTestHoldsItsVacuumThenVents) {
  for (const std::uint8_t alarm : {std::uint8_t{0}, kLeakRateAlarm}) {
    SCOPED_TRACE(alarm);
    const auto f = generate(request(kVacuumTestCode, 6, alarm));
    const Record& reached = first(f, 179);
    const Record& settled = first(f, 180);
    const Record& measured = first(f, 181);
    EXPECT_LE(reached.pressure, -86);
    EXPECT_EQ(settled.elapsedSeconds - reached.elapsedSeconds, 300);
    EXPECT_EQ(measured.elapsedSeconds - settled.elapsedSeconds, 600);
    // At most 1.3 mbar a minute, give or take the sensor's last digit, without a leak.
    const int rise = measured.pressure - settled.pressure;
    EXPECT_TRUE(alarm == 0 ? rise <= 2 : rise >= 3) << rise;
    EXPECT_EQ(alarm != 0, std::any_of(f.samples.begin(), f.samples.end(),
                                      [](const Record& r) { return r.code == kAlarmRaised; }));
    EXPECT_GE(f.samples.back().pressure, -3);
  }
}

TEST(CycleContent, OptionsShowInTheirProbesTypeByteAndDuration) {
  CycleRequest bare = request(1, 8);
  bare.probesThreeAndFour = false;
  for (const Record& rec : generate(bare).samples) {
    ASSERT_EQ(rec.pt[2] + rec.pt[3], 0);
    ASSERT_GT(rec.pt[1], 0);
  }
  for (const Record& rec : generate(request(1, 8)).samples) {
    ASSERT_GT(*std::min_element(rec.pt, rec.pt + 4), 0);
  }

  CycleRequest liquids = request(kLiquidsCycleCode, 12);
  liquids.forcedCooling = true;
  liquids.coldChamber = true;
  const auto f = generate(liquids);
  EXPECT_GE(f.samples.size(), 2000u);
  EXPECT_EQ(f.summary.cycleType, 0x40 | kLiquidsCycleCode);
  // Cooled until the load is below 80 degrees.
  const Record& cooled = first(f, 185);
  EXPECT_LT(*std::max_element(cooled.pt + 1, cooled.pt + 4), 805);

  CycleRequest extended = request(5, 3);
  extended.drying = DryingMode::Extended;
  extended.extraDryingMinutes = 5;
  extended.delayedStart = true;
  const auto e = generate(extended);
  EXPECT_EQ(e.summary.cycleType, 0x80 | 0x30 | 5);
  EXPECT_EQ(e.summary.line13Number, 5);
  EXPECT_EQ(e.samples[1].code, 86);  // delayed start begins, instead of the start key
  EXPECT_EQ(first(e, 175).elapsedSeconds - first(e, 172).elapsedSeconds, 20 * 60);
}

TEST(CycleContent, SameSeedGivesTheSameBytesAndOutOfRangeRequestsAreRefused) {
  EXPECT_EQ(generateCycle(machine(), request(0, 42)).bytes,
            generateCycle(machine(), request(0, 42)).bytes);
  EXPECT_NE(generateCycle(machine(), request(0, 42)).bytes,
            generateCycle(machine(), request(0, 43)).bytes);
  std::vector<CycleRequest> bad(5, request(0));
  bad[0].alarmCode = 45;
  bad[1].cycleCode = 16;
  bad[2].start.hour = 24;
  bad[3].start.hour = 23;
  bad[3].start.minute = 50;  // would end after midnight
  bad[4].cycleNumber = 1u << 24;
  for (const CycleRequest& r : bad) {
    EXPECT_THROW(generateCycle(machine(), r), std::invalid_argument);
  }
}

}  // namespace
}  // namespace devsim::content
