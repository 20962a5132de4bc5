#include "shell/ui/language_windows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/qt_text.h"
#include "shell/own_texts.h"
#include "shell/ui/icons.h"

namespace vestrim::shell::ui {
namespace {

using platform::fromCore;

constexpr std::size_t kOkCaption = 362;  // "OK"

// In the language in use; at the first start, before one is chosen, English.
platform::Message notStoredMessage(const LanguageTexts& texts = englishOnly()) {
  return {.text = ownText(texts, Text::SettingsNotWritten),
          .title = {},
          .icon = platform::MessageIcon::Exclamation,
          .buttons = platform::MessageButtons::Ok};
}

}  // namespace

DefaultLanguageWindow::DefaultLanguageWindow(DefaultLanguageDialog& dialog,
                                             platform::Prompts& prompts, QWidget* parent)
    : QDialog(parent), dialog_(dialog), prompts_(prompts) {
  setObjectName("frmSelDefLan");
  setWindowTitle(QGuiApplication::applicationDisplayName());
  setWindowIcon(icon("language"));
  auto* frame = new QGroupBox(QStringLiteral("Select default language"), this);
  languages_ = new QComboBox(frame);
  languages_->setObjectName("Combo1");
  languages_->setAccessibleName(QStringLiteral("Default language"));
  languages_->setMinimumWidth(220);
  for (const std::string& name : dialog_.languages()) {
    languages_->addItem(fromCore(name));
  }
  languages_->setCurrentText(fromCore(dialog_.shown()));
  connect(languages_, &QComboBox::currentTextChanged, this,
          [this](const QString& name) { dialog_.choose(platform::toCore(name)); });
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->addWidget(languages_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setObjectName("Command1");
  ok->setAccessibleName(QStringLiteral("OK"));
  connect(buttons, &QDialogButtonBox::accepted, this, &DefaultLanguageWindow::confirm);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(buttons);
  setAttribute(Qt::WA_DeleteOnClose);
}

void DefaultLanguageWindow::confirm() {
  // Closed first: confirming opens the file manager, which takes the focus.
  hide();
  if (!dialog_.confirm()) {
    prompts_.show(notStoredMessage());
  }
  accept();
}

NextStartLanguageWindow::NextStartLanguageWindow(NextStartLanguageDialog& dialog,
                                                 platform::Prompts& prompts,
                                                 const LanguageTexts& texts, QWidget* parent)
    : QDialog(parent), dialog_(dialog), prompts_(prompts) {
  const std::string& okCaption = texts[kOkCaption];
  setObjectName("frmSiDefault");
  setWindowTitle(QGuiApplication::applicationDisplayName());
  setWindowIcon(icon("language"));
  dialog_.load();
  auto* label = new QLabel(QStringLiteral("Change default language next start"), this);
  askAgain_ = new QCheckBox(label->text(), this);
  askAgain_->setObjectName("Check1");
  askAgain_->setAccessibleName(label->text());
  label->hide();
  askAgain_->setChecked(dialog_.askAgain());
  // Only the user's own changes rewrite the settings file.
  connect(askAgain_, &QCheckBox::toggled, this, [this, &texts](bool ticked) {
    if (!dialog_.setAskAgain(ticked)) {
      prompts_.show(notStoredMessage(texts));
    }
  });
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(fromCore(okCaption), QDialogButtonBox::AcceptRole);
  ok->setObjectName("Command1");
  ok->setAccessibleName(fromCore(okCaption));
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(askAgain_);
  layout->addWidget(buttons);
  setAttribute(Qt::WA_DeleteOnClose);
}

void NextStartLanguageWindow::done(int result) {
  dialog_.close();
  QDialog::done(result);
}

}  // namespace vestrim::shell::ui
