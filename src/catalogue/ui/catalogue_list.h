#pragma once

#include <QTreeView>
#include <vector>

#include "platform/programmer_view.h"
#include "shell/text_table.h"

namespace vestrim::catalogue::ui {

class CatalogueRowsModel;

// The device's file list, as the programmer and the pen-drive windows show
// it: five columns under the language's captions, one row per file in
// catalogue order. Thousands of rows are shown at once.
class CatalogueList final : public QTreeView {
  Q_OBJECT

 public:
  CatalogueList(const shell::LanguageTexts& texts, QWidget* parent = nullptr);
  void setRows(std::vector<platform::CatalogueRow> rows);
  const std::vector<platform::CatalogueRow>& rows() const;
  // The text of a cell, as shown.
  QString cell(int row, int column) const;

 private:
  CatalogueRowsModel* model_ = nullptr;
};

}  // namespace vestrim::catalogue::ui
