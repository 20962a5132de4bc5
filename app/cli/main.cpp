#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <QTimer>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "link/link_engine.h"
#include "memory_size_read.h"
#include "platform/qt/qt_program_places.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_serial_port.h"
#include "shell/language_setup.h"
#include "shell/program_folder.h"
#include "shell/settings_file.h"
#include "shell/text_table.h"
#include "shell/version.h"
#include "shell/version_line.h"
#include "terminal_front_end.h"

namespace {

struct GlobalOptions {
  std::string port;
  std::string folder;
  bool assumeYes = false;
};

// The program folder of this run: --folder, the executable's folder, or the
// per-user folder. Empty after telling the user why none could be used.
std::optional<std::filesystem::path> programFolder(const GlobalOptions& options) {
  using namespace vestrim;
  const shell::ProgramFolder folder = shell::chooseProgramFolder(platform::qtProgramFolderPlaces(
      options.folder.empty() ? std::nullopt
                             : std::optional<std::filesystem::path>(options.folder)));
  if (!folder.error.empty()) {
    std::cerr << "vestrim-cli: " << folder.error << '\n';
    return std::nullopt;
  }
  return folder.path;
}

// Shows the program folder, the settings file's values and the languages.
int showSettings(const GlobalOptions& options) {
  using namespace vestrim;
  const auto folder = programFolder(options);
  if (!folder) {
    return 1;
  }
  const shell::SettingsLines settings = shell::loadSettingsAtStart(*folder);
  cli::TerminalPrompts prompts(options.assumeYes);
  shell::LanguageState language;
  if (!shell::initialiseLanguage(*folder, settings.DefaultLanguage, language, prompts)) {
    return 1;
  }
  const std::string port = !settings.PortNumber.devicePath.empty() ? settings.PortNumber.devicePath
                           : settings.PortNumber.number == 0
                               ? "0 (not chosen: the adapter is searched for)"
                               : std::to_string(settings.PortNumber.number);
  std::cout << "Program folder:   " << folder->string() << '\n'
            << "Port:             " << port << '\n'
            << "Data folder:      " << settings.DataFolder << '\n'
            << "Default language: "
            << (settings.DefaultLanguage.empty()
                    ? "(none stored; " + language.DefaultLanguage + " is used)"
                    : settings.DefaultLanguage)
            << '\n'
            << "Languages:        ";
  for (std::size_t i = 0; i < language.LanguageList.size(); ++i) {
    std::cout << (i == 0 ? "" : ", ") << language.LanguageList[i];
  }
  std::cout << '\n' << "Version:          " << shell::versionLine() << '\n';
  return 0;
}

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
  app.add_option("--folder", options.folder,
                 "Program folder for this run: settings, languages, error log and archive");
  app.add_flag("--yes", options.assumeYes, "Answer Yes to every question");

  int status = 0;
  auto* memory = app.add_subcommand(
      "memory-size", "Read the device's memory size (bytes) on a line already at 57600 baud");
  memory->callback([&] { status = memorySize(options); });

  auto* settings = app.add_subcommand(
      "settings", "Show the program folder, the settings file's values and the languages");
  settings->callback([&] { status = showSettings(options); });

  CLI11_PARSE(app, argc, argv);
  return status;
}
