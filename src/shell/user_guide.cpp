#include "shell/user_guide.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "shell/own_texts.h"
#include "shell/text_encoding.h"

namespace vestrim::shell {

UserGuideSearch findUserGuide(const std::vector<std::filesystem::path>& folders,
                              const std::string& languageCode) {
  UserGuideSearch search;
  for (const std::filesystem::path& folder : folders) {
    for (const std::string& name : {"guide-" + languageCode + ".md", std::string("guide.md")}) {
      const std::filesystem::path file = folder / name;
      std::error_code error;
      if (!std::filesystem::exists(file, error)) {
        // The English guide is the one every folder should hold: only it is
        // named among the files that are not there.
        if (name == "guide.md") {
          search.lookedAt.push_back(utf8ToWindows1252(utf8Of(file)));
        }
        continue;
      }
      std::string why = "not a file";
      if (std::filesystem::is_regular_file(file, error)) {
        errno = 0;
        if (std::ifstream(file, std::ios::binary)) {
          search.guide = file;
          return search;
        }
        why = std::strerror(errno);
      }
      search.lookedAt.push_back(utf8ToWindows1252(utf8Of(file)) + ": " + why);
    }
  }
  return search;
}

platform::Message userGuideMissing(const LanguageTexts& texts, const UserGuideSearch& search) {
  std::string text = ownText(texts, Text::GuideMissing);
  for (const std::string& file : search.lookedAt) {
    text += "\n" + file;
  }
  return {.text = text,
          .title = ownText(texts, Text::GuideTitle),
          .icon = platform::MessageIcon::Exclamation,
          .buttons = platform::MessageButtons::Ok};
}

}  // namespace vestrim::shell
