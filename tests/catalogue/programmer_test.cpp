#include "catalogue/programmer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/port_discovery.h"
#include "programmer_rig.h"

namespace vestrim::catalogue {
namespace {

using ::testing::ElementsAreArray;
using testing::fault;
using testing::ProgrammerRig;

const Bytes kSpeedSwitch = {0x80, 0x00, 0x6E, 0x00, 0x02, 0xF0};

class ProgrammerTest : public ::testing::Test, public ProgrammerRig {
 protected:
  const std::vector<Bytes>& framesWritten() const { return port.written(); }
  std::size_t speedSwitchFrames() const {
    return static_cast<std::size_t>(
        std::count(port.written().begin(), port.written().end(), kSpeedSwitch));
  }
};

TEST_F(ProgrammerTest, HandshakeSwitchesTo57600AndTheFirstLongFrameReadsTheCommandList) {
  programmer.connection().Connect();
  EXPECT_EQ(view.status[1], "Connecting");
  scheduler.advance(1000);
  ASSERT_EQ(framesWritten().size(), 1u);
  EXPECT_EQ(framesWritten()[0], kSpeedSwitch);
  EXPECT_EQ(port.settings(), "19200,N,8,1");
  scheduler.advance(500);
  EXPECT_EQ(programmer.connection().status(), link::LinkStatus::Connected);
  EXPECT_EQ(port.settings(), "57600,N,8,1");
  scheduler.advance(1999);
  EXPECT_EQ(framesWritten().size(), 1u);
  scheduler.advance(1);
  ASSERT_EQ(framesWritten().size(), 2u);
  EXPECT_THAT(framesWritten()[1], ElementsAreArray<std::uint8_t>(
                                      {0x50, 0x6D, 0x00, 0x80, 0x00, 0x00, 0x00, 0x3D, 0x01}));
  EXPECT_EQ(view.status[1], "Connected");
  settle();
  EXPECT_EQ(view.catalogueShown, 1);
  EXPECT_EQ(programmer.tables().CommandList[0], "50FFAAFFFFFFDataLogger      ");
  EXPECT_EQ(programmer.tables().MemorySize, 2097152u);
  EXPECT_EQ(view.memoryLabel, "2048");
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(view.status[1], "Ready");
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ProgrammerTest, SilentDeviceGetsThreeFramesASecondApartThenThePortDialog) {
  device.addFault(fault("silent-handshake:count=all"));
  ports.found = {{"/dev/ttyS0", "serial", std::nullopt},
                 {"/dev/ttyUSB4", "adapter", link::kAdapterVendorId}};
  programmer.connection().Connect();
  std::vector<std::int64_t> sentAt;
  for (std::size_t frames = 0; scheduler.runNext();) {
    if (port.written().size() > frames) {
      frames = port.written().size();
      sentAt.push_back(scheduler.now());
    }
  }
  // Each attempt: close and reopen (0.5 s; none for the first, the port
  // was closed), 1 s delay, the frame, 0.5 s watch; 1 s between attempts.
  EXPECT_EQ(sentAt, (std::vector<std::int64_t>{1000, 4000, 7000}));
  EXPECT_EQ(speedSwitchFrames(), 3u);
  EXPECT_EQ(dialog.shown, 1);
  EXPECT_EQ(dialog.choices, link::portDialogChoices(ports));
  EXPECT_EQ(dialog.initialText, "/dev/ttyUSB4");
  EXPECT_EQ(view.status[1], "Ready");
  EXPECT_FALSE(view.busyPointer);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(programmer.engine().blockPacingTimer().interval(), 30);
}

TEST_F(ProgrammerTest, MoreThanTenSpeedSwitchesCloseThePortAndTellTheUserInsteadOfQuitting) {
  device.addFault(fault("silent-handshake:count=all"));
  programmer.connection().Connect();
  scheduler.runUntilIdle(60000);
  for (int round = 0; round < 3; ++round) {
    programmer.connection().portDialogOk("/dev/ttyUSB0");
    scheduler.runUntilIdle(60000);
  }
  EXPECT_EQ(speedSwitchFrames(), 10u);
  EXPECT_EQ(prompts.countOf("Contact with device lost!"), 1u);
  EXPECT_EQ(dialog.shown, 4);
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(view.busyPointer);
  EXPECT_EQ(programmer.engine().state().SpeedSwitchCount, 0);
}

TEST_F(ProgrammerTest, PortThisUserMayNotOpenIsExplainedWithTheWayToGainIt) {
  port.setOpenFailure(testing::SimulatedSerialPort::OpenFailure::NoPermission);
  programmer.connection().Connect();
  scheduler.runUntilIdle(60000);
  const link::Connection& connection = programmer.connection();
  EXPECT_EQ(dialog.shown, 1);
  EXPECT_TRUE(connection.portPermissionDenied());
  EXPECT_THAT(connection.portProblem(),
              ::testing::StartsWith("Cannot open /dev/ttyUSB0: Permission denied. This user may "
                                    "not open the port. Install the vestrim package"));
  EXPECT_THAT(connection.portProblem(), ::testing::HasSubstr("dialout group"));
  // A missing port gets no such advice.
  port.setOpenFailure(testing::SimulatedSerialPort::OpenFailure::Missing);
  programmer.connection().portDialogOk("/dev/ttyUSB0");
  scheduler.runUntilIdle(60000);
  EXPECT_FALSE(connection.portPermissionDenied());
  EXPECT_EQ(connection.portProblem(), "Cannot open /dev/ttyUSB0: No such file or directory.");
}

TEST_F(ProgrammerTest, UnchosenPortIsFoundAmongTheAdaptersAndStored) {
  shell::settings_writers::portChosen(folder.path(), shell::PortSetting::fromNumber(0));
  ports.found = {{"/dev/ttyS0", "serial", std::nullopt},
                 {"/dev/ttyUSB2", "adapter", link::kAdapterVendorId}};
  connectAndSettle();
  EXPECT_EQ(port.portName(), "/dev/ttyUSB2");
  EXPECT_EQ(shell::readSettingsFile(folder.path())->PortNumber,
            shell::PortSetting::fromPath("/dev/ttyUSB2"));
  EXPECT_EQ(view.catalogueShown, 1);
}

TEST_F(ProgrammerTest, UnchosenPortWithoutAnAdapterFallsBackToTheFirstPort) {
  shell::settings_writers::portChosen(folder.path(), shell::PortSetting::fromNumber(0));
  connectAndSettle();
  EXPECT_EQ(shell::readSettingsFile(folder.path())->PortNumber, shell::PortSetting::fromNumber(1));
  EXPECT_EQ(folder.read(shell::kSettingsFileName).substr(0, 5), " 1 \r\n");
}

TEST_F(ProgrammerTest, ThousandAndFirstRecordAsksToEraseAndNoClearsTheList) {
  layChain(1001);
  prompts.answers = {platform::MessageAnswer::No};
  connectAndSettle();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Program error.\nDo you want to erase flash?");
  EXPECT_EQ(prompts.shown[0].buttons, platform::MessageButtons::YesNo);
  EXPECT_EQ(view.catalogueShown, 0);
  EXPECT_GE(view.catalogueCleared, 1);
  EXPECT_FALSE(programmer.engine().state().readEnd);
  EXPECT_FALSE(view.busyPointer);
  EXPECT_EQ(folder.read(shell::kErrorLogFileName), "Form: FrmPrg ; Sub: ReadBRx\r\n");
}

TEST_F(ProgrammerTest, YesToTheEraseQuestionReadsTheCommandListAndStartsTheErase) {
  layChain(1001);
  int erases = 0;
  programmer.walks().setEraseStarter([&] {
    ++erases;
    programmer.engine().EndOperation();
  });
  prompts.answers = {platform::MessageAnswer::Yes};
  programmer.connection().Connect();
  scheduler.runUntil([&] { return erases > 0; }, 600000);
  ASSERT_EQ(erases, 1);
  EXPECT_FALSE(programmer.engine().state().startErase);
  // The last frame before the erase is the command list's end marker read.
  const Bytes& last = framesWritten().back();
  EXPECT_EQ(last[0], 0x50);
  EXPECT_EQ(last[1], 0x6D);
  EXPECT_EQ(folder.read(shell::kErrorLogFileName), "Form: FrmPrg ; Sub: ReadBRx\r\n");
}

// The walk that the timeout cut short left its loop guard set to the first
// record's NextAddress; the walk after the reconnection must not take that
// for a loop and end at the first record. A reply late enough to land in the
// watch of the reconnection's speed switch cannot be told from its answer:
// the frame goes out again.
TEST(ProgrammerReconnection, ReplyTimeoutDuringTheWalkReconnectsWithoutAMessage) {
  for (const bool lateReply : {false, true}) {
    SCOPED_TRACE(lateReply);
    ProgrammerRig rig;
    const auto speedSwitches = [&] {
      return std::count(rig.port.written().begin(), rig.port.written().end(), kSpeedSwitch);
    };
    rig.append("A1", 0x50, 1, "ONE");
    rig.append("B2", 0x50, 2, "TWO");
    rig.device.addFault(fault("drop-reply:after=4"));
    rig.programmer.connection().Connect();
    rig.scheduler.runUntil([&] { return speedSwitches() == 2; }, 60000);
    if (lateReply) {
      rig.port.inject(Bytes(130, 0x42));
    }
    rig.settle();
    EXPECT_TRUE(rig.prompts.shown.empty());
    EXPECT_EQ(rig.dialog.shown, 0);
    EXPECT_EQ(speedSwitches(), lateReply ? 3 : 2);
    ASSERT_EQ(rig.view.rows.size(), 2u);
    EXPECT_EQ(rig.programmer.connection().status(), link::LinkStatus::Connected);
  }
}

}  // namespace
}  // namespace vestrim::catalogue
