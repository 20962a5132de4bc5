#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vestrim::shell {

// One entry of a folder with what a walk over a large archive needs, read
// in the same pass as its name.
struct ScannedEntry {
  std::string name;  // UTF-8
  bool folder = false;
  bool file = false;  // a plain file; links are neither
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;  // nanoseconds since 1970 (UTC)
};

// The entries of `folder` without "." and "..", in the system's order;
// nothing when the folder cannot be read.
std::optional<std::vector<ScannedEntry>> scanFolder(const std::filesystem::path& folder);

}  // namespace vestrim::shell
