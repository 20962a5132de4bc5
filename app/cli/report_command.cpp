#include <QString>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "archive/release.h"
#include "commands.h"
#include "record/cycle_file.h"
#include "reports/cycle_chart_data.h"
#include "reports/cycle_csv.h"
#include "reports/pdf_document_info.h"
#include "reports/render/cycle_chart.h"
#include "reports/render/print_painter.h"
#include "reports/report_window.h"
#include "shell/safe_file.h"
#include "shell/sha256.h"
#include "shell/text_encoding.h"

namespace vestrim::cli {
namespace {

// A report line as the window shows it, but for a line end inside it (a
// carriage return or line feed in a machine name), which would break the
// one-line-per-line output and shows as ".".
std::string printable(const std::string& windows1252) {
  std::string text = windows1252;
  for (char& c : text) {
    if (c == '\r' || c == '\n') {
      c = '.';
    }
  }
  return shell::windows1252ToUtf8(text);
}

// Writes the files the options ask for; their paths on stdout.
int exportReport(const reports::ReportWindow& window, const record::CycleFile& read,
                 const std::filesystem::path& file, const ReportOptions& report) {
  const std::optional<reports::CycleRecord> record = window.record();
  if ((report.chart || !report.csv.empty() || !report.png.empty()) && !record) {
    fail(shell::utf8Of(file) + ": a technical report has no samples and no chart");
    return 1;
  }
  const std::optional<reports::CycleChart> chart =
      record ? std::optional(reports::cycleChart(*record, window.language())) : std::nullopt;
  bool ok = true;
  const auto done = [&](bool success, const std::string& path, const QString& why) {
    if (success) {
      std::cout << path << '\n';
    } else {
      fail(why.toStdString());
      ok = false;
    }
  };
  if (!report.pdf.empty()) {
    const std::optional<std::string> sha256 = shell::sha256OfFile(file);
    QString error = "cannot read " + QString::fromStdString(shell::utf8Of(file));
    done(sha256 && reports::render::printJobToPdf(
                       window.print(), shell::pathFromUtf8(report.pdf),
                       reports::reportDocumentInfo(shell::utf8Of(file.filename()), read, *sha256),
                       report.chart ? &*chart : nullptr, &error),
         report.pdf, error);
  }
  if (!report.csv.empty()) {
    done(shell::replaceFile(shell::pathFromUtf8(report.csv),
                            reports::cycleCsv(*record, window.language(), report.csvSeparator)),
         report.csv, "cannot write " + QString::fromStdString(report.csv));
  }
  if (!report.png.empty()) {
    QString error;
    done(reports::render::chartToPng(*chart, {report.pngWidth, report.pngHeight},
                                     shell::pathFromUtf8(report.png), &error),
         report.png, error);
  }
  return ok ? 0 : 1;
}

}  // namespace

bool commandLineDraws(int argc, const char* const* argv) {
  bool inReport = false;  // in `report` or `check`, the commands that draw
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (!inReport) {
      if (argument == "--folder" || argument == "--port" || argument == "--language") {
        ++i;  // the option's value
      } else if (!argument.starts_with("-")) {
        if (argument == "labels") {
          return true;  // always writes a PDF
        }
        if (argument != "report" && argument != "check") {
          return false;
        }
        inReport = true;
      }
    } else if (argument == "--pdf" || argument == "--png" || argument.starts_with("--pdf=") ||
               argument.starts_with("--png=")) {
      return true;
    }
  }
  return false;
}

int reportCommand(const GlobalOptions& options, const std::string& given,
                  const ReportOptions& report) {
  const std::unique_ptr<shell::ShellContext> shell = startShell(options);
  if (!shell) {
    return 1;
  }
  const std::filesystem::path file = shell::pathFromUtf8(given);
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    fail("no such file: " + given);
    return 1;
  }
  const reports::ReportLanguage language{shell->language.texts, shell->language.messages,
                                         report.decimalSeparator.value_or(shell->decimalSeparator)};
  const record::CycleFile read = record::LeggiFile(file);
  reports::ReportWindow window(language);
  window.load(read);
  window.setRelease(archive::releaseBlockFor(shell->ProgramFolder, file, shell->language.texts));
  if (report.full && window.switchEnabled()) {
    window.pressSwitch();
  }
  // Why the report window would not show it, as its message says.
  if (const auto refused = reports::refusalMessage(
          shell::utf8ToWindows1252(shell::utf8Of(file.filename())), read, window)) {
    std::cerr << shell::windows1252ToUtf8(refused->text) << '\n';
    return 1;
  }
  if (!report.pdf.empty() || !report.csv.empty() || !report.png.empty()) {
    return exportReport(window, read, file, report);
  }
  for (const std::string& line : window.report().lines) {
    std::cout << printable(line) << '\n';
  }
  return 0;
}

}  // namespace vestrim::cli
