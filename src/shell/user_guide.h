#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/prompts.h"
#include "shell/text_table.h"

// The user guide: a Markdown file with its pictures beside it, installed
// with the program or found in the source tree of a build.
namespace vestrim::shell {

struct UserGuideSearch {
  std::optional<std::filesystem::path> guide;
  // Every file looked at, in order; one that is there but cannot be read
  // followed by the system's reason.
  std::vector<std::string> lookedAt;
};

// The guide in the first of `folders` that holds a readable one: the guide
// in the language in use ("guide-it.md" for `languageCode` "it") when there
// is one, else the English "guide.md".
UserGuideSearch findUserGuide(const std::vector<std::filesystem::path>& folders,
                              const std::string& languageCode);

// What the user is told when no guide was found: the files looked at.
platform::Message userGuideMissing(const LanguageTexts& texts, const UserGuideSearch& search);

}  // namespace vestrim::shell
