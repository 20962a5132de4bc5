#pragma once

#include <filesystem>
#include <optional>

#include "shell/program_folder.h"

namespace vestrim::platform {

// Where this installation may keep its program folder: the executable's
// folder and the per-user data folder that every Vestrim program shares.
// Needs a Qt application object.
shell::ProgramFolderPlaces qtProgramFolderPlaces(std::optional<std::filesystem::path> chosen);

// The user's cache folder that every Vestrim program shares (the search
// index lives there, never in the archive's folder).
std::filesystem::path qtCacheFolder();

}  // namespace vestrim::platform
