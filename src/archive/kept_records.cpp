#include "archive/kept_records.h"

#include <algorithm>
#include <map>
#include <set>

#include "catalogue/header_record.h"
#include "link/device_addresses.h"
#include "record/sealed_record.h"
#include "shell/folder_listing.h"
#include "shell/folder_scan.h"
#include "shell/safe_file.h"
#include "shell/text_encoding.h"

namespace vestrim::archive {
namespace {

// The keys of the intact sealed records of one folder, reading only the
// files whose size fits one of `lengths` (a sealed file is its record and
// 15 bytes).
std::set<catalogue::RecordKey> keysIn(const std::filesystem::path& folder,
                                      const std::set<std::uint64_t>& lengths) {
  std::set<catalogue::RecordKey> keys;
  const auto entries = shell::scanFolder(folder);
  if (!entries) {
    return keys;
  }
  for (const shell::ScannedEntry& entry : *entries) {
    if (!entry.file || !shell::lowered(entry.name).ends_with(".dtl") ||
        entry.size < record::kSealOverhead ||
        !lengths.contains(entry.size - record::kSealOverhead)) {
      continue;
    }
    const std::optional<Bytes> sealed =
        shell::readWholeFile(folder / shell::pathFromUtf8(entry.name));
    const std::optional<std::span<const std::uint8_t>> deviceFile =
        sealed ? record::sealedRecord(*sealed) : std::nullopt;
    if (deviceFile && deviceFile->size() >= static_cast<std::size_t>(link::kHeaderRecordLength)) {
      keys.insert(
          catalogue::recordKey(deviceFile->first(link::kHeaderRecordLength), deviceFile->size()));
    }
  }
  return keys;
}

}  // namespace

std::vector<std::string> notInArchive(const std::filesystem::path& programFolder,
                                      const std::vector<HeldRecord>& records) {
  std::map<std::filesystem::path, std::set<std::uint64_t>> lengths;
  for (const HeldRecord& record : records) {
    for (const std::filesystem::path& folder : record.folders) {
      lengths[folder].insert(record.key.length);
    }
  }
  std::map<std::filesystem::path, std::set<catalogue::RecordKey>> kept;
  for (const auto& [folder, wanted] : lengths) {
    kept[folder] = keysIn(programFolder / folder, wanted);
  }
  std::vector<std::string> lost;
  for (const HeldRecord& record : records) {
    if (std::none_of(record.folders.begin(), record.folders.end(),
                     [&](const auto& folder) { return kept[folder].contains(record.key); })) {
      lost.push_back(record.label);
    }
  }
  return lost;
}

}  // namespace vestrim::archive
