#pragma once

#include <QPointer>
#include <QString>
#include <QTreeView>
#include <QWidget>
#include <filesystem>
#include <optional>

#include "archive/search_index.h"
#include "shell/own_texts.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QThread;

namespace vestrim::archive::ui {

class CycleListModel;

// The file manager's search bar: a date range, the program, passed or
// alarm, the cycle number and a part of the file name. The index is brought
// up to date and searched in a worker thread, so a first build over a large
// archive never freezes the window; the matching cycles of every folder go
// into `results()`, where a double click (or Enter) asks for the report.
class CycleSearch final : public QWidget {
  Q_OBJECT

 public:
  CycleSearch(std::filesystem::path programFolder, std::filesystem::path indexFile,
              QWidget* parent = nullptr);
  ~CycleSearch() override;

  // The list of matching cycles; the window places it and owns it then.
  QTreeView* results() const { return results_; }
  // The filter the bar's fields make.
  SearchFilter filter() const;

  // Searches with the bar's fields; a search asked for while one runs
  // follows it.
  void search();
  // Ctrl+F: the cursor into the program field, its text selected.
  void focusFirstField();
  // The bar's texts in the language of `texts`.
  void applyTexts(const shell::LanguageTexts& texts);
  // Empties the fields and the results.
  void clear();

 signals:
  void searchStarted();
  void searchFinished(int found);
  void cleared();
  void openRequested(const QString& file);

 private:
  void runNext();
  // Opens the cycle of the pack code the field holds; false when it holds
  // no pack code. A code that leads nowhere is said so.
  bool openPackCode(QLineEdit* field);
  void showFound(std::vector<IndexedCycle> found, const QString& error);

  std::filesystem::path programFolder_;
  const shell::LanguageTexts* texts_ = &shell::englishOnly();
  std::vector<std::pair<class QLabel*, shell::Text>> labels_;
  std::filesystem::path indexFile_;
  QThread* worker_ = nullptr;
  std::optional<SearchFilter> waiting_;

  QDateEdit* from_ = nullptr;
  QDateEdit* to_ = nullptr;
  QLineEdit* program_ = nullptr;
  QComboBox* result_ = nullptr;
  QComboBox* release_ = nullptr;
  QLineEdit* cycle_ = nullptr;
  QLineEdit* name_ = nullptr;
  QPushButton* search_ = nullptr;
  QPushButton* clear_ = nullptr;
  QLabel* status_ = nullptr;
  QPointer<QTreeView> results_;  // owned by the window that places it
  CycleListModel* model_ = nullptr;
  QSortFilterProxyModel* sorted_ = nullptr;
};

}  // namespace vestrim::archive::ui
