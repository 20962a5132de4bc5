#pragma once

#include <QDialog>
#include <filesystem>

#include "shell/text_table.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace vestrim::archive::ui {

// The operators who release cycles (File > Operators…): the list, Add
// (initials, name, the PIN twice) and Remove (after a question whose
// default is No). Every change is written to the program folder at once; a
// failure says why and changes nothing.
class OperatorsDialog final : public QDialog {
  Q_OBJECT

 public:
  OperatorsDialog(std::filesystem::path programFolder, const shell::LanguageTexts& texts,
                  QWidget* parent = nullptr);

 private:
  void fill();
  void add();
  void remove();
  void showProblem(const QString& text);

  std::filesystem::path programFolder_;
  const shell::LanguageTexts& texts_;
  QTreeWidget* list_ = nullptr;
  QLabel* problem_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
};

}  // namespace vestrim::archive::ui
