#include "sim/demo_contents.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "tests/sim/content_reader.h"

namespace devsim::content {
namespace {

using contenttest::ChainFile;

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

TEST(DemoContent, ChainReachesEveryFileOfAListedTypeAndCountersCountTheDownloads) {
  const Generated g = generated(demoOptions());
  ASSERT_EQ(g.chain.size(), g.manifest.size());
  std::uint32_t previous = 0xFFFFFFFF;
  for (std::size_t i = 0; i < g.chain.size(); ++i) {
    EXPECT_EQ(g.chain[i].address, g.manifest[i].address);
    EXPECT_EQ(g.chain[i].previous, previous);
    EXPECT_EQ(g.chain[i].next - g.chain[i].address, g.manifest[i].size);
    previous = g.chain[i].address;
  }
  EXPECT_EQ(contenttest::bigEndian(g.memory, Area::Eeprom, 32), g.chain.back().next);
  EXPECT_EQ(g.memory.at(Area::Flash, g.chain.back().next + 50), 0xFF);

  std::map<int, int> slotOfType;
  std::map<int, std::string> label;
  for (std::uint32_t s = 0; g.memory.at(Area::Flash, 128 + 22 * s) != 0xFF; ++s) {
    const Bytes slot = g.memory.read(Area::Flash, 128 + 22 * s, 22);
    slotOfType[slot[0]] = static_cast<int>(s);
    label[slot[0]] = contenttest::text(std::span(slot).subspan(6, 16));
  }
  EXPECT_EQ(label[0x50], "DataLogger      ");
  EXPECT_EQ(label[0x60], "Technical Report");
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
    EXPECT_EQ(counter[0] * 256 + counter[1], type == 0x30 || type == 0x20 ? filesOfType[type] : 0)
        << "type " << type;
  }
}

TEST(DemoContent, SeedDecidesContentsNamesTakeSettingsAndNonsenseOrASmallFlashIsRefused) {
  Memory small(64 * 1024);
  EXPECT_THROW(fillDemoContents(small, demoOptions()), std::length_error);
  EXPECT_EQ(generated(withSeed(9)).memory, generated(withSeed(9)).memory);
  EXPECT_NE(generated(withSeed(9)).memory, generated(withSeed(10)).memory);
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

}  // namespace
}  // namespace devsim::content
