#include "sim/cycle_generator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "tests/sim/content_reader.h"

namespace devsim::content {
namespace {

using contenttest::CycleFile;
using contenttest::Record;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int kEquilibrationOver = 169;
constexpr int kSterilisationEnd = 170;
constexpr int kAlarmRaised = 68;
constexpr int kCycleEnd = 177;

Machine machine() {
  Machine m;
  m.model = "TEST MODEL";
  m.serial = "20123456";
  m.options = 0x06;
  return m;
}

CycleRequest request(int code, std::uint64_t seed = 1) {
  CycleRequest r;
  r.cycleCode = code;
  r.start = {.hour = 9, .minute = 5, .day = 14, .month = 3, .year = 25};
  r.cycleNumber = 70001;
  r.cyclesSinceService = 123;
  r.cycleOfDay = 2;
  r.seed = seed;
  return r;
}

CycleFile generate(const CycleRequest& r) {
  return contenttest::readCycle(generateCycle(machine(), r).bytes);
}

std::vector<int> phases(const CycleFile& f, int from = 151) {
  std::vector<int> out;
  for (const Record& r : f.records) {
    if (r.code >= from) {
      out.push_back(r.code);
    }
  }
  return out;
}

// Index of the first record with this code.
std::size_t indexOf(const CycleFile& f, int code) {
  const auto it = std::find_if(f.records.begin(), f.records.end(),
                               [&](const Record& r) { return r.code == code; });
  return static_cast<std::size_t>(it - f.records.begin());
}

// Lines of the full report: header, one per record, a blank after the eight main phases, footer.
int fullReportLines(const CycleFile& f) {
  static const std::set<int> kBlankAfter{163, 167, 169, 170, 172, 173, 174, 175};
  int lines = (f.cycleCode == 12 ? 16 : 20) + (f.alarm != 0 ? 21 : 24);
  for (const Record& r : f.records) {
    lines += 1 + (kBlankAfter.count(r.code) != 0 ? 1 : 0);
  }
  return lines;
}

// Elapsed times of the lines the compact report shows: phases from 163 on (not 177), and "120"
// events at most about once a minute after the last shown line.
std::vector<int> compactLineTimes(const CycleFile& f) {
  std::vector<int> shown;
  std::optional<int> last;
  for (const Record& r : f.records) {
    bool show = false;
    if (r.code == contenttest::kPeriodicSample) {
      const int m = r.seconds / 60;
      const int s = r.seconds % 60;
      show = !last || *last / 60 + 1 < m || (*last / 60 + 1 == m && *last % 60 <= s);
    } else {
      show = r.code >= 163 && r.code != kCycleEnd;
    }
    if (show) {
      shown.push_back(r.seconds);
      last = r.seconds;
    }
  }
  return shown;
}

TEST(CycleContent, SummaryOfEveryProgramHoldsWhatWasAsked) {
  for (int code = 0; code < 16; ++code) {
    SCOPED_TRACE("cycle code " + std::to_string(code));
    const GeneratedFile generated = generateCycle(machine(), request(code));
    const CycleFile f = contenttest::readCycle(generated.bytes);
    EXPECT_EQ(f.fileType, 0x50);
    EXPECT_EQ(f.fileCode.substr(0, 2), "DL");
    EXPECT_GE(f.fileCode.size(), 8u);  // the PC's save names need eight code characters
    EXPECT_EQ(f.fileCode, generated.fileCode);
    EXPECT_EQ(f.fileNumber, 70001);
    EXPECT_EQ(f.secondNumber, 123);
    EXPECT_EQ(f.options, 0x06);
    EXPECT_EQ(f.text1, "TEST MODEL          ");
    EXPECT_EQ(f.program, (programText(code) + "                    ").substr(0, 20));
    EXPECT_EQ(f.text3, "20123456            ");
    EXPECT_THAT(f.start, ElementsAre(9, 5, 14, 3, 25));
    const int endMinutes = 9 * 60 + 5 + f.records.back().seconds / 60;
    EXPECT_THAT(f.end, ElementsAre(endMinutes / 60, endMinutes % 60, 14, 3, 25));
    EXPECT_EQ(f.alarm, 0);
    EXPECT_EQ(f.result, 0);
    EXPECT_NE(f.position19, 0);  // the compact footer's "passed"
    EXPECT_EQ(f.counter, 2);
    EXPECT_EQ(f.typeByte, code);
    EXPECT_EQ(f.trailingBytes, 0u);
    EXPECT_EQ(f.records.size(), generated.records);
    EXPECT_EQ(f.records.front().code, 151);
    EXPECT_EQ(f.records.back().code, kCycleEnd);
  }
}

TEST(CycleContent, EveryValueFitsTheReportsAndEveryCodeHasAName) {
  for (int code = 0; code < 16; ++code) {
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
      CycleRequest r = request(code, seed);
      r.alarmCode = seed == 4 ? (code == 13 ? kLeakRateAlarm : kTemperatureLowAlarm) : 0;
      r.coldChamber = seed % 2 == 0;
      const CycleFile f = generate(r);
      SCOPED_TRACE("cycle code " + std::to_string(code) + " seed " + std::to_string(seed));
      EXPECT_TRUE(f.summaryReadable);
      int previous = 0;
      for (const Record& rec : f.records) {
        ASSERT_TRUE(rec.readable) << "record at " << rec.seconds;
        ASSERT_LT(rec.seconds / 60, 256);
        ASSERT_GE(rec.seconds, previous);
        previous = rec.seconds;
        ASSERT_TRUE(rec.code <= 121 || (rec.code >= 151 && rec.code <= 200)) << rec.code;
        ASSERT_GE(rec.probes[0], 0);
      }
    }
  }
}

TEST(CycleContent, PreVacuumCycleRunsItsPhasesInProcessOrder) {
  const CycleFile f = generate(request(0));
  EXPECT_THAT(phases(f, 163), ElementsAre(163, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173,
                                          174, 175, 176, 177));
  // The preparation steps come first and are all before the first pre-vacuum.
  const auto all = phases(f);
  const auto firstVacuum = std::find(all.begin(), all.end(), 163);
  EXPECT_TRUE(std::all_of(all.begin(), firstVacuum, [](int c) { return c >= 151 && c <= 162; }));
}

TEST(CycleContent, PulsesReachDeepVacuumAndThePlateauHoldsTheBand) {
  for (const int code : {0, 6}) {
    const CycleFile f = generate(request(code, 3));
    const bool at134 = code == 0;
    SCOPED_TRACE(code);
    // Each pre-vacuum pulls the chamber to about -0.85 bar (stored about 15).
    for (const int vacuum : {163, 165, 167}) {
      int lowest = 1000;
      for (std::size_t i = indexOf(f, vacuum); i < f.records.size(); ++i) {
        lowest = std::min(lowest, f.records[i].pressure);
        if (f.records[i].code == vacuum + 1) {
          break;
        }
      }
      EXPECT_LE(lowest, 17);
      EXPECT_GE(lowest, 5);
    }
    const std::size_t et = indexOf(f, kEquilibrationOver);
    const std::size_t se = indexOf(f, kSterilisationEnd);
    ASSERT_LT(et, se);
    for (std::size_t i = et; i <= se; ++i) {
      const Record& r = f.records[i];
      EXPECT_GE(r.probes[0], at134 ? 1340 : 1210);
      EXPECT_LE(r.probes[0], at134 ? 1370 : 1245);
      EXPECT_GE(r.pressure, at134 ? 309 : 200);
      EXPECT_LE(r.pressure, at134 ? 330 : 230);
    }
    EXPECT_EQ(f.records[se].seconds - f.records[et].seconds, f.sterilisationTime * 60);
  }
}

TEST(CycleContent, LoadProbesLagBehindTheChamberAndCatchUpOnThePlateau) {
  const CycleFile f = generate(request(2, 5));
  const std::size_t heatUp = indexOf(f, 168);
  const std::size_t et = indexOf(f, kEquilibrationOver);
  int lagging = 0;
  int samples = 0;
  for (std::size_t i = heatUp; i < et; ++i) {
    const Record& r = f.records[i];
    ++samples;
    lagging += r.probes[1] < r.probes[0] && r.probes[3] < r.probes[1] + 5 ? 1 : 0;
  }
  EXPECT_GT(lagging, samples * 3 / 4);
  const Record& end = f.records[indexOf(f, kSterilisationEnd)];
  for (std::size_t p = 1; p < 4; ++p) {
    EXPECT_NEAR(end.probes[p], end.probes[0], 15);
    EXPECT_GE(end.probes[p], 1340);
  }
}

TEST(CycleContent, MaximumAndMinimumAreThoseOfTheChamberProbeOnThePlateau) {
  for (const std::uint8_t alarm : {std::uint8_t{0}, kTemperatureLowAlarm}) {
    CycleRequest r = request(3, 9);
    r.alarmCode = alarm;
    const CycleFile f = generate(r);
    const std::size_t first = indexOf(f, kEquilibrationOver);
    const std::size_t last = alarm != 0 ? indexOf(f, 188) : indexOf(f, kSterilisationEnd);
    int maximum = -1;
    int minimum = 99999;
    int maximumAt = 0;
    int minimumAt = 0;
    for (std::size_t i = first; i <= last; ++i) {
      const Record& rec = f.records[i];
      if (rec.probes[0] > maximum) {
        maximum = rec.probes[0];
        maximumAt = rec.seconds;
      }
      if (rec.probes[0] < minimum) {
        minimum = rec.probes[0];
        minimumAt = rec.seconds;
      }
    }
    EXPECT_EQ(f.maximum, maximum);
    EXPECT_EQ(f.maximumAt, maximumAt);
    EXPECT_EQ(f.minimum, minimum);
    EXPECT_EQ(f.minimumAt, minimumAt);
    if (alarm != 0) {
      EXPECT_LT(f.minimum, 1340);  // the temperature the alarm is about
    }
  }
}

TEST(CycleContent, PeriodicSamplesLetTheCompactReportShowALineEveryMinute) {
  // Every 10 s, every 15 s with a plateau of 15 minutes or more.
  for (const auto& [code, period] : {std::pair{0, 10}, {7, 15}, {4, 15}, {12, 10}, {13, 10}}) {
    const CycleFile f = generate(request(code, 11));
    std::vector<int> sampleTimes;
    for (const Record& r : f.records) {
      if (r.code == contenttest::kPeriodicSample) {
        sampleTimes.push_back(r.seconds);
      }
    }
    ASSERT_FALSE(sampleTimes.empty());
    for (std::size_t i = 1; i < sampleTimes.size(); ++i) {
      ASSERT_EQ(sampleTimes[i] - sampleTimes[i - 1], period) << "code " << code;
    }
    const std::vector<int> shown = compactLineTimes(f);
    for (std::size_t i = 1; i < shown.size(); ++i) {
      EXPECT_LE(shown[i] - shown[i - 1], 60 + period) << "code " << code << " at " << shown[i];
    }
    EXPECT_GE(static_cast<int>(shown.size()), f.records.back().seconds / 60);
  }
}

TEST(CycleContent, OrdinaryCyclesKeepTheirFullReportWithinFiveHundredLines) {
  for (int code = 0; code < 16; ++code) {
    if (code == kLiquidsCycleCode || code == 11) {
      continue;  // the long programs are shown compact; their full report may not fit
    }
    for (std::uint64_t seed = 1; seed <= 6; ++seed) {
      CycleRequest r = request(code, seed);
      r.drying = seed % 3 == 0 ? DryingMode::Extended : DryingMode::Long;
      r.extraDryingMinutes = 5;
      r.coldChamber = seed % 2 == 1;
      EXPECT_LE(fullReportLines(generate(r)), 500) << "code " << code << " seed " << seed;
    }
  }
}

TEST(CycleContent, FastCycleStoresItsTimeInTenthsOfAMinuteAndHoldsThatLong) {
  const CycleFile f = generate(request(kFastCycleCode, 2));
  EXPECT_EQ(f.sterilisationTime, 35);
  EXPECT_EQ(f.records[indexOf(f, kSterilisationEnd)].seconds -
                f.records[indexOf(f, kEquilibrationOver)].seconds,
            35 * 6);
  EXPECT_THAT(phases(f, 163), ElementsAre(163, 168, 169, 170, 171, 172, 175, 176, 177));
}

TEST(CycleContent, AlarmCycleAbortsSoonAfterItsAlarmEventAndFails) {
  CycleRequest r = request(0, 4);
  r.alarmCode = kTemperatureLowAlarm;
  const CycleFile f = generate(r);
  EXPECT_EQ(f.alarm, 10);
  EXPECT_NE(f.result, 0);
  const std::size_t alarm = indexOf(f, kAlarmRaised);
  ASSERT_LT(alarm, f.records.size());
  EXPECT_LT(f.records.back().seconds - f.records[alarm].seconds, 5 * 60);
  EXPECT_THAT(phases(f, 163), ElementsAre(163, 164, 165, 166, 167, 168, 169, 188, 171, 176, 177));
  EXPECT_LT(indexOf(f, 52), alarm);  // the low temperature was noted first
}

TEST(CycleContent, VacuumTestHoldsItsVacuumThenVents) {
  for (const std::uint8_t alarm : {std::uint8_t{0}, kLeakRateAlarm}) {
    CycleRequest r = request(kVacuumTestCode, 6);
    r.alarmCode = alarm;
    const CycleFile f = generate(r);
    SCOPED_TRACE(alarm);
    EXPECT_EQ(f.cycleCode, 13);
    EXPECT_EQ(f.alarm, alarm);
    EXPECT_EQ(f.result != 0, alarm != 0);
    EXPECT_THAT(phases(f, 163), ElementsAre(178, 179, 180, 181, 182, 177));
    const Record& reached = f.records[indexOf(f, 179)];
    const Record& settled = f.records[indexOf(f, 180)];
    const Record& measured = f.records[indexOf(f, 181)];
    EXPECT_LE(reached.pressure, 14);
    EXPECT_EQ(settled.seconds - reached.seconds, 300);
    EXPECT_EQ(measured.seconds - settled.seconds, 600);
    const int rise = measured.pressure - settled.pressure;
    if (alarm == 0) {
      EXPECT_LE(rise, 2);  // at most 1.3 mbar a minute, give or take the sensor's last digit
    } else {
      EXPECT_GE(rise, 3);
      EXPECT_LT(indexOf(f, kAlarmRaised), f.records.size());
    }
    EXPECT_GE(f.records.back().pressure, 97);
  }
}

TEST(CycleContent, UnconnectedProbesReadZeroThroughoutAndConnectedOnesNever) {
  CycleRequest r = request(1, 8);
  r.probesThreeAndFour = false;
  for (const Record& rec : generate(r).records) {
    ASSERT_EQ(rec.probes[2], 0);
    ASSERT_EQ(rec.probes[3], 0);
    ASSERT_GT(rec.probes[1], 0);
  }
  for (const Record& rec : generate(request(1, 8)).records) {
    ASSERT_GT(*std::min_element(rec.probes.begin(), rec.probes.end()), 0);
  }
}

TEST(CycleContent, LiquidsCycleIsLongButStaysBelow256Minutes) {
  CycleRequest r = request(kLiquidsCycleCode, 12);
  r.forcedCooling = true;
  r.coldChamber = true;
  const CycleFile f = generate(r);
  EXPECT_GE(f.records.size(), 2000u);
  EXPECT_LT(f.records.back().seconds, 256 * 60);
  EXPECT_EQ(f.typeByte, 0x40 | kLiquidsCycleCode);
  EXPECT_THAT(phases(f, 163), ElementsAre(183, 169, 170, 184, 185, 171, 176, 177));
  // Cooled until the load is below 80 degrees.
  const Record& cooled = f.records[indexOf(f, 185)];
  EXPECT_LT(*std::max_element(cooled.probes.begin() + 1, cooled.probes.end()), 805);
}

TEST(CycleContent, TypeByteCarriesModeAndFlagsAndExtendedDryingItsMinutes) {
  CycleRequest r = request(5, 3);
  r.drying = DryingMode::Extended;
  r.extraDryingMinutes = 5;
  r.delayedStart = true;
  const CycleFile f = generate(r);
  EXPECT_EQ(f.typeByte, 0x80 | 0x30 | 5);
  EXPECT_EQ(f.position88, 5);
  EXPECT_EQ(f.records[1].code, 86);  // delayed start begins, instead of the start key
  EXPECT_EQ(f.records[indexOf(f, 175)].seconds - f.records[indexOf(f, 172)].seconds, 20 * 60);
}

TEST(CycleContent, SameSeedGivesTheSameBytesAndAnotherSeedOthers) {
  EXPECT_EQ(generateCycle(machine(), request(0, 42)).bytes,
            generateCycle(machine(), request(0, 42)).bytes);
  EXPECT_NE(generateCycle(machine(), request(0, 42)).bytes,
            generateCycle(machine(), request(0, 43)).bytes);
}

TEST(CycleContent, RequestsOutsideTheirRangesAreRefused) {
  CycleRequest r = request(0);
  r.alarmCode = 45;
  EXPECT_THROW(generateCycle(machine(), r), std::invalid_argument);
  EXPECT_THROW(generateCycle(machine(), request(16)), std::invalid_argument);
  r = request(0);
  r.start.hour = 24;
  EXPECT_THROW(generateCycle(machine(), r), std::invalid_argument);
  r = request(0);
  r.start.hour = 23;
  r.start.minute = 50;  // would end after midnight
  EXPECT_THROW(generateCycle(machine(), r), std::invalid_argument);
  r = request(0);
  r.cycleNumber = 1u << 24;
  EXPECT_THROW(generateCycle(machine(), r), std::invalid_argument);
}

}  // namespace
}  // namespace devsim::content
