#pragma once

#include <QDialog>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/pack_label.h"
#include "reports/render/label_painter.h"
#include "shell/own_texts.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPrinter;
class QSpinBox;
class QTableWidget;

namespace vestrim::reports::ui {

// The pack labels of one released cycle: the pack kind (with its storage
// days), how many copies, the label's size, a preview of one label; Print
// (the system's print dialog: one label a page on a label printer, a grid
// on a sheet) and Save as PDF (one label a page, the page the label's size).
class LabelsDialog final : public QDialog {
  Q_OBJECT

 public:
  // Shows the dialog for the stored file `path` (below `programFolder`,
  // "/"-joined), window-modal over `parent`, and returns it; or, when the
  // cycle cannot be labelled (not released, rejected, changed since, not a
  // cycle, unreadable), shows a message box saying why and returns null.
  // Either deletes itself when closed. `texts` must outlive it.
  static LabelsDialog* open(QWidget* parent, const std::filesystem::path& programFolder,
                            const std::string& path, const shell::LanguageTexts& texts);

  // The label as it would be printed now, for the chosen kind.
  const archive::PackLabel& label() const { return label_; }
  render::LabelSize labelSize() const;
  int copies() const;

  // Writes the chosen copies into `file`; the outcome shows in the dialog
  // (and in a message box when it failed). False when nothing was written.
  bool savePdf(const std::filesystem::path& file);
  // Prints the chosen copies on `printer`; the outcome as savePdf() does.
  bool printOn(QPrinter& printer);

 private:
  LabelsDialog(QWidget* parent, std::filesystem::path programFolder, std::string path,
               archive::PackLabel label, const shell::LanguageTexts& texts);
  void fillKinds(const std::string& keep);
  // The label again for the chosen kind, from the file as it is now. False,
  // after saying why, when it can no longer be made.
  bool refreshLabel();
  void showPreview();
  void askForPdf();
  void print();
  void editKinds();
  void failed(const QString& why);

  std::filesystem::path programFolder_;
  std::string path_;
  const shell::LanguageTexts& texts_;
  archive::PackLabel label_;
  std::vector<archive::PackKind> kinds_;
  QComboBox* kind_ = nullptr;
  QSpinBox* copies_ = nullptr;
  QDoubleSpinBox* width_ = nullptr;
  QDoubleSpinBox* height_ = nullptr;
  QLabel* preview_ = nullptr;
  QLabel* status_ = nullptr;
};

// The pack kinds and their storage days, kept in the settings file: a
// table of names and days, Add and Remove. OK keeps them, or says in the
// dialog why they cannot be kept and stays open.
class PackKindsDialog final : public QDialog {
  Q_OBJECT

 public:
  PackKindsDialog(QWidget* parent, std::filesystem::path programFolder,
                  const shell::LanguageTexts& texts);

  std::vector<archive::PackKind> kinds() const;
  void accept() override;

 private:
  void addRow(const archive::PackKind& kind);

  std::filesystem::path programFolder_;
  const shell::LanguageTexts& texts_;
  QTableWidget* table_ = nullptr;
  QLabel* problem_ = nullptr;
};

}  // namespace vestrim::reports::ui
