// The Qt serial adapter and the link engine against vestrim-devsim over a
// real pseudo-terminal, in real time.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

// Sends requests one after another and keeps each read's data.
class RequestSequence final : public link::Operation {
 public:
  RequestSequence(link::LinkEngine& engine, std::vector<link::Request> requests)
      : engine_(engine), requests_(std::move(requests)) {
    engine_.registerOperation(link::kReadFile, *this);
  }
  void start() {
    engine_.Wait();
    engine_.state().OperationCode = link::kReadFile;
    engine_.state().RetryCount = 0;
    next();
  }
  void onReadReply() override {
    const auto& rx = engine_.RxBuffer();
    reads.emplace_back(rx.begin(), rx.begin() + engine_.lastRequest().RequestLength);
    next();
  }
  void onWriteAcknowledged() override {
    acknowledged.push_back(engine_.state().RetryCount == 0);
    next();
  }
  std::vector<Bytes> reads;
  std::vector<bool> acknowledged;
  bool done = false;

 private:
  void next() {
    if (sent_ == requests_.size()) {
      done = true;
      engine_.EndOperation();
      return;
    }
    engine_.MakeBTx(requests_[sent_++]);
  }
  link::LinkEngine& engine_;
  std::vector<link::Request> requests_;
  std::size_t sent_ = 0;
};

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

class QtLinkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "qt_link_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
      static QCoreApplication application(argc, argv);
    }
  }

  void connectTo(const std::string& path) {
    port.setPortName(path);
    port.setSettings(link::kHighSpeedSettings);
    ASSERT_TRUE(port.open()) << port.errorText();
  }

  platform::QtSerialPort port;
  platform::QtScheduler scheduler;
  testing::RecordingView view;
  testing::ScriptedPrompts prompts;
  shell::LanguageTexts texts;
  link::LinkEngine engine{port, scheduler, view, prompts, texts};
};

TEST_F(QtLinkTest, ReadsWritesAndReadsBackThroughAPseudoTerminal) {
  DevsimProcess devsim;
  ASSERT_FALSE(devsim.devicePath().empty()) << devsim.standardError();
  connectTo(devsim.devicePath());

  Bytes block(128);
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<std::uint8_t>(255 - i);
  }
  RequestSequence sequence(
      engine, {link::requests::CheckDimMMC(), link::requests::WriteMMC(65536, 0, 128, block),
               link::requests::ReadFile(65536, 128)});
  sequence.start();
  ASSERT_TRUE(runEventsUntil([&] { return sequence.done; }, 10000));
  ASSERT_EQ(sequence.reads.size(), 2u);
  EXPECT_EQ(sequence.reads[0], (Bytes{0x00, 0x20, 0x00, 0x00}));
  EXPECT_EQ(sequence.acknowledged, (std::vector<bool>{true}));
  EXPECT_EQ(sequence.reads[1], block);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(QtLinkTest, ModemLinesOfAPseudoTerminalAreHarmlessAndThePortCanBeReopened) {
  DevsimProcess devsim({"--memory-size", "4194304"});
  ASSERT_FALSE(devsim.devicePath().empty()) << devsim.standardError();
  connectTo(devsim.devicePath());

  bool closed = false;
  engine.OffComm([&] { closed = true; });  // pulses DTR, then closes after 0.5 s
  ASSERT_TRUE(runEventsUntil([&] { return closed; }, 5000));
  EXPECT_FALSE(port.isOpen());

  ASSERT_TRUE(port.open()) << port.errorText();
  port.setDtr(true);
  EXPECT_TRUE(port.isOpen());
  RequestSequence sequence(engine, {link::requests::CheckDimMMC()});
  sequence.start();
  ASSERT_TRUE(runEventsUntil([&] { return sequence.done; }, 5000));
  EXPECT_EQ(sequence.reads.at(0), (Bytes{0x00, 0x40, 0x00, 0x00}));
}

TEST_F(QtLinkTest, SilentDeviceEndsInTheReplyTimeoutAndTheReconnection) {
  DevsimProcess devsim({"--fault", "drop-reply:count=all"});
  ASSERT_FALSE(devsim.devicePath().empty()) << devsim.standardError();
  connectTo(devsim.devicePath());
  int reconnections = 0;
  engine.setSpeedHandler([&] { ++reconnections; });

  RequestSequence sequence(engine, {link::requests::CheckDimMMC()});
  sequence.start();
  ASSERT_TRUE(runEventsUntil([&] { return reconnections == 1; }, 10000));
  EXPECT_TRUE(engine.state().TimeoutFlag);
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(port.settings(), link::kLowSpeedSettings);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST(CommandLine, CatalogueOfTheSimulatedDeviceIsPrintedAsJson) {
  DevsimProcess devsim({"--memory-size", "1048576"});
  ASSERT_FALSE(devsim.devicePath().empty()) << devsim.standardError();
  QTemporaryDir folder;
  QProcess cli;
  cli.start(QStringLiteral(VESTRIM_CLI_PATH),
            {"--folder", folder.path(), "--port", QString::fromStdString(devsim.devicePath()),
             "--json", "catalogue"});
  ASSERT_TRUE(cli.waitForFinished(30000));
  EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  const QJsonObject result = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
  EXPECT_EQ(result["memory_size"].toInteger(), 1048576);
  EXPECT_EQ(result["memory_label"].toString(), "1024");
  EXPECT_EQ(result["memory_used"].toInteger(), 2152);
  EXPECT_TRUE(result["rows"].toArray().isEmpty());
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
  DevsimProcess devsim({});
  ASSERT_FALSE(devsim.devicePath().empty()) << devsim.standardError();
  QSerialPort port(QString::fromStdString(devsim.devicePath()));
  EXPECT_EQ(platform::requestLowLatency(port).result, platform::LowLatency::Refused);
  ASSERT_TRUE(port.open(QIODevice::ReadWrite));
  EXPECT_EQ(platform::requestLowLatency(port).result, platform::LowLatency::NotSerial);
}

}  // namespace
}  // namespace vestrim
