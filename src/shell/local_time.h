#pragma once

#include <filesystem>
#include <optional>

namespace vestrim::shell {

// A civil date and time as the file system shows it in local time.
struct LocalTime {
  int year = 2000;  // four digits
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;

  bool operator==(const LocalTime&) const = default;
};

// The file's last-modification time in local civil time; nothing when the
// file cannot be examined.
std::optional<LocalTime> fileModifiedLocalTime(const std::filesystem::path& file);

}  // namespace vestrim::shell
