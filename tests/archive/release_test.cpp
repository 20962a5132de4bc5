// Releases of cycles: operators and their PINs, what a cycle allows, the
// release entries in the journal's chain, and the check over them.
#include "archive/release.h"

#include <gtest/gtest.h>

#include <fstream>

#include "archive/archive_check.h"
#include "archive/operators.h"
#include "reports/cycle_record.h"
#include "sealed_cycles.h"
#include "shell/safe_file.h"
#include "shell/sha256.h"
#include "temp_folder.h"

namespace vestrim::archive {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

void writeLines(const fs::path& program, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\n";
  }
  ASSERT_TRUE(shell::replaceFile(program / kJournalFileName, text));
}

ReleaseRequest request(const std::string& path, ReleaseResult result,
                       Indicator indicator = Indicator::Passed, std::string note = {}) {
  return {path, "AR", "Anna Rossi", result, indicator, std::move(note)};
}

TEST(Operators, PinsAreKeptHashedWrongOnesLockAfterFiveAndTheCountOutlivesTheRun) {
  TempFolder program;
  std::string error;
  OperatorBook book = *OperatorBook::load(program.path(), error);
  for (const auto& [initials, name, pin] : std::vector<std::array<const char*, 3>>{
           {"a-b", "Anna", "1234"},    // initials of letters and digits only
           {"ABCDE", "Anna", "1234"},  // at most four
           {"AR", "", "1234"},         // a name
           {"AR", "Anna\tR", "1234"},  // no tab in the file's fields
           {"AR", "Anna", "123"},      // 4 to 12 digits
           {"AR", "Anna", "12a4"}}) {
    EXPECT_FALSE(book.add(initials, name, pin, error)) << initials << " " << name << " " << pin;
    EXPECT_FALSE(error.empty());
  }
  ASSERT_TRUE(book.add("ar", "Anna Rossi", "1234", error)) << error;
  EXPECT_FALSE(book.add("AR", "Another", "5678", error)) << "initials are taken once";
  ASSERT_TRUE(book.save(error)) << error;
  const Bytes file = *shell::readWholeFile(program.path() / kOperatorsFileName);
  const std::string stored(file.begin(), file.end());
  EXPECT_EQ(stored.find("1234"), std::string::npos) << stored;
  EXPECT_NE(stored.find("pbkdf2-sha256$"), std::string::npos) << stored;

  std::int64_t wait = 0;
  std::int64_t now = 1'000'000;
  OperatorBook again = *OperatorBook::load(program.path(), error);
  EXPECT_EQ(again.checkPin("ZZ", "1234", now, wait), PinCheck::NoSuchOperator);
  EXPECT_EQ(again.checkPin("ar", "1234", now, wait), PinCheck::Accepted);
  for (int wrong = 1; wrong < kWrongPinsAllowed; ++wrong) {
    EXPECT_EQ(again.checkPin("AR", "0000", now, wait), PinCheck::Wrong);
  }
  ASSERT_TRUE(again.save(error));
  // The fifth wrong PIN comes in a new run: the count was kept.
  OperatorBook third = *OperatorBook::load(program.path(), error);
  EXPECT_EQ(third.checkPin("AR", "0000", now, wait), PinCheck::Wrong);
  EXPECT_EQ(third.checkPin("AR", "1234", now + 10, wait), PinCheck::Locked)
      << "even the right PIN waits";
  EXPECT_EQ(wait, kPinLockSeconds - 10);
  EXPECT_EQ(third.checkPin("AR", "1234", now + kPinLockSeconds, wait), PinCheck::Accepted);
  EXPECT_NE(pinCheckText(PinCheck::Locked, "ar", 50, shell::englishOnly()).find("AR"),
            std::string::npos);

  // A damaged file is said, not taken for an empty book.
  ASSERT_TRUE(shell::replaceFile(program.path() / kOperatorsFileName, "AR only\n"));
  EXPECT_FALSE(OperatorBook::load(program.path(), error));
  EXPECT_NE(error.find("line 1"), std::string::npos) << error;
}

TEST(Release, WhatACycleAllowsDecidesAndTheReleaseJoinsTheChain) {
  TempFolder program;
  const fs::path good = seal(program.path(), {1544});
  const fs::path alarm = seal(program.path(), {1545, 0, 10});
  const fs::path test = seal(program.path(), {1546, reports::kVacuumTestCycle});
  std::string error;

  const ReleaseChoice alarmChoice = releaseChoice(alarm);
  EXPECT_TRUE(alarmChoice.isCycle);
  EXPECT_FALSE(alarmChoice.canRelease);
  EXPECT_NE(alarmChoice.why.find("alarm 10"), std::string::npos) << alarmChoice.why;
  EXPECT_FALSE(recordRelease(
      program.path(), request(below(program.path(), alarm), ReleaseResult::Released), error));
  EXPECT_EQ(error, alarmChoice.why);
  EXPECT_FALSE(recordRelease(
      program.path(),
      request(below(program.path(), good), ReleaseResult::Released, Indicator::Failed), error))
      << "failed indicators cannot be released";
  EXPECT_FALSE(
      recordRelease(program.path(), request("../elsewhere.dtl", ReleaseResult::Rejected), error));
  EXPECT_EQ(journalLines(program.path()).size(), 3u) << "nothing refused was written";

  const auto first =
      recordRelease(program.path(),
                    request(below(program.path(), good), ReleaseResult::Released, Indicator::Passed,
                            "Load 12, tray B; 100% ok\nsecond line"),
                    error);
  ASSERT_TRUE(first) << error;
  EXPECT_EQ(first->sequence, 4u);
  ASSERT_TRUE(recordRelease(program.path(),
                            request(below(program.path(), alarm), ReleaseResult::Rejected), error));
  const auto vacuum = recordRelease(
      program.path(), request(below(program.path(), test), ReleaseResult::Released), error);
  ASSERT_TRUE(vacuum) << error;
  EXPECT_EQ(vacuum->vacuumTest, TestOutcome::Passed);
  // A second release of the same cycle is a new entry; the first stays.
  ASSERT_TRUE(recordRelease(
      program.path(),
      request(below(program.path(), good), ReleaseResult::Rejected, Indicator::None), error));

  const JournalReading journal = readJournal(program.path());
  EXPECT_TRUE(journal.problems.empty());
  const ReleaseBook book = ReleaseBook::fromJournal(journal);
  ASSERT_EQ(book.history(below(program.path(), good)).size(), 2u);
  const Release& kept = book.history(below(program.path(), good)).front();
  EXPECT_EQ(kept.note, "Load 12, tray B; 100% ok second line") << "one line, blanks and % kept";
  EXPECT_EQ(kept.operatorName, "Anna Rossi");
  EXPECT_EQ(kept.sha256, *shell::sha256OfFile(good));
  EXPECT_EQ(book.latest(below(program.path(), good))->result, ReleaseResult::Rejected);
  const std::vector<std::string> block = releaseBlockFor(program.path(), good);
  ASSERT_EQ(block.size(), 4u);  // who, when, indicators, and the earlier release
  EXPECT_EQ(block[0], "Rejected by AR (Anna Rossi)");
  EXPECT_EQ(block[3].rfind("Earlier: released by AR on ", 0), 0u) << block[3];

  const auto check = checkArchive(program.path());
  ASSERT_TRUE(check);
  EXPECT_TRUE(check->passed());
  EXPECT_EQ(check->count(FileState::Intact), 3u) << "release entries are not files";
  EXPECT_EQ(check->releases.size(), 3u) << "the last release of each cycle";
  EXPECT_EQ(check->releaseEntries, 4u);
  EXPECT_EQ(releasesLine(*check), "Releases: 3 (1 released, 2 rejected)");

  // An edited release line breaks the chain at that line; a removed one
  // at the line that followed it.
  std::vector<std::string> lines = journalLines(program.path());
  const std::vector<std::string> whole = lines;
  const std::size_t at = lines[3].find("result=released");
  ASSERT_NE(at, std::string::npos);
  lines[3].replace(at, 15, "result=rejected");
  writeLines(program.path(), lines);
  ASSERT_EQ(readJournal(program.path()).problems.size(), 1u);
  EXPECT_EQ(readJournal(program.path()).problems[0].line, 4u);
  EXPECT_FALSE(checkArchive(program.path())->passed());
  lines = whole;
  lines.erase(lines.begin() + 4);
  writeLines(program.path(), lines);
  ASSERT_FALSE(readJournal(program.path()).problems.empty());
  EXPECT_EQ(readJournal(program.path()).problems[0].line, 5u);
  writeLines(program.path(), whole);
}

TEST(Release, TheCheckAndTheReportsTellAReleaseWhoseFileChangedOrWentMissing) {
  TempFolder program;
  const fs::path changed = seal(program.path(), {1544});
  const fs::path missing = seal(program.path(), {1547});
  std::string error;
  for (const fs::path& file : {changed, missing}) {
    ASSERT_TRUE(recordRelease(program.path(),
                              request(below(program.path(), file), ReleaseResult::Released), error))
        << error;
  }
  Bytes bytes = *shell::readWholeFile(changed);
  bytes[300] ^= 0x01;
  ASSERT_TRUE(
      shell::replaceFile(changed, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}));
  fs::remove(missing);

  const auto check = checkArchive(program.path());
  ASSERT_TRUE(check);
  EXPECT_FALSE(check->passed());
  ASSERT_EQ(check->releases.size(), 2u);
  EXPECT_NE(check->releases[0].problem.find("changed"), std::string::npos);
  EXPECT_NE(check->releases[1].problem.find("missing"), std::string::npos);

  const std::vector<std::string> block = releaseBlockFor(program.path(), changed);
  ASSERT_FALSE(block.empty());
  EXPECT_EQ(block.front(), "Released by AR (Anna Rossi)");
  EXPECT_EQ(block.back(), "NOT VALID: the file changed after it");
  EXPECT_TRUE(releaseBlockFor(program.path(), "/elsewhere/x.dtl").empty());
}

}  // namespace
}  // namespace vestrim::archive
