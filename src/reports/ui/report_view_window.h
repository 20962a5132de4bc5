#pragma once

#include <QWidget>
#include <filesystem>

#include "platform/prompts.h"
#include "reports/report_window.h"

class QPrinter;
class QPushButton;
class QTreeView;

namespace vestrim::reports::ui {

class ReportLinesModel;

// The report window: one stored file's report, one report line per row in
// a fixed-pitch font; Print, the compact/full switch and Exit. What is shown
// and which button is enabled come from the core's ReportWindow.
class ReportViewWindow final : public QWidget {
  Q_OBJECT

 public:
  ReportViewWindow(const ReportLanguage& language, platform::Prompts& prompts,
                   QWidget* parent = nullptr);
  ~ReportViewWindow() override;

  // Reads and shows `file`. False when the file cannot be shown ("File
  // error" for a bad seal or an unreadable file, nothing for a bad check
  // sum): the caller closes the window. A report that cannot be built shows
  // "File error" and leaves the window hidden.
  bool load(const std::filesystem::path& file);
  QSize sizeHint() const override;
  const ReportWindow& core() const { return window_; }
  const std::filesystem::path& file() const { return file_; }
  // Paints the print job of the report on show on `printer`.
  void printOn(QPrinter& printer) const;

 signals:
  // The window asks to be hidden (a report that failed) or closed (Exit).
  void hideRequested();
  void closeRequested();

 private:
  void showReport();
  void updateControls();
  void print();
  void preview();

  ReportWindow window_;
  platform::Prompts& prompts_;
  std::filesystem::path file_;
  ReportLinesModel* model_ = nullptr;
  QTreeView* lines_ = nullptr;
  QPushButton* print_ = nullptr;
  QPushButton* preview_ = nullptr;
  QPushButton* switch_ = nullptr;
  QPushButton* exit_ = nullptr;
};

}  // namespace vestrim::reports::ui
