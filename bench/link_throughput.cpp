// Measures how fast a host reads 128-byte blocks from a device on a serial
// port, against the line's own limit. Run it against vestrim-devsim with
// line-rate emulation (bench/run_link_throughput does this):
//
//   engine  the link engine as an upload drives it: one block per request,
//           the 30 ms dispatch pause between a reply and the next request
//   raw     the same requests back to back, without the dispatch pause: what
//           the line and the device allow
#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <iostream>

#include "link/frame_codec.h"
#include "link/link_engine.h"
#include "link/requests.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_serial_port.h"
#include "shell/text_table.h"

namespace {

using namespace vestrim;

constexpr std::uint32_t kStartAddress = 2152;

class NullView final : public platform::ProgrammerView {
 public:
  void setStatusText(int, const std::string&) override {}
  void setProgressVisible(bool) override {}
  void setProgressMaximum(std::uint32_t) override {}
  void setProgressValue(std::uint32_t) override {}
  void setBusyPointer(bool) override {}
  void setToolbarButtonEnabled(platform::ToolbarButton, bool) override {}
  void setMenuEnabled(platform::Menu, bool) override {}
  void showCatalogue(const std::vector<platform::CatalogueRow>&) override {}
  void clearCatalogue() override {}
  void setMemorySizeLabel(const std::string&) override {}
  void setMemoryBar(std::uint32_t, std::uint32_t) override {}
};

class FailingPrompts final : public platform::Prompts {
 public:
  platform::MessageAnswer show(const platform::Message& message) override {
    std::cerr << "message: " << message.text << '\n';
    failed = true;
    return platform::MessageAnswer::Ok;
  }
  std::optional<std::size_t> choose(const std::string&, const std::string&,
                                    const std::vector<std::string>&) override {
    failed = true;
    return std::nullopt;
  }
  bool failed = false;
};

// Reads `blocks` consecutive 128-byte blocks, one request each.
class BlockReads final : public link::Operation {
 public:
  BlockReads(link::LinkEngine& engine, int blocks) : engine_(engine), blocks_(blocks) {
    engine_.registerOperation(link::kReadFile, *this);
  }
  void start() {
    engine_.state().OperationCode = link::kReadFile;
    engine_.state().RetryCount = 0;
    engine_.state().beginBlocks(kStartAddress, static_cast<std::size_t>(blocks_) * 128);
    send();
  }
  void onReadReply() override {
    link::ProgrammerState& state = engine_.state();
    bytes += 128;
    if (state.BlockIndex + 1 < state.BlockCount) {
      state.advance();
      state.stepBlockAddress();
      send();
    } else {
      done = true;
    }
  }
  long bytes = 0;
  bool done = false;

 private:
  void send() { engine_.MakeBTx(link::requests::ReadFile(engine_.state().BlockAddress, 128)); }
  link::LinkEngine& engine_;
  int blocks_;
};

bool runUntil(const std::function<bool()>& done, int timeoutMs) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) {
      loop.quit();
    }
  });
  poll.start(1);
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec();
  return done();
}

// The speed handshake: the short frame at 19200 baud, E0 back, then 57600.
bool switchSpeed(QSerialPort& port) {
  port.setBaudRate(19200);
  const Bytes& frame = link::speedSwitchFrame();
  port.write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
  if (!runUntil([&] { return port.bytesAvailable() >= 1; }, 3000)) {
    return false;
  }
  const QByteArray answer = port.readAll();
  port.setBaudRate(57600);
  return static_cast<std::uint8_t>(answer.back()) == link::kSpeedSwitchAcknowledgement;
}

double engineRate(const std::string& device, int blocks) {
  {
    QSerialPort handshake(QString::fromStdString(device));
    if (!handshake.open(QIODevice::ReadWrite) || !switchSpeed(handshake)) {
      std::cerr << "speed switch failed on " << device << '\n';
      return -1;
    }
  }
  platform::QtSerialPort port;
  platform::QtScheduler scheduler;
  NullView view;
  FailingPrompts prompts;
  shell::LanguageTexts texts;
  link::LinkEngine engine(port, scheduler, view, prompts, texts);
  bool lost = false;
  engine.setSpeedHandler([&] { lost = true; });
  port.setPortName(device);
  port.setSettings(link::kHighSpeedSettings);
  if (!port.open()) {
    std::cerr << port.errorText() << '\n';
    return -1;
  }
  BlockReads reads(engine, blocks);
  QElapsedTimer clock;
  clock.start();
  reads.start();
  if (!runUntil([&] { return reads.done || lost || prompts.failed; }, blocks * 1000) || lost) {
    std::cerr << "engine run did not finish\n";
    return -1;
  }
  return static_cast<double>(reads.bytes) * 1000.0 / static_cast<double>(clock.elapsed());
}

double rawRate(const std::string& device, int blocks) {
  QSerialPort port(QString::fromStdString(device));
  if (!port.open(QIODevice::ReadWrite) || !switchSpeed(port)) {
    std::cerr << "speed switch failed on " << device << '\n';
    return -1;
  }
  port.readAll();
  long bytes = 0;
  int sent = 0;
  auto send = [&] {
    const link::LongFrame frame = link::encodeLongFrame(
        link::requests::ReadFile(kStartAddress + static_cast<std::uint32_t>(sent) * 128, 128));
    port.write(reinterpret_cast<const char*>(frame.bytes.data()),
               static_cast<qint64>(frame.bytes.size()));
    ++sent;
  };
  QObject::connect(&port, &QSerialPort::readyRead, [&] {
    if (port.bytesAvailable() < 130) {
      return;
    }
    port.readAll();
    bytes += 128;
    if (sent < blocks) {
      send();
    }
  });
  QElapsedTimer clock;
  clock.start();
  send();
  if (!runUntil([&] { return bytes == blocks * 128L; }, blocks * 1000)) {
    std::cerr << "raw run did not finish\n";
    return -1;
  }
  return static_cast<double>(bytes) * 1000.0 / static_cast<double>(clock.elapsed());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  CLI::App app{"Throughput of 128-byte block reads against a device on a serial port"};
  std::string device;
  int blocks = 100;
  std::string mode = "engine";
  app.add_option("--port", device, "Device path of the port")->required();
  app.add_option("--blocks", blocks, "Blocks to read")->check(CLI::Range(2, 100000));
  app.add_option("--mode", mode, "engine or raw")->check(CLI::IsMember({"engine", "raw"}));
  CLI11_PARSE(app, argc, argv);

  const double rate = mode == "engine" ? engineRate(device, blocks) : rawRate(device, blocks);
  if (rate < 0) {
    return 1;
  }
  // 10 bits per byte at 57600 baud; each block read moves 9 request bytes
  // and 130 reply bytes for 128 bytes of data.
  const double lineBytesPerSecond = 57600.0 / 10.0;
  const double payloadLimit = lineBytesPerSecond * 128.0 / 139.0;
  std::printf("%s: %d blocks, %.0f bytes/s of data (%.1f%% of the line's %.0f bytes/s limit)\n",
              mode.c_str(), blocks, rate, 100.0 * rate / payloadLimit, payloadLimit);
  return 0;
}
