#pragma once

#include <filesystem>

#include "shell/error_log.h"
#include "shell/language_setup.h"
#include "shell/settings_file.h"

namespace vestrim::shell {

// What every part of the program shares for the whole run: the program
// folder, the settings values, the language in use and the error log.
struct ShellContext {
  explicit ShellContext(std::filesystem::path programFolder)
      : ProgramFolder(programFolder), log(std::move(programFolder)) {}

  std::filesystem::path ProgramFolder;
  SettingsLines settings;
  LanguageState language;
  ErrorLog log;
  char decimalSeparator = '.';  // the user's locale's
};

}  // namespace vestrim::shell
