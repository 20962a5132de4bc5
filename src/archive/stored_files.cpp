#include "archive/stored_files.h"

#include <algorithm>

#include "shell/folder_listing.h"
#include "shell/folder_scan.h"
#include "shell/text_encoding.h"

namespace vestrim::archive {

namespace {

// One folder's stored files and sub-folders, one stat for each file: the
// walk over a large archive is what a refresh of the index costs.
void walk(const std::filesystem::path& programFolder, const std::string& below,
          std::vector<StoredFile>& files) {
  const auto entries = shell::scanFolder(programFolder / shell::pathFromUtf8(below));
  if (!entries) {
    return;
  }
  std::vector<std::string> folders;
  for (const shell::ScannedEntry& entry : *entries) {
    const std::string path = below.empty() ? entry.name : below + "/" + entry.name;
    if (entry.folder) {
      folders.push_back(path);
    } else if (entry.file && !below.empty() && shell::lowered(entry.name).ends_with(".dtl")) {
      files.push_back({path, entry.size, entry.modifiedNs});
    }
  }
  for (const std::string& sub : folders) {
    walk(programFolder, sub, files);
  }
}

}  // namespace

std::vector<StoredFile> storedFiles(const std::filesystem::path& programFolder) {
  std::vector<StoredFile> files;
  walk(programFolder, {}, files);
  std::sort(files.begin(), files.end(),
            [](const StoredFile& a, const StoredFile& b) { return a.path < b.path; });
  return files;
}

bool isArchivePath(const std::string& path) {
  const std::filesystem::path given = shell::pathFromUtf8(path);
  if (path.empty() || given.is_absolute() || given.has_root_name()) {
    return false;
  }
  return std::none_of(given.begin(), given.end(), [](const std::filesystem::path& step) {
    return step == ".." || step == "." || step.empty();
  });
}

}  // namespace vestrim::archive
