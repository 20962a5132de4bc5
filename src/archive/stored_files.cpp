#include "archive/stored_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "shell/folder_listing.h"

namespace vestrim::archive {

namespace {

// One folder's stored files and sub-folders, one stat for each file: the
// walk over a large archive is what a refresh of the index costs.
void walk(const std::filesystem::path& programFolder, const std::string& below,
          std::vector<StoredFile>& files) {
  const std::filesystem::path folder = programFolder / below;
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) {
    return;
  }
  const int fd = ::dirfd(listing);
  std::vector<std::string> folders;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    struct stat status {};
    if (::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;
    }
    const std::string path = below.empty() ? name : below + "/" + name;
    if (S_ISDIR(status.st_mode)) {
      folders.push_back(path);
    } else if (S_ISREG(status.st_mode) && !below.empty() &&
               shell::lowered(name).ends_with(".dtl")) {
      files.push_back(
          {path, static_cast<std::uint64_t>(status.st_size),
           static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec});
    }
  }
  ::closedir(listing);
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
  const std::filesystem::path given(path);
  if (path.empty() || given.is_absolute() || given.has_root_name()) {
    return false;
  }
  return std::none_of(given.begin(), given.end(), [](const std::filesystem::path& step) {
    return step == ".." || step == "." || step.empty();
  });
}

}  // namespace vestrim::archive
