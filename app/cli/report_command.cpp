#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "commands.h"
#include "reports/cycle_file.h"
#include "reports/report_window.h"
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

// Why the report window would not open a file it read: "File error" for a
// bad seal and for a file it cannot read, nothing for a bad check sum or an
// empty technical report.
std::string notShowable(const reports::CycleFile& read, const std::string& file) {
  if (reports::refusalShowsFileError(read)) {
    return reports::kFileError;
  }
  return "vestrim-cli: " + file +
         (read.status == reports::CycleFileStatus::BadChecksum ? ": bad checksum"
                                                               : ": nothing to show");
}

}  // namespace

int reportCommand(const GlobalOptions& options, const std::string& file, bool full,
                  std::optional<char> decimalSeparator) {
  const std::unique_ptr<shell::ShellContext> shell = startShell(options);
  if (!shell) {
    return 1;
  }
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    fail("no such file: " + file);
    return 1;
  }
  const reports::ReportLanguage language{shell->language.texts, shell->language.messages,
                                         decimalSeparator.value_or(shell->decimalSeparator)};
  const reports::CycleFile read = reports::LeggiFile(file);
  reports::ReportWindow window(language);
  window.load(read);
  if (window.ViewFailed()) {
    std::cerr << notShowable(read, file) << '\n';
    return 1;
  }
  if (full && window.switchEnabled()) {
    window.pressSwitch();
  }
  const reports::Report& report = window.report();
  if (!report.ok()) {
    std::cerr << report.failure << '\n';
    return 1;
  }
  for (const std::string& line : report.lines) {
    std::cout << printable(line) << '\n';
  }
  return 0;
}

}  // namespace vestrim::cli
