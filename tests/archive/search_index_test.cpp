// The archive's search index over archives sealed as a save seals them.
#include "archive/search_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "record/cycle_file.h"
#include "reports/cycle_record.h"
#include "sealed_cycles.h"
#include "temp_folder.h"

namespace vestrim::archive {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

class SearchIndexTest : public ::testing::Test {
 protected:
  SearchIndexTest() {
    for (const Cycle& cycle : kCycles) {
      files.push_back(seal(program.path(), cycle));
    }
  }
  std::unique_ptr<SearchIndex> open() {
    std::string error;
    auto index = SearchIndex::open(indexFile, program.path(), error);
    EXPECT_TRUE(index) << error;
    return index;
  }
  std::vector<std::size_t> found(SearchIndex& index, const SearchFilter& filter) {
    std::string error;
    std::vector<std::size_t> which;
    for (const IndexedCycle& cycle : index.search(filter, error)) {
      const auto at = std::find(files.begin(), files.end(), program.path() / cycle.path);
      which.push_back(static_cast<std::size_t>(at - files.begin()));
    }
    EXPECT_EQ(error, "");
    return which;
  }

  static constexpr Cycle kCycles[] = {
      {101, 0, 0, {8, 10, 3, 3, 25}},    // 134 WRAPPED
      {102, 5, 10, {9, 0, 4, 3, 25}},    // 134 TEXTILES, alarm
      {103, 13, 33, {7, 40, 1, 4, 25}},  // VACUUM TEST, alarm
      {104, 10, 0, {10, 0, 2, 4, 25}},   // 121 LIQUIDS
  };
  TempFolder program;
  TempFolder cache;
  fs::path indexFile = SearchIndex::indexFile(cache.path(), program.path());
  std::vector<fs::path> files;
};

TEST_F(SearchIndexTest, FiltersAgreeWithTheFilesDecodedContents) {
  const auto index = open();
  std::string error;
  const std::optional<RefreshCounts> built = index->refresh(error);
  ASSERT_TRUE(built) << error;
  EXPECT_EQ(built->read, 4u);

  struct Case {
    const char* name;
    void (*set)(SearchFilter&);
    std::vector<std::size_t> expected;
  };
  const Case cases[] = {
      {"all, by start", [](SearchFilter&) {}, {0, 1, 2, 3}},
      {"from a day", [](SearchFilter& f) { f.from = "2025-03-04"; }, {1, 2, 3}},
      {"to a day, inclusive", [](SearchFilter& f) { f.to = "2025-04-01"; }, {0, 1, 2}},
      {"program, any case", [](SearchFilter& f) { f.program = "liQUIDS"; }, {3}},
      {"program part", [](SearchFilter& f) { f.program = "134"; }, {0, 1}},
      {"passed", [](SearchFilter& f) { f.result = ResultFilter::Passed; }, {0, 3}},
      {"alarm", [](SearchFilter& f) { f.result = ResultFilter::Alarm; }, {1, 2}},
      {"cycle number", [](SearchFilter& f) { f.cycleNumber = 103; }, {2}},
      {"file name", [](SearchFilter& f) { f.name = "_00102_"; }, {1}},
      {"together",
       [](SearchFilter& f) {
         f.from = "2025-03-04";
         f.result = ResultFilter::Alarm;
         f.name = "vacuum";
       },
       {2}},
  };
  for (const Case& c : cases) {
    SearchFilter filter;
    c.set(filter);
    EXPECT_EQ(found(*index, filter), c.expected) << c.name;
  }
  // Every field as the report window decodes the file.
  for (const IndexedCycle& cycle : index->search({}, error)) {
    const record::CycleFile read = record::LeggiFile(program.path() / cycle.path);
    const auto record = reports::decodeCycleRecord(read.DeviceHeader, read.CycleData);
    ASSERT_TRUE(record);
    EXPECT_EQ(cycle.cycleNumber, record->header.FileNumber);
    EXPECT_EQ(cycle.alarmCode, record->summary.alarmCode);
    EXPECT_EQ(cycle.samples, static_cast<int>(record->samples.size()));
    EXPECT_EQ(cycle.program + std::string(20 - cycle.program.size(), ' '), record->summary.text2);
    EXPECT_EQ(cycle.start.substr(11, 2), (record->summary.start.hour < 10 ? "0" : "") +
                                             std::to_string(record->summary.start.hour));
  }
}

TEST_F(SearchIndexTest, RefreshReadsOnlyWhatChangedAndForgetsWhatWent) {
  const auto index = open();
  std::string error;
  ASSERT_TRUE(index->refresh(error));
  loseTime(files[0]);
  fs::remove(files[1]);
  const std::optional<RefreshCounts> counts = index->refresh(error);
  ASSERT_TRUE(counts) << error;
  EXPECT_EQ(std::tuple(counts->read, counts->removed, counts->unchanged), std::tuple(1u, 1u, 2u));
  EXPECT_EQ(found(*index, {}), (std::vector<std::size_t>{0, 2, 3}));
}

TEST_F(SearchIndexTest, IndexSurvivesADeletedOrDamagedFile) {
  const std::pair<const char*, void (*)(const fs::path&)> damages[] = {
      {"deleted", [](const fs::path& file) { fs::remove(file); }},
      {"not a database", [](const fs::path& file) { std::ofstream(file) << "not an index"; }},
      {"pages overwritten",
       [](const fs::path& file) {
         std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
         out.seekp(4096);
         out << std::string(4096, '\xFF');
       }},
  };
  for (const auto& [name, damage] : damages) {
    {
      std::string error;
      ASSERT_TRUE(open()->refresh(error)) << error;
    }
    damage(indexFile);
    const auto index = open();
    std::string error;
    const std::optional<RefreshCounts> counts = index->refresh(error);
    ASSERT_TRUE(counts) << name << ": " << error;
    EXPECT_TRUE(counts->rebuilt) << name;
    EXPECT_EQ(found(*index, {}), (std::vector<std::size_t>{0, 1, 2, 3})) << name;
  }
}

}  // namespace
}  // namespace vestrim::archive
