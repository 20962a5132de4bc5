#include "platform/qt/qt_prompts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/qt_text.h"

namespace vestrim::platform {
namespace {

QMessageBox::Icon iconOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Critical:
      return QMessageBox::Critical;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::Exclamation:
      return QMessageBox::Warning;
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

struct ButtonSet {
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton;
};

ButtonSet buttonsOf(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::OkCancel:
      return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok};
    case MessageButtons::YesNo:
      return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes};
    case MessageButtons::YesNoCancel:
      return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes};
    case MessageButtons::RetryCancel:
      return {QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry};
    case MessageButtons::Ok:
      break;
  }
  return {QMessageBox::Ok, QMessageBox::Ok};
}

MessageAnswer answerOf(int button) {
  switch (button) {
    case QMessageBox::Ok:
      return MessageAnswer::Ok;
    case QMessageBox::Yes:
      return MessageAnswer::Yes;
    case QMessageBox::No:
      return MessageAnswer::No;
    case QMessageBox::Retry:
      return MessageAnswer::Retry;
    default:
      return MessageAnswer::Cancel;
  }
}

}  // namespace

MessageAnswer QtPrompts::show(const Message& message) {
  const ButtonSet set = buttonsOf(message.buttons);
  QMessageBox box(iconOf(message.icon),
                  message.title.empty() ? QStringLiteral("Vestrim") : fromCore(message.title),
                  fromCore(message.text), set.buttons, parent_);
  box.setObjectName("messageBox");
  box.setDefaultButton(set.defaultButton);
  box.setWindowModality(message.systemModal ? Qt::ApplicationModal : Qt::WindowModal);
  return answerOf(box.exec());
}

std::optional<std::size_t> QtPrompts::choose(const std::string& title, const std::string& prompt,
                                             const std::vector<std::string>& options) {
  QDialog dialog(parent_);
  dialog.setObjectName("choiceBox");
  dialog.setWindowTitle(fromCore(title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(fromCore(prompt), &dialog);
  layout->addWidget(label);
  auto* buttons = new QDialogButtonBox(Qt::Vertical, &dialog);
  std::optional<std::size_t> chosen;
  for (std::size_t i = 0; i < options.size(); ++i) {
    auto* button = buttons->addButton(fromCore(options[i]), QDialogButtonBox::AcceptRole);
    button->setObjectName(QStringLiteral("choice%1").arg(i + 1));
    button->setAccessibleName(fromCore(options[i]));
    QObject::connect(button, &QPushButton::clicked, &dialog, [&chosen, &dialog, i] {
      chosen = i;
      dialog.accept();
    });
  }
  layout->addWidget(buttons);
  dialog.setWindowModality(Qt::WindowModal);
  dialog.exec();
  return chosen;
}

}  // namespace vestrim::platform
