#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vestrim::shell {

// `text` in lower case (single-byte letters only).
std::string lowered(std::string text);

// The entries of a folder by name, ignoring case, as a folder listing shows
// them; names equal but for case keep a stable order. Nothing when the
// folder cannot be read.
std::vector<std::filesystem::directory_entry> sortedEntries(const std::filesystem::path& folder);

}  // namespace vestrim::shell
