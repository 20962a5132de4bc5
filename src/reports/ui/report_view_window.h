#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "platform/prompts.h"
#include "reports/cycle_chart_data.h"
#include "reports/report_window.h"
#include "shell/ui/child_menus.h"

class QCheckBox;
class QPrinter;
class QPushButton;
class QSplitter;
class QTreeView;

namespace vestrim::reports::ui {

class ReportLinesModel;
class CycleChartView;

// The report window: one stored file's report, one report line per row in
// a fixed-pitch font, the cycle chart under it (it can be hidden); Print
// (with the chart on a last page when asked), Preview, the compact/full
// switch, Export PDF, Export CSV and Exit. What is shown and which button
// is enabled come from the core's ReportWindow.
class ReportViewWindow final : public QWidget, public shell::ui::ChildMenus {
  Q_OBJECT

 public:
  // `programFolder`: the archive whose journal holds the releases shown.
  ReportViewWindow(const ReportLanguage& language, platform::Prompts& prompts,
                   std::filesystem::path programFolder, QWidget* parent = nullptr);
  ~ReportViewWindow() override;

  // Reads and shows `file`. False, after a message saying why, when the
  // file cannot be shown; the report on show before (if any) stays.
  bool load(const std::filesystem::path& file);
  QSize sizeHint() const override;
  // No menus of its own; Ctrl+P prints the report on show.
  QList<QAction*> menuBarActions() const override { return {}; }
  QAction* standardAction(shell::ui::StandardCommand command) const override {
    return command == shell::ui::StandardCommand::Print ? printAction_ : nullptr;
  }
  const ReportWindow& core() const { return *window_; }
  const std::filesystem::path& file() const { return file_; }
  // Paints the print job of the report on show on `printer`, and the chart
  // after it when "Chart on print and PDF" is ticked: on the printer's paper
  // and orientation with the report's margins, paged as Export PDF pages it.
  void printOn(QPrinter& printer) const;
  // The report on show as PDF/A-1b and the samples as CSV, as the export
  // buttons write them after their file dialogs. False after telling the
  // user, when the file cannot be written; otherwise statusMessage says
  // where it went.
  bool exportPdf(const std::filesystem::path& target);
  bool exportCsv(const std::filesystem::path& target);

 signals:
  // The window asks to be closed (Exit).
  void closeRequested();
  // What was done, for the status bar ("Exported ...").
  void statusMessage(const QString& text);
  // A release of the cycle on show was recorded.
  void releaseRecorded();

 public:
  // Release… and Labels…, as their buttons open them.
  void openRelease();
  void openLabels();

 private:
  void updateControls();
  // The release block in place of the signature, from the journal now.
  void showRelease();
  // The name of the file on show, as message texts hold it.
  std::string fileName() const;
  void print();
  void preview();
  // A file dialog for saving, opened beside the window; `chosen` runs with
  // the file the user picks.
  void askForFile(const char* name, const QString& caption, const QString& suffix,
                  std::function<void(const std::filesystem::path&)> chosen);
  const CycleChart* printedChart() const;
  bool written(bool ok, const std::filesystem::path& target, const QString& why);

  std::unique_ptr<ReportWindow> window_;
  platform::Prompts& prompts_;
  std::filesystem::path programFolder_;
  std::optional<std::string> archivePath_;  // the file below the program folder
  bool released_ = false;                   // its last release holds: released
  std::filesystem::path file_;
  record::CycleFile read_;
  std::string sha256_;
  std::optional<CycleChart> chart_;
  ReportLinesModel* model_ = nullptr;
  QTreeView* lines_ = nullptr;
  QSplitter* splitter_ = nullptr;
  CycleChartView* chartView_ = nullptr;
  QPushButton* print_ = nullptr;
  QPushButton* preview_ = nullptr;
  QCheckBox* printChart_ = nullptr;
  QPushButton* switch_ = nullptr;
  QPushButton* showChart_ = nullptr;
  QPushButton* exportPdf_ = nullptr;
  QPushButton* exportCsv_ = nullptr;
  QPushButton* release_ = nullptr;
  QPushButton* labels_ = nullptr;
  QPushButton* exit_ = nullptr;
  QAction* printAction_ = nullptr;
};

}  // namespace vestrim::reports::ui
