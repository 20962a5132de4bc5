#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <iostream>

#include "commands.h"
#include "pendrive/drive_discovery.h"
#include "pendrive/pen_drive.h"
#include "pendrive/pen_drive_session.h"
#include "platform/qt/qt_drive_enumerator.h"
#include "row_table.h"
#include "save_notes.h"
#include "shell/text_encoding.h"
#include "terminal_front_end.h"

namespace vestrim::cli {
namespace {

QString pathText(const std::filesystem::path& path) {
  return QString::fromStdString(shell::genericUtf8Of(path));
}

QJsonArray textsJson(const std::vector<std::string>& texts) {
  QJsonArray array;
  for (const std::string& text : texts) {
    array.append(QString::fromStdString(text));
  }
  return array;
}

int usedPercent(const platform::DriveInfo& drive) {
  return static_cast<int>(100.0 * pendrive::driveUsedFraction(drive));
}

// The bar of a long piece of work, with what is being done above it; on a
// terminal only, so that logs and pipes get the results alone.
class ProgressLine {
 public:
  ProgressLine(TerminalView& view, const std::string& state) : view_(view) {
    if (isatty(STDERR_FILENO) != 0) {
      view_.setStatusText(1, state);
    }
    view_.setProgressVisible(true);
  }
  ~ProgressLine() { view_.setProgressVisible(false); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  pendrive::Progress progress() {
    return [this](std::size_t done, std::size_t total) {
      view_.setProgressMaximum(static_cast<std::uint32_t>(total));
      view_.setProgressValue(static_cast<std::uint32_t>(done));
    };
  }

 private:
  TerminalView& view_;
};

}  // namespace

int drivesCommand(const GlobalOptions& options) {
  const platform::QtDriveEnumerator enumerator;
  const auto drives = pendrive::FindRemovableDrives(enumerator);
  if (options.json) {
    QJsonArray array;
    for (const auto& drive : drives) {
      array.append(
          QJsonObject{{"drive", QString::fromStdString(shell::windows1252ToUtf8(drive.identity))},
                      {"root", pathText(drive.root)},
                      {"size_mb", QString::fromStdString(pendrive::driveSizeText(drive))},
                      {"used_percent", usedPercent(drive)},
                      {"total_bytes", static_cast<qint64>(drive.totalBytes)},
                      {"free_bytes", static_cast<qint64>(drive.freeBytes)}});
    }
    std::cout << QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
    return 0;
  }
  for (const auto& drive : drives) {
    std::cout << shell::windows1252ToUtf8(drive.identity) << "  " << pendrive::driveSizeText(drive)
              << " MB  " << usedPercent(drive) << "% used\n";
  }
  if (drives.empty()) {
    std::cerr << "No removable drive found.\n";
  }
  return 0;
}

int importCommand(const GlobalOptions& options, const std::string& path, bool erase) {
  const auto shell = startShell(options);
  if (!shell) {
    return 1;
  }
  TerminalView view;
  TerminalPrompts prompts(options.assumeYes, &view);
  std::filesystem::path root;
  if (!path.empty()) {
    std::error_code error;
    root = shell::pathFromUtf8(path);
    if (!std::filesystem::is_directory(root, error)) {
      fail("no such folder: " + path);
      return 2;
    }
  } else {
    const platform::QtDriveEnumerator enumerator;
    const auto drive = pendrive::discoverPenDrive(enumerator, prompts);
    if (!drive) {
      return 1;
    }
    root = drive->root;
    std::cerr << shell::windows1252ToUtf8(pendrive::connectedText(*drive)) << "  "
              << pendrive::driveSizeText(*drive) << " MB, " << usedPercent(*drive) << "% used\n";
  }

  pendrive::PenDriveCatalogue catalogue;
  {
    ProgressLine line(view, "Reading the device files");
    catalogue = pendrive::ReadPenDrive(root, line.progress());
  }
  for (const std::string& problem : catalogue.problems) {
    fail(problem);
  }
  const auto rows = pendrive::penDriveRows(catalogue.files, nullptr);
  if (!options.json) {
    // The list goes with the messages, so that standard output holds only
    // the sealed files' paths.
    printRowTable(std::cerr, rows, shell->language.texts);
  }
  std::cerr << catalogue.found.size() << " device file(s) found, " << rows.size() << " listed\n";

  pendrive::PenDriveSave saved;
  {
    ProgressLine line(view, "Saving");
    saved = pendrive::Save(catalogue.files, rows, *shell, line.progress());
  }
  if (!options.json) {
    for (const auto& file : saved.sealed) {
      std::cout << shell::genericUtf8Of(file.lexically_relative(shell->ProgramFolder)) << '\n';
    }
  }
  const transfer::SaveOutcome& outcome = saved.outcome;
  printSaveNotes(outcome);
  const std::string outcomeLine =
      shell::windows1252ToUtf8(transfer::saveOutcomeText(outcome, shell->language.texts));
  if (outcome.failed.empty()) {
    std::cerr << outcomeLine << '\n';
  } else {
    fail(outcomeLine);
  }

  int erased = 0;
  bool eraseFailed = false;
  if (erase) {
    // Only what was imported goes: a device file that could not be read or
    // saved stays on the drive, so the question has no unsaved record to name.
    const auto answer = prompts.show({.text = "Are you sure?",
                                      .title = "",
                                      .icon = platform::MessageIcon::Exclamation,
                                      .buttons = platform::MessageButtons::OkCancel});
    if (answer == platform::MessageAnswer::Ok) {
      pendrive::EraseOutcome deleted;
      {
        ProgressLine line(view, "Deleting");
        deleted = pendrive::eraseFiles(saved.imported, line.progress());
      }
      erased = deleted.erased;
      eraseFailed = static_cast<std::size_t>(erased) != saved.imported.size();
      const platform::Message told =
          pendrive::erasedMessage(deleted, saved.imported.size(), shell->language.texts);
      if (eraseFailed) {
        fail(shell::windows1252ToUtf8(told.text));
      } else {
        std::cerr << shell::windows1252ToUtf8(told.text) << '\n';
      }
    }
  }

  if (options.json) {
    QJsonArray sealed;
    for (const auto& file : saved.sealed) {
      sealed.append(pathText(file.lexically_relative(shell->ProgramFolder)));
    }
    const QJsonObject result{{"root", pathText(root)},
                             {"found", static_cast<qint64>(catalogue.found.size())},
                             {"problems", textsJson(catalogue.problems)},
                             {"rows", rowsJson(rows)},
                             {"sealed", sealed},
                             {"saved", outcome.saved},
                             {"records", outcome.records},
                             {"skipped", skippedJson(outcome)},
                             {"failed", failedJson(outcome)},
                             {"erased", erased}};
    std::cout << QJsonDocument(result).toJson(QJsonDocument::Indented).toStdString();
  }
  return outcome.failed.empty() && !eraseFailed ? 0 : 1;
}

}  // namespace vestrim::cli
