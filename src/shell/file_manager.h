#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/local_time.h"
#include "shell/text_table.h"

// The local file manager without its window: the archive's folder tree as
// it is shown (root, year folders, month and "SERVICE" folders) and the rows
// of a folder's stored cycle files. Texts are single-byte, as the language
// files have them; file system names are converted at this edge.
namespace vestrim::shell {

// Caption numbers (LanguageTexts).
inline constexpr std::size_t kLanguageMenuCaption = 296;
inline constexpr std::size_t kExitMenuCaption = 297;
inline constexpr std::size_t kArchiveRootCaption = 298;
inline constexpr std::size_t kFileColumnCaptions = 299;  // 299 to 302
inline constexpr int kFileColumns = 4;
inline constexpr const char* kServiceFolder = "SERVICE";
inline constexpr const char* kStoredFilePattern = ".dtl";
inline constexpr const char* kStoredFileType = "File register";

enum class FolderKind { Root, Year, Month, Service };

// One node of the folder tree. A node keeps the folder it stands for: its
// caption is for display only.
struct FolderNode {
  std::string caption;
  std::filesystem::path folder;
  FolderKind kind = FolderKind::Root;
  std::vector<FolderNode> children;
};

// The caption of month folder `name` ("01" to "12"): the text of language
// line v (v the folder's number) from the second character after its first
// comma up to, not including, its last character, so that 3,"03 March"
// gives 03 March. A line without a comma gives its text from the second
// character. A folder whose name is not a month number keeps its name.
std::string monthCaption(const LanguageTexts& texts, const std::string& folderName);

// The folder tree (PopulateTreeView): the root captioned with text 298,
// one node per sub-folder of the program folder, and under each one node
// per sub-folder of that: "SERVICE" by its name, a month by its caption.
// Folders are listed by name, ignoring case; links to folders are not
// followed.
FolderNode archiveTree(const std::filesystem::path& programFolder, const LanguageTexts& texts);

// One row of the file list.
struct StoredFileRow {
  std::filesystem::path file;
  std::string name;      // column 1
  std::string type;      // column 2: "File register"
  std::string size;      // column 3: bytes / 1000 + 1, then "KB"
  std::string modified;  // column 4: date and time of the last change, without seconds
  std::uintmax_t bytes = 0;
  LocalTime modifiedAt;
};

// "3KB" for 2500 bytes: whole thousands plus one, as the list shows sizes.
std::string sizeText(std::uintmax_t bytes);
// "07/12/2026 14:05": day, month, year, hour and minute.
std::string modifiedText(const LocalTime& time);

// The stored cycle files (".dtl", any letter case, ordinary files only) of
// `folder`, by name ignoring case (ShowFile). Nothing for a folder that
// cannot be read.
std::vector<StoredFileRow> storedFileRows(const std::filesystem::path& folder);

}  // namespace vestrim::shell
