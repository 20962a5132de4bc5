#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "reports/cycle_csv.h"
#include "reports/render/label_painter.h"
#include "shell/text_encoding.h"
#include "shell/version.h"

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
  // Drawing a PDF or a PNG needs Qt Gui; on the offscreen platform it needs
  // no display. Every other command runs on Qt Core alone.
  const bool draws = vestrim::cli::commandLineDraws(argc, argv);
  if (draws) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  const std::unique_ptr<QCoreApplication> application =
      draws ? std::make_unique<QGuiApplication>(argc, argv)
            : std::make_unique<QCoreApplication>(argc, argv);
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
  bool eraseForce = false;
  auto* erase = app.add_subcommand(
      "erase", "Connect, then erase the device's files and reset its bookkeeping");
  erase->add_flag("--force", eraseForce,
                  "Erase although records on the device are not in the archive (they are lost)");
  erase->callback([&] { status = vestrim::cli::eraseCommand(options, eraseForce); });

  std::string reportFile;
  std::string reportSeparator;
  std::string csvSeparator;
  std::string pngSize;
  vestrim::cli::ReportOptions reportOptions;
  const auto oneCharacter = [](const std::string& text) {
    return text.size() == 1 ? std::string() : std::string("one character");
  };
  auto* report = app.add_subcommand(
      "report",
      "Show a stored file's report as the report window builds it, in UTF-8; or export it as "
      "PDF/A, its samples as CSV, its chart as PNG");
  report->add_option("FILE", reportFile, "A stored cycle file or technical report (.dtl)")
      ->required();
  report->add_flag("--full", reportOptions.full,
                   "The full report for a cycle without alarm (the compact one opens first)");
  report
      ->add_option("--decimal-separator", reportSeparator,
                   "Decimal separator of the numbers (default: the locale's)")
      ->check(oneCharacter);
  auto* pdf = report->add_option("--pdf", reportOptions.pdf,
                                 "Write the report's printed pages to this PDF/A-1b file");
  report->add_flag("--chart", reportOptions.chart, "With --pdf: the cycle chart on a last page")
      ->needs(pdf);
  auto* csv =
      report->add_option("--csv", reportOptions.csv, "Write the cycle's samples to this CSV file");
  report
      ->add_option("--separator", csvSeparator,
                   "With --csv: the field separator, \",\" (default), \";\", \"|\" or a tab")
      ->check([](const std::string& text) {
        return text.size() == 1 && vestrim::reports::csvSeparatorAllowed(text[0])
                   ? std::string()
                   : std::string("one of , ; | or a tab");
      })
      ->needs(csv);
  auto* png =
      report->add_option("--png", reportOptions.png, "Write the cycle chart to this PNG file");
  report
      ->add_option("--size", pngSize,
                   "With --png: the picture's size in pixels (default 1600x1000)")
      ->check([](const std::string& text) {
        int width = 0;
        int height = 0;
        char x = 0;
        char rest = 0;
        return std::sscanf(text.c_str(), "%d%c%d%c", &width, &x, &height, &rest) == 3 && x == 'x' &&
                       width >= 200 && height >= 150 && width <= 10000 && height <= 10000
                   ? std::string()
                   : std::string("WIDTHxHEIGHT, 200x150 to 10000x10000");
      })
      ->needs(png);
  report->callback([&] {
    if (!reportSeparator.empty()) {
      reportOptions.decimalSeparator = reportSeparator[0];
    }
    if (!csvSeparator.empty()) {
      reportOptions.csvSeparator = csvSeparator[0];
    }
    if (!pngSize.empty()) {
      std::sscanf(pngSize.c_str(), "%dx%d", &reportOptions.pngWidth, &reportOptions.pngHeight);
    }
    status = vestrim::cli::reportCommand(options, reportFile, reportOptions);
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

std::string checkPdf;
bool restoreTimes = false;
auto* check = app.add_subcommand(
    "check",
    "Check the archive: every sealed file against its seal and the archive journal, the "
    "journal's chain, gaps in each machine's cycle numbers; ends with the fingerprint");
check->add_option("--pdf", checkPdf, "Also write the result into this PDF file");
check->add_flag("--restore-times", restoreTimes,
                "First set the files copied without their times back to the times their "
                "seals record (no other file is touched)");
check->add_flag("--json", options.json, "Print the result as JSON");
check->callback([&] { status = vestrim::cli::checkCommand(options, checkPdf, restoreTimes); });

vestrim::archive::SearchFilter filter;
int cycleNumber = -1;
bool alarm = false;
bool passed = false;
auto* list = app.add_subcommand(
    "list", "List the stored cycles that match (search index in the user's cache folder)");
list->add_option("--from", filter.from, "Started on this day (YYYY-MM-DD) or later");
list->add_option("--to", filter.to, "Started on this day (YYYY-MM-DD) or earlier");
list->add_option("--program", filter.program, "Part of the program's name, any letter case");
auto* alarmFlag = list->add_flag("--alarm", alarm, "Only cycles that ended with an alarm");
list->add_flag("--passed", passed, "Only cycles that ended without alarm")->excludes(alarmFlag);
list->add_option("--cycle", cycleNumber, "This cycle number")->check(CLI::NonNegativeNumber);
list->add_option("--name", filter.name, "Part of the file's name, any letter case");
bool released = false;
bool unreleased = false;
bool rejected = false;
auto* releasedFlag =
    list->add_flag("--released", released, "Only cycles whose last release holds: released");
auto* unreleasedFlag =
    list->add_flag("--unreleased", unreleased,
                   "Only cycles without a release that holds (none, or the file changed since)");
list->add_flag("--rejected", rejected, "Only cycles whose last release holds: rejected")
    ->excludes(releasedFlag)
    ->excludes(unreleasedFlag);
releasedFlag->excludes(unreleasedFlag);
list->add_flag("--json", options.json, "Print the cycles as JSON");
list->callback([&] {
  filter.result = alarm    ? vestrim::archive::ResultFilter::Alarm
                  : passed ? vestrim::archive::ResultFilter::Passed
                           : vestrim::archive::ResultFilter::Any;
  if (cycleNumber >= 0) {
    filter.cycleNumber = cycleNumber;
  }
  filter.release = released     ? vestrim::archive::ReleaseFilter::Released
                   : unreleased ? vestrim::archive::ReleaseFilter::Unreleased
                   : rejected   ? vestrim::archive::ReleaseFilter::Rejected
                                : vestrim::archive::ReleaseFilter::Any;
  filter.program = vestrim::shell::utf8ToWindows1252(filter.program);
  status = vestrim::cli::listCommand(options, filter);
});

auto* operators = app.add_subcommand("operators", "The operators who release cycles");
operators->require_subcommand(1);
std::string operatorInitials;
std::string operatorName;
auto* addOperator = operators->add_subcommand(
    "add", "Add an operator; the PIN (4 to 12 digits) is asked for, or read from standard input");
addOperator->add_option("INITIALS", operatorInitials, "1 to 4 letters or digits")->required();
addOperator->add_option("--name", operatorName, "The operator's full name")->required();
addOperator->callback([&] {
  status = vestrim::cli::operatorsAddCommand(options, operatorInitials, operatorName);
});
operators->add_subcommand("list", "List the operators")->callback([&] {
  status = vestrim::cli::operatorsListCommand(options);
});
auto* removeOperator = operators->add_subcommand("remove", "Remove an operator");
removeOperator->add_option("INITIALS", operatorInitials, "The operator's initials")->required();
removeOperator->callback([&] {
  status = vestrim::cli::operatorsRemoveCommand(options, operatorInitials);
});

vestrim::cli::ReleaseOptions releaseOptions;
std::string releaseResult;
std::string releaseIndicator = "none";
auto* release = app.add_subcommand(
    "release",
    "Record who released or rejected a stored cycle, after the operator's PIN (asked for, or "
    "read from standard input); the entry joins the archive journal");
release->add_option("FILE", releaseOptions.file, "The stored cycle (.dtl) in the archive")
    ->required();
release->add_option("--operator", releaseOptions.operatorInitials, "The operator's initials")
    ->required();
release->add_option("--result", releaseResult, "released or rejected")
    ->required()
    ->check(CLI::IsMember({"released", "rejected"}));
release
    ->add_option("--indicator", releaseIndicator, "The chemical indicators: passed, failed or none")
    ->check(CLI::IsMember({"passed", "failed", "none"}));
release->add_option("--note", releaseOptions.note, "A note kept with the release (one line)");
release->callback([&] {
  releaseOptions.result = *vestrim::archive::resultFromWord(releaseResult);
  releaseOptions.indicator = *vestrim::archive::indicatorFromWord(releaseIndicator);
  status = vestrim::cli::releaseCommand(options, releaseOptions);
});

std::string labelsFile;
std::string labelSize;
vestrim::cli::LabelOptions labelOptions;
auto* labels = app.add_subcommand(
    "labels",
    "Write pack labels of a released stored cycle into a PDF file, one label a page, for a "
    "label printer");
labels->add_option("FILE", labelsFile, "The stored cycle (.dtl) in the archive")->required();
labels->add_option("--copies", labelOptions.copies, "How many labels (1 to 999)")
    ->check(CLI::Range(1, 999));
labels->add_option("--pdf", labelOptions.pdf, "The PDF file to write")->required();
labels
    ->add_option("--size", labelSize,
                 "The label's size in millimetres, WIDTHxHEIGHT (default 57x32; 30x20 to "
                 "200x200)")
    ->check([](const std::string& text) {
      double width = 0;
      double height = 0;
      char x = 0;
      char rest = 0;
      return std::sscanf(text.c_str(), "%lf%c%lf%c", &width, &x, &height, &rest) == 3 && x == 'x' &&
                     vestrim::reports::render::labelSizeAllowed({width, height})
                 ? std::string()
                 : std::string("WIDTHxHEIGHT in millimetres, 30x20 to 200x200");
    });
labels->add_option("--kind", labelOptions.kind,
                   "The pack kind, as the settings file names it (default: its first kind)");
labels->callback([&] {
  if (!labelSize.empty()) {
    std::sscanf(labelSize.c_str(), "%lfx%lf", &labelOptions.widthMm, &labelOptions.heightMm);
  }
  status = vestrim::cli::labelsCommand(options, labelsFile, labelOptions);
});
std::string findText;
auto* find = app.add_subcommand(
    "find", "Print the stored file of a pack label's code (as a scanner reads it)");
find->add_option("CODE", findText, "The code: VST1:serial:cycle:8 hex digits")->required();
find->callback([&] { status = vestrim::cli::findCommand(options, findText); });

#ifdef _WIN32
// Windows hands argv over in its code page, where a name such as "Clínica"
// may not survive; Qt reads the wide command line. The options are UTF-8
// then, as on other systems, and so is what the program prints.
SetConsoleOutputCP(CP_UTF8);
// CLI11 takes them last first, without the program's name.
const QStringList given = QCoreApplication::arguments();
if (!given.isEmpty()) {
  app.name(given.first().toStdString());
}
std::vector<std::string> arguments;
for (qsizetype i = given.size() - 1; i >= 1; --i) {
  arguments.push_back(given.at(i).toStdString());
}
try {
  app.parse(std::move(arguments));
} catch (const CLI::ParseError& error) {
  return app.exit(error);
}
#else
CLI11_PARSE(app, argc, argv);
#endif
return status;
}
