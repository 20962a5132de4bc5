#pragma once

#include <QList>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "catalogue/ui/catalogue_list.h"
#include "link/ui/port_dialog.h"
#include "platform/main_window_view.h"
#include "platform/programmer_view.h"
#include "shell/settings_file.h"
#include "shell/ui/child_menus.h"
#include "transfer/programmer_commands.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QToolBar;

namespace vestrim::catalogue::ui {

// What the programmer window works with: the serial port and the timers
// (Qt's, or the tests' simulated ones), the ports the system lists, and a
// port chosen for this run only.
struct ProgrammerServices {
  platform::SerialPort& port;
  platform::Scheduler& scheduler;
  const platform::PortEnumerator& ports;
  std::optional<shell::PortSetting> portForRun;
};

// The programmer window (FrmPrg): the device's file list with the memory
// figures, the toolbar and the menus File, Device and Version, the status
// bar with the operation's progress. It draws what the core reports through
// ProgrammerView and forwards the user's commands to ProgrammerCommands.
class ProgrammerWindow final : public QWidget,
                               public platform::ProgrammerView,
                               public shell::ui::DeviceMenus {
  Q_OBJECT

 public:
  ProgrammerWindow(const ProgrammerServices& services, shell::ShellContext& shell,
                   platform::Prompts& prompts, platform::MainWindowView& mainWindow,
                   QWidget* parent = nullptr);
  ~ProgrammerWindow() override;

  QSize sizeHint() const override;
  transfer::ProgrammerCommands& commands() { return *commands_; }
  link::ui::PortDialog& portDialog() { return *portDialog_; }

  // How files to send are chosen; the platform's file dialog unless a test
  // sets another. Returns nothing when the user cancels.
  using FileChooser = std::function<std::vector<std::filesystem::path>(const QString& folder)>;
  void setFileChooser(FileChooser chooser) { chooseFiles_ = std::move(chooser); }
  // The Open command: the file dialog, then the chosen files loaded.
  void openFiles();
  // Runs a user's command; what it did is then said in status panel 2,
  // which keeps it until the next command.
  void command(const std::function<void()>& run);

  // ProgrammerView
  void setStatusText(int panel, const std::string& text) override;
  void setProgressVisible(bool visible) override;
  void setProgressMaximum(std::uint32_t maximum) override;
  void setProgressValue(std::uint32_t value) override;
  void setBusyPointer(bool busy) override;
  void setToolbarButtonEnabled(platform::ToolbarButton button, bool enabled) override;
  void setMenuEnabled(platform::Menu menu, bool enabled) override;
  void showCatalogue(const std::vector<platform::CatalogueRow>& rows) override;
  void clearCatalogue() override;
  void setMemorySizeLabel(const std::string& text) override;
  void setMemoryBar(std::uint32_t maximum, std::uint32_t value) override;

 signals:
  // Exit was chosen and the window may go: the main window closes its frame.
  void closeRequested();
  void aboutRequested();
  // Files were saved, or the window closed: the file manager lists anew.
  void refreshRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildToolbar();
  void buildMenus();
  void showResult(const std::string& text);
  void showLinkStatus(link::LinkStatus status);
  QAction* action(platform::ToolbarButton button) const;

  shell::ShellContext& shell_;
  platform::Prompts& prompts_;
  std::unique_ptr<link::ui::PortDialog> portDialog_;
  std::unique_ptr<transfer::ProgrammerCommands> commands_;
  FileChooser chooseFiles_;
  std::string result_;
  bool closing_ = false;

  QToolBar* toolbar_ = nullptr;
  std::array<QAction*, platform::kToolbarButtonCount> buttons_{};
  CatalogueList* list_ = nullptr;
  QLabel* memorySize_ = nullptr;
  QProgressBar* memoryBar_ = nullptr;
  QLabel* panels_[2] = {nullptr, nullptr};
  QLabel* linkState_ = nullptr;
  QProgressBar* progress_ = nullptr;
};

}  // namespace vestrim::catalogue::ui
