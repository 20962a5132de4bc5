#pragma once

#include <QDialog>

#include "shell/language_dialogs.h"
#include "shell/text_table.h"

class QCheckBox;
class QComboBox;

namespace vestrim::shell::ui {

// The default-language dialog of a first start: the languages found, OK.
// OK stores the choice and opens the file manager; closing the dialog
// without a choice ends the program, which cannot go on without a language.
class DefaultLanguageWindow final : public QDialog {
  Q_OBJECT

 public:
  DefaultLanguageWindow(DefaultLanguageDialog& dialog, platform::Prompts& prompts, QWidget* parent);

 private:
  void confirm();

  DefaultLanguageDialog& dialog_;
  platform::Prompts& prompts_;
  QComboBox* languages_ = nullptr;
};

// The change-default-language dialog: "Change default language next start"
// and its check box, which takes effect (the settings file rewritten) as
// soon as the user changes it.
class NextStartLanguageWindow final : public QDialog {
  Q_OBJECT

 public:
  NextStartLanguageWindow(NextStartLanguageDialog& dialog, platform::Prompts& prompts,
                          const LanguageTexts& texts, QWidget* parent);

 protected:
  void done(int result) override;

 private:
  NextStartLanguageDialog& dialog_;
  platform::Prompts& prompts_;
  QCheckBox* askAgain_ = nullptr;
};

}  // namespace vestrim::shell::ui
