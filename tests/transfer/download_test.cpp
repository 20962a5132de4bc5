#include "transfer/download.h"

#include <gtest/gtest.h>

#include "programmer_rig.h"
#include "transfer/erase.h"
#include "transfer/file_selection.h"

namespace vestrim::transfer {
namespace {

using testing::fault;

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
  // A second selection starts at its own first file; a finished send is
  // not sent again.
  selection.FileOpen({dataFile("c.dtl", 40), dataFile("d.dtl", 30)});
  download.download();
  settle();
  EXPECT_EQ(written_, 4);
  EXPECT_EQ(view.rows.size(), 4u);
  download.download();
  settle();
  EXPECT_EQ(written_, 4);
  EXPECT_EQ(refused_, 1);
}

TEST_F(DownloadTest, EraseLeavesTheDefaultCommandListAnEmptyChainAndZeroCounters) {
  devsim::layout::writeCommandSlot(memory(), 1, {.fileType = 0x20, .label = "Data"});
  devsim::layout::setDownloadCounter(memory(), 1, 7);
  append("DLCYCLE0001", 0x50, 1, "ONE");
  connect();
  prompts.answers = {platform::MessageAnswer::Yes};
  erase.eraseFromMenu();
  settle();
  // The cycle was never saved: the question names it and Enter answers No.
  const platform::Message& asked = prompts.shown.back();
  EXPECT_TRUE(asked.text.starts_with(
      "1 record on the device is not in the archive and would be lost:\nDLCYCLE0001 "));
  EXPECT_TRUE(asked.text.ends_with("\n\nErase everything?"));
  EXPECT_EQ(asked.defaultAnswer, platform::MessageAnswer::No);
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

// A 300-byte image: three blocks, then the header block.
TEST_F(DownloadTest, LostReplyBeforeTheHeaderWritesTheFileAgainAfterItsUnlistedPartialCopy) {
  connect();
  device.addFault(fault("drop-reply:on=write:after=1"));
  const auto file = dataFile("p.dtl", 300 - 77);
  send(file);
  EXPECT_EQ(written_, 1);
  EXPECT_EQ(view.notices,
            std::vector<std::string>{"Link rebuilt (1 of 3); the send resumed: " + file.string() +
                                     " is written again from its start"});
  ASSERT_EQ(view.rows.size(), 1u);
  EXPECT_EQ(firstFree(), 2152u + 2 * 300);
  EXPECT_EQ(flash32(2152 + 50), 2152u + 300);  // the partial copy, never given its type
  EXPECT_EQ(memory().read(devsim::Area::Flash, 2152 + 48, 1).front(), 0xFF);
}

TEST_F(DownloadTest, LostReplyToTheHeaderBlockEndsTheSendAndSaysSo) {
  connect();
  device.addFault(fault("drop-reply:on=write:after=3"));
  send(dataFile("h.dtl", 300 - 77));
  EXPECT_EQ(written_, 0);
  EXPECT_EQ(programmer.jobLoss(), catalogue::JobLoss::DeviceLost);
  EXPECT_TRUE(download.headerSent());
  EXPECT_TRUE(view.notices.empty());
}

// Writes of an erase: the command (0), the command list (1), the first free
// location (2), the counters (3, 4).
TEST_F(DownloadTest, EraseRidesOutALostReplyButNeverSendsTheEraseCommandTwice) {
  const std::pair<const char*, bool> cases[] = {
      {"drop-reply:on=write", true},          // the command was carried out
      {"drop-reply:on=write:after=3", true},  // in the counters
      {"silence", false},                     // the command never reached the device
  };
  for (const auto& [faultText, erased] : cases) {
    SCOPED_TRACE(faultText);
    testing::ProgrammerRig rig;
    DownloadState images;
    Download sending{rig.programmer, rig.shell, images};
    Erase erasing{rig.programmer, rig.shell, images};
    rig.append("DLCYCLE0001", 0x50, 1, "ONE");
    devsim::layout::setDownloadCounter(rig.memory(), 0, 7);
    rig.connectAndSettle();
    rig.device.clearRequests();
    rig.device.addFault(fault(faultText));
    rig.prompts.answers = {platform::MessageAnswer::Yes};  // although the cycle is not saved
    erasing.eraseFromToolbar();
    rig.settle();
    int eraseCommands = 0;
    for (const auto& r : rig.device.requests()) {
      eraseCommands += r.kind == devsim::RequestKind::Write && r.address == 110 ? 1 : 0;
    }
    EXPECT_EQ(eraseCommands, 1);
    EXPECT_EQ(rig.view.rows.empty(), erased);
    EXPECT_EQ(rig.programmer.jobLoss().has_value(), !erased);
    EXPECT_EQ(devsim::layout::downloadCounter(rig.memory(), 0), erased ? 0 : 7);
  }
}

}  // namespace
}  // namespace vestrim::transfer
