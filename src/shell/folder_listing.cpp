#include "shell/folder_listing.h"

#include <algorithm>
#include <cctype>

namespace vestrim::shell {

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::vector<std::filesystem::directory_entry> sortedEntries(const std::filesystem::path& folder) {
  // Each name's key once, not once per comparison: folders hold thousands.
  struct Keyed {
    std::string key;
    std::string name;
    std::filesystem::directory_entry entry;
  };
  std::vector<Keyed> keyed;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    keyed.push_back({lowered(name), std::move(name), entry});
  }
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    return a.key != b.key ? a.key < b.key : a.name < b.name;
  });
  std::vector<std::filesystem::directory_entry> entries;
  entries.reserve(keyed.size());
  for (Keyed& k : keyed) {
    entries.push_back(std::move(k.entry));
  }
  return entries;
}

}  // namespace vestrim::shell
