#include <iostream>

#include "commands.h"
#include "shell/text_encoding.h"
#include "shell/version_line.h"

namespace vestrim::cli {

int settingsCommand(const GlobalOptions& options) {
  const auto shell = startShell(options);
  if (!shell) {
    return 1;
  }
  const shell::PortSetting& stored = shell->settings.PortNumber;
  const std::string port = !stored.devicePath.empty() ? stored.devicePath
                           : stored.number == 0 ? "0 (not chosen: the adapter is searched for)"
                                                : std::to_string(stored.number);
  const std::string& language = shell->settings.DefaultLanguage;
  std::cout << "Program folder:   " << shell::utf8Of(shell->ProgramFolder) << '\n'
            << "Port:             " << port << '\n'
            << "Data folder:      " << shell->settings.DataFolder << '\n'
            << "Default language: "
            << (language.empty() ? "(none stored; " + shell->language.DefaultLanguage + " is used)"
                                 : language)
            << '\n'
            << "Languages:        ";
  for (std::size_t i = 0; i < shell->language.LanguageList.size(); ++i) {
    std::cout << (i == 0 ? "" : ", ") << shell->language.LanguageList[i];
  }
  std::cout << '\n' << "Version:          " << shell::versionLine() << '\n';
  return 0;
}

}  // namespace vestrim::cli
