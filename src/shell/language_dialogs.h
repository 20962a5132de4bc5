#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/main_window_view.h"
#include "platform/prompts.h"
#include "shell/settings_file.h"

namespace vestrim::shell {

// The main window's toolbar for a first start: buttons 1 to 6 disabled,
// then button 1 (connect) enabled; button 7 keeps its state.
void StartUpMdi(platform::MainWindowView& mainWindow);

// The default-language dialog, shown at start when no default language is
// stored. `settings` are the program's settings in memory.
class DefaultLanguageDialog {
 public:
  DefaultLanguageDialog(std::filesystem::path programFolder, SettingsLines& settings,
                        platform::MainWindowView& mainWindow, platform::Prompts& prompts);

  // Disables the main window's toolbar and lists the languages (up to 11),
  // the first one shown. With no language file: "File missing!" and false;
  // the program cannot go on.
  bool load();
  const std::vector<std::string>& languages() const { return languages_; }
  // The language the box shows.
  const std::string& shown() const { return shown_; }

  // The user picks a language in the box.
  void choose(const std::string& language);
  // OK: the shown language becomes the default, is written to the settings
  // file (1, DataFolder, the language), the toolbar is set for a first start
  // and enabled, and the file manager opens. False when the settings file
  // could not be written (the choice then holds for this run only).
  bool confirm();

 private:
  std::filesystem::path programFolder_;
  SettingsLines& settings_;
  platform::MainWindowView& mainWindow_;
  platform::Prompts& prompts_;
  std::vector<std::string> languages_;
  std::string shown_;
};

// The change-default-language dialog: a check box "ask again at the next
// start", opened from the file manager (which disables itself and the main
// window meanwhile).
class NextStartLanguageDialog {
 public:
  NextStartLanguageDialog(std::filesystem::path programFolder, SettingsLines& settings,
                          platform::MainWindowView& mainWindow);

  // Reads the settings file: the box is ticked when no default language is
  // stored. Setting the box here is not a user action.
  void load();
  bool askAgain() const { return askAgain_; }
  // The user ticks or clears the box: the settings file is rewritten at once
  // (1, the program folder, empty when ticked, else the language in use) and
  // the main window's toolbar enabled. False when the file could not be
  // written.
  bool setAskAgain(bool ticked);
  // The dialog closes: the main window and the file manager are enabled again.
  void close();

 private:
  std::filesystem::path programFolder_;
  SettingsLines& settings_;
  platform::MainWindowView& mainWindow_;
  bool askAgain_ = false;
};

}  // namespace vestrim::shell
