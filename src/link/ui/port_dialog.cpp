#include "link/ui/port_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "link/port_discovery.h"
#include "platform/qt/qt_text.h"
#include "shell/ui/icons.h"

namespace vestrim::link::ui {

using platform::fromCore;

PortDialog::PortDialog(const platform::PortEnumerator& ports, QWidget* parent)
    : QDialog(parent), ports_(ports) {
  setObjectName("FrmSelSer");
  setWindowTitle(QGuiApplication::applicationDisplayName());
  setWindowIcon(shell::ui::icon("connect"));
  setModal(false);

  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(40, 40));
  auto* explanation = new QLabel(fromCore(platform::kPortDialogExplanation), this);
  explanation->setObjectName("explanation");
  explanation->setWordWrap(true);
  explanation->setMinimumWidth(380);
  problem_ = new QLabel(this);
  problem_->setObjectName("portProblem");
  problem_->setWordWrap(true);
  // The fix it may name (a command to run) can be copied from it.
  problem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont bold = problem_->font();
  bold.setBold(true);
  problem_->setFont(bold);

  choices_ = new QComboBox(this);
  choices_->setObjectName("Combo1");
  choices_->setEditable(true);
  choices_->setMinimumWidth(320);
  auto* prompt = new QLabel(fromCore(platform::kPortDialogPrompt), this);
  prompt->setBuddy(choices_);
  choices_->setAccessibleName(prompt->text());
  for (QLabel* label : {explanation, problem_}) {
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("OKButton");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("CancelButton");
  connect(buttons, &QDialogButtonBox::accepted, this, &PortDialog::ok);
  connect(buttons, &QDialogButtonBox::rejected, this, [this] {
    if (connection_) {
      connection_->portDialogCancel();
    }
    hide();
  });

  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  auto* texts = new QVBoxLayout;
  texts->addWidget(explanation);
  texts->addWidget(problem_);
  top->addLayout(texts, 1);
  auto* form = new QFormLayout;
  form->addRow(prompt, choices_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

void PortDialog::showPortDialog(const std::vector<std::string>& choices, const std::string& text) {
  choices_->clear();
  for (const std::string& name : choices) {
    choices_->addItem(fromCore(portDialogEntry(name, ports_)), QString::fromStdString(name));
  }
  const int found = choices_->findData(QString::fromStdString(text));
  if (found >= 0) {
    choices_->setCurrentIndex(found);
  } else {
    choices_->setEditText(fromCore(text));
  }
  const std::string problem = connection_ ? connection_->portProblem() : std::string();
  problem_->setText(fromCore(problem));
  problem_->setVisible(!problem.empty());
  show();
  raise();
  activateWindow();
}

void PortDialog::hidePortDialog() {
  hide();
}

void PortDialog::ok() {
  // A listed port by its name; a typed one as it stands.
  const int index = choices_->currentIndex();
  const QString typed = choices_->currentText();
  const QString name = index >= 0 && choices_->itemText(index) == typed
                           ? choices_->itemData(index).toString()
                           : typed.trimmed();
  hide();
  if (connection_) {
    connection_->portDialogOk(platform::toCore(name));
  }
}

}  // namespace vestrim::link::ui
