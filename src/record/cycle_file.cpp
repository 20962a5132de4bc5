#include "record/cycle_file.h"

#include "shell/safe_file.h"

namespace vestrim::record {

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
  // A sum of 0 (both sum bytes 0) is refused too: a file of zeros is no record.
  if (!sealedRecord(stored) || (stored[12] == 0 && stored.back() == 0)) {
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

}  // namespace vestrim::record
