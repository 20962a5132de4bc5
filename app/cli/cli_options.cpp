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

namespace {

// The folder of --folder, when it is given.
std::optional<std::filesystem::path> givenFolder(const GlobalOptions& options) {
  if (options.folder.empty()) {
    return std::nullopt;
  }
  return shell::pathFromUtf8(options.folder);
}

}  // namespace

std::optional<std::filesystem::path> programFolderOnly(const GlobalOptions& options) {
  std::error_code error;
  const std::optional<std::filesystem::path> given = givenFolder(options);
  if (given && !std::filesystem::is_directory(*given, error)) {
    fail("no such folder: " + options.folder);
    return std::nullopt;
  }
  const shell::ProgramFolder folder =
      shell::chooseProgramFolder(platform::qtProgramFolderPlaces(given));
  if (!folder.error.empty()) {
    fail(folder.error);
    return std::nullopt;
  }
  return folder.path;
}

std::unique_ptr<shell::ShellContext> startShell(const GlobalOptions& options) {
  const shell::ProgramFolder folder =
      shell::chooseProgramFolder(platform::qtProgramFolderPlaces(givenFolder(options)));
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
