#pragma once

#include <QWidget>
#include <atomic>
#include <filesystem>
#include <optional>

#include "archive/archive_check.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;
class QTreeWidget;

namespace vestrim::archive::ui {

// The archive check's window: the check runs in a worker thread that
// reports its progress through queued calls, so the window repaints and
// answers while it runs; then the counts of each file state, every file
// that is not intact, the journal's problems, the gaps in the cycle
// numbers, and the fingerprint. "Restore file times" puts back the times
// of the files copied without them and checks again.
class ArchiveCheckWindow final : public QWidget {
  Q_OBJECT

 public:
  // `texts`: the language in use; they outlive the window.
  ArchiveCheckWindow(std::filesystem::path programFolder, const shell::LanguageTexts& texts,
                     QWidget* parent = nullptr);
  // Stops a check that is running and waits for its thread.
  ~ArchiveCheckWindow() override;

  // Runs the check (again); nothing while one runs.
  void start();
  bool running() const { return worker_ != nullptr; }
  const std::optional<ArchiveCheck>& result() const { return result_; }
  // Writes the result's lines into a PDF file; false with `error` set.
  bool savePdf(const std::filesystem::path& file, QString* error);

 signals:
  void checkFinished();

 private:
  // Runs the check in the worker, the restore of the times first when
  // `restore` holds the check to restore from.
  void run(std::optional<ArchiveCheck> restore);
  void showProgress(std::size_t done, std::size_t total);
  void showResult(const ArchiveCheck& check, const std::optional<RestoreResult>& restored);
  void askForPdf();

  std::filesystem::path programFolder_;
  const shell::LanguageTexts& texts_;
  QThread* worker_ = nullptr;
  std::atomic<bool> cancelled_{false};
  std::optional<ArchiveCheck> result_;

  QLabel* heading_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* counts_ = nullptr;
  QTreeWidget* findings_ = nullptr;
  QLineEdit* fingerprint_ = nullptr;
  QPushButton* restore_ = nullptr;
  QPushButton* pdf_ = nullptr;
  QPushButton* again_ = nullptr;
};

}  // namespace vestrim::archive::ui
