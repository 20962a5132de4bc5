#include "platform/qt/qt_drive_enumerator.h"

#include <QDir>
#include <QStorageInfo>
#include <fstream>
#include <string>

#include "platform/qt/qt_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vestrim::platform {
namespace {

#ifdef _WIN32

// Windows tells removable drives by their root folder, such as E:\.
bool isRemovable(const QStorageInfo& storage) {
  const std::wstring root = QDir::toNativeSeparators(storage.rootPath()).toStdWString();
  return GetDriveTypeW(root.c_str()) == DRIVE_REMOVABLE;
}

// The drive letter alone, as the system names the drive.
std::string identityOf(const QStorageInfo& storage) {
  const QString root = storage.rootPath();
  return toCore(root.size() >= 2 && root.at(1) == QLatin1Char(':') ? root.left(1).toUpper() : root);
}

#else

// Whether the block device behind `device` (e.g. /dev/sdb1) is removable:
// the partition's disk carries the kernel's flag.
bool isRemovableDevice(const std::string& device) {
  const std::string prefix = "/dev/";
  if (device.rfind(prefix, 0) != 0) {
    return false;
  }
  const std::string name = device.substr(prefix.size());
  const std::filesystem::path block = std::filesystem::path("/sys/class/block") / name;
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(block, error);
  if (error) {
    return false;
  }
  // A partition's folder lies inside its disk's folder.
  for (const auto& candidate : {resolved / "removable", resolved.parent_path() / "removable"}) {
    std::ifstream flag(candidate);
    char value = '0';
    if (flag >> value) {
      return value == '1';
    }
  }
  return false;
}

bool isRemovable(const QStorageInfo& storage) {
  return isRemovableDevice(storage.device().toStdString());
}

// Without drive letters a drive is known by where it is mounted.
std::string identityOf(const QStorageInfo& storage) {
  return toCore(storage.rootPath());
}

#endif

DriveInfo infoOf(const QStorageInfo& storage) {
  DriveInfo drive;
  drive.identity = identityOf(storage);
  drive.root = toPath(storage.rootPath());
  drive.removable = isRemovable(storage);
  drive.ready = storage.isValid() && storage.isReady();
  drive.totalBytes = static_cast<std::uint64_t>(std::max<qint64>(storage.bytesTotal(), 0));
  drive.freeBytes = static_cast<std::uint64_t>(std::max<qint64>(storage.bytesFree(), 0));
  return drive;
}

}  // namespace

std::vector<DriveInfo> QtDriveEnumerator::drives() const {
  std::vector<DriveInfo> found;
  for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
    found.push_back(infoOf(storage));
  }
  return found;
}

DriveInfo QtDriveEnumerator::refreshed(const DriveInfo& drive) const {
  // New figures of the volume that holds the drive's root; the drive stays
  // the one it is (a folder taken as a drive keeps its folder).
  DriveInfo again = infoOf(QStorageInfo(fromPath(drive.root)));
  again.identity = drive.identity;
  again.root = drive.root;
  return again;
}

}  // namespace vestrim::platform
