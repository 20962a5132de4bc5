#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTranslator>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "archive/ui/archive_check_window.h"
#include "desktop/file_manager_window.h"
#include "desktop/guide_window.h"
#include "platform/main_window_view.h"
#include "platform/qt/qt_prompts.h"
#include "reports/ui/report_view_window.h"
#include "shell/main_toolbar.h"
#include "shell/own_texts.h"
#include "shell/shell_context.h"
#include "shell/ui/child_menus.h"

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace vestrim::desktop {

// The main window "Vestrim": the toolbar, the Help menu and the area in
// which every other window opens. It composes the windows and forwards the
// toolbar's commands; what the windows do is in their core objects.
class MainWindow final : public QMainWindow, public platform::MainWindowView {
  Q_OBJECT

 public:
  // `languageForRun`: a language chosen for this run only (not stored).
  // `prompts`: where messages go; message boxes over this window when none.
  explicit MainWindow(shell::ShellContext& shell, std::optional<std::string> languageForRun = {},
                      platform::Prompts* prompts = nullptr);
  ~MainWindow() override;

  // Opens the default-language dialog when no language is stored, else the
  // file manager; `file`, when given, then opens in the report window, and
  // `then` runs: both only once the language is known, as every window needs
  // it. False when the program cannot go on (no language file).
  bool start(std::optional<std::filesystem::path> file = {}, std::function<void()> then = {});

  // A toolbar button works only once it has a command: until then it stays
  // disabled whatever its window asks, so that no button looks alive and
  // does nothing.
  void setCommand(shell::MainCommand command, std::function<void()> run);

  // Shows `file` in the report window, loading it even while another
  // report is on show.
  void openReport(const std::filesystem::path& file);
  void showAbout();
  // Opens the archive check's window and runs the check (again).
  void showArchiveCheck();
  // Opens the user guide's window, or says where no guide was found.
  void showGuide();
  // Where the user guide is looked for, in order (userGuideFolders()).
  void setGuideFolders(std::vector<std::filesystem::path> folders) {
    guideFolders_ = std::move(folders);
  }

  QMdiArea* mdiArea() const { return area_; }
  // A child window as a tab of the area, in front.
  QMdiSubWindow* addChild(QWidget* window);
  FileManagerWindow* fileManager() const { return fileManager_; }
  reports::ui::ReportViewWindow* reportWindow() const { return report_; }
  archive::ui::ArchiveCheckWindow* archiveCheckWindow() const { return check_; }
  platform::Prompts& prompts() { return *prompts_; }
  shell::ShellContext& shell() { return shell_; }
  // Windows that must be asked before the program ends, in the order they
  // are closed.
  void addToCloseOrder(QWidget* window);

  // MainWindowView
  void setToolbarEnabled(bool enabled) override;
  void setToolbarButtonEnabled(int button, bool enabled) override;
  void setWindowEnabled(bool enabled) override;
  void setFileManagerEnabled(bool enabled) override;
  void showFileManager() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildToolbar();
  void buildMenus();
  void nameTabButtons();
  // Our menus' texts in the language in use (English until it is loaded).
  void applyOwnTexts();
  // A standard key (Ctrl+S, F5, Ctrl+P): the active window's own command when
  // it has one, else `otherwise`.
  void standardKey(shell::ui::StandardCommand command, const std::function<void()>& otherwise);
  void clicked(int button);
  void applyEnabled(int button);
  void showMenusOf(QMdiSubWindow* window);
  void loadQtTranslation();

  shell::ShellContext& shell_;
  std::optional<std::string> languageForRun_;
  std::optional<std::filesystem::path> pendingFile_;
  std::function<void()> afterStart_;
  platform::QtPrompts messageBoxes_;
  platform::Prompts* prompts_;
  QMdiArea* area_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QMenu* commandMenu_ = nullptr;  // the toolbar's commands and the standard keys
  QMenu* helpMenu_ = nullptr;
  std::vector<std::pair<QAction*, shell::Text>> captioned_;
  std::array<QAction*, shell::kMainToolbar.size()> actions_{};
  std::array<bool, shell::kMainToolbar.size()> wanted_{};
  std::array<std::function<void()>, shell::kMainToolbar.size()> commands_{};
  QPointer<FileManagerWindow> fileManager_;
  QPointer<reports::ui::ReportViewWindow> report_;
  QPointer<archive::ui::ArchiveCheckWindow> check_;
  QPointer<GuideWindow> guide_;
  std::vector<std::filesystem::path> guideFolders_ = userGuideFolders();
  std::vector<QPointer<QWidget>> closeOrder_;
  QTranslator qtTranslation_;
};

}  // namespace vestrim::desktop
