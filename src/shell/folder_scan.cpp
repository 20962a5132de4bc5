#include "shell/folder_scan.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include "shell/text_encoding.h"

namespace vestrim::shell {

#ifdef _WIN32

std::optional<std::vector<ScannedEntry>> scanFolder(const std::filesystem::path& folder) {
  // The listing carries each entry's size and times: no call per file.
  WIN32_FIND_DATAW data{};
  const HANDLE listing =
      ::FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (listing == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  // FILETIME counts 100 ns from 1601.
  constexpr std::int64_t kFrom1601To1970 = 116444736000000000;
  std::vector<ScannedEntry> entries;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") {
      continue;
    }
    const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool folderEntry = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::int64_t ticks =
        (static_cast<std::int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    entries.push_back({utf8Of(std::filesystem::path(name)), !link && folderEntry,
                       !link && !folderEntry,
                       (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                       (ticks - kFrom1601To1970) * 100});
  } while (::FindNextFileW(listing, &data));
  ::FindClose(listing);
  return entries;
}

#else

std::optional<std::vector<ScannedEntry>> scanFolder(const std::filesystem::path& folder) {
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) {
    return std::nullopt;
  }
  const int fd = ::dirfd(listing);
  std::vector<ScannedEntry> entries;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    struct stat status {};
    if (name == "." || name == ".." ||
        ::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;
    }
    entries.push_back(
        {name, S_ISDIR(status.st_mode), S_ISREG(status.st_mode),
         static_cast<std::uint64_t>(status.st_size),
         static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec});
  }
  ::closedir(listing);
  return entries;
}

#endif

}  // namespace vestrim::shell
