#pragma once

#include "platform/drive_enumerator.h"

namespace vestrim::platform {

// Drives from Qt's storage information. A drive is removable when the
// kernel marks its block device so (/sys/block/<disk>/removable); the
// identity is the mount point.
class QtDriveEnumerator final : public DriveEnumerator {
 public:
  std::vector<DriveInfo> drives() const override;
  DriveInfo refreshed(const DriveInfo& drive) const override;
};

}  // namespace vestrim::platform
