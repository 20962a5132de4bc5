#include "archive/ui/release_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "archive/operators.h"
#include "archive/ui/release_fields.h"
#include "shell/text_encoding.h"
#include "shell/ui/captions.h"
#include "shell/ui/icons.h"

namespace vestrim::archive::ui {
namespace {

using platform::fromCore;
using platform::toCore;
using shell::Text;
using shell::ui::own;

constexpr int kMostNote = 200;

}  // namespace

QString& ReleaseDialog::lastOperator() {
  static QString initials;
  return initials;
}

ReleaseDialog::ReleaseDialog(std::filesystem::path programFolder, std::string path,
                             const shell::LanguageTexts& texts, QWidget* parent)
    : QDialog(parent),
      programFolder_(std::move(programFolder)),
      path_(std::move(path)),
      texts_(texts),
      choice_(releaseChoice(programFolder_ / shell::pathFromUtf8(path_), texts)) {
  setObjectName("releaseDialog");
  const QString name = QString::fromStdString(path_).section('/', -1);
  setWindowTitle(fromCore(shell::ownText(texts, Text::ReleaseTitle, {toCore(name)})));
  setWindowIcon(shell::ui::icon("release"));

  auto* heading = new QLabel(this);
  heading->setObjectName("releaseCycle");
  heading->setText("<b>" + name.toHtmlEscaped() + "</b><br>" +
                   fromCore(shell::ownText(texts, Text::ReleaseCycleLine,
                                           {std::to_string(choice_.cycleNumber), choice_.serial}))
                       .toHtmlEscaped());
  heading->setTextInteractionFlags(Qt::TextSelectableByMouse);

  operator_ = new QComboBox(this);
  operator_->setObjectName("releaseOperator");
  pin_ = pinField("releasePin", this);
  released_ = new QRadioButton(own(texts, Text::ReleaseResultReleased), this);
  released_->setObjectName("releaseReleased");
  rejected_ = new QRadioButton(own(texts, Text::ReleaseResultRejected), this);
  rejected_->setObjectName("releaseRejected");
  released_->setAccessibleName(QString(released_->text()).remove('&'));
  rejected_->setAccessibleName(QString(rejected_->text()).remove('&'));
  auto* result = new QWidget(this);
  auto* resultRow = new QHBoxLayout(result);
  resultRow->setContentsMargins(0, 0, 0, 0);
  resultRow->addWidget(released_);
  resultRow->addWidget(rejected_);
  resultRow->addStretch(1);
  indicator_ = new QComboBox(this);
  indicator_->setObjectName("releaseIndicator");
  indicator_->addItem(own(texts, Text::IndicatorPassed), static_cast<int>(Indicator::Passed));
  indicator_->addItem(own(texts, Text::IndicatorFailed), static_cast<int>(Indicator::Failed));
  indicator_->addItem(own(texts, Text::IndicatorNone), static_cast<int>(Indicator::None));
  note_ = new QLineEdit(this);
  note_->setObjectName("releaseNote");
  note_->setMaxLength(kMostNote);
  note_->setMinimumWidth(note_->fontMetrics().horizontalAdvance(QString(40, QLatin1Char('x'))));

  auto* form = new QFormLayout;
  form->addRow(formLabel(own(texts, Text::ReleaseOperatorLabel), operator_, this), operator_);
  form->addRow(formLabel(own(texts, Text::ReleasePinLabel), pin_, this), pin_);
  auto* resultLabel = new QLabel(own(texts, Text::ReleaseResultLabel), this);
  form->addRow(resultLabel, result);
  form->addRow(formLabel(own(texts, Text::ReleaseIndicatorsLabel), indicator_, this), indicator_);
  if (choice_.vacuumTest != TestOutcome::NotATest) {
    auto* test = new QLabel(
        fromCore(shell::ownText(
            texts, Text::ReleaseTest,
            {shell::ownText(texts, choice_.vacuumTest == TestOutcome::Passed ? Text::TestPassed
                                                                             : Text::TestFailed)})),
        this);
    test->setObjectName("releaseVacuumTest");
    form->addRow(QString(), test);
  }
  form->addRow(formLabel(own(texts, Text::ReleaseNoteLabel), note_, this), note_);

  // Why the cycle can only be rejected, or what went wrong last.
  problem_ = problemLine("releaseProblem", this);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  record_ = buttons->addButton(own(texts, Text::ReleaseRecord), QDialogButtonBox::AcceptRole);
  record_->setObjectName("releaseRecord");
  record_->setIcon(shell::ui::icon("release"));
  record_->setDefault(true);
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("releaseCancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &ReleaseDialog::record);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addLayout(form);
  layout->addWidget(problem_);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  if (!choice_.canRelease) {
    released_->setEnabled(false);
    rejected_->setChecked(true);
    showProblem(fromCore(choice_.why));
  } else {
    released_->setChecked(true);
  }
  loadOperators();
}

void ReleaseDialog::loadOperators() {
  std::string error;
  const std::optional<OperatorBook> book = OperatorBook::load(programFolder_, error);
  operator_->clear();
  if (book) {
    for (const Operator& person : book->operators()) {
      operator_->addItem(fromCore(person.initials + " - " + person.name),
                         QString::fromStdString(person.initials));
    }
  }
  const int last = operator_->findData(lastOperator());
  operator_->setCurrentIndex(last >= 0 ? last : 0);
  const bool any = operator_->count() > 0;
  record_->setEnabled(any && choice_.isCycle);
  if (!book) {
    showProblem(QString::fromStdString(error));
  } else if (!any) {
    showProblem(own(texts_, Text::ReleaseNoOperators));
  }
  if (!choice_.isCycle) {
    showProblem(fromCore(choice_.why));
  }
  pin_->setFocus();
}

void ReleaseDialog::showProblem(const QString& text) {
  showProblemLine(problem_, text);
}

void ReleaseDialog::record() {
  std::string error;
  std::optional<OperatorBook> book = OperatorBook::load(programFolder_, error);
  if (!book) {
    showProblem(QString::fromStdString(error));
    return;
  }
  const std::string initials = operator_->currentData().toString().toStdString();
  const Operator* person = book->find(initials);
  std::int64_t wait = 0;
  const PinCheck check = book->checkPin(initials, pin_->text().toStdString(), secondsNow(), wait);
  // The count of wrong PINs holds across runs and PCs.
  if (!book->save(error)) {
    showProblem(QString::fromStdString(error));
    return;
  }
  if (check != PinCheck::Accepted || person == nullptr) {
    showProblem(fromCore(pinCheckText(check, initials, wait, texts_)));
    pin_->clear();
    pin_->setFocus();
    return;
  }
  const ReleaseRequest request{
      path_,
      person->initials,
      person->name,
      released_->isChecked() ? ReleaseResult::Released : ReleaseResult::Rejected,
      static_cast<Indicator>(indicator_->currentData().toInt()),
      toCore(note_->text())};
  const std::optional<Release> release = recordRelease(programFolder_, request, error, texts_);
  if (!release) {
    showProblem(fromCore(error));
    return;
  }
  lastOperator() = QString::fromStdString(person->initials);
  emit recorded(*release);
  accept();
}

}  // namespace vestrim::archive::ui
