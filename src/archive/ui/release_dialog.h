#pragma once

#include <QDialog>
#include <filesystem>
#include <optional>
#include <string>

#include "archive/release.h"
#include "shell/text_table.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vestrim::archive::ui {

// The release of one stored cycle: operator and PIN, released or rejected,
// the chemical indicators and a note; the vacuum test's outcome is read
// from the record. What the file allows comes from releaseChoice; the PIN
// is checked against the operators' book, and the release is appended to
// the archive journal only then. A wrong PIN keeps the dialog open.
class ReleaseDialog final : public QDialog {
  Q_OBJECT

 public:
  // `path` is the stored file below `programFolder`, "/"-joined.
  ReleaseDialog(std::filesystem::path programFolder, std::string path,
                const shell::LanguageTexts& texts, QWidget* parent = nullptr);

  // The operator chosen at the last release, chosen again at the next.
  static QString& lastOperator();

 signals:
  // The release was recorded; the dialog closes.
  void recorded(const vestrim::archive::Release& release);

 private:
  void loadOperators();
  void record();
  void showProblem(const QString& text);

  std::filesystem::path programFolder_;
  std::string path_;
  const shell::LanguageTexts& texts_;
  ReleaseChoice choice_;
  QComboBox* operator_ = nullptr;
  QLineEdit* pin_ = nullptr;
  QRadioButton* released_ = nullptr;
  QRadioButton* rejected_ = nullptr;
  QComboBox* indicator_ = nullptr;
  QLineEdit* note_ = nullptr;
  QLabel* problem_ = nullptr;
  QPushButton* record_ = nullptr;
};

}  // namespace vestrim::archive::ui
