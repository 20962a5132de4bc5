#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <iostream>
#include <regex>

#include "archive/archive_check.h"
#include "archive/search_index.h"
#include "commands.h"
#include "platform/qt/qt_program_places.h"
#include "reports/print_layout.h"
#include "reports/render/print_painter.h"
#include "shell/text_encoding.h"
#include "terminal_front_end.h"

namespace vestrim::cli {
namespace {

QString utf8(const std::string& text) {
  return QString::fromStdString(text);
}

QString core(const std::string& text) {
  return QString::fromStdString(shell::windows1252ToUtf8(text));
}

std::optional<archive::ArchiveCheck> runCheck(const std::filesystem::path& folder) {
  TerminalView view;
  view.setProgressVisible(true);
  auto check = archive::checkArchive(folder, [&](std::size_t done, std::size_t total) {
    view.setProgressMaximum(static_cast<std::uint32_t>(total));
    view.setProgressValue(static_cast<std::uint32_t>(done));
    return true;
  });
  view.setProgressVisible(false);
  return check;
}

QJsonObject checkJson(const archive::ArchiveCheck& check) {
  QJsonObject counts;
  for (std::size_t state = 0; state < archive::kFileStates; ++state) {
    counts.insert(utf8(archive::stateText(static_cast<archive::FileState>(state))),
                  static_cast<qint64>(check.counts[state]));
  }
  QJsonArray files;
  for (const archive::CheckedFile& file : check.files) {
    files.append(QJsonObject{{"path", utf8(file.path)},
                             {"state", utf8(archive::stateText(file.state))},
                             {"detail", utf8(file.detail)}});
  }
  QJsonArray problems;
  for (const archive::JournalProblem& problem : check.journalProblems) {
    problems.append(
        QJsonObject{{"line", static_cast<qint64>(problem.line)}, {"text", utf8(problem.text)}});
  }
  QJsonArray gaps;
  for (const archive::CycleGap& gap : check.gaps) {
    gaps.append(
        QJsonObject{{"serial", core(gap.serial)}, {"first", gap.first}, {"last", gap.last}});
  }
  QJsonArray releases;
  for (const archive::CheckedRelease& checked : check.releases) {
    const archive::Release& release = checked.release;
    releases.append(QJsonObject{{"entry", static_cast<qint64>(release.sequence)},
                                {"line", static_cast<qint64>(release.line)},
                                {"path", utf8(release.path)},
                                {"utc", utf8(release.utc)},
                                {"operator", core(release.operatorInitials)},
                                {"result", utf8(archive::resultWord(release.result))},
                                {"indicator", utf8(archive::indicatorWord(release.indicator))},
                                {"vacuum_test", utf8(archive::testWord(release.vacuumTest))},
                                {"note", core(release.note)},
                                {"holds", checked.problem.empty()},
                                {"problem", core(checked.problem)}});
  }
  return {{"folder", utf8(shell::utf8Of(check.programFolder))},
          {"passed", check.passed()},
          {"counts", counts},
          {"files", files},
          {"journal", QJsonObject{{"exists", check.journalExists},
                                  {"readable", check.journalReadable},
                                  {"entries", static_cast<qint64>(check.journalEntries)},
                                  {"problems", problems}}},
          {"gaps", gaps},
          {"releases", releases},
          {"fingerprint", utf8(check.fingerprint)}};
}

QJsonArray textsJson(const std::vector<std::string>& texts) {
  QJsonArray array;
  for (const std::string& text : texts) {
    array.append(utf8(text));
  }
  return array;
}

bool isDate(const std::string& text) {
  static const std::regex date(R"(\d{4}-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01]))");
  return std::regex_match(text, date);
}

}  // namespace

int checkCommand(const GlobalOptions& options, const std::string& pdf, bool restoreTimes) {
  const std::optional<std::filesystem::path> folder = programFolderOnly(options);
  if (!folder) {
    return 2;
  }
  std::optional<archive::ArchiveCheck> check = runCheck(*folder);
  archive::RestoreResult restored;
  if (restoreTimes) {
    restored = archive::restoreFileTimes(*check);
    for (const std::string& failed : restored.failed) {
      fail("time not restored: " + failed);
    }
    std::cerr << "the times of " << restored.restored.size() << " file(s) restored\n";
    // What the archive is now, after the times came back.
    check = runCheck(*folder);
  }
  const std::vector<std::string> lines = archive::checkReportLines(*check);
  if (options.json) {
    QJsonObject result = checkJson(*check);
    if (restoreTimes) {
      result.insert("restored", textsJson(restored.restored));
      result.insert("not_restored", textsJson(restored.failed));
    }
    std::cout << QJsonDocument(result).toJson(QJsonDocument::Indented).toStdString();
  } else {
    for (const std::string& line : lines) {
      std::cout << shell::windows1252ToUtf8(line) << '\n';
    }
  }
  if (!pdf.empty()) {
    reports::PrintJob job;
    for (const std::string& line : lines) {
      job.pairs.push_back({line.empty() ? " " : line, reports::kPrintColumn});
    }
    QString error;
    if (!reports::render::printJobToPdf(job, shell::pathFromUtf8(pdf),
                                        QStringLiteral("Archive check"), &error)) {
      fail(error.toStdString());
      return 1;
    }
  }
  return check->passed() ? 0 : 1;
}

int listCommand(const GlobalOptions& options, const archive::SearchFilter& filter) {
  for (const std::string* date : {&filter.from, &filter.to}) {
    if (!date->empty() && !isDate(*date)) {
      fail("not a date (YYYY-MM-DD): " + *date);
      return 2;
    }
  }
  const std::optional<std::filesystem::path> folder = programFolderOnly(options);
  if (!folder) {
    return 2;
  }
  std::string error;
  const auto index = archive::SearchIndex::open(
      archive::SearchIndex::indexFile(platform::qtCacheFolder(), *folder), *folder, error);
  if (!index || !index->refresh(error)) {
    fail(error);
    return 1;
  }
  const std::vector<archive::IndexedCycle> found = index->search(filter, error);
  if (!error.empty()) {
    fail(error);
    return 1;
  }
  if (options.json) {
    QJsonArray rows;
    for (const archive::IndexedCycle& cycle : found) {
      rows.append(QJsonObject{{"file", utf8(cycle.path)},
                              {"serial", core(cycle.serial)},
                              {"cycle", cycle.cycleNumber},
                              {"program", core(cycle.program)},
                              {"start", utf8(cycle.start)},
                              {"end", utf8(cycle.end)},
                              {"alarm", cycle.alarmCode},
                              {"result", cycle.result},
                              {"samples", cycle.samples},
                              {"release", utf8(archive::stateWord(cycle.release))}});
    }
    std::cout << QJsonDocument(rows).toJson(QJsonDocument::Indented).toStdString();
    return 0;
  }
  char line[512];
  std::snprintf(line, sizeof line, "%-16s  %-16s  %-10s  %7s  %-20s  %-8s  %7s  %-10s  %s", "Start",
                "End", "Serial", "Cycle", "Program", "Result", "Samples", "Release", "File");
  std::cout << line << '\n';
  for (const archive::IndexedCycle& cycle : found) {
    const std::string result =
        cycle.alarmCode == 0 ? "passed" : "alarm " + std::to_string(cycle.alarmCode);
    const std::string release = cycle.release == archive::ReleaseState::Changed
                                    ? "changed"
                                    : archive::stateWord(cycle.release);
    std::snprintf(line, sizeof line, "%-16s  %-16s  %-10s  %7d  %-20s  %-8s  %7d  %-10s  ",
                  cycle.start.c_str(), cycle.end.c_str(), cycle.serial.c_str(), cycle.cycleNumber,
                  cycle.program.c_str(), result.c_str(), cycle.samples, release.c_str());
    std::cout << shell::windows1252ToUtf8(line) << cycle.path << '\n';
  }
  std::cerr << found.size() << " cycle(s)\n";
  return 0;
}

}  // namespace vestrim::cli
