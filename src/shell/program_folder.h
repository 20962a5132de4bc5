#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vestrim::shell {

// Where the program folder may be. The front end fills it from the platform.
struct ProgramFolderPlaces {
  std::optional<std::filesystem::path> chosen;  // --folder DIR
  std::filesystem::path executableFolder;
  std::filesystem::path userDataFolder;  // the per-user data folder of this program
};

struct ProgramFolder {
  std::filesystem::path path;  // ProgramFolder: settings, languages, error log, archive
  bool portable = false;       // the executable's own folder
  std::string error;           // set when no usable folder was found
};

// Chooses the program folder: the folder given with --folder; else the
// executable's folder when it is writable and not an installation's (a
// portable copy); else the per-user data folder (an installed copy, found by
// its languages in share/vestrim/lang of its prefix). A chosen or per-user folder is
// created when missing, and receives the shipped language files when it
// holds none yet.
ProgramFolder chooseProgramFolder(const ProgramFolderPlaces& places);

// The folder of the language files shipped with the executable: beside it
// (a portable copy or the build tree), or in share/vestrim/lang of its
// installation prefix.
std::optional<std::filesystem::path> shippedLanguageFolder(
    const std::filesystem::path& executableFolder);

// Copies the language files of `from` into `to` when `to` holds none.
// Returns the number of files copied. When `to` has language files, those
// that `from` has too gain the lines `from` has past their end (the texts
// of a newer version); no line they have changes.
int installLanguageFiles(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace vestrim::shell
