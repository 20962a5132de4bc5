#include "transfer/upload.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "programmer_rig.h"
#include "reports/cycle_file.h"

namespace vestrim::transfer {
namespace {

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
    EXPECT_EQ(reports::LeggiFile(sealed[i]).status, reports::CycleFileStatus::Cycle);
  }
  EXPECT_EQ(sealed[0], folder.path() / "2026" / "12" / "A_00001_134Porous_021226_1430.dtl");
  EXPECT_FALSE(view.busyPointer);
  EXPECT_EQ(programmer.engine().state().OperationCode, 0);
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

}  // namespace
}  // namespace vestrim::transfer
