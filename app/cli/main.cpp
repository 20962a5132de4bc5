#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <QTimer>
#include <iostream>
#include <optional>
#include <string>

#include "link/link_engine.h"
#include "memory_size_read.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_serial_port.h"
#include "shell/text_table.h"
#include "shell/version.h"
#include "terminal_front_end.h"

namespace {

struct GlobalOptions {
  std::string port;
  bool assumeYes = false;
};

// Reads the memory size on an open 57600-baud line and prints it in bytes.
int memorySize(const GlobalOptions& options) {
  using namespace vestrim;
  if (options.port.empty()) {
    std::cerr << "vestrim-cli: memory-size needs --port PORT (a port name or device path)\n";
    return 2;
  }
  platform::QtSerialPort port;
  platform::QtScheduler scheduler;
  cli::TerminalView view;
  cli::TerminalPrompts prompts(options.assumeYes);
  shell::LanguageTexts texts;
  link::LinkEngine engine(port, scheduler, view, prompts, texts);

  port.setPortName(options.port);
  port.setSettings(link::kHighSpeedSettings);
  if (!port.open()) {
    std::cerr << "vestrim-cli: cannot open " << options.port << ": " << port.errorText() << '\n';
    return 1;
  }

  std::optional<std::uint32_t> size;
  cli::MemorySizeRead read(engine, [&](std::uint32_t bytes) {
    size = bytes;
    QCoreApplication::quit();
  });
  // A reply timeout hands the link to the reconnection; this command makes
  // no handshake, so it ends there.
  engine.setSpeedHandler([&] {
    std::cerr << "vestrim-cli: the device does not answer on " << options.port << '\n';
    QCoreApplication::exit(1);
  });
  QTimer::singleShot(0, [&] { read.start(); });
  QCoreApplication::exec();
  port.close();
  if (!size) {
    return 1;
  }
  std::cout << *size << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName("vestrim-cli");
  QCoreApplication::setApplicationVersion(vestrim::shell::kVersion);

  CLI::App app{"Vestrim command line: every device and archive operation without a window."};
  app.set_version_flag("--version", std::string("vestrim-cli ") + vestrim::shell::kVersion);
  app.require_subcommand(1);

  GlobalOptions options;
  app.add_option("--port", options.port,
                 "Serial port for this run: a port name or device path (e.g. /dev/ttyUSB0)");
  app.add_flag("--yes", options.assumeYes, "Answer Yes to every question");

  int status = 0;
  auto* memory = app.add_subcommand(
      "memory-size", "Read the device's memory size (bytes) on a line already at 57600 baud");
  memory->callback([&] { status = memorySize(options); });

  CLI11_PARSE(app, argc, argv);
  return status;
}
