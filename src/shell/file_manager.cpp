#include "shell/file_manager.h"

#include <cstdio>

#include "shell/folder_listing.h"
#include "shell/text_encoding.h"

namespace vestrim::shell {
namespace {

std::string shownName(const std::filesystem::path& path) {
  return utf8ToWindows1252(path.filename().string());
}

// The real sub-folders of `folder`, by name ignoring case.
std::vector<std::filesystem::path> subFolders(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> folders;
  for (const auto& entry : sortedEntries(folder)) {
    std::error_code error;
    if (entry.is_directory(error) && !entry.is_symlink(error)) {
      folders.push_back(entry.path());
    }
  }
  return folders;
}

int monthNumber(const std::string& name) {
  if (name.size() != 2 || name[0] < '0' || name[0] > '9' || name[1] < '0' || name[1] > '9') {
    return 0;
  }
  const int month = (name[0] - '0') * 10 + (name[1] - '0');
  return month >= 1 && month <= 12 ? month : 0;
}

}  // namespace

std::string monthCaption(const LanguageTexts& texts, const std::string& folderName) {
  const int month = monthNumber(folderName);
  if (month == 0) {
    return folderName;
  }
  const std::string& line = texts[static_cast<std::size_t>(month)];
  const std::size_t comma = line.find(',');
  // 1-based: from the comma's position + 2 to the line's length - 1.
  const std::size_t first = (comma == std::string::npos ? 0 : comma + 1) + 1;
  if (line.size() < first + 1) {
    return {};
  }
  return line.substr(first, line.size() - 1 - first);
}

FolderNode archiveTree(const std::filesystem::path& programFolder, const LanguageTexts& texts) {
  FolderNode root{texts[kArchiveRootCaption], programFolder, FolderKind::Root, {}};
  for (const std::filesystem::path& year : subFolders(programFolder)) {
    FolderNode yearNode{shownName(year), year, FolderKind::Year, {}};
    for (const std::filesystem::path& inner : subFolders(year)) {
      const std::string name = shownName(inner);
      if (name == kServiceFolder) {
        yearNode.children.push_back({name, inner, FolderKind::Service, {}});
      } else {
        yearNode.children.push_back({monthCaption(texts, name), inner, FolderKind::Month, {}});
      }
    }
    root.children.push_back(std::move(yearNode));
  }
  return root;
}

std::string sizeText(std::uintmax_t bytes) {
  return std::to_string(bytes / 1000 + 1) + "KB";
}

std::string modifiedText(const LocalTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d", time.day, time.month, time.year,
                time.hour, time.minute);
  return text;
}

std::vector<StoredFileRow> storedFileRows(const std::filesystem::path& folder) {
  std::vector<StoredFileRow> rows;
  for (const auto& entry : sortedEntries(folder)) {
    std::error_code error;
    const std::string name = entry.path().filename().string();
    if (name.size() <= 4 || lowered(name.substr(name.size() - 4)) != kStoredFilePattern ||
        !entry.is_regular_file(error)) {
      continue;
    }
    StoredFileRow row;
    row.file = entry.path();
    row.name = shownName(entry.path());
    row.type = kStoredFileType;
    row.bytes = entry.file_size(error);
    row.size = sizeText(row.bytes);
    row.modifiedAt = fileModifiedLocalTime(entry.path()).value_or(LocalTime{});
    row.modified = modifiedText(row.modifiedAt);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace vestrim::shell
