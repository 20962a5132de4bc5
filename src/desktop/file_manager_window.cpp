#include "desktop/file_manager_window.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <numeric>
#include <tuple>

#include "archive/release.h"
#include "archive/ui/cycle_search.h"
#include "archive/ui/operators_dialog.h"
#include "platform/qt/qt_program_places.h"
#include "platform/qt/qt_text.h"
#include "shell/file_manager.h"
#include "shell/sha256.h"
#include "shell/ui/captions.h"
#include "shell/ui/icons.h"

namespace vestrim::desktop {

using namespace shell;
using namespace shell::ui;

namespace {

using platform::fromCore;
using platform::fromPath;
using platform::toPath;

constexpr int kFolderRole = Qt::UserRole;
// The file list's columns: the four of the language file, then the release.
constexpr int kReleaseColumn = kFileColumns;
constexpr int kListColumns = kFileColumns + 1;
constexpr int kKindRole = Qt::UserRole + 1;

QString folderText(const std::filesystem::path& folder) {
  return fromPath(folder);
}

}  // namespace

// The file list's rows, sortable by name, size and time (not by their texts).
class StoredFileModel final : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  // `releases`: where each row's last release stands, row by row.
  void setRows(std::vector<StoredFileRow> rows, std::vector<archive::ReleaseState> releases = {}) {
    beginResetModel();
    rows_ = std::move(rows);
    releases.resize(rows_.size(), archive::ReleaseState::Unreleased);
    releases_ = std::move(releases);
    keys_.clear();
    keys_.reserve(rows_.size());
    for (const StoredFileRow& row : rows_) {
      keys_.push_back(fromCore(row.name).toLower());
    }
    order_.resize(rows_.size());
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    sortRows();
    endResetModel();
  }
  // Sorted by the value a column stands for (a size, a time), not its text.
  void sort(int column, Qt::SortOrder order) override {
    column_ = column;
    sortOrder_ = order;
    emit layoutAboutToBeChanged();
    sortRows();
    emit layoutChanged();
  }
  void setCaptions(const LanguageTexts& texts) {
    for (int column = 0; column < kFileColumns; ++column) {
      captions_[column] = fromCore(texts[kFileColumnCaptions + static_cast<std::size_t>(column)]);
    }
    captions_[kReleaseColumn] = own(texts, Text::ColumnRelease);
    using archive::ReleaseState;
    states_[static_cast<int>(ReleaseState::Unreleased)] = QString();
    states_[static_cast<int>(ReleaseState::Released)] = own(texts, Text::WordReleased);
    states_[static_cast<int>(ReleaseState::Rejected)] = own(texts, Text::WordRejected);
    states_[static_cast<int>(ReleaseState::Changed)] = own(texts, Text::WordChanged);
    emit headerDataChanged(Qt::Horizontal, 0, kListColumns - 1);
  }
  const StoredFileRow& row(int index) const {
    return rows_[order_[static_cast<std::size_t>(index)]];
  }
  archive::ReleaseState release(int index) const {
    return releases_[order_[static_cast<std::size_t>(index)]];
  }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : kListColumns;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    const StoredFileRow& r = row(index.row());
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
      switch (index.column()) {
        case 0:
          return fromCore(r.name);
        case 1:
          return fromCore(r.type);
        case 2:
          return fromCore(r.size);
        case kReleaseColumn:
          return states_[static_cast<int>(release(index.row()))];
        default:
          return fromCore(r.modified);
      }
    }
    if (role == Qt::DecorationRole && index.column() == 0) {
      static const QIcon document = icon("document");
      return document;
    }
    if (role == Qt::DecorationRole && index.column() == kReleaseColumn) {
      static const QIcon released = icon("state-intact");
      static const QIcon problem = icon("state-problem");
      switch (release(index.row())) {
        case archive::ReleaseState::Released:
          return released;
        case archive::ReleaseState::Unreleased:
          return {};
        default:
          return problem;
      }
    }
    if (role == Qt::TextAlignmentRole && index.column() == 2) {
      return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < kListColumns) {
      return captions_[section];
    }
    return {};
  }

 private:
  void sortRows() {
    const auto less = [this](std::size_t a, std::size_t b) {
      const StoredFileRow& ra = rows_[a];
      const StoredFileRow& rb = rows_[b];
      switch (column_) {
        case 2:
          return ra.bytes < rb.bytes;
        case 3: {
          const auto key = [](const LocalTime& t) {
            return std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second);
          };
          return key(ra.modifiedAt) < key(rb.modifiedAt);
        }
        case kReleaseColumn:
          return releases_[a] < releases_[b];
        default:
          return keys_[a] < keys_[b];
      }
    };
    std::stable_sort(order_.begin(), order_.end(), less);
    if (sortOrder_ == Qt::DescendingOrder) {
      std::reverse(order_.begin(), order_.end());
    }
  }

  std::vector<StoredFileRow> rows_;
  std::vector<QString> keys_;       // names in lower case, for sorting
  std::vector<std::size_t> order_;  // the rows in the order shown
  int column_ = 0;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
  std::vector<archive::ReleaseState> releases_;
  QString captions_[kListColumns];
  QString states_[4];  // the release column's words, by state
};

FileManagerWindow::FileManagerWindow(ShellContext& shell, platform::Prompts& prompts,
                                     QWidget* parent)
    : QWidget(parent), shell_(shell), prompts_(prompts) {
  setObjectName("fileManager");
  setWindowIcon(icon("archive"));

  tree_ = new QTreeWidget(this);
  tree_->setObjectName("folderTree");
  tree_->setHeaderHidden(true);
  tree_->setMinimumWidth(180);
  connect(tree_, &QTreeWidget::itemExpanded, this,
          [](QTreeWidgetItem* item) { item->setIcon(0, icon("folder-open")); });
  connect(tree_, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem* item) {
    if (item->data(0, kKindRole).toInt() != static_cast<int>(FolderKind::Root)) {
      item->setIcon(0, icon("folder-closed"));
    }
  });
  // A folder the user chooses takes the list back from the search's cycles.
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    pages_->setCurrentWidget(list_);
    nodeChosen(item);
  });
  connect(tree_, &QTreeWidget::itemClicked, this, [this] { pages_->setCurrentWidget(list_); });

  model_ = new StoredFileModel(this);
  list_ = new QTreeView(this);
  list_->setObjectName("fileList");
  list_->setModel(model_);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSortingEnabled(true);
  list_->sortByColumn(0, Qt::AscendingOrder);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setAllColumnsShowFocus(true);
  list_->header()->setStretchLastSection(false);
  list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  list_->header()->resizeSection(1, 130);
  list_->header()->resizeSection(2, 90);
  list_->header()->resizeSection(3, 150);
  list_->header()->resizeSection(kReleaseColumn, 170);
  connect(list_, &QTreeView::activated, this, &FileManagerWindow::openRow);

  search_ = new archive::ui::CycleSearch(
      shell_.ProgramFolder,
      archive::SearchIndex::indexFile(platform::qtCacheFolder(), shell_.ProgramFolder), this);
  pages_ = new QStackedWidget(this);
  pages_->addWidget(list_);
  pages_->addWidget(search_->results());
  connect(search_, &archive::ui::CycleSearch::searchStarted, this,
          [this] { pages_->setCurrentWidget(search_->results()); });
  connect(search_, &archive::ui::CycleSearch::cleared, this,
          [this] { pages_->setCurrentWidget(list_); });
  connect(search_, &archive::ui::CycleSearch::openRequested, this,
          &FileManagerWindow::openRequested);

  auto* splitter = new QSplitter(this);
  splitter->addWidget(tree_);
  splitter->addWidget(pages_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({220, 700});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(search_);
  // The search bar first, then the tree, then the files: as they stand.
  QWidget::setTabOrder(search_->findChild<QWidget*>("searchClear"), tree_);
  QWidget::setTabOrder(tree_, list_);
  layout->addWidget(splitter, 1);

  fileMenu_ = new QMenu(QStringLiteral("&File"), this);
  fileMenu_->setObjectName("mnuFile");
  checkAction_ = fileMenu_->addAction(icon("check-archive"), QString());
  checkAction_->setObjectName("mnuCheckArchive");
  connect(checkAction_, &QAction::triggered, this, &FileManagerWindow::checkRequested);
  operatorsAction_ = fileMenu_->addAction(icon("operators"), QString());
  operatorsAction_->setObjectName("mnuOperators");
  connect(operatorsAction_, &QAction::triggered, this, &FileManagerWindow::showOperators);
  fileMenu_->addSeparator();
  exitAction_ = fileMenu_->addAction(icon("exit"), QString());
  exitAction_->setObjectName("smnuExit");
  connect(exitAction_, &QAction::triggered, this, &FileManagerWindow::exitRequested);
  languageAction_ = new QAction(QString(), this);
  languageAction_->setObjectName("mnuLingue");
  connect(languageAction_, &QAction::triggered, this, &FileManagerWindow::languageRequested);
  infoAction_ = new QAction(this);
  infoAction_->setObjectName("mnuInfo");
  connect(infoAction_, &QAction::triggered, this, &FileManagerWindow::infoRequested);
}

FileManagerWindow::~FileManagerWindow() = default;

void FileManagerWindow::showOperators() {
  auto* dialog =
      new archive::ui::OperatorsDialog(shell_.ProgramFolder, shell_.language.texts, window());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->open();
}

void FileManagerWindow::focusSearch() {
  search_->focusFirstField();
}

void FileManagerWindow::closeEvent(QCloseEvent* event) {
  // The program's home: it goes only with the main window (Exit, Quit).
  event->ignore();
}

bool FileManagerWindow::load(const std::string& language) {
  if (!initialiseLanguage(shell_.ProgramFolder, language, shell_.language, prompts_)) {
    return false;
  }
  if (shell_.settings.DefaultLanguage.empty()) {
    // The language in use stands for the default in memory; the settings
    // file keeps what it holds.
    shell_.settings.DefaultLanguage = shell_.language.DefaultLanguage;
  }
  populateTree();
  applyCaptions();
  return true;
}

void FileManagerWindow::activate() {
  applyCaptions();
  populateTree();
}

void FileManagerWindow::applyCaptions() {
  const LanguageTexts& texts = shell_.language.texts;
  setWindowTitle(fromCore(texts[kArchiveRootCaption]));
  // Mnemonics of their first letters on the language file's captions.
  exitAction_->setText(withMnemonic(fromCore(texts[kExitMenuCaption])));
  languageAction_->setText(withMnemonic(fromCore(texts[kLanguageMenuCaption])));
  checkAction_->setText(own(texts, Text::MenuCheckArchive));
  checkAction_->setStatusTip(own(texts, Text::CheckArchiveTip));
  operatorsAction_->setText(own(texts, Text::MenuOperators));
  operatorsAction_->setStatusTip(own(texts, Text::OperatorsTip));
  infoAction_->setText(own(texts, Text::MenuInfo));
  tree_->setAccessibleName(fromCore(texts[kArchiveRootCaption]));
  list_->setAccessibleName(own(texts, Text::StoredFiles));
  list_->header()->setAccessibleName(own(texts, Text::StoredFileColumns));
  model_->setCaptions(texts);
  search_->applyTexts(texts);
}

void FileManagerWindow::populateTree() {
  const std::optional<std::filesystem::path> shown = listed_;
  const FolderNode root = archiveTree(shell_.ProgramFolder, shell_.language.texts);
  const QSignalBlocker quiet(tree_);
  tree_->clear();
  const auto addNode = [](QTreeWidgetItem* item, const FolderNode& node) {
    item->setText(0, fromCore(node.caption));
    item->setData(0, kFolderRole, folderText(node.folder));
    item->setData(0, kKindRole, static_cast<int>(node.kind));
    item->setIcon(0, icon(node.kind == FolderKind::Root ? "archive" : "folder-closed"));
  };
  auto* rootItem = new QTreeWidgetItem(tree_);
  addNode(rootItem, root);
  for (const FolderNode& year : root.children) {
    auto* yearItem = new QTreeWidgetItem(rootItem);
    addNode(yearItem, year);
    for (const FolderNode& inner : year.children) {
      addNode(new QTreeWidgetItem(yearItem), inner);
    }
  }
  rootItem->setExpanded(true);
  // The folder on show stays on show, with its files listed anew.
  if (!shown || !showFolder(*shown)) {
    tree_->setCurrentItem(rootItem);
    listFolder(std::nullopt);
  }
}

bool FileManagerWindow::showFolder(const std::filesystem::path& folder) {
  const QString wanted = folderText(folder);
  for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
    if ((*it)->data(0, kFolderRole).toString() == wanted &&
        (*it)->data(0, kKindRole).toInt() != static_cast<int>(FolderKind::Root)) {
      for (QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent()) {
        up->setExpanded(true);
      }
      const QSignalBlocker quiet(tree_);
      tree_->setCurrentItem(*it);
      nodeChosen(*it);
      return true;
    }
  }
  return false;
}

void FileManagerWindow::nodeChosen(QTreeWidgetItem* item) {
  if (!item || item->data(0, kKindRole).toInt() == static_cast<int>(FolderKind::Root)) {
    listFolder(std::nullopt);
    return;
  }
  listFolder(toPath(item->data(0, kFolderRole).toString()));
}

void FileManagerWindow::listFolder(const std::optional<std::filesystem::path>& folder) {
  listed_ = folder;
  if (!folder) {
    model_->setRows({});
    return;
  }
  // The folder listed is where the file-open dialog starts next.
  shell_.settings.DataFolder = pathText(*folder);
  std::vector<StoredFileRow> rows = storedFileRows(*folder);
  // Each row's last release against the file's bytes now.
  const archive::ReleaseBook book = archive::ReleaseBook::read(shell_.ProgramFolder);
  std::vector<archive::ReleaseState> releases;
  for (const StoredFileRow& row : rows) {
    const std::optional<std::string> path = archive::archivePathOf(shell_.ProgramFolder, row.file);
    const archive::Release* latest = path ? book.latest(*path) : nullptr;
    releases.push_back(latest == nullptr
                           ? archive::ReleaseState::Unreleased
                           : archive::releaseState(latest, sha256OfFile(row.file).value_or("")));
  }
  model_->setRows(std::move(rows), std::move(releases));
}

void FileManagerWindow::refreshList() {
  listFolder(listed_);
}

void FileManagerWindow::openRow(const QModelIndex& index) {
  if (!index.isValid() || !listed_) {
    return;
  }
  emit openRequested(fromPath(model_->row(index.row()).file));
}

QList<QAction*> FileManagerWindow::menuBarActions() const {
  return {fileMenu_->menuAction(), languageAction_, infoAction_};
}

void FileManagerWindow::setLanguageMenuEnabled(bool enabled) {
  languageAction_->setEnabled(enabled);
}

}  // namespace vestrim::desktop
