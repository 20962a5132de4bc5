#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vestrim::platform {

// A drive as the system shows it.
struct DriveInfo {
  // "E" on systems with drive letters, the mount point elsewhere; a core text
  // (Windows-1252), as the windows show it.
  std::string identity;
  std::filesystem::path root;  // where its files are
  bool removable = false;
  bool ready = false;
  std::uint64_t totalBytes = 0;
  std::uint64_t freeBytes = 0;
};

// Lists the drives of the system, in the order the system lists them.
class DriveEnumerator {
 public:
  virtual ~DriveEnumerator() = default;
  virtual std::vector<DriveInfo> drives() const = 0;
  // The drive's figures again (after files were deleted), by its root.
  virtual DriveInfo refreshed(const DriveInfo& drive) const = 0;
};

}  // namespace vestrim::platform
