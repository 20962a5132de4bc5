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
  std::vector<std::filesystem::directory_entry> entries;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    entries.push_back(entry);
  }
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    const std::string la = lowered(a.path().filename().string());
    const std::string lb = lowered(b.path().filename().string());
    return la != lb ? la < lb : a.path().filename() < b.path().filename();
  });
  return entries;
}

}  // namespace vestrim::shell
