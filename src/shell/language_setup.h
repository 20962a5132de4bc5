#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/prompts.h"
#include "shell/text_table.h"

namespace vestrim::shell {

// The language initialisation knows at most this many languages; the
// default-language dialog lists one more.
inline constexpr std::size_t kLanguageListRows = 10;
inline constexpr std::size_t kLanguageDialogRows = 11;

struct LanguageFile {
  std::string name;  // the file name without ".lng": the language as the user sees it
  std::filesystem::path file;
};

// The language files in `folder` (file names ending in ".lng", in any
// case), in a stable order: by name, ignoring case, as a folder listing
// shows them.
std::vector<LanguageFile> findLanguageFiles(const std::filesystem::path& folder);

// The language in use and its tables.
struct LanguageState {
  std::vector<std::string> LanguageList;  // up to ten names
  std::string DefaultLanguage;            // the language loaded
  LanguageTexts texts;                    // the LanguageTexts table
  LanguageMessages messages;              // the LanguageMessages table
};

// The language initialisation: lists the language files of `programFolder`,
// loads the captions of `defaultLanguage` when it names a listed language,
// else of the first listed one (which then becomes the default language, in
// memory only), and then the messages of that language. Shows "File
// missing!" or "error program " through `prompts` and returns false when the
// program cannot go on; ending the program is the caller's decision.
bool initialiseLanguage(const std::filesystem::path& programFolder,
                        const std::string& defaultLanguage, LanguageState& language,
                        platform::Prompts& prompts);

// The message shown when the program folder holds no language file.
platform::Message noLanguageFileMessage();

}  // namespace vestrim::shell
