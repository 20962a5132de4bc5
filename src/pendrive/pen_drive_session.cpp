#include "pendrive/pen_drive_session.h"

#include "pendrive/drive_discovery.h"
#include "shell/own_texts.h"
#include "shell/text_encoding.h"
#include "transfer/record_place.h"

namespace vestrim::pendrive {
namespace {

constexpr std::size_t kMemorySizeCaption = 307;
constexpr int kMainConnectButton = 1;
constexpr int kMainPenDriveButton = 7;

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

bool PenDriveSession::present() const {
  std::error_code error;
  return std::filesystem::is_directory(drive_.root, error);
}

std::string PenDriveSession::goneText() const {
  // A folder taken as a drive is named by its path alone.
  const std::string root = shell::utf8ToWindows1252(shell::utf8Of(drive_.root));
  const std::string name = driveName(drive_);
  return name == root ? shell::ownText(texts(), shell::Text::PenGone, {name})
                      : shell::ownText(texts(), shell::Text::PenGoneAt, {name, root});
}

platform::Message PenDriveSession::driveGone() {
  catalogue_ = {};
  rows_.clear();
  return {.text = goneText() + "\n" + shell::ownText(texts(), shell::Text::PutItBack),
          .title = {},
          .icon = platform::MessageIcon::Exclamation,
          .buttons = platform::MessageButtons::Ok};
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

platform::Message PenDriveSession::saved(const PenDriveSave& result) const {
  const std::string line = transfer::saveOutcomeText(result.outcome, texts());
  if (auto message = transfer::notSavedMessage(line, result.outcome.failed, texts())) {
    return *message;
  }
  return {.text = line,
          .title = {},
          .icon = platform::MessageIcon::Information,
          .buttons = platform::MessageButtons::Ok};
}

bool PenDriveSession::confirmed(const std::vector<platform::CatalogueRow>& rows) {
  const platform::Message question{.text = "Are you sure?",
                                   .title = {},
                                   .icon = platform::MessageIcon::Exclamation,
                                   .buttons = platform::MessageButtons::OkCancel};
  const std::vector<std::string> lost =
      archive::notInArchive(shell_.ProgramFolder, heldRecords(catalogue_.files, rows));
  return prompts_.show(transfer::eraseQuestion(question, lost, shell::Text::OnThePenDrive,
                                               texts())) == platform::MessageAnswer::Ok;
}

bool PenDriveSession::confirmErase() {
  return !rows_.empty() && confirmed(rows_);
}

EraseOutcome PenDriveSession::eraseListed(const Progress& progress) const {
  return eraseFiles(catalogue_.found, progress);
}

platform::Message PenDriveSession::erased(const EraseOutcome& outcome) {
  const std::size_t listed = catalogue_.found.size();
  catalogue_ = {};
  rows_.clear();
  return erasedMessage(outcome, listed, texts());
}

platform::Message erasedMessage(const EraseOutcome& outcome, std::size_t listed,
                                const shell::LanguageTexts& texts) {
  platform::Message message{.text = "All files deleted",
                            .title = {},
                            .icon = platform::MessageIcon::Exclamation,
                            .buttons = platform::MessageButtons::Ok};
  if (static_cast<std::size_t>(outcome.erased) == listed) {
    return message;
  }
  message.text =
      shell::ownText(texts, listed == 1 ? shell::Text::FileDeleted : shell::Text::FilesDeleted,
                     {std::to_string(outcome.erased), std::to_string(listed)});
  std::vector<std::string> gone;
  for (const auto& file : outcome.gone) {
    gone.push_back(shell::utf8ToWindows1252(shell::utf8Of(file)));
  }
  if (!gone.empty()) {
    message.text += "\n\n" + shell::ownText(texts, shell::Text::NoLongerOnDrive) + "\n" +
                    shell::nameLines(gone, texts);
  }
  std::vector<std::string> failed;
  for (const std::string& why : outcome.failed) {
    failed.push_back(shell::utf8ToWindows1252(why));
  }
  if (!failed.empty()) {
    message.text += "\n\n" + shell::ownText(texts, shell::Text::NotDeleted) + "\n" +
                    shell::nameLines(failed, texts);
  }
  return message;
}

std::optional<PenDriveSession::RootErase> PenDriveSession::eraseRoot() {
  std::vector<platform::CatalogueRow> inRoot;
  for (const platform::CatalogueRow& row : rows_) {
    const auto folder = [](const std::filesystem::path& path) {
      return (path / "").lexically_normal();
    };
    if (folder(catalogue_.files[static_cast<std::size_t>(row.record)].file.parent_path()) ==
        folder(drive_.root)) {
      inRoot.push_back(row);
    }
  }
  if (!confirmed(inRoot)) {
    return std::nullopt;
  }
  const std::vector<std::filesystem::path> files = rootFiles(drive_.root);
  return RootErase{eraseFiles(files), files.size()};
}

}  // namespace vestrim::pendrive
