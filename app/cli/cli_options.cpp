#include "cli_options.h"

#include <QLocale>
#include <iostream>

#include "platform/qt/qt_program_places.h"
#include "shell/program_folder.h"
#include "shell/text_encoding.h"
#include "terminal_front_end.h"

namespace vestrim::cli {

void fail(const std::string& message) {
  std::cerr << "vestrim-cli: " << message << '\n';
}

std::optional<std::filesystem::path> programFolderOnly(const GlobalOptions& options) {
  std::error_code error;
  if (!options.folder.empty() &&
      !std::filesystem::is_directory(shell::pathFromUtf8(options.folder), error)) {
    fail("no such folder: " + options.folder);
    return std::nullopt;
  }
  const shell::ProgramFolder folder = shell::chooseProgramFolder(platform::qtProgramFolderPlaces(
      options.folder.empty()
          ? std::nullopt
          : std::optional<std::filesystem::path>(shell::pathFromUtf8(options.folder))));
  if (!folder.error.empty()) {
    fail(folder.error);
    return std::nullopt;
  }
  return folder.path;
}

std::unique_ptr<shell::ShellContext> startShell(const GlobalOptions& options) {
  const shell::ProgramFolder folder = shell::chooseProgramFolder(platform::qtProgramFolderPlaces(
      options.folder.empty()
          ? std::nullopt
          : std::optional<std::filesystem::path>(shell::pathFromUtf8(options.folder))));
  if (!folder.error.empty()) {
    fail(folder.error);
    return nullptr;
  }
  auto shell = std::make_unique<shell::ShellContext>(folder.path);
  shell->settings = shell::loadSettingsAtStart(folder.path);
  const QString point = QLocale::system().decimalPoint();
  shell->decimalSeparator = point.size() == 1 ? point.at(0).toLatin1() : '.';

  const std::string wanted =
      options.language.empty() ? shell->settings.DefaultLanguage : options.language;
  TerminalPrompts prompts(options.assumeYes);
  if (!shell::initialiseLanguage(folder.path, wanted, shell->language, prompts)) {
    return nullptr;
  }
  if (!options.language.empty() && shell->language.DefaultLanguage != options.language) {
    fail("no language " + options.language + " in " + shell::utf8Of(folder.path) + "; using " +
         shell->language.DefaultLanguage);
  }
  return shell;
}

}  // namespace vestrim::cli
