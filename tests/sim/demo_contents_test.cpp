#include "sim/demo_contents.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "tests/sim/content_reader.h"

namespace devsim::content {
namespace {

using contenttest::ChainFile;
using contenttest::CycleFile;
using ::testing::HasSubstr;

struct Generated {
  Memory memory;
  std::vector<ManifestEntry> manifest;
  std::vector<ChainFile> chain;
};

Generated generated(const DemoOptions& options) {
  Generated g;
  g.manifest = fillDemoContents(g.memory, options);
  g.chain = contenttest::walkChain(g.memory);
  return g;
}

DemoOptions withSeed(std::uint64_t seed) {
  DemoOptions options = demoOptions();
  options.seed = seed;
  return options;
}

bool isCycle(const ChainFile& f) {
  return f.bytes[48] == 0x50;
}

// Sakamoto's weekday, 0 = Sunday.
int weekday(int year, int month, int day) {
  static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  year -= month < 3;
  return (year + year / 4 - year / 100 + year / 400 + offsets[month - 1] + day) % 7;
}

TEST(DemoContent, ChainReachesEveryFileAndEndsAtTheFirstFreeLocation) {
  const Generated g = generated(demoOptions());
  ASSERT_EQ(g.chain.size(), g.manifest.size());
  std::uint32_t previous = 0xFFFFFFFF;
  for (std::size_t i = 0; i < g.chain.size(); ++i) {
    EXPECT_EQ(g.chain[i].address, g.manifest[i].address);
    EXPECT_EQ(g.chain[i].previous, previous);
    EXPECT_EQ(g.chain[i].next - g.chain[i].address, g.manifest[i].size);
    EXPECT_NE(g.chain[i].bytes[48], 0xFF);
    previous = g.chain[i].address;
  }
  EXPECT_EQ(contenttest::bigEndian(g.memory, Area::Eeprom, 32), g.chain.back().next);
  EXPECT_EQ(g.memory.at(Area::Flash, g.chain.back().next + 50), 0xFF);
}

TEST(DemoContent, CommandListDescribesEveryStoredTypeAndCountersCountTheDownloads) {
  const Generated g = generated(demoOptions());
  std::map<int, int> slotOfType;
  std::map<int, std::string> label;
  for (int s = 0; s < 92; ++s) {
    const Bytes slot = g.memory.read(Area::Flash, 128 + 22 * static_cast<std::uint32_t>(s), 22);
    if (slot[0] == 0xFF) {
      break;
    }
    slotOfType[slot[0]] = s;
    label[slot[0]] = contenttest::text(std::span(slot).subspan(6, 16));
  }
  EXPECT_EQ(label[0x50], "DataLogger      ");
  EXPECT_EQ(label[0x60], "Technical Report");
  EXPECT_GE(slotOfType.size(), 4u);
  std::map<int, int> filesOfType;
  for (const ChainFile& f : g.chain) {
    ASSERT_TRUE(slotOfType.count(f.bytes[48])) << "type " << int{f.bytes[48]};
    ++filesOfType[f.bytes[48]];
  }
  EXPECT_EQ(filesOfType[0x60], 3);
  // The PC counts its own downloads: messages and data were sent, the board wrote the rest.
  for (const auto& [type, slot] : slotOfType) {
    const Bytes counter =
        g.memory.read(Area::Eeprom, 256 + 2 * static_cast<std::uint32_t>(slot), 2);
    const int sent = type == 0x30 || type == 0x20 ? filesOfType[type] : 0;
    EXPECT_EQ(counter[0] * 256 + counter[1], sent) << "type " << type;
  }
}

TEST(DemoContent, MonthHoldsWhatASmallClinicRuns) {
  for (const std::uint64_t seed : {1u, 2u, 3u, 7u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const DemoOptions options = withSeed(seed);
    const Generated g = generated(options);
    int cycles = 0;
    int tests = 0;
    int fast = 0;
    int alarms = 0;
    int withoutProbes = 0;
    int longCycles = 0;
    int at134or121 = 0;
    std::map<int, int> testsPerWeek;
    int lastNumber = -1;
    int lastDay = 0;
    int lastMinutes = -1;
    int expectedCounter = 0;
    for (const ChainFile& f : g.chain) {
      if (!isCycle(f)) {
        continue;
      }
      const CycleFile c = contenttest::readCycle(f.bytes);
      ++cycles;
      const int day = c.start[2];
      EXPECT_EQ(c.start[3], options.month);
      EXPECT_EQ(c.start[4], options.year % 100);
      const int dow = weekday(options.year, options.month, day);
      EXPECT_TRUE(dow >= 1 && dow <= 5) << "day " << day;
      // Files follow each other in time, one cycle after the other.
      const int minutes = c.start[0] * 60 + c.start[1];
      EXPECT_TRUE(day > lastDay || (day == lastDay && minutes > lastMinutes));
      expectedCounter = day == lastDay ? expectedCounter + 1 : 0;
      EXPECT_EQ(c.counter, expectedCounter);
      lastDay = day;
      lastMinutes = c.end[0] * 60 + c.end[1];
      if (lastNumber >= 0) {
        EXPECT_EQ(c.fileNumber, lastNumber + 1);
      }
      lastNumber = c.fileNumber;

      if (c.cycleCode == 13) {
        ++tests;
        ++testsPerWeek[(day + (weekday(options.year, options.month, 1) + 6) % 7) / 7];
        continue;
      }
      fast += c.cycleCode == 12 ? 1 : 0;
      alarms += c.alarm != 0 ? 1 : 0;
      longCycles += c.records.size() >= 2000 ? 1 : 0;
      const bool probesAbsent = std::all_of(c.records.begin(), c.records.end(), [](const auto& r) {
        return r.probes[2] == 0 && r.probes[3] == 0;
      });
      withoutProbes += probesAbsent ? 1 : 0;
      at134or121 += c.program.substr(0, 3) == "134" || c.program.substr(0, 3) == "121" ? 1 : 0;
    }
    EXPECT_EQ(cycles, options.cycles);
    EXPECT_EQ(alarms, 1);
    EXPECT_EQ(withoutProbes, 1);
    EXPECT_EQ(longCycles, 1);
    EXPECT_GE(fast, 1);
    EXPECT_GE(at134or121, (cycles - tests) * 4 / 5);
    for (const auto& [week, count] : testsPerWeek) {
      EXPECT_TRUE(count >= 1 && count <= 3) << "week " << week << ": " << count;
    }
    EXPECT_GE(testsPerWeek.size(), 4u);
  }
}

TEST(DemoContent, RepairReportFollowsTheAlarmCycleAndNamesIt) {
  const Generated g = generated(demoOptions());
  int alarmCycle = -1;
  for (const ChainFile& f : g.chain) {
    if (isCycle(f)) {
      const CycleFile c = contenttest::readCycle(f.bytes);
      if (c.alarm != 0 && c.cycleCode != 13) {
        alarmCycle = c.fileNumber;
      }
    } else if (f.bytes[48] == 0x60) {
      const std::string text = contenttest::reportText(f.bytes);
      if (text.find("Breakdown call") != std::string::npos) {
        ASSERT_GE(alarmCycle, 0) << "a repair before any alarm";
        EXPECT_THAT(text, HasSubstr("A10 in cycle 0" + std::to_string(alarmCycle)));
      }
    }
  }
  EXPECT_GE(alarmCycle, 0);
}

TEST(DemoContent, DemoTakesAboutAMinuteToSaveAndTheBenchIsLarger) {
  for (const std::uint64_t seed : {1u, 2u, 3u, 4u, 5u}) {
    const Generated g = generated(withSeed(seed));
    const std::uint32_t used = g.chain.back().next;
    EXPECT_GE(used, 120'000u) << "seed " << seed;
    EXPECT_LE(used, 200'000u) << "seed " << seed;
  }
  const Generated bench = generated(benchOptions());
  EXPECT_GE(bench.chain.back().next, 300u * 1024);
  EXPECT_EQ(bench.chain.size(), bench.manifest.size());
}

TEST(DemoContent, SameSeedFillsTheSameMemoryAndAnotherSeedAnother) {
  EXPECT_EQ(generated(withSeed(9)).memory, generated(withSeed(9)).memory);
  EXPECT_NE(generated(withSeed(9)).memory, generated(withSeed(10)).memory);
}

TEST(DemoContent, EveryMonthAndCycleCountWithinRangeCanBeGenerated) {
  for (int month = 1; month <= 12; ++month) {
    for (const int cycles : {1, 5, 60}) {
      DemoOptions options = withSeed(static_cast<std::uint64_t>(month));
      options.month = month;
      options.year = 2024;
      options.cycles = cycles;
      options.technicalReports = month % 4;
      const Generated g = generated(options);
      int found = 0;
      for (const ChainFile& f : g.chain) {
        found += isCycle(f) ? 1 : 0;
      }
      EXPECT_EQ(found, cycles) << "month " << month;
    }
  }
  DemoOptions most = demoOptions();
  most.cycles = 200;
  most.technicalReports = 10;
  EXPECT_NO_THROW(generated(most));
}

TEST(DemoContent, FlashTooSmallForTheMonthIsRefused) {
  Memory small(64 * 1024);
  EXPECT_THROW(fillDemoContents(small, demoOptions()), std::length_error);
}

TEST(DemoContent, ContentsNamesTakeSettingsAndRefuseNonsense) {
  const ContentsChoice demo = parseContentsName("demo");
  ASSERT_TRUE(demo.options);
  EXPECT_EQ(*demo.options, demoOptions());
  const ContentsChoice custom = parseContentsName("demo:seed=7:cycles=40:month=11:year=2024");
  ASSERT_TRUE(custom.options) << custom.error;
  EXPECT_EQ(custom.options->seed, 7u);
  EXPECT_EQ(custom.options->cycles, 40);
  EXPECT_EQ(custom.options->month, 11);
  EXPECT_EQ(custom.options->year, 2024);
  EXPECT_EQ(parseContentsName("bench:reports=0").options->technicalReports, 0);
  for (const char* bad : {"demos", "demo:", "demo:seed", "demo:seed=x", "demo:cycles=0",
                          "demo:month=13", "demo:colour=3", "demo:year=1999", "demo:cycles=-1"}) {
    const ContentsChoice choice = parseContentsName(bad);
    EXPECT_FALSE(choice.options) << bad;
    EXPECT_FALSE(choice.error.empty()) << bad;
  }
}

TEST(DemoContent, DescriptionListsEveryFile) {
  const Generated g = generated(demoOptions());
  const std::string listing = describeContents(g.manifest);
  EXPECT_EQ(static_cast<std::size_t>(std::count(listing.begin(), listing.end(), '\n')),
            g.manifest.size() + 1);
  EXPECT_THAT(listing, HasSubstr("TRSERV00001"));
  EXPECT_THAT(listing, HasSubstr(std::to_string(g.chain.back().next)));
}

}  // namespace
}  // namespace devsim::content
