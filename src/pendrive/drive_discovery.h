#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/drive_enumerator.h"
#include "platform/prompts.h"

namespace vestrim::pendrive {

inline constexpr std::size_t kMaxDrives = 4;

// The ready removable drives, in the order the system lists them.
std::vector<platform::DriveInfo> FindRemovableDrives(const platform::DriveEnumerator& drives);

// A drive as the user knows it: a letter as "E:", a mount point as it is.
std::string driveName(const platform::DriveInfo& drive);

// The state line once the drive is taken: "Device connected (E:)".
std::string connectedText(const platform::DriveInfo& drive);

// The pen-drive search: no drive, "Device not found"; one, taken; two to
// four, the user chooses one ("USB storage devices detected", "Select
// device"); more than four, "Too many device connected". Nothing when no
// drive was taken.
std::optional<platform::DriveInfo> discoverPenDrive(const platform::DriveEnumerator& drives,
                                                    platform::Prompts& prompts);

}  // namespace vestrim::pendrive
