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
// file cannot be examined. Local time is the system's zone: TZ on Linux, the
// zone set in Windows (a TZ variable in a Windows environment is not Windows'
// own and is not taken).
std::optional<LocalTime> fileModifiedLocalTime(const std::filesystem::path& file);

// Sets the file's last-modification time to a local civil time, taken as
// the clocks showed it on that day (summer time or not). False when the
// time does not exist or the file's time cannot be set.
bool setFileModifiedLocalTime(const std::filesystem::path& file, const LocalTime& time);

// The date and time now, on the local clock and in UTC.
LocalTime localNow();
LocalTime utcNow();

// A UTC time on the local clock of that moment.
LocalTime localFromUtc(const LocalTime& utc);

}  // namespace vestrim::shell
