#include "pendrive/pen_drive_session.h"

#include "pendrive/drive_discovery.h"
#include "shell/text_encoding.h"

namespace vestrim::pendrive {
namespace {

constexpr std::size_t kMemorySizeCaption = 307;
constexpr int kMainConnectButton = 1;
constexpr int kMainPenDriveButton = 7;
constexpr std::size_t kNamesShown = 10;

}  // namespace

PenDriveSession::PenDriveSession(platform::DriveInfo drive, const platform::DriveEnumerator& drives,
                                 shell::ShellContext& shell, platform::Prompts& prompts,
                                 platform::MainWindowView& mainWindow,
                                 std::optional<CommandList> commandList)
    : drive_(std::move(drive)),
      drives_(drives),
      shell_(shell),
      prompts_(prompts),
      mainWindow_(mainWindow),
      commandList_(std::move(commandList)) {}

std::string PenDriveSession::statusText() const {
  return connectedText(drive_);
}

std::string PenDriveSession::sizeCaption() const {
  std::string caption = shell_.language.texts[kMemorySizeCaption];
  caption.resize(caption.size() >= 4 ? caption.size() - 4 : 0);
  return caption + "[MB]";
}

void PenDriveSession::opened() {
  mainWindow_.setToolbarButtonEnabled(kMainConnectButton, false);
}

void PenDriveSession::firstReadingDone() {
  mainWindow_.setToolbarButtonEnabled(kMainConnectButton, false);
  mainWindow_.setToolbarButtonEnabled(kMainPenDriveButton, false);
}

void PenDriveSession::closed() {
  mainWindow_.setToolbarButtonEnabled(kMainConnectButton, true);
  mainWindow_.setToolbarButtonEnabled(kMainPenDriveButton, true);
}

DriveFigures PenDriveSession::figures() const {
  const platform::DriveInfo now = drives_.refreshed(drive_);
  return {driveSizeText(now), driveUsedFraction(now)};
}

PenDriveCatalogue PenDriveSession::read(const Progress& progress) const {
  return ReadPenDrive(drive_.root, progress);
}

void PenDriveSession::setCatalogue(PenDriveCatalogue catalogue) {
  if (catalogue.found.empty()) {
    return;
  }
  catalogue_ = std::move(catalogue);
  rows_ = penDriveRows(catalogue_.files, commandList_ ? &*commandList_ : nullptr);
}

PenDriveSave PenDriveSession::save(const Progress& progress) const {
  return Save(catalogue_.files, rows_, shell_, progress);
}

bool PenDriveSession::confirmed() {
  return prompts_.show({.text = "Are you sure?",
                        .title = {},
                        .icon = platform::MessageIcon::Exclamation,
                        .buttons = platform::MessageButtons::OkCancel}) ==
         platform::MessageAnswer::Ok;
}

bool PenDriveSession::confirmErase() {
  return !rows_.empty() && confirmed();
}

EraseOutcome PenDriveSession::eraseListed(const Progress& progress) const {
  EraseOutcome outcome;
  outcome.erased = eraseFiles(catalogue_.found, progress, &outcome.failed);
  return outcome;
}

platform::Message PenDriveSession::erased(const EraseOutcome& outcome) {
  catalogue_ = {};
  rows_.clear();
  return erasedMessage(outcome);
}

platform::Message erasedMessage(const EraseOutcome& outcome) {
  platform::Message message{.text = "All files deleted",
                            .title = {},
                            .icon = platform::MessageIcon::Exclamation,
                            .buttons = platform::MessageButtons::Ok};
  if (!outcome.failed.empty()) {
    message.text =
        std::to_string(outcome.failed.size()) + " of " +
        std::to_string(outcome.failed.size() + static_cast<std::size_t>(outcome.erased)) +
        " files could not be deleted:";
    for (std::size_t i = 0; i < outcome.failed.size() && i < kNamesShown; ++i) {
      message.text += "\n" + shell::utf8ToWindows1252(outcome.failed[i].string());
    }
    if (outcome.failed.size() > kNamesShown) {
      message.text += "\n...";
    }
  }
  return message;
}

std::optional<EraseOutcome> PenDriveSession::eraseRoot() {
  if (!confirmed()) {
    return std::nullopt;
  }
  EraseOutcome outcome;
  outcome.erased = eraseRootFiles(drive_.root, &outcome.failed);
  return outcome;
}

}  // namespace vestrim::pendrive
