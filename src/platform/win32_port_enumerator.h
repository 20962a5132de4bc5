#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/port_enumerator.h"

namespace vestrim::platform {

// The serial ports of Windows: the devices of the ports class with a COM
// name (their description and, for USB adapters, vendor id from the device
// manager), then every other COM port of the system's port list, which is
// where Wine lists the ports it maps. Sorted by number, COM2 before COM10.
// No port is barred to a user on Windows: one in use fails at open.
class Win32PortEnumerator final : public PortEnumerator {
 public:
  std::vector<SerialPortInfo> ports() const override;
};

// The USB vendor id in a hardware id, "USB\VID_0403&PID_6001" or
// "FTDIBUS\VID_0403+PID_6001+A1B2C3A", in either case.
std::optional<std::uint16_t> usbVendorIdOf(const std::string& hardwareId);

// Orders ports by their COM number; names without one come last, by name.
void sortByPortNumber(std::vector<SerialPortInfo>& ports);

}  // namespace vestrim::platform
