#include "archive/stored_cycle.h"

#include <cstdio>

#include "record/cycle_file.h"

namespace vestrim::archive {
namespace {

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(std::string(" \0", 2));
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(std::string(" \0", 2)) - first + 1);
}

}  // namespace

std::optional<StoredCycle> storedCycle(const Bytes& stored) {
  constexpr std::size_t kCycleData = record::kSealLength + 1 + record::kDeviceHeaderLength;
  if (stored.size() < kCycleData + reports::kSummaryLength + 1 ||
      record::isTechnicalReport(stored)) {
    return std::nullopt;
  }
  const std::string header(stored.begin() + record::kSealLength + 1, stored.begin() + kCycleData);
  const std::string data(stored.begin() + kCycleData, stored.end() - 1);
  // The summary alone: the sample records are counted, not judged, so that a
  // cycle whose report would fail is still found.
  const std::optional<reports::CycleRecord> record =
      reports::decodeCycleRecord(header, data.substr(0, reports::kSummaryLength));
  if (!record) {
    return std::nullopt;
  }
  const reports::CycleSummary& s = record->summary;
  return StoredCycle{trimmed(s.text3),
                     record->header.FileNumber,
                     trimmed(s.text2),
                     s.start,
                     s.end,
                     s.alarmCode,
                     s.text1.size() > 18 && s.text1[18] != '\0',
                     s.result,
                     s.CycleCode,
                     static_cast<int>(reports::recordPositions(data).size())};
}

std::string dateTimeText(const reports::DateTimeFields& time) {
  char text[32];
  std::snprintf(text, sizeof text, "20%02d-%02d-%02d %02d:%02d", time.year % 100, time.month % 100,
                time.day % 100, time.hour % 100, time.minute % 100);
  return text;
}

}  // namespace vestrim::archive
