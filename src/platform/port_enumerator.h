#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vestrim::platform {

// A serial port as the system lists it.
struct SerialPortInfo {
  std::string name;  // what the port is opened by: "COM5", or a device path "/dev/ttyUSB0"
  std::string description;
  std::optional<std::uint16_t> vendorId;  // USB vendor id, for USB adapters
  bool permissionDenied = false;          // this user may not open it
};

// Lists the serial ports of the system.
class PortEnumerator {
 public:
  virtual ~PortEnumerator() = default;
  virtual std::vector<SerialPortInfo> ports() const = 0;
};

}  // namespace vestrim::platform
