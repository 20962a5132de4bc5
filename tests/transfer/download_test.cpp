#include "transfer/download.h"

#include <gtest/gtest.h>

#include "programmer_rig.h"
#include "transfer/erase.h"
#include "transfer/file_selection.h"

namespace vestrim::transfer {
namespace {

class DownloadTest : public ::testing::Test, public testing::ProgrammerRig {
 protected:
  DownloadTest() {
    shell.language.texts.set(320, "Erase everything?");
    download.addFinishedListener([this](bool written) { (written ? written_ : refused_) += 1; });
  }

  void connect() {
    connectAndSettle();
    device.clearRequests();
  }

  // Sends `file` as a single selection and runs until the program waits.
  void send(const std::filesystem::path& file) {
    selection.FileOpen({file});
    download.download();
    settle();
  }

  std::filesystem::path dataFile(const std::string& name, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
      bytes[i] = static_cast<char>(i * 7 + 1);
    }
    return folder.write(name, bytes);
  }

  std::vector<devsim::RequestRecord> writes() const {
    std::vector<devsim::RequestRecord> found;
    for (const auto& record : device.requests()) {
      if (record.kind == devsim::RequestKind::Write) {
        found.push_back(record);
      }
    }
    return found;
  }
  std::uint32_t flash32(std::uint32_t address) {
    const Bytes b = memory().read(devsim::Area::Flash, address, 4);
    return std::uint32_t{b[0]} << 24 | b[1] << 16 | b[2] << 8 | b[3];
  }
  std::uint32_t firstFree() { return devsim::layout::firstFreeLocation(memory()); }

  DownloadState state;
  Download download{programmer, shell, state};
  Erase erase{programmer, shell, state};
  FileSelection selection{programmer, shell, download, state};
  int written_ = 0;
  int refused_ = 0;
};

TEST_F(DownloadTest, MultipleSelectionSendsTheNextFileAfterTheCatalogueOfThePrevious) {
  connect();
  const auto a = dataFile("a.dtl", 50);
  const auto b = dataFile("b.dtl", 60);
  selection.FileOpen({a, b});
  EXPECT_EQ(shell::readSettingsFile(folder.path())->DataFolder, folder.path().string());
  // A Read before the first download does not move the selection on.
  link::ProgrammerState& flags = programmer.engine().state();
  programmer.engine().Wait();
  flags.startRead = true;
  programmer.walks().CheckDimMMC();
  settle();
  EXPECT_EQ(written_, 0);
  download.download();
  settle();
  EXPECT_EQ(written_, 2);
  EXPECT_TRUE(selection.finished());
  EXPECT_EQ(view.rows.size(), 2u);
}

TEST_F(DownloadTest, EraseLeavesTheDefaultCommandListAnEmptyChainAndZeroCounters) {
  devsim::layout::writeCommandSlot(memory(), 1, {.fileType = 0x20, .label = "Data"});
  devsim::layout::setDownloadCounter(memory(), 1, 7);
  append("DLCYCLE0001", 0x50, 1, "ONE");
  connect();
  prompts.answers = {platform::MessageAnswer::Yes};
  erase.eraseFromMenu();
  settle();
  ASSERT_EQ(prompts.shown.back().text, "Erase everything?");
  EXPECT_EQ(prompts.shown.back().icon, platform::MessageIcon::Question);
  // The erase command, 2 s later the command list of 22 bytes, the first free location and the
  // counters in a block of 128 and one of 112.
  const auto w = writes();
  ASSERT_EQ(w.size(), 5u);
  EXPECT_EQ(w[0].address, 110u);
  EXPECT_EQ(w[1].address, 128u);
  EXPECT_EQ(w[1].length, 22);
  EXPECT_EQ(w[4].length, 112);
  EXPECT_GE(w[1].timeUs - w[0].timeUs, 2'000'000);
  EXPECT_EQ(firstFree(), 0u);
  EXPECT_EQ(devsim::layout::downloadCounter(memory(), 1), 0);
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(programmer.tables().CommandList[0], kDefaultCommandSlot);
  // The menu's erase reads the command list before erasing.
  EXPECT_EQ(device.requests().front().address, 128u);
  EXPECT_FALSE(view.busyPointer);
}

TEST_F(DownloadTest, MenuEraseWithThePortClosedOnlyOpensTheLink) {
  prompts.answers = {platform::MessageAnswer::Yes};
  erase.eraseFromMenu();
  settle();
  EXPECT_EQ(programmer.connection().status(), link::LinkStatus::Connected);
  for (const auto& w : writes()) {
    EXPECT_NE(w.address, 110u);
  }
}

TEST_F(DownloadTest, OverflowAnswerYesEndsInTheErase) {
  layChain(1001);
  prompts.answers = {platform::MessageAnswer::Yes};
  connectAndSettle();
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(memory().read(devsim::Area::Flash, 2152, 1).front(), 0xFF);
  EXPECT_FALSE(view.busyPointer);
}

}  // namespace
}  // namespace vestrim::transfer
