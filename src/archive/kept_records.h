#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/header_record.h"

// Whether the records the device or a pen drive holds are kept in the
// archive: what an erase would lose.
namespace vestrim::archive {

// A record held outside the archive, found without reading it again.
struct HeldRecord {
  std::string label;  // how messages name it: code and date
  // Below the program folder, where a save puts it (where it may be, for a
  // technical report the device lists without a date).
  std::vector<std::filesystem::path> folders;
  catalogue::RecordKey key;  // its header and length
};

// The labels of the records that have no intact sealed copy (check sum
// holding, same header, same length) in one of their folders of the archive of
// `programFolder` now. A copy deleted or changed since it was saved does
// not count.
std::vector<std::string> notInArchive(const std::filesystem::path& programFolder,
                                      const std::vector<HeldRecord>& records);

}  // namespace vestrim::archive
