#include "shell/program_folder.h"

#include "shell/language_setup.h"
#include "shell/safe_file.h"

namespace vestrim::shell {
namespace {

ProgramFolder prepared(const std::filesystem::path& folder,
                       const std::filesystem::path& executableFolder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!isWritableFolder(folder)) {
    return {folder, false, "cannot use " + folder.string() + " as the program folder"};
  }
  if (const auto shipped = shippedLanguageFolder(executableFolder)) {
    installLanguageFiles(*shipped, folder);
  }
  return {std::filesystem::absolute(folder, error).lexically_normal(), false, {}};
}

}  // namespace

std::optional<std::filesystem::path> shippedLanguageFolder(
    const std::filesystem::path& executableFolder) {
  // Lexically, so that the prefix is found from the executable's folder
  // name alone.
  for (const auto& candidate :
       {executableFolder, (executableFolder / ".." / "share" / "vestrim" / "lang")}) {
    const std::filesystem::path folder = candidate.lexically_normal();
    if (!findLanguageFiles(folder).empty()) {
      return folder;
    }
  }
  return std::nullopt;
}

int installLanguageFiles(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!findLanguageFiles(to).empty()) {
    return 0;
  }
  int copied = 0;
  for (const LanguageFile& language : findLanguageFiles(from)) {
    std::error_code error;
    if (std::filesystem::copy_file(language.file, to / language.file.filename(), error)) {
      ++copied;
    }
  }
  return copied;
}

ProgramFolder chooseProgramFolder(const ProgramFolderPlaces& places) {
  if (places.chosen) {
    return prepared(*places.chosen, places.executableFolder);
  }
  // An installed copy (its languages in the prefix's share folder, none
  // beside it) is never portable, even for a user who may write to its
  // folder: root would otherwise fill /usr/bin with settings and archive.
  const auto shipped = shippedLanguageFolder(places.executableFolder);
  const bool installed = shipped && *shipped != places.executableFolder.lexically_normal();
  if (!installed && isWritableFolder(places.executableFolder)) {
    std::error_code error;
    return {std::filesystem::absolute(places.executableFolder, error).lexically_normal(), true, {}};
  }
  return prepared(places.userDataFolder, places.executableFolder);
}

}  // namespace vestrim::shell
