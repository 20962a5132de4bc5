#include "sim/demo_contents.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
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

TEST(DemoContent, ChainReachesEveryFileAndEachFileIsOfAListedType) {
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

  std::set<int> listedTypes;
  for (std::uint32_t s = 0; g.memory.at(Area::Flash, 128 + 22 * s) != 0xFF; ++s) {
    listedTypes.insert(g.memory.at(Area::Flash, 128 + 22 * s));
  }
  for (const ChainFile& f : g.chain) {
    EXPECT_TRUE(listedTypes.contains(f.bytes[48])) << "type " << int{f.bytes[48]};
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
