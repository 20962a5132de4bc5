#include "catalogue/ui/catalogue_list.h"

#include <QAbstractTableModel>
#include <QHeaderView>

#include "platform/qt/qt_text.h"
#include "shell/own_texts.h"
#include "shell/text_encoding.h"

namespace vestrim::catalogue::ui {
namespace {

constexpr std::size_t kColumnCaptions = 315;  // 315 to 319
constexpr int kColumns = 5;

}  // namespace

class CatalogueRowsModel final : public QAbstractTableModel {
 public:
  explicit CatalogueRowsModel(const shell::LanguageTexts& texts, QObject* parent)
      : QAbstractTableModel(parent) {
    for (int column = 0; column < kColumns; ++column) {
      captions_[column] =
          platform::fromCore(texts[kColumnCaptions + static_cast<std::size_t>(column)]);
    }
  }
  void setRows(std::vector<platform::CatalogueRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
  }
  const std::vector<platform::CatalogueRow>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : kColumns;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) {
      return {};
    }
    const platform::CatalogueRow& row = rows_[static_cast<std::size_t>(index.row())];
    const std::string* columns[kColumns] = {&row.code, &row.description, &row.name, &row.date,
                                            &row.id};
    // A data or message file's name field holds binary bytes: its control
    // bytes show as ".".
    return platform::fromCore(shell::printable(*columns[index.column()]));
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < kColumns) {
      return captions_[section];
    }
    return {};
  }

 private:
  std::vector<platform::CatalogueRow> rows_;
  QString captions_[kColumns];
};

CatalogueList::CatalogueList(const shell::LanguageTexts& texts, QWidget* parent)
    : QTreeView(parent), model_(new CatalogueRowsModel(texts, this)) {
  setModel(model_);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  header()->setAccessibleName(
      platform::fromCore(shell::ownText(texts, shell::Text::DeviceFileColumns)));
  header()->resizeSection(0, 170);
  header()->resizeSection(1, 150);
  header()->resizeSection(2, 230);
  header()->resizeSection(3, 130);
}

void CatalogueList::setRows(std::vector<platform::CatalogueRow> rows) {
  model_->setRows(std::move(rows));
  clearSelection();
}

const std::vector<platform::CatalogueRow>& CatalogueList::rows() const {
  return model_->rows();
}

QString CatalogueList::cell(int row, int column) const {
  return model_->index(row, column).data().toString();
}

}  // namespace vestrim::catalogue::ui
