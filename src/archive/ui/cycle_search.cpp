#include "archive/ui/cycle_search.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QThread>
#include <QTreeView>
#include <algorithm>
#include <memory>

#include "archive/pack_label.h"
#include "platform/qt/qt_text.h"
#include "shell/ui/captions.h"
#include "shell/ui/icons.h"

namespace vestrim::archive::ui {

using platform::fromCore;
using platform::fromPath;
using shell::ui::icon;
using shell::ui::own;

namespace {

constexpr int kSortRole = Qt::UserRole;
const QDate kAnyDate(2000, 1, 1);

enum Column { Start, End, Number, Program, Result, Serial, Samples, Release, File, kColumns };

// A field's label gives the field its accessible name too; a date edit's
// own text field is reached by a screen reader as well.
void nameField(QLabel* label, const QString& text) {
  label->setText(text);
  const QString name = QString(text).remove('&').remove(':');
  label->buddy()->setAccessibleName(name);
  for (QLineEdit* inner : label->buddy()->findChildren<QLineEdit*>()) {
    inner->setAccessibleName(name);
  }
}

// A date field that Tab leaves, instead of moving between its day, month
// and year (the arrow keys and the calendar reach those).
class DateField final : public QDateEdit {
 public:
  using QDateEdit::QDateEdit;

 protected:
  bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
};

QDateEdit* dateEdit(const char* name, QWidget* parent) {
  auto* edit = new DateField(parent);
  edit->setObjectName(name);
  edit->setCalendarPopup(true);
  edit->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  // The first day the edit can show stands for "no limit".
  edit->setMinimumDate(kAnyDate);
  edit->setDate(kAnyDate);
  return edit;
}

std::string dayOf(const QDateEdit* edit) {
  return edit->date() == kAnyDate ? std::string()
                                  : edit->date().toString(Qt::ISODate).toStdString();
}

}  // namespace

// The matching cycles, sortable by their values rather than their texts.
class CycleListModel final : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void setRows(std::vector<IndexedCycle> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
  }
  void setTexts(const shell::LanguageTexts& texts) {
    texts_ = &texts;
    emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
  }
  const IndexedCycle& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : kColumns;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    const IndexedCycle& c = row(index.row());
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
      switch (index.column()) {
        case Start:
          return QString::fromStdString(c.start);
        case End:
          return QString::fromStdString(c.end);
        case Number:
          return c.cycleNumber;
        case Program:
          return fromCore(c.program);
        case Result:
          return c.alarmCode == 0 ? own(*texts_, shell::Text::Passed)
                                  : own(*texts_, shell::Text::AlarmCode).arg(c.alarmCode);
        case Serial:
          return fromCore(c.serial);
        case Samples:
          return c.samples;
        case Release:
          return releaseWord(c.release);
        default:
          return fromPath(shell::pathFromUtf8(c.path).filename());
      }
    }
    if (role == Qt::ToolTipRole && index.column() == File) {
      return QString::fromStdString(c.path);
    }
    if (role == kSortRole) {
      switch (index.column()) {
        case Number:
          return c.cycleNumber;
        case Result:
          return c.alarmCode;
        case Samples:
          return c.samples;
        case Release:
          return static_cast<int>(c.release);
        default:
          return data(index, Qt::DisplayRole).toString().toLower();
      }
    }
    if (role == Qt::DecorationRole && index.column() == Result) {
      static const QIcon passed = icon("state-intact");
      static const QIcon alarm = icon("state-problem");
      return c.alarmCode == 0 ? passed : alarm;
    }
    if (role == Qt::TextAlignmentRole && (index.column() == Number || index.column() == Samples)) {
      return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < kColumns) {
      if (section == Release) {
        return own(*texts_, shell::Text::ColumnRelease);
      }
      // The columns before the release column and the file's name after it.
      const int text = section < Release ? section : section - 1;
      return own(*texts_, static_cast<shell::Text>(
                              static_cast<std::size_t>(shell::Text::ColumnStart) + text));
    }
    return {};
  }

 private:
  QString releaseWord(ReleaseState state) const {
    switch (state) {
      case ReleaseState::Released:
        return own(*texts_, shell::Text::WordReleased);
      case ReleaseState::Rejected:
        return own(*texts_, shell::Text::WordRejected);
      case ReleaseState::Changed:
        return own(*texts_, shell::Text::WordChanged);
      case ReleaseState::Unreleased:
        break;
    }
    return {};
  }

  std::vector<IndexedCycle> rows_;
  const shell::LanguageTexts* texts_ = &shell::englishOnly();
};

CycleSearch::CycleSearch(std::filesystem::path programFolder, std::filesystem::path indexFile,
                         QWidget* parent)
    : QWidget(parent), programFolder_(std::move(programFolder)), indexFile_(std::move(indexFile)) {
  setObjectName("cycleSearch");
  from_ = dateEdit("searchFrom", this);
  to_ = dateEdit("searchTo", this);
  program_ = new QLineEdit(this);
  program_->setObjectName("searchProgram");
  result_ = new QComboBox(this);
  result_->setObjectName("searchResult");
  result_->addItem(QString());
  result_->addItem(icon("state-intact"), QString());
  result_->addItem(icon("state-problem"), QString());
  release_ = new QComboBox(this);
  release_->setObjectName("searchRelease");
  release_->addItem(QString());
  release_->addItem(icon("release"), QString());
  release_->addItem(QString());
  release_->addItem(icon("state-problem"), QString());
  cycle_ = new QLineEdit(this);
  cycle_->setObjectName("searchCycle");
  cycle_->setValidator(new QIntValidator(0, 0xFFFFFF, cycle_));
  name_ = new QLineEdit(this);
  name_->setObjectName("searchName");
  name_->setClearButtonEnabled(true);
  search_ = new QPushButton(icon("search"), QString(), this);
  search_->setObjectName("searchButton");
  clear_ = new QPushButton(icon("clear"), QString(), this);
  clear_->setObjectName("searchClear");
  status_ = new QLabel(this);
  status_->setObjectName("searchStatus");
  // It takes what the fields leave, so that the bar fits a 1280-pixel
  // screen in every language; a long message is in its tooltip.
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 4);
  const auto labelled = [&](QWidget* field, shell::Text text, int stretch) {
    auto* l = new QLabel(this);
    l->setBuddy(field);
    labels_.push_back({l, text});
    layout->addWidget(l);
    layout->addWidget(field, stretch);
  };
  labelled(from_, shell::Text::SearchFrom, 0);
  labelled(to_, shell::Text::SearchTo, 0);
  layout->addSpacing(6);
  labelled(program_, shell::Text::SearchProgram, 1);
  labelled(result_, shell::Text::SearchResult, 0);
  labelled(release_, shell::Text::SearchRelease, 0);
  labelled(cycle_, shell::Text::SearchCycle, 0);
  labelled(name_, shell::Text::SearchName, 2);
  layout->addWidget(search_);
  layout->addWidget(clear_);
  layout->addWidget(status_, 1);

  for (QLineEdit* edit : {program_, cycle_, name_}) {
    // A scanner types a pack code and Enter into whichever field has the
    // cursor: the code opens its cycle, anything else is searched for.
    connect(edit, &QLineEdit::returnPressed, this, [this, edit] {
      if (!openPackCode(edit)) {
        search();
      }
    });
  }
  connect(search_, &QPushButton::clicked, this, &CycleSearch::search);
  connect(clear_, &QPushButton::clicked, this, &CycleSearch::clear);

  model_ = new CycleListModel(this);
  sorted_ = new QSortFilterProxyModel(this);
  sorted_->setSourceModel(model_);
  sorted_->setSortRole(kSortRole);
  results_ = new QTreeView;
  results_->setObjectName("searchResults");
  results_->setModel(sorted_);
  results_->setRootIsDecorated(false);
  results_->setUniformRowHeights(true);
  results_->setAlternatingRowColors(true);
  results_->setSortingEnabled(true);
  results_->sortByColumn(Start, Qt::AscendingOrder);
  results_->setSelectionBehavior(QAbstractItemView::SelectRows);
  results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  results_->setAllColumnsShowFocus(true);
  results_->header()->setStretchLastSection(true);
  const int widths[] = {118, 118, 62, 130, 92, 84, 66, 96};
  for (int column = 0; column < File; ++column) {
    results_->header()->resizeSection(column, widths[column]);
  }
  connect(results_, &QTreeView::activated, this, [this](const QModelIndex& index) {
    const IndexedCycle& cycle = model_->row(sorted_->mapToSource(index).row());
    emit openRequested(fromPath(programFolder_ / shell::pathFromUtf8(cycle.path)));
  });
  applyTexts(shell::englishOnly());
}

void CycleSearch::applyTexts(const shell::LanguageTexts& texts) {
  using shell::Text;
  texts_ = &texts;
  for (const auto& [label, text] : labels_) {
    nameField(label, own(texts, text));
  }
  for (QDateEdit* date : {from_, to_}) {
    // A date edit sizes itself for a date: widen it by what the "any day"
    // of the language in use needs beyond that, so that it is not cut.
    const QString anyDay = own(texts, Text::AnyDay);
    date->setSpecialValueText(anyDay);
    const QFontMetrics metrics = date->fontMetrics();
    const int beyondDate =
        metrics.horizontalAdvance(anyDay) - metrics.horizontalAdvance(date->displayFormat());
    date->setMinimumWidth(date->sizeHint().width() + std::max(0, beyondDate));
  }
  program_->setPlaceholderText(own(texts, Text::AnyProgram));
  program_->setMinimumWidth(program_->fontMetrics().horizontalAdvance(program_->placeholderText()) +
                            24);
  result_->setItemText(0, own(texts, Text::AnyResult));
  result_->setItemText(1, own(texts, Text::Passed));
  result_->setItemText(2, own(texts, Text::Alarm));
  release_->setItemText(0, own(texts, Text::ReleaseFilterAny));
  release_->setItemText(1, own(texts, Text::WordReleased));
  release_->setItemText(2, own(texts, Text::WordUnreleased));
  release_->setItemText(3, own(texts, Text::WordRejected));
  cycle_->setPlaceholderText(own(texts, Text::AnyCycle));
  cycle_->setFixedWidth(cycle_->fontMetrics().horizontalAdvance(cycle_->placeholderText()) + 20);
  name_->setPlaceholderText(own(texts, Text::PartOfName));
  name_->setMinimumWidth(name_->fontMetrics().horizontalAdvance(name_->placeholderText()) + 40);
  search_->setText(own(texts, Text::Search));
  search_->setAccessibleName(QString(search_->text()).remove('&'));
  search_->setToolTip(own(texts, Text::SearchTip));
  clear_->setText(own(texts, Text::Clear));
  clear_->setAccessibleName(own(texts, Text::ClearSearch));
  status_->setAccessibleName(own(texts, Text::SearchState));
  results_->setAccessibleName(own(texts, Text::MatchingCycles));
  results_->header()->setAccessibleName(own(texts, Text::CycleColumns));
  model_->setTexts(texts);
}

CycleSearch::~CycleSearch() {
  if (worker_) {
    worker_->wait();
    delete worker_;
  }
  if (results_ && !results_->parent()) {
    delete results_.data();
  }
}

void CycleSearch::focusFirstField() {
  program_->setFocus(Qt::ShortcutFocusReason);
  program_->selectAll();
}

SearchFilter CycleSearch::filter() const {
  SearchFilter filter;
  filter.from = dayOf(from_);
  filter.to = dayOf(to_);
  filter.program = platform::toCore(program_->text().trimmed());
  filter.result = static_cast<ResultFilter>(result_->currentIndex());
  filter.release = static_cast<ReleaseFilter>(release_->currentIndex());
  if (!cycle_->text().isEmpty()) {
    filter.cycleNumber = cycle_->text().toInt();
  }
  filter.name = name_->text().trimmed().toStdString();
  return filter;
}

bool CycleSearch::openPackCode(QLineEdit* field) {
  const std::string text = field->text().trimmed().toStdString();
  if (!parsePackCode(text)) {
    return false;
  }
  std::string error;
  const PackCodeSearch found = findPackCode(programFolder_, text, error, *texts_);
  field->clear();
  if (found.outcome != PackCodeFind::Found) {
    status_->setText(fromCore(error));
    status_->setToolTip(fromCore(error));
    QMessageBox::warning(window(), own(*texts_, shell::Text::PackCodeTitle), fromCore(error));
    return true;
  }
  status_->setText(QString::fromStdString(text));
  status_->setToolTip(QString());
  emit openRequested(fromPath(programFolder_ / shell::pathFromUtf8(found.path)));
  return true;
}

void CycleSearch::search() {
  waiting_ = filter();
  emit searchStarted();
  runNext();
}

void CycleSearch::clear() {
  waiting_.reset();
  from_->setDate(kAnyDate);
  to_->setDate(kAnyDate);
  program_->clear();
  result_->setCurrentIndex(0);
  release_->setCurrentIndex(0);
  cycle_->clear();
  name_->clear();
  model_->setRows({});
  status_->clear();
  emit cleared();
}

void CycleSearch::runNext() {
  if (worker_ || !waiting_) {
    return;
  }
  status_->setText(own(*texts_, shell::Text::Searching));
  worker_ = QThread::create([this, filter = *std::exchange(waiting_, std::nullopt),
                             folder = programFolder_, file = indexFile_] {
    std::string error;
    std::vector<IndexedCycle> found;
    const std::unique_ptr<SearchIndex> index = SearchIndex::open(file, folder, error);
    if (index && index->refresh(error)) {
      found = index->search(filter, error);
    }
    const auto shared = std::make_shared<std::vector<IndexedCycle>>(std::move(found));
    QMetaObject::invokeMethod(
        this,
        [this, shared, text = QString::fromStdString(error)] {
          showFound(std::move(*shared), text);
        },
        Qt::QueuedConnection);
  });
  connect(worker_, &QThread::finished, worker_, &QObject::deleteLater);
  worker_->start();
}

void CycleSearch::showFound(std::vector<IndexedCycle> found, const QString& error) {
  worker_->wait();
  worker_ = nullptr;
  if (waiting_) {
    // The fields changed meanwhile: only the newest search is shown.
    runNext();
    return;
  }
  const int count = static_cast<int>(found.size());
  model_->setRows(std::move(found));
  status_->setText(!error.isEmpty() ? error
                   : count == 1     ? own(*texts_, shell::Text::OneCycleFound)
                                    : own(*texts_, shell::Text::CyclesFound).arg(count));
  status_->setToolTip(status_->text());
  emit searchFinished(count);
}

}  // namespace vestrim::archive::ui
