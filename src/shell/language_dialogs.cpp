#include "shell/language_dialogs.h"

#include <algorithm>

#include "shell/language_setup.h"

namespace vestrim::shell {

void StartUpMdi(platform::MainWindowView& mainWindow) {
  for (int button = 1; button <= 6; ++button) {
    mainWindow.setToolbarButtonEnabled(button, false);
  }
  mainWindow.setToolbarButtonEnabled(1, true);
}

DefaultLanguageDialog::DefaultLanguageDialog(std::filesystem::path programFolder,
                                             SettingsLines& settings,
                                             platform::MainWindowView& mainWindow,
                                             platform::Prompts& prompts)
    : programFolder_(std::move(programFolder)),
      settings_(settings),
      mainWindow_(mainWindow),
      prompts_(prompts) {}

bool DefaultLanguageDialog::load() {
  mainWindow_.setToolbarEnabled(false);
  languages_.clear();
  for (const LanguageFile& file : findLanguageFiles(programFolder_)) {
    if (languages_.size() == kLanguageDialogRows) {
      break;
    }
    languages_.push_back(file.name);
  }
  if (languages_.empty()) {
    prompts_.show(noLanguageFileMessage());
    return false;
  }
  shown_ = languages_.front();
  return true;
}

void DefaultLanguageDialog::choose(const std::string& language) {
  shown_ = language;
  settings_.DefaultLanguage = language;
}

bool DefaultLanguageDialog::confirm() {
  settings_.DefaultLanguage = shown_;
  const bool written =
      settings_writers::languageChosen(programFolder_, settings_.DataFolder, shown_);
  StartUpMdi(mainWindow_);
  mainWindow_.setToolbarEnabled(true);
  mainWindow_.showFileManager();
  return written;
}

NextStartLanguageDialog::NextStartLanguageDialog(std::filesystem::path programFolder,
                                                 SettingsLines& settings,
                                                 platform::MainWindowView& mainWindow)
    : programFolder_(std::move(programFolder)), settings_(settings), mainWindow_(mainWindow) {}

void NextStartLanguageDialog::load() {
  // A file that cannot be read stands for the default file: no language.
  const SettingsLines stored =
      readSettingsFile(programFolder_)
          .value_or(SettingsLines{PortSetting::fromNumber(1), pathText(programFolder_), ""});
  settings_.PortNumber = stored.PortNumber;
  settings_.DataFolder = stored.DataFolder;
  askAgain_ = stored.DefaultLanguage.empty();
}

bool NextStartLanguageDialog::setAskAgain(bool ticked) {
  askAgain_ = ticked;
  settings_.DataFolder = pathText(programFolder_);
  const bool written =
      settings_writers::askLanguageNextStart(programFolder_, ticked, settings_.DefaultLanguage);
  mainWindow_.setToolbarEnabled(true);
  return written;
}

void NextStartLanguageDialog::close() {
  mainWindow_.setWindowEnabled(true);
  mainWindow_.setFileManagerEnabled(true);
}

}  // namespace vestrim::shell
