// The Qt serial adapter and the link engine against vestrim-devsim over a
// real pseudo-terminal, in real time.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "devsim_process.h"
#include "link/link_engine.h"
#include "link/requests.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/serial_device.h"
#include "recording_view.h"
#include "scripted_prompts.h"

namespace vestrim {
namespace {

using testing::DevsimProcess;

// Runs the event loop until `done` holds or `timeoutMs` of real time pass.
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) {
      loop.quit();
    }
  });
  poll.start(5);
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec();
  return done();
}

// A request the device never answers ends, in real time and through the Qt timers, in the
// reply timeout and the reconnection at 19200 baud.
TEST(QtLink, SilentDeviceEndsInTheReplyTimeoutAndTheReconnection) {
  static int argc = 1;
  static char name[] = "qt_link_test";
  static char* argv[] = {name, nullptr};
  const QCoreApplication application(argc, argv);
  DevsimProcess devsim({"--fault", "drop-reply:count=all"});
  ASSERT_FALSE(devsim.devicePath().empty()) << devsim.standardError();
  platform::QtSerialPort port;
  platform::QtScheduler scheduler;
  testing::RecordingView view;
  testing::ScriptedPrompts prompts;
  const shell::LanguageTexts texts;
  link::LinkEngine engine{port, scheduler, view, prompts, texts};
  port.setPortName(devsim.devicePath());
  port.setSettings(link::kHighSpeedSettings);
  ASSERT_TRUE(port.open()) << port.errorText();
  int reconnections = 0;
  engine.setSpeedHandler([&] { ++reconnections; });

  engine.Wait();
  engine.state().OperationCode = link::kCheckDimMMC;
  engine.MakeBTx(link::requests::CheckDimMMC());
  ASSERT_TRUE(runEventsUntil([&] { return reconnections == 1; }, 10000));
  EXPECT_TRUE(engine.state().TimeoutFlag);
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(port.settings(), link::kLowSpeedSettings);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST(CommandLine, SaveSaysTheLinkWasRebuiltAndGoesOn) {
  DevsimProcess devsim({"--contents", "demo:cycles=2:reports=0", "--fault", "drop-reply:after=30"});
  ASSERT_FALSE(devsim.devicePath().empty()) << devsim.standardError();
  QTemporaryDir folder;
  QProcess cli;
  cli.start(
      QStringLiteral(VESTRIM_CLI_PATH),
      {"--folder", folder.path(), "--port", QString::fromStdString(devsim.devicePath()), "save"});
  ASSERT_TRUE(cli.waitForFinished(90000));
  const std::string err = cli.readAllStandardError().toStdString();
  EXPECT_EQ(cli.exitCode(), 0) << err;
  EXPECT_NE(err.find("vestrim-cli: Link rebuilt (1 of 3); the save resumed with file "),
            std::string::npos)
      << err;
}

TEST(CommandLine, MissingPortIsACleanFailure) {
  QTemporaryDir folder;
  QProcess cli;
  cli.start(QStringLiteral(VESTRIM_CLI_PATH),
            {"--folder", folder.path(), "--port", "/dev/no-such-port", "catalogue"});
  ASSERT_TRUE(cli.waitForFinished(15000));
  EXPECT_EQ(cli.exitCode(), 1);
  EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());
  EXPECT_NE(cli.readAllStandardError().toStdString().find(
                "cannot reach the device on /dev/no-such-port. Cannot open /dev/no-such-port: "),
            std::string::npos);
}

TEST(SerialDevice, PseudoTerminalHasNoLowLatencyFlagAndAPortNotOpenRefusesIt) {
  DevsimProcess devsim;
  ASSERT_FALSE(devsim.devicePath().empty()) << devsim.standardError();
  QSerialPort port(QString::fromStdString(devsim.devicePath()));
  EXPECT_EQ(platform::requestLowLatency(port).result, platform::LowLatency::Refused);
  ASSERT_TRUE(port.open(QIODevice::ReadWrite));
  EXPECT_EQ(platform::requestLowLatency(port).result, platform::LowLatency::NotSerial);
}

}  // namespace
}  // namespace vestrim
