#include "transfer/upload.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "archive/archive_check.h"
#include "programmer_rig.h"
#include "record/cycle_file.h"

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
  const std::uint32_t d = append("DLCYCLE00000004", 0x50, 4, "D", 0);  // a header alone
  save();
  EXPECT_EQ(outcome->kind, SaveOutcome::Kind::Finished);
  const std::vector<std::pair<std::uint32_t, int>> expected = {
      // 256 bytes; the closing request of length 0 reaches the device as a
      // read of 256 (its length field wraps), and nothing of it is kept.
      {a, 128}, {a + 128, 128}, {a + 256, 256}, {b, 128}, {b + 128, 72},  // 200 bytes
      {c, 128}, {c + 128, 128}, {c + 256, 44},                            // 300 bytes
      {d, 128}, {d + 128, 38}};
  EXPECT_EQ(flashReads(), expected);
  ASSERT_EQ(sealed.size(), 4u);
  // Each sealed file holds exactly the device bytes of its record.
  const std::uint32_t starts[] = {a, b, c};
  const std::size_t lengths[] = {256, 200, 300};
  for (std::size_t i = 0; i < 3; ++i) {
    const Bytes stored = contentsOf(sealed[i]);
    ASSERT_EQ(stored.size(), lengths[i] + 15);
    EXPECT_EQ(Bytes(stored.begin() + 13, stored.end() - 2), deviceBytes(starts[i], lengths[i]));
    EXPECT_EQ(record::LeggiFile(sealed[i]).status, record::CycleFileStatus::Cycle);
  }
  EXPECT_EQ(sealed[0], folder.path() / "2026" / "12" / "A_00001_134Porous_021226_1430.dtl");
  EXPECT_FALSE(view.busyPointer);
  EXPECT_EQ(programmer.engine().state().OperationCode, 0);
}

// Five blocks per file: each fault hits the second block of the second file.
TEST(UploadFaults, LostOrDamagedReplyCostsOnlyTheFileInTransfer) {
  const std::pair<const char*, int> cases[] = {
      {"drop-reply", 1},    {"one-byte-reply", 1},  {"cut-reply", 1},
      {"delay:ms=2100", 1}, {"silence:count=3", 1}, {"drop-reply:count=2", 2},
      {"garbage", 0},       {"long-reply", 0},      {"delay:ms=1900", 0},
  };
  for (const auto& [faultText, reconnections] : cases) {
    SCOPED_TRACE(faultText);
    testing::ProgrammerRig rig;
    Upload upload{rig.programmer, rig.shell};
    std::vector<std::filesystem::path> sealed;
    std::optional<SaveOutcome> outcome;
    upload.setFileSealedHandler([&](const std::filesystem::path& file) { sealed.push_back(file); });
    upload.setFinishedHandler([&](const SaveOutcome& result) { outcome = result; });
    for (int day = 1; day <= 3; ++day) {
      rig.append("DLCYCLE0000000" + std::to_string(day), 0x50, static_cast<std::uint32_t>(day),
                 "F" + std::to_string(day), 400, static_cast<std::uint8_t>(day));
    }
    rig.connectAndSettle();
    rig.device.addFault(fault(std::string(faultText) + ":after=6"));
    upload.Save();
    rig.scheduler.runUntil([&] { return outcome.has_value(); }, 3600000);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->kind, SaveOutcome::Kind::Finished);
    EXPECT_EQ(rig.programmer.reconnections(), reconnections);
    if (reconnections > 0) {
      EXPECT_EQ(rig.view.notices,
                std::vector<std::string>{"Link rebuilt (" + std::to_string(reconnections) +
                                         " of 3); the save resumed with file 2 / 3"});
    }
    // Each file sealed once, whole.
    ASSERT_EQ(sealed.size(), 3u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(sealed[static_cast<std::size_t>(i)].filename().string().substr(0, 9),
                "F" + std::to_string(i + 1) + "_0000" + std::to_string(i + 1) + "_");
      EXPECT_EQ(record::LeggiFile(sealed[static_cast<std::size_t>(i)]).status,
                record::CycleFileStatus::Cycle);
    }
  }
}

TEST_F(UploadTest, FourthLostLinkEndsTheSaveKeepingTheFilesSealedBeforeAndNoPartialFile) {
  append("DLCYCLE00000001", 0x50, 1, "ONE", 400, 1);
  append("DLCYCLE00000002", 0x50, 2, "TWO", 400, 2);
  connectAndSettle();
  device.addFault(fault("drop-reply:after=6:count=all"));
  upload.Save();
  scheduler.runUntil([&] { return outcome.has_value(); }, 3600000);
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->kind, SaveOutcome::Kind::DeviceLost);
  EXPECT_EQ(programmer.reconnections(), 3);
  ASSERT_EQ(sealed.size(), 1u);
  EXPECT_EQ(record::LeggiFile(sealed[0]).status, record::CycleFileStatus::Cycle);
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) {
    files += entry.is_regular_file() && entry.path().extension() == ".dtl" ? 1 : 0;
    EXPECT_EQ(entry.path().filename().string().find(".sealing"), std::string::npos);
  }
  EXPECT_EQ(files, 1);
}

TEST_F(UploadTest, DeviceWhoseListChangedWhileTheLinkWasDownIsNotResumed) {
  append("DLCYCLE00000001", 0x50, 1, "ONE", 400, 1);
  connectAndSettle();
  device.addFault(fault("drop-reply:after=2"));
  upload.Save();
  scheduler.runUntil([&] { return programmer.engine().state().TimeoutFlag; }, 60000);
  append("DLCYCLE00000002", 0x50, 2, "TWO", 400, 2);
  scheduler.runUntil([&] { return outcome.has_value(); }, 3600000);
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->kind, SaveOutcome::Kind::DeviceLost);
  EXPECT_TRUE(sealed.empty());
  EXPECT_TRUE(programmer.settled());
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

TEST_F(UploadTest, DeviceWithNoFilesEndsAtOnceWithNothingToDo) {
  save();
  EXPECT_EQ(outcome->kind, SaveOutcome::Kind::NothingToDo);
  EXPECT_EQ(outcome->records, 0u);
  EXPECT_TRUE(flashReads().empty());
  EXPECT_TRUE(sealed.empty());
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
  ASSERT_EQ(outcome->failed.size(), 2u);  // the first with why, the second not reached
  EXPECT_NE(outcome->failed[0].why.find("journal"), std::string::npos);
  EXPECT_EQ(flashReads().size(), 2u);  // the second file is not read
  EXPECT_FALSE(view.busyPointer);
}

}  // namespace
}  // namespace vestrim::transfer
