#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/prompts.h"
#include "shell/shell_context.h"
#include "shell/ui/child_menus.h"

class QAction;
class QMenu;
class QStackedWidget;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace vestrim::archive::ui {
class CycleSearch;
}

namespace vestrim::desktop {

class StoredFileModel;

// The local file manager: the archive's folder tree on the left, the
// stored cycle files of the chosen folder on the right, and above them the
// search bar, whose matching cycles of every folder take the list's place
// until a folder is chosen again. A double click (or Enter) on a file asks
// for its report. The File menu also checks the archive.
class FileManagerWindow final : public QWidget, public shell::ui::ChildMenus {
  Q_OBJECT

 public:
  FileManagerWindow(shell::ShellContext& shell, platform::Prompts& prompts,
                    QWidget* parent = nullptr);
  ~FileManagerWindow() override;

  // The window's load: initialises the language (`language`, else the first
  // one listed), then builds the tree and sets the captions. False when the
  // program cannot go on (no language file; the message has been shown).
  bool load(const std::string& language);

  // Activation: captions again, the tree rebuilt, the listed folder listed
  // again, so that files saved meanwhile appear.
  void activate();

  // The entries the main window's menu bar shows while this window is
  // active: File (Check archive, Exit), Language, Info.
  QList<QAction*> menuBarActions() const override;
  void setLanguageMenuEnabled(bool enabled);

  // The folder whose files are listed; nothing while no folder is listed.
  const std::optional<std::filesystem::path>& listedFolder() const { return listed_; }
  // Selects the tree node of `folder` and lists it, as a click on it does.
  bool showFolder(const std::filesystem::path& folder);
  archive::ui::CycleSearch* search() const { return search_; }
  // The search bar's fields take the keyboard (Ctrl+F).
  void focusSearch();
  // The listed folder's files listed again (a release was recorded).
  void refreshList();
  // File > Operators…
  void showOperators();

 signals:
  void openRequested(const QString& file);
  void exitRequested();
  void languageRequested();
  void infoRequested();
  void checkRequested();

 private:
  void applyCaptions();
  void populateTree();
  void nodeChosen(QTreeWidgetItem* item);
  void listFolder(const std::optional<std::filesystem::path>& folder);
  void openRow(const class QModelIndex& index);
  void closeEvent(class QCloseEvent* event) override;

  shell::ShellContext& shell_;
  platform::Prompts& prompts_;
  QTreeWidget* tree_ = nullptr;
  QTreeView* list_ = nullptr;
  StoredFileModel* model_ = nullptr;
  archive::ui::CycleSearch* search_ = nullptr;
  QStackedWidget* pages_ = nullptr;  // the folder's files, or the search's cycles
  QMenu* fileMenu_ = nullptr;
  QAction* checkAction_ = nullptr;
  QAction* operatorsAction_ = nullptr;
  QAction* exitAction_ = nullptr;
  QAction* languageAction_ = nullptr;
  QAction* infoAction_ = nullptr;
  std::optional<std::filesystem::path> listed_;
};

}  // namespace vestrim::desktop
