#include "archive/ui/operators_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "archive/operators.h"
#include "archive/ui/release_fields.h"
#include "shell/ui/captions.h"
#include "shell/ui/icons.h"

namespace vestrim::archive::ui {
namespace {

using platform::fromCore;
using platform::toCore;
using shell::Text;
using shell::ui::own;

// The new operator's fields; the book checks them when it is added.
class NewOperatorDialog final : public QDialog {
 public:
  NewOperatorDialog(const shell::LanguageTexts& texts, QWidget* parent) : QDialog(parent) {
    setObjectName("newOperatorDialog");
    setWindowTitle(own(texts, Text::OperatorAddTitle));
    initials = new QLineEdit(this);
    initials->setObjectName("operatorInitials");
    initials->setMaxLength(4);
    initials->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[A-Za-z0-9]{0,4}")), initials));
    name = new QLineEdit(this);
    name->setObjectName("operatorName");
    name->setMaxLength(60);
    name->setMinimumWidth(name->fontMetrics().horizontalAdvance(QString(30, QLatin1Char('x'))));
    pin = pinField("operatorPin", this);
    again = pinField("operatorPinAgain", this);
    auto* form = new QFormLayout;
    const auto row = [&](Text label, QLineEdit* field) {
      form->addRow(formLabel(own(texts, label), field, this), field);
    };
    row(Text::OperatorInitialsLabel, initials);
    row(Text::OperatorNameLabel, name);
    row(Text::ReleasePinLabel, pin);
    row(Text::OperatorPinAgainLabel, again);
    problem = problemLine("newOperatorProblem", this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
  }

  void say(const QString& text) {
    problem->setText(text);
    problem->show();
  }

  QLineEdit* initials;
  QLineEdit* name;
  QLineEdit* pin;
  QLineEdit* again;
  QLabel* problem;
};

}  // namespace

OperatorsDialog::OperatorsDialog(std::filesystem::path programFolder,
                                 const shell::LanguageTexts& texts, QWidget* parent)
    : QDialog(parent), programFolder_(std::move(programFolder)), texts_(texts) {
  setObjectName("operatorsDialog");
  setWindowTitle(own(texts, Text::OperatorsTitle));
  setWindowIcon(shell::ui::icon("operators"));
  list_ = new QTreeWidget(this);
  list_->setObjectName("operatorsList");
  list_->setAccessibleName(own(texts, Text::OperatorsList));
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({own(texts, Text::ColumnInitials), own(texts, Text::ColumnName)});
  list_->header()->setStretchLastSection(true);
  list_->setMinimumSize(360, 220);
  problem_ = problemLine("operatorsProblem", this);
  add_ = new QPushButton(shell::ui::icon("operators"), own(texts, Text::OperatorAdd), this);
  add_->setObjectName("operatorAdd");
  remove_ = new QPushButton(shell::ui::icon("delete"), own(texts, Text::OperatorRemove), this);
  remove_->setObjectName("operatorRemove");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(add_, &QPushButton::clicked, this, &OperatorsDialog::add);
  connect(remove_, &QPushButton::clicked, this, &OperatorsDialog::remove);
  connect(list_, &QTreeWidget::currentItemChanged, this,
          [this] { remove_->setEnabled(list_->currentItem() != nullptr); });

  auto* side = new QVBoxLayout;
  side->addWidget(add_);
  side->addWidget(remove_);
  side->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(list_, 1);
  top->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(problem_);
  layout->addWidget(buttons);
  fill();
}

void OperatorsDialog::showProblem(const QString& text) {
  showProblemLine(problem_, text);
}

void OperatorsDialog::fill() {
  std::string error;
  const std::optional<OperatorBook> book = OperatorBook::load(programFolder_, error);
  list_->clear();
  if (!book) {
    showProblem(QString::fromStdString(error));
    add_->setEnabled(false);
    remove_->setEnabled(false);
    return;
  }
  for (const Operator& person : book->operators()) {
    auto* item = new QTreeWidgetItem(list_, {fromCore(person.initials), fromCore(person.name)});
    item->setData(0, Qt::UserRole, QString::fromStdString(person.initials));
  }
  list_->setCurrentItem(list_->topLevelItem(0));
  remove_->setEnabled(list_->currentItem() != nullptr);
}

void OperatorsDialog::add() {
  NewOperatorDialog dialog(texts_, this);
  // The PIN fields are asked again until the book takes the operator or
  // the user cancels.
  while (dialog.exec() == QDialog::Accepted) {
    if (dialog.pin->text() != dialog.again->text()) {
      dialog.say(own(texts_, Text::PinsDiffer));
      dialog.again->clear();
      dialog.again->setFocus();
      continue;
    }
    std::string error;
    std::optional<OperatorBook> book = OperatorBook::load(programFolder_, error);
    if (book &&
        book->add(toCore(dialog.initials->text()), toCore(dialog.name->text()),
                  dialog.pin->text().toStdString(), error, texts_) &&
        book->save(error)) {
      showProblem(QString());
      fill();
      return;
    }
    dialog.say(fromCore(error));
  }
}

void OperatorsDialog::remove() {
  const QTreeWidgetItem* item = list_->currentItem();
  if (item == nullptr) {
    return;
  }
  const std::string initials = item->data(0, Qt::UserRole).toString().toStdString();
  QMessageBox question(QMessageBox::Question, windowTitle(),
                       fromCore(shell::ownText(texts_, Text::OperatorRemoveQuestion,
                                               {initials, toCore(item->text(1))})),
                       QMessageBox::Yes | QMessageBox::No, this);
  question.setDefaultButton(QMessageBox::No);
  if (question.exec() != QMessageBox::Yes) {
    return;
  }
  std::string error;
  std::optional<OperatorBook> book = OperatorBook::load(programFolder_, error);
  if (!book || !book->remove(initials) || !book->save(error)) {
    showProblem(QString::fromStdString(error));
    return;
  }
  showProblem(QString());
  fill();
}

}  // namespace vestrim::archive::ui
