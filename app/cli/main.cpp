#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <string>
#include <vector>

#include "commands.h"
#include "shell/version.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName("vestrim-cli");
  QCoreApplication::setApplicationVersion(vestrim::shell::kVersion);

  CLI::App app{"Vestrim command line: every device and archive operation without a window."};
  app.set_version_flag("--version", std::string("vestrim-cli ") + vestrim::shell::kVersion);
  app.require_subcommand(1);

  vestrim::cli::GlobalOptions options;
  app.add_option("--folder", options.folder,
                 "Program folder for this run: settings, languages, error log and archive");
  app.add_option("--port", options.port,
                 "Serial port for this run (a device path such as /dev/ttyUSB0, or COM3); "
                 "not stored in the settings file");
  app.add_option("--language", options.language,
                 "Language for this run (a language file's name without .lng)");
  app.add_flag("--yes", options.assumeYes, "Answer Yes to every question");
  app.add_flag("--json", options.json, "Print results as JSON");

  int status = 0;
  app.add_subcommand("ports", "List the serial ports; adapters of the device's family are marked")
      ->callback([&] { status = vestrim::cli::portsCommand(options); });
  app.add_subcommand("catalogue",
                     "Connect to the device and list its files with the memory figures")
      ->callback([&] { status = vestrim::cli::catalogueCommand(options); });
  app.add_subcommand("settings",
                     "Show the program folder, the settings file's values and the languages")
      ->callback([&] { status = vestrim::cli::settingsCommand(options); });

  app.add_subcommand("save", "Connect, then save and seal every dated file of the device")
      ->callback([&] { status = vestrim::cli::saveCommand(options); });
  std::vector<std::string> verifyPaths;
  auto* verify = app.add_subcommand(
      "verify", "Check the seal and check sum of stored files (folders: every *.dtl inside)");
  verify->add_option("PATH", verifyPaths, "Files or folders")->required();
  verify->callback([&] { status = vestrim::cli::verifyCommand(verifyPaths); });

  std::vector<std::string> sendFiles;
  auto* send = app.add_subcommand(
      "send",
      "Connect, then write files into the device (firmware .mhx, messages .msx, data "
      ".dat, datalogger .dtl, raw .mes), one after another");
  send->add_option("FILE", sendFiles, "Files to send")->required();
  send->callback([&] { status = vestrim::cli::sendCommand(options, sendFiles); });
  app.add_subcommand("erase", "Connect, then erase the device's files and reset its bookkeeping")
      ->callback([&] { status = vestrim::cli::eraseCommand(options); });

  std::string reportFile;
  bool reportFull = false;
  std::string reportSeparator;
  auto* report = app.add_subcommand(
      "report", "Show a stored file's report as the report window builds it, in UTF-8");
  report->add_option("FILE", reportFile, "A stored cycle file or technical report (.dtl)")
      ->required();
  report->add_flag("--full", reportFull,
                   "The full report for a cycle without alarm (the compact one opens first)");
  report
      ->add_option("--decimal-separator", reportSeparator,
                   "Decimal separator of the numbers (default: the locale's)")
      ->check([](const std::string& text) {
        return text.size() == 1 ? std::string() : std::string("one character");
      });
  report->callback([&] {
    status = vestrim::cli::reportCommand(
        options, reportFile, reportFull,
        reportSeparator.empty() ? std::nullopt : std::optional<char>(reportSeparator[0]));
  });

  app.add_subcommand("drives", "List the removable drives with their size and use")->callback([&] {
    status = vestrim::cli::drivesCommand(options);
  });
  std::string importPath;
  bool importErase = false;
  auto* import = app.add_subcommand(
      "import", "Save and seal the device files a pen drive holds (a folder is taken as its root)");
  import->add_option("DRIVE_OR_FOLDER", importPath,
                     "The drive's root folder; without it the removable drive is searched for");
  import->add_flag("--erase", importErase,
                   "Afterwards delete the imported device files from the drive (asks first)");
  import->callback([&] { status = vestrim::cli::importCommand(options, importPath, importErase);
});

CLI11_PARSE(app, argc, argv);
return status;
}
