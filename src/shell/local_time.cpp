#include "shell/local_time.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <ctime>

namespace vestrim::shell {

#ifdef _WIN32

namespace {

LocalTime civil(const SYSTEMTIME& time) {
  return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

SYSTEMTIME systemTime(const LocalTime& time) {
  SYSTEMTIME system{};
  system.wYear = static_cast<WORD>(time.year);
  system.wMonth = static_cast<WORD>(time.month);
  system.wDay = static_cast<WORD>(time.day);
  system.wHour = static_cast<WORD>(time.hour);
  system.wMinute = static_cast<WORD>(time.minute);
  system.wSecond = static_cast<WORD>(time.second);
  return system;
}

}  // namespace

std::optional<LocalTime> fileModifiedLocalTime(const std::filesystem::path& file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data) ||
      !::FileTimeToSystemTime(&data.ftLastWriteTime, &utc) ||
      !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return std::nullopt;
  }
  return civil(local);
}

bool setFileModifiedLocalTime(const std::filesystem::path& file, const LocalTime& time) {
  const SYSTEMTIME local = systemTime(time);
  SYSTEMTIME utc{};
  FILETIME when{};
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
      !::SystemTimeToFileTime(&utc, &when)) {
    return false;
  }
  const HANDLE handle = ::CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  const bool set = ::SetFileTime(handle, nullptr, nullptr, &when);
  return ::CloseHandle(handle) && set;
}

LocalTime localNow() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return civil(now);
}

LocalTime utcNow() {
  SYSTEMTIME now{};
  ::GetSystemTime(&now);
  return civil(now);
}

LocalTime localFromUtc(const LocalTime& utc) {
  const SYSTEMTIME from = systemTime(utc);
  SYSTEMTIME local{};
  return ::SystemTimeToTzSpecificLocalTime(nullptr, &from, &local) ? civil(local) : utc;
}

#else

namespace {

LocalTime civil(const std::tm& time) {
  return {time.tm_year + 1900, time.tm_mon + 1, time.tm_mday,
          time.tm_hour,        time.tm_min,     time.tm_sec};
}

std::tm brokenDown(const LocalTime& time) {
  std::tm fields{};
  fields.tm_year = time.year - 1900;
  fields.tm_mon = time.month - 1;
  fields.tm_mday = time.day;
  fields.tm_hour = time.hour;
  fields.tm_min = time.minute;
  fields.tm_sec = time.second;
  return fields;
}

}  // namespace

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
  return civil(local);
}

bool setFileModifiedLocalTime(const std::filesystem::path& file, const LocalTime& time) {
  std::tm local = brokenDown(time);
  local.tm_isdst = -1;  // as the clocks went on that day
  const std::time_t when = std::mktime(&local);
  const struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
  return when != -1 && ::utimensat(AT_FDCWD, file.c_str(), times, 0) == 0;
}

LocalTime localNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return civil(local);
}

LocalTime utcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  return civil(utc);
}

LocalTime localFromUtc(const LocalTime& utc) {
  std::tm from = brokenDown(utc);
  const std::time_t when = ::timegm(&from);
  std::tm local{};
  return when != -1 && ::localtime_r(&when, &local) != nullptr ? civil(local) : utc;
}

#endif

}  // namespace vestrim::shell
