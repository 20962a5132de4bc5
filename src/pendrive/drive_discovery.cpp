#include "pendrive/drive_discovery.h"

namespace vestrim::pendrive {

std::vector<platform::DriveInfo> FindRemovableDrives(const platform::DriveEnumerator& drives) {
  std::vector<platform::DriveInfo> found;
  for (const platform::DriveInfo& drive : drives.drives()) {
    if (drive.removable && drive.ready) {
      found.push_back(drive);
    }
  }
  return found;
}

std::optional<platform::DriveInfo> discoverPenDrive(const platform::DriveEnumerator& drives,
                                                    platform::Prompts& prompts) {
  const std::vector<platform::DriveInfo> found = FindRemovableDrives(drives);
  if (found.empty()) {
    prompts.show({.text = "Device not found",
                  .title = "PenDrive search",
                  .icon = platform::MessageIcon::Critical,
                  .buttons = platform::MessageButtons::Ok});
    return std::nullopt;
  }
  if (found.size() > kMaxDrives) {
    prompts.show({.text = "Too many device connected",
                  .title = "ERROR",
                  .icon = platform::MessageIcon::Critical,
                  .buttons = platform::MessageButtons::Ok});
    return std::nullopt;
  }
  if (found.size() == 1) {
    return found.front();
  }
  std::vector<std::string> options;
  for (const platform::DriveInfo& drive : found) {
    options.push_back(driveName(drive));
  }
  const std::optional<std::size_t> chosen =
      prompts.choose("USB storage devices detected", "Select device", options);
  if (!chosen || *chosen >= found.size()) {
    return std::nullopt;
  }
  return found[*chosen];
}

std::string driveName(const platform::DriveInfo& drive) {
  return drive.identity.size() == 1 ? drive.identity + ":" : drive.identity;
}

std::string connectedText(const platform::DriveInfo& drive) {
  return "Device connected (" + driveName(drive) + ")";
}

}  // namespace vestrim::pendrive
