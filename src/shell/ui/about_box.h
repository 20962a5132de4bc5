#pragma once

#include <QDialog>

#include "shell/text_table.h"

namespace vestrim::shell::ui {

// The About box "Info": the program's logo, its name, the version line and
// what the program is.
class AboutBox final : public QDialog {
  Q_OBJECT

 public:
  // `texts`: the language in use.
  explicit AboutBox(const LanguageTexts& texts, QWidget* parent = nullptr);
};

}  // namespace vestrim::shell::ui
