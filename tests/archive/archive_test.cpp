// The archive's journal and check over archives sealed as a save seals them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <thread>

#include "archive/archive_check.h"
#include "archive/journal.h"
#include "record/cycle_file.h"
#include "sealed_cycles.h"
#include "shell/safe_file.h"
#include "temp_folder.h"
#include "transfer/seal.h"

namespace vestrim::archive {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

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
    EXPECT_EQ(record::LeggiFile(file).status, record::CycleFileStatus::Cycle);
  }
}

}  // namespace
}  // namespace vestrim::archive
