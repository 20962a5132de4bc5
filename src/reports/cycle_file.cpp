#include "reports/cycle_file.h"

#include "shell/safe_file.h"
#include "transfer/seal.h"

namespace vestrim::reports {
namespace {

// The seal of a time given as seconds of the day, or nothing when the time
// falls outside the day (such a time has no valid text and never matches).
std::optional<std::string> sealAt(const shell::LocalTime& date, int secondsOfDay) {
  if (secondsOfDay < 0 || secondsOfDay > 23 * 3600 + 59 * 60 + 59) {
    return std::nullopt;
  }
  shell::LocalTime time = date;
  time.hour = secondsOfDay / 3600;
  time.minute = secondsOfDay / 60 % 60;
  time.second = secondsOfDay % 60;
  return transfer::dateSeal(time);
}

}  // namespace

bool isTechnicalReport(const Bytes& stored) {
  // The file code starts at stored offset 45 (device offset 32); files
  // sealed with their mark one byte earlier are recognised too.
  const auto markAt = [&](std::size_t offset) {
    return stored.size() > offset + 1 && stored[offset] == 'T' && stored[offset + 1] == 'R';
  };
  return markAt(44) || markAt(45);
}

bool sealMatches(const std::string& seal, const shell::LocalTime& modified) {
  if (seal.size() != kSealLength) {
    return false;
  }
  const int t = modified.hour * 3600 + modified.minute * 60 + modified.second;
  std::optional<std::string> built = sealAt(modified, t);
  if (built == seal) {
    return true;
  }
  // Characters 9 to 12 hold the year and the hour.
  const auto yearAndHour = [](const std::string& text) { return text.substr(8, 4); };
  int current = t;
  if (built && yearAndHour(*built) != yearAndHour(seal)) {
    if (sealAt(modified, t - 3600) == seal) {
      return true;
    }
    built = sealAt(modified, t + 3600);
    if (!built || yearAndHour(*built) != yearAndHour(seal)) {
      return false;
    }
    current = t + 3600;
  }
  // Within five seconds, never across the hour: a neighbour in another hour
  // differs in characters 9 to 12.
  for (int delta = -5; delta <= 5; ++delta) {
    if (sealAt(modified, current + delta) == seal) {
      return true;
    }
  }
  return false;
}

CycleFile readCycleFile(const Bytes& stored, const shell::LocalTime& modified) {
  CycleFile file;
  if (stored.size() < kMinimumFileLength) {
    file.status = CycleFileStatus::TooShort;
    return file;
  }
  if (!sealMatches(std::string(stored.begin(), stored.begin() + kSealLength), modified)) {
    file.status = CycleFileStatus::BadSeal;
    return file;
  }
  file.DeviceHeader.assign(stored.begin() + 13, stored.begin() + 13 + kDeviceHeaderLength);
  if (isTechnicalReport(stored)) {
    file.status = CycleFileStatus::TechnicalReport;
    file.IsTechnicalReport = true;
    if (stored.size() > kTechnicalReportBody) {
      file.CycleData.assign(stored.begin() + kTechnicalReportBody, stored.end());
    }
    return file;
  }
  std::uint32_t sum = 0;
  for (std::size_t i = 13; i + 1 < stored.size(); ++i) {
    sum += stored[i];
  }
  sum &= 0xFFFF;
  if (sum == 0 || sum / 256 != stored[12] || sum % 256 != stored.back()) {
    file.status = CycleFileStatus::BadChecksum;
    file.DeviceHeader.clear();
    return file;
  }
  file.status = CycleFileStatus::Cycle;
  file.CycleData.assign(stored.begin() + 13 + kDeviceHeaderLength, stored.end() - 1);
  return file;
}

CycleFile LeggiFile(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return {};
  }
  const std::optional<shell::LocalTime> modified = shell::fileModifiedLocalTime(path);
  const std::optional<Bytes> stored = shell::readWholeFile(path);
  if (!stored || !modified) {
    return {};
  }
  return readCycleFile(*stored, *modified);
}

std::string statusText(CycleFileStatus status) {
  switch (status) {
    case CycleFileStatus::Cycle:
      return "OK";
    case CycleFileStatus::TechnicalReport:
      return "OK (technical report)";
    case CycleFileStatus::BadSeal:
      return "bad seal";
    case CycleFileStatus::BadChecksum:
      return "bad checksum";
    case CycleFileStatus::TooShort:
      return "too short";
    case CycleFileStatus::Unreadable:
      return "unreadable";
  }
  return "unreadable";
}

}  // namespace vestrim::reports
