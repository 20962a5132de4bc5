#include "report_fuzz_entry.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "record/cycle_file.h"
#include "reports/cycle_chart_data.h"
#include "reports/cycle_csv.h"
#include "reports/cycle_record.h"
#include "reports/cycle_reports.h"
#include "reports/print_layout.h"
#include "reports/report_window.h"
#include "reports/technical_view.h"
#include "shell/language_files.h"

namespace vestrim::fuzz {
namespace {

struct Language {
  Language() {
    const std::filesystem::path file = std::filesystem::path(VESTRIM_LANG_DIR) / "English.lng";
    if (!shell::LoadLanguageTexts(file, texts) || !shell::LoadLanguageMessages(file, messages)) {
      std::abort();  // the harness is built wrong, not the code under test
    }
  }
  shell::LanguageTexts texts;
  shell::LanguageMessages messages;
};

const Language& english() {
  static const Language language;
  return language;
}

// The modification time a seal stands for, so that sealed inputs pass the
// seal check: D = ddmmyy and T = hhmmss lie at D1 T6 D2 T5 D3 T4 D4 T3 D5 T2
// D6 T1. Digits that are not digits give times that never match.
shell::LocalTime timeOfSeal(const Bytes& stored) {
  const auto digit = [&](std::size_t i) {
    return i < stored.size() ? static_cast<int>(stored[i]) - '0' : 0;
  };
  const auto pair = [&](std::size_t tens, std::size_t units) {
    return digit(tens) * 10 + digit(units);
  };
  return {2000 + pair(8, 10), pair(4, 6), pair(0, 2), pair(11, 9), pair(7, 5), pair(3, 1)};
}

// The same file with its check sum made right, so that mutated records
// reach the report window's choice as often as the seal allows.
Bytes withGoodChecksum(Bytes stored) {
  if (stored.size() < record::kMinimumFileLength) {
    return stored;
  }
  unsigned sum = 0;
  for (std::size_t i = 13; i + 1 < stored.size(); ++i) {
    sum += stored[i];
  }
  stored[12] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
  stored.back() = static_cast<std::uint8_t>(sum & 0xFF);
  return stored;
}

void expectContract(const reports::Report& report) {
  if (!report.ok() && (!report.lines.empty() || report.failure != reports::kFileError)) {
    std::abort();
  }
}

void printAll(const reports::Report& report, char separator) {
  expectContract(report);
  const reports::PrintJob job = reports::printJob(report.lines, separator);
  if (job.pairs.size() != report.lines.size()) {
    std::abort();
  }
  reports::printedLines(job);
}

void runWindow(const record::CycleFile& file, const reports::ReportLanguage& language) {
  reports::ReportWindow window(language);
  window.load(file);
  printAll(window.report(), language.decimalSeparator);
  window.pressSwitch();
  printAll(window.report(), language.decimalSeparator);
  window.pressSwitch();
  expectContract(window.report());
  reports::printedLines(window.print());
  if (const auto record = window.record()) {
    reports::cycleChart(*record, language);
    reports::cycleCsv(*record, language);
  }
}

}  // namespace

int runReports(const std::uint8_t* data, std::size_t size) {
  const Language& words = english();
  const Bytes stored(data, data + size);

  const record::CycleFile sealed = record::readCycleFile(stored, timeOfSeal(stored));
  const record::CycleFile other = record::readCycleFile(stored, {2025, 3, 14, 10, 15, 30});
  const Bytes repaired = withGoodChecksum(stored);
  const record::CycleFile checked = record::readCycleFile(repaired, timeOfSeal(repaired));
  if (!sealed.showable() && !sealed.CycleData.empty()) {
    std::abort();
  }

  // The builders themselves, on whatever the file holds, checked or not.
  const std::string bytes(stored.begin(), stored.end());
  const std::string DeviceHeader = bytes.substr(0, 89).substr(std::min<std::size_t>(13, size));
  const std::string CycleData = size > 90 ? bytes.substr(89, size - 90) : std::string();
  reports::decodeCycleRecord(DeviceHeader, CycleData);

  for (const char separator : {',', '.'}) {
    const reports::ReportLanguage language{words.texts, words.messages, separator};
    runWindow(sealed, language);
    runWindow(other, language);
    runWindow(checked, language);
    printAll(reports::FullView(DeviceHeader, CycleData, false, language), separator);
    printAll(reports::FullView(DeviceHeader, CycleData, true, language), separator);
    printAll(reports::LittleView(DeviceHeader, CycleData, language), separator);
    printAll(reports::VacumTestFullView(DeviceHeader, CycleData, language), separator);
    printAll(reports::VacumTestLittleView(DeviceHeader, CycleData, language), separator);
  }
  printAll(reports::TechnicalView(size > record::kTechnicalReportBody
                                      ? bytes.substr(record::kTechnicalReportBody)
                                      : std::string()),
           ',');
  return 0;
}

}  // namespace vestrim::fuzz
