#include "shell/language_setup.h"

#include <algorithm>
#include <cctype>

#include "shell/folder_listing.h"
#include "shell/language_files.h"

namespace vestrim::shell {
std::vector<LanguageFile> findLanguageFiles(const std::filesystem::path& folder) {
  std::vector<LanguageFile> files;
  const std::size_t extension = std::char_traits<char>::length(kLanguageExtension);
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > extension &&
        lowered(name.substr(name.size() - extension)) == kLanguageExtension &&
        entry.is_regular_file(error)) {
      files.push_back({name.substr(0, name.size() - extension), entry.path()});
    }
  }
  std::sort(files.begin(), files.end(), [](const LanguageFile& a, const LanguageFile& b) {
    const std::string la = lowered(a.name);
    const std::string lb = lowered(b.name);
    return la != lb ? la < lb : a.name < b.name;
  });
  return files;
}

platform::Message noLanguageFileMessage() {
  return {.text = "File missing!\nReinstall program",
          .title = "Error",
          .icon = platform::MessageIcon::Critical,
          .buttons = platform::MessageButtons::Ok};
}

bool initialiseLanguage(const std::filesystem::path& programFolder,
                        const std::string& defaultLanguage, LanguageState& language,
                        platform::Prompts& prompts) {
  std::vector<LanguageFile> found = findLanguageFiles(programFolder);
  if (found.empty()) {
    prompts.show(noLanguageFileMessage());
    return false;
  }
  found.resize(std::min(found.size(), kLanguageListRows));
  language.LanguageList.clear();
  for (const LanguageFile& listed : found) {
    language.LanguageList.push_back(listed.name);
  }
  const auto chosen = std::find_if(found.begin(), found.end(), [&](const LanguageFile& listed) {
    return !defaultLanguage.empty() && listed.name == defaultLanguage;
  });
  const LanguageFile& use = chosen != found.end() ? *chosen : found.front();
  language.DefaultLanguage = use.name;
  const std::filesystem::path& file = use.file;
  LoadLanguageTexts(file, language.texts);
  if (!LoadLanguageMessages(file, language.messages)) {
    prompts.show({.text = "error program \nplease reload SETUP",
                  .title = "",
                  .icon = platform::MessageIcon::Critical,
                  .buttons = platform::MessageButtons::Ok});
    return false;
  }
  return true;
}

}  // namespace vestrim::shell
