#include "archive/stored_files.h"

#include <algorithm>

#include "shell/folder_listing.h"

namespace vestrim::archive {

std::vector<StoredFile> storedFiles(const std::filesystem::path& programFolder) {
  std::vector<StoredFile> files;
  std::error_code error;
  std::filesystem::recursive_directory_iterator walk(
      programFolder, std::filesystem::directory_options::skip_permission_denied, error);
  for (const std::filesystem::recursive_directory_iterator end; !error && walk != end;
       walk.increment(error)) {
    const std::filesystem::directory_entry& entry = *walk;
    std::error_code ignored;
    if (walk.depth() == 0 || !entry.is_regular_file(ignored) || entry.is_symlink(ignored) ||
        !shell::lowered(entry.path().filename().string()).ends_with(".dtl")) {
      continue;
    }
    const auto size = entry.file_size(ignored);
    const auto modified = entry.last_write_time(ignored);
    files.push_back({entry.path().lexically_relative(programFolder).generic_string(),
                     static_cast<std::uint64_t>(size),
                     static_cast<std::int64_t>(modified.time_since_epoch().count())});
  }
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
