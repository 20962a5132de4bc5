#pragma once

#include "platform/port_enumerator.h"

namespace vestrim::platform {

// The serial ports Qt finds. A port is named by its device path where the
// system has them, and by its port name (COM5) on Windows.
class QtPortEnumerator final : public PortEnumerator {
 public:
  std::vector<SerialPortInfo> ports() const override;
};

}  // namespace vestrim::platform
