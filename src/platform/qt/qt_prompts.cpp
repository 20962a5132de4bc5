#include "platform/qt/qt_prompts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
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

QMessageBox::StandardButton buttonOf(MessageAnswer answer) {
  switch (answer) {
    case MessageAnswer::Ok:
      return QMessageBox::Ok;
    case MessageAnswer::Yes:
      return QMessageBox::Yes;
    case MessageAnswer::No:
      return QMessageBox::No;
    case MessageAnswer::Retry:
      return QMessageBox::Retry;
    case MessageAnswer::Cancel:
      break;
  }
  return QMessageBox::Cancel;
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
  QMessageBox box(
      iconOf(message.icon),
      message.title.empty() ? QGuiApplication::applicationDisplayName() : fromCore(message.title),
      fromCore(message.text), set.buttons, parent_);
  box.setObjectName("messageBox");
  box.setDefaultButton(message.defaultAnswer ? buttonOf(*message.defaultAnswer)
                                             : set.defaultButton);
  box.setWindowModality(message.systemModal ? Qt::ApplicationModal : Qt::WindowModal);
  return answerOf(box.exec());
}

std::optional<std::size_t> QtPrompts::choose(const std::string& title, const std::string& prompt,
                                             const std::vector<std::string>& options) {
  QDialog dialog(parent_);
  dialog.setObjectName("choiceBox");
  dialog.setWindowTitle(fromCore(title));
  auto* icon = new QLabel(&dialog);
  icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(40, 40));
  auto* heading = new QLabel(fromCore(title), &dialog);
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  auto* label = new QLabel(fromCore(prompt), &dialog);
  auto* texts = new QVBoxLayout;
  texts->addWidget(heading);
  texts->addWidget(label);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addLayout(texts, 1);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(top);
  std::optional<std::size_t> chosen;
  for (std::size_t i = 0; i < options.size(); ++i) {
    auto* button = new QPushButton(dialog.style()->standardIcon(QStyle::SP_DriveHDIcon),
                                   fromCore(options[i]), &dialog);
    button->setObjectName(QStringLiteral("choice%1").arg(i + 1));
    button->setAccessibleName(fromCore(options[i]));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setAutoDefault(i == 0);
    QObject::connect(button, &QPushButton::clicked, &dialog, [&chosen, &dialog, i] {
      chosen = i;
      dialog.accept();
    });
    layout->addWidget(button);
  }
  // Closing the box chooses nothing; Cancel says so for the keyboard.
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("choiceCancel");
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addSpacing(6);
  layout->addWidget(buttons);
  dialog.setMinimumWidth(320);
  dialog.setWindowModality(Qt::WindowModal);
  dialog.exec();
  return chosen;
}

}  // namespace vestrim::platform
