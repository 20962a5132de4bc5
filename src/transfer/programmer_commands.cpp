#include "transfer/programmer_commands.h"

namespace vestrim::transfer {

namespace {
constexpr int kMainConnectButton = 1;
constexpr int kMainPenDriveButton = 7;
}  // namespace

ProgrammerCommands::ProgrammerCommands(platform::SerialPort& port, platform::Scheduler& scheduler,
                                       platform::ProgrammerView& view, platform::Prompts& prompts,
                                       const platform::PortEnumerator& ports,
                                       platform::PortDialogView& dialog, shell::ShellContext& shell,
                                       platform::MainWindowView& mainWindow)
    : shell_(shell),
      mainWindow_(mainWindow),
      programmer_(port, scheduler, view, prompts, ports, dialog, shell),
      download_(programmer_, shell, downloadState_),
      erase_(programmer_, shell, downloadState_),
      selection_(programmer_, shell, download_, downloadState_),
      upload_(programmer_, shell) {}

ProgrammerCommands::~ProgrammerCommands() = default;

void ProgrammerCommands::open() {
  platform::ProgrammerView& view = programmer_.engine().view();
  view.setStatusText(1, kNotConnectedText);
  view.setStatusText(2, kNotConnectedText);
  view.setMenuEnabled(platform::Menu::Device, false);
  view.setMenuEnabled(platform::Menu::File, false);
  for (int button = 1; button <= platform::kToolbarButtonCount; ++button) {
    view.setToolbarButtonEnabled(static_cast<platform::ToolbarButton>(button), false);
  }
  view.setToolbarButtonEnabled(platform::ToolbarButton::Connect, true);
  view.setProgressVisible(false);
  mainWindow_.setToolbarButtonEnabled(kMainConnectButton, false);
  mainWindow_.setToolbarButtonEnabled(kMainPenDriveButton, false);
}

void ProgrammerCommands::close(const std::function<void()>& refreshFileManager) {
  stop();
  if (refreshFileManager) {
    refreshFileManager();
  }
  mainWindow_.setToolbarButtonEnabled(kMainConnectButton, true);
  mainWindow_.setToolbarButtonEnabled(kMainPenDriveButton, true);
}

void ProgrammerCommands::Connect() {
  programmer_.connection().Connect();
}

bool ProgrammerCommands::linkOpen() {
  link::LinkEngine& engine = programmer_.engine();
  if (engine.port().isOpen()) {
    return true;
  }
  engine.port().setSettings(link::kLowSpeedSettings);
  programmer_.connection().SetSpeed();
  return false;
}

void ProgrammerCommands::Read(bool fromToolbar) {
  if (!linkOpen()) {
    return;
  }
  link::LinkEngine& engine = programmer_.engine();
  if (fromToolbar) {
    engine.view().clearCatalogue();
  }
  engine.Wait();
  engine.state().startRead = true;
  programmer_.walks().CheckDimMMC();
}

void ProgrammerCommands::Open(const std::vector<std::filesystem::path>& files) {
  if (!files.empty()) {
    selection_.FileOpen(files);
  }
}

void ProgrammerCommands::download() {
  download_.download();
}

void ProgrammerCommands::Save() {
  upload_.Save();
}

void ProgrammerCommands::erase(bool fromToolbar) {
  if (!linkOpen()) {
    return;
  }
  if (fromToolbar) {
    erase_.eraseFromToolbar();
  } else {
    erase_.eraseFromMenu();
  }
}

bool ProgrammerCommands::working() const {
  return !programmer_.settled() || upload_.running();
}

void ProgrammerCommands::stop() {
  link::LinkEngine& engine = programmer_.engine();
  for (platform::Timer* timer : {&engine.replyTimeoutTimer(), &engine.catalogueEndTimer(),
                                 &engine.blockPacingTimer(), &engine.dispatchTimer()}) {
    timer->stop();
  }
  engine.port().close();
}

}  // namespace vestrim::transfer
