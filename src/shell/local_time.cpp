#include "shell/local_time.h"

#include <sys/stat.h>

#include <ctime>

namespace vestrim::shell {

std::optional<LocalTime> fileModifiedLocalTime(const std::filesystem::path& file) {
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0) {
    return std::nullopt;
  }
  std::tm local{};
  const std::time_t modified = status.st_mtime;
  if (::localtime_r(&modified, &local) == nullptr) {
    return std::nullopt;
  }
  return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace vestrim::shell
