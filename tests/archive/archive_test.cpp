// The archive's journal, check and search index over archives sealed as a
// save seals them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <thread>

#include "archive/archive_check.h"
#include "archive/journal.h"
#include "archive/search_index.h"
#include "reports/cycle_file.h"
#include "reports/cycle_record.h"
#include "shell/safe_file.h"
#include "sim/cycle_generator.h"
#include "temp_folder.h"
#include "transfer/seal.h"

namespace vestrim::archive {
namespace {

namespace fs = std::filesystem;
using devsim::content::Stamp;
using testing::TempFolder;

struct Cycle {
  std::uint32_t number;
  int code = 0;
  std::uint8_t alarm = 0;
  Stamp start{8, 10, 7, 3, 25};
};

// Seals a generated cycle into its month folder of `program`.
fs::path seal(const fs::path& program, const Cycle& cycle) {
  devsim::content::CycleRequest request;
  request.cycleNumber = cycle.number;
  request.cycleCode = cycle.code;
  request.alarmCode = cycle.alarm;
  request.start = cycle.start;
  request.seed = cycle.number;
  char month[16];
  std::snprintf(month, sizeof month, "20%02d/%02d", cycle.start.year, cycle.start.month);
  const fs::path folder = program / month;
  fs::create_directories(folder);
  const transfer::SealResult sealed = transfer::ProtectDataLogger(
      program, folder, devsim::content::generateCycle({}, request).bytes, {});
  EXPECT_TRUE(sealed.error.empty()) << sealed.error;
  return sealed.file;
}

// Changes one byte and keeps the file's time, as a quiet edit would.
void changeByte(const fs::path& file) {
  const auto time = fs::last_write_time(file);
  Bytes bytes = *shell::readWholeFile(file);
  bytes[200] ^= 0x01;
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  fs::last_write_time(file, time);
}

// A copy that does not keep file times: they become another time altogether.
void loseTime(const fs::path& file) {
  fs::last_write_time(file,
                      fs::last_write_time(file) + std::chrono::hours(5) + std::chrono::seconds(17));
}

std::string below(const fs::path& program, const fs::path& file) {
  return file.lexically_relative(program).generic_string();
}

std::vector<std::string> journalLines(const fs::path& program) {
  std::ifstream in(program / kJournalFileName);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\n";
  }
  return text;
}

TEST(ArchiveJournal, ChainCatchesAnEntryEditedRemovedMovedOrCutShortAndLaterSavesGoOn) {
  using Lines = std::vector<std::string>;
  struct Case {
    const char* name;
    std::string (*tamper)(Lines);
    std::vector<std::size_t> problemLines;
  };
  const Case cases[] = {
      {"edited", [](Lines l) { return l[1][20] ^= 1, joined(l); }, {2}},  // a second of its time
      {"removed", [](Lines l) { return l.erase(l.begin() + 1), joined(l); }, {2}},
      {"first removed", [](Lines l) { return l.erase(l.begin()), joined(l); }, {1}},
      {"moved", [](Lines l) { return std::swap(l[1], l[2]), joined(l); }, {2, 3, 4}},
      // A power cut in the middle of an append.
      {"cut short", [](Lines l) { return joined(l).substr(0, joined(l).size() - 40); }, {4}},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    std::vector<fs::path> files;
    for (std::uint32_t number = 1; number <= 4; ++number) {
      files.push_back(seal(folder.path(), {number}));
    }
    const JournalReading whole = readJournal(folder.path());
    ASSERT_EQ(whole.entries.size(), 4u);
    EXPECT_TRUE(whole.problems.empty());
    for (std::size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(whole.entries[i].path, below(folder.path(), files[i]));
      EXPECT_EQ(whole.entries[i].sha256, sha256Hex(*shell::readWholeFile(files[i])));
    }

    ASSERT_TRUE(shell::replaceFile(folder.path() / kJournalFileName,
                                   c.tamper(journalLines(folder.path()))));
    // The next save still finds its place in the chain, and the damage stays in sight.
    seal(folder.path(), {5});
    std::vector<std::size_t> found;
    for (const JournalProblem& problem : readJournal(folder.path()).problems) {
      found.push_back(problem.line);
    }
    EXPECT_EQ(found, c.problemLines) << c.name;
  }
}

TEST(ArchiveJournal, WritersAtOnceKeepOneChain) {
  TempFolder folder;
  std::vector<std::thread> writers;
  for (int w = 0; w < 4; ++w) {
    writers.emplace_back([&, w] {
      for (int i = 0; i < 25; ++i) {
        std::string error;
        const auto journal = JournalWriter::open(folder.path(), error);
        const Bytes bytes{static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(i)};
        ASSERT_TRUE(journal &&
                    journal->append("2025/03/" + std::to_string(w) + ".dtl", bytes, error))
            << error;
      }
    });
  }
  for (std::thread& writer : writers) {
    writer.join();
  }
  const JournalReading reading = readJournal(folder.path());
  EXPECT_EQ(reading.entries.size(), 100u);
  EXPECT_TRUE(reading.problems.empty());
}

TEST(ArchiveJournal, JournalThatCannotBeWrittenStopsTheSealAndLeavesNoFile) {
  TempFolder folder;
  fs::create_directories(folder.path() / kJournalFileName);
  const fs::path month = folder.path() / "2025" / "03";
  fs::create_directories(month);
  const transfer::SealResult sealed =
      transfer::ProtectDataLogger(folder.path(), month, Bytes(300, 0x11), {});
  EXPECT_TRUE(sealed.journalFailed);
  EXPECT_TRUE(sealed.file.empty());
  EXPECT_TRUE(fs::is_empty(month));
}

TEST(ArchiveCheck, EveryFileStateIsRecognisedAndCycleNumberGapsFound) {
  TempFolder folder;
  TempFolder elsewhere;
  const fs::path& program = folder.path();
  const fs::path intact = seal(program, {10});
  const fs::path changed = seal(program, {11});
  const fs::path missing = seal(program, {12});
  const fs::path copied = seal(program, {13});
  // Sealed where no journal of this archive saw them, then moved in.
  const fs::path unknown = program / "2025" / "03" / "unknown.dtl";
  const fs::path bad = program / "2025" / "03" / "bad.dtl";
  fs::rename(seal(elsewhere.path(), {14}), unknown);
  fs::rename(seal(elsewhere.path(), {15}), bad);
  seal(program, {17});
  changeByte(changed);
  fs::remove(missing);
  loseTime(copied);
  changeByte(bad);

  const ArchiveCheck check = *checkArchive(program);
  std::map<std::string, FileState> states;
  for (const CheckedFile& file : check.files) {
    states[file.path] = file.state;
  }
  EXPECT_EQ(states[below(program, intact)], FileState::Intact);
  EXPECT_EQ(states[below(program, changed)], FileState::Changed);
  EXPECT_EQ(states[below(program, missing)], FileState::Missing);
  EXPECT_EQ(states[below(program, copied)], FileState::CopiedWithoutTimes);
  EXPECT_EQ(states[below(program, unknown)], FileState::Unknown);
  EXPECT_EQ(states[below(program, bad)], FileState::Bad);
  EXPECT_EQ(check.files.size(), 7u);
  EXPECT_EQ(check.count(FileState::Intact), 2u);
  EXPECT_FALSE(check.passed());
  ASSERT_EQ(check.gaps.size(), 2u);
  EXPECT_EQ(check.gaps[0].serial, devsim::content::Machine{}.serial);
  EXPECT_EQ(std::pair(check.gaps[0].first, check.gaps[0].last), std::pair(12, 12));
  EXPECT_EQ(std::pair(check.gaps[1].first, check.gaps[1].last), std::pair(16, 16));
  EXPECT_EQ(check.fingerprint, readJournal(program).entries.back().chain);
  const std::vector<std::string> lines = checkReportLines(check);
  EXPECT_EQ(lines.back(), "Fingerprint: " + check.fingerprint);
}

TEST(ArchiveCheck, RestoredTimesMakeACopiedArchiveVerifyAndTouchNothingElse) {
  TempFolder folder;
  const fs::path& program = folder.path();
  std::vector<fs::path> files;
  for (std::uint32_t number = 1; number <= 3; ++number) {
    files.push_back(seal(program, {number}));
  }
  // A file no entry vouches for, whose seal fails too: it must keep its time.
  TempFolder elsewhere;
  const fs::path stranger = program / "2025" / "03" / "stranger.dtl";
  fs::rename(seal(elsewhere.path(), {4}), stranger);
  for (const fs::path& file : files) {
    loseTime(file);
  }
  loseTime(stranger);
  const auto strangerTime = fs::last_write_time(stranger);

  const ArchiveCheck copied = *checkArchive(program);
  EXPECT_EQ(copied.count(FileState::CopiedWithoutTimes), 3u);
  EXPECT_EQ(copied.count(FileState::Changed), 0u);
  const RestoreResult restored = restoreFileTimes(copied);
  EXPECT_EQ(restored.restored.size(), 3u);
  EXPECT_TRUE(restored.failed.empty());

  const ArchiveCheck after = *checkArchive(program);
  EXPECT_EQ(after.count(FileState::Intact), 3u);
  EXPECT_EQ(after.count(FileState::Bad), 1u);
  EXPECT_EQ(fs::last_write_time(stranger), strangerTime);
  for (const fs::path& file : files) {
    EXPECT_EQ(reports::LeggiFile(file).status, reports::CycleFileStatus::Cycle);
  }
}

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
    const reports::CycleFile read = reports::LeggiFile(program.path() / cycle.path);
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
