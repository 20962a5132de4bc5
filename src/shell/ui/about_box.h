#pragma once

#include <QDialog>

namespace vestrim::shell::ui {

// The About box "Info": the program's logo, its name, the version line and
// what the program is.
class AboutBox final : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace vestrim::shell::ui
