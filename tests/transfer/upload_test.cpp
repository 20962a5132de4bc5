#include "transfer/upload.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "archive/archive_check.h"
#include "programmer_rig.h"
#include "reports/cycle_file.h"

namespace vestrim::transfer {
namespace {

using testing::fault;

class UploadTest : public ::testing::Test, public testing::ProgrammerRig {
 protected:
  UploadTest() {
    upload.setFileSealedHandler(
        [this](const std::filesystem::path& file) { sealed.push_back(file); });
    upload.setFinishedHandler([this](const SaveOutcome& result) { outcome = result; });
  }

  void save() {
    connectAndSettle();
    device.clearRequests();
    upload.Save();
    scheduler.runUntil([&] { return outcome.has_value(); }, 3600000);
    ASSERT_TRUE(outcome.has_value());
  }

  // (address, length) of every read of the flash the save made.
  std::vector<std::pair<std::uint32_t, int>> flashReads() const {
    std::vector<std::pair<std::uint32_t, int>> reads;
    for (const auto& record : device.requests()) {
      if (record.kind == devsim::RequestKind::Read && record.command == 0x50) {
        reads.emplace_back(record.address, record.length);
      }
    }
    return reads;
  }

  Bytes deviceBytes(std::uint32_t address, std::size_t length) {
    return memory().read(devsim::Area::Flash, address, length);
  }

  static Bytes contentsOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  Upload upload{programmer, shell};
  std::vector<std::filesystem::path> sealed;
  std::optional<SaveOutcome> outcome;
};

TEST_F(UploadTest, FilesAreReadInBlocksEndingWithTheRemainderEvenWhenItIsZero) {
  const std::uint32_t a = append("DLCYCLE00000001", 0x50, 1, "A", 256 - 166);
  const std::uint32_t b = append("DLCYCLE00000002", 0x50, 2, "B", 200 - 166);
  const std::uint32_t c = append("DLCYCLE00000003", 0x50, 3, "C", 300 - 166);
  save();
  EXPECT_EQ(outcome->kind, SaveOutcome::Kind::Finished);
  const std::vector<std::pair<std::uint32_t, int>> expected = {
      // 256 bytes; the closing request of length 0 reaches the device as a
      // read of 256 (its length field wraps), and nothing of it is kept.
      {a, 128}, {a + 128, 128}, {a + 256, 256}, {b, 128}, {b + 128, 72},  // 200 bytes
      {c, 128}, {c + 128, 128}, {c + 256, 44},                            // 300 bytes
  };
  EXPECT_EQ(flashReads(), expected);
  ASSERT_EQ(sealed.size(), 3u);
  // Each sealed file holds exactly the device bytes of its record.
  const std::uint32_t starts[] = {a, b, c};
  const std::size_t lengths[] = {256, 200, 300};
  for (std::size_t i = 0; i < 3; ++i) {
    const Bytes stored = contentsOf(sealed[i]);
    ASSERT_EQ(stored.size(), lengths[i] + 15);
    EXPECT_EQ(Bytes(stored.begin() + 13, stored.end() - 2), deviceBytes(starts[i], lengths[i]));
    EXPECT_EQ(reports::LeggiFile(sealed[i]).status, reports::CycleFileStatus::Cycle);
  }
  EXPECT_EQ(sealed[0], folder.path() / "2026" / "12" / "A_00001_134Porous_021226_1430.dtl");
  EXPECT_FALSE(view.busyPointer);
  EXPECT_EQ(programmer.engine().state().OperationCode, 0);
}

TEST_F(UploadTest, HeaderOnlyFileIsOneFullBlockAndItsRemainder) {
  const std::uint32_t a = append("DLCYCLE00000001", 0x50, 1, "A", 0);
  save();
  EXPECT_EQ(flashReads(), (std::vector<std::pair<std::uint32_t, int>>{{a, 128}, {a + 128, 38}}));
}

TEST_F(UploadTest, RowsPairWithTheRecordsTheyShowPastAnInvalidRecord) {
  const std::uint32_t invalid = append("XXXXXXXXXXXXXXX", 0x50, 9, "X", 50);
  const std::uint32_t first = append("DLCYCLE00000001", 0x50, 1, "FIRST", 120);
  const std::uint32_t second = append("DLCYCLE00000002", 0x50, 2, "SECOND", 70);
  memory().write(devsim::Area::Flash, invalid + 48, Bytes{0xFF});
  save();
  ASSERT_EQ(sealed.size(), 2u);
  EXPECT_EQ(sealed[0].filename(), "FIRST_00001_134Porous_021226_1430.dtl");
  const Bytes firstStored = contentsOf(sealed[0]);
  const Bytes secondStored = contentsOf(sealed[1]);
  EXPECT_EQ(Bytes(firstStored.begin() + 13, firstStored.end() - 2), deviceBytes(first, 286));
  EXPECT_EQ(Bytes(secondStored.begin() + 13, secondStored.end() - 2), deviceBytes(second, 236));
}

TEST_F(UploadTest, RowWithoutADateIsSkippedAndAShortCodeIsStillSaved) {
  append("DLCYCLE00000001", 0x50, 1, "DATED", 10);
  const std::uint32_t undated = append("DLCYCLE00000002", 0x50, 2, "UNDATED", 10);
  memory().write(devsim::Area::Flash, undated + 140, Bytes{25});  // hour 25: no date
  append("A1", 0x50, 3, "SHORT", 10);
  save();
  ASSERT_EQ(sealed.size(), 2u);
  EXPECT_EQ(sealed[1].filename(), "SHORT_00003_134Porous_021226_1430.dtl");
  EXPECT_EQ(outcome->skipped, (std::vector<std::string>{"DLCYCLE00000002: no date"}));
}

TEST_F(UploadTest, NoDatedRowEndsAtOnce) {
  const std::uint32_t undated = append("DLCYCLE00000002", 0x50, 2, "UNDATED", 10);
  memory().write(devsim::Area::Flash, undated + 143, Bytes{13});
  save();
  EXPECT_EQ(outcome->kind, SaveOutcome::Kind::NothingToDo);
  EXPECT_TRUE(flashReads().empty());
  EXPECT_FALSE(view.busyPointer);
}

TEST_F(UploadTest, DeviceLostMidSaveKeepsTheFilesSealedBeforeAndLeavesNoPartialFile) {
  append("DLCYCLE00000001", 0x50, 1, "ONE", 400, 1);
  append("DLCYCLE00000002", 0x50, 2, "TWO", 400, 2);
  append("DLCYCLE00000003", 0x50, 3, "THREE", 400, 3);
  connectAndSettle();
  // Five blocks per file: the reply to the second block of the second file
  // never comes.
  device.addFault(fault("drop-reply:after=6:count=all"));
  upload.Save();
  scheduler.runUntil([&] { return outcome.has_value(); }, 3600000);
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->kind, SaveOutcome::Kind::DeviceLost);
  ASSERT_EQ(sealed.size(), 1u);
  EXPECT_EQ(reports::LeggiFile(sealed[0]).status, reports::CycleFileStatus::Cycle);
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) {
    files += entry.is_regular_file() && entry.path().extension() == ".dtl" ? 1 : 0;
    EXPECT_EQ(entry.path().filename().string().find(".sealing"), std::string::npos);
  }
  EXPECT_EQ(files, 1);
}

TEST_F(UploadTest, FileThatStopsMovingIsGivenUpAfter180Seconds) {
  append("DLCYCLE00000001", 0x50, 1, "ONE", 4000);
  connectAndSettle();
  upload.Save();
  scheduler.advance(200);
  // A closed port sends nothing and starts no reply timeout: only the guard
  // can end the wait.
  port.close();
  scheduler.runUntil([&] { return outcome.has_value(); }, 3600000);
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->kind, SaveOutcome::Kind::Stalled);
  EXPECT_GE(scheduler.now(), 180000);
  EXPECT_LT(scheduler.now(), 182000 + 5000);
  EXPECT_FALSE(view.busyPointer);
}

TEST_F(UploadTest, SavingTheSameDeviceTwiceReplacesItsFiles) {
  append("DLCYCLE00000001", 0x50, 1, "ONE", 30);
  save();
  outcome.reset();
  upload.Save();
  scheduler.runUntil([&] { return outcome.has_value(); }, 3600000);
  ASSERT_EQ(sealed.size(), 2u);
  EXPECT_EQ(sealed[0], sealed[1]);
  // The later entry vouches for the file that replaced the first.
  const archive::ArchiveCheck check = *archive::checkArchive(folder.path());
  EXPECT_EQ(check.journalEntries, 2u);
  EXPECT_EQ(check.count(archive::FileState::Intact), 1u);
  EXPECT_TRUE(check.passed());
}

TEST_F(UploadTest, JournalThatCannotBeWrittenStopsTheSaveWithItsReason) {
  append("DLCYCLE00000001", 0x50, 1, "ONE", 30);
  append("DLCYCLE00000002", 0x50, 2, "TWO", 30);
  std::filesystem::create_directories(folder.path() / archive::kJournalFileName);
  save();
  EXPECT_EQ(outcome->kind, SaveOutcome::Kind::JournalFailed);
  EXPECT_TRUE(sealed.empty());
  EXPECT_NE(outcome->skipped.back().find("journal"), std::string::npos);
  EXPECT_EQ(flashReads().size(), 2u);  // the second file is not read
  EXPECT_FALSE(view.busyPointer);
}

}  // namespace
}  // namespace vestrim::transfer
