#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/port_enumerator.h"
#include "shell/settings_file.h"

namespace vestrim::link {

// USB vendor id of the adapter family the device is delivered with.
inline constexpr std::uint16_t kAdapterVendorId = 0x0403;

bool isDeviceAdapter(const platform::SerialPortInfo& port);

// A port as `vestrim-cli ports` lists it: its name, marked when it is an
// adapter of the device's family and when this user may not open it, then
// what the system says it is.
std::string portListLine(const platform::SerialPortInfo& port);

// The name of the first adapter of the device's family among the system's
// serial ports, or an empty text.
std::string GetUsbPortName(const platform::PortEnumerator& ports);

// What the port dialog offers: COM1 to COM8 where ports have numbers;
// elsewhere the serial ports found, adapters of the device's family first.
std::vector<std::string> portDialogChoices(const platform::PortEnumerator& ports);

// A port as the port dialog lists it: its name, and what the system says
// it is ("/dev/ttyUSB0 — USB serial adapter"), marked "(no permission)" when
// this user may not open it. Single-byte text.
std::string portDialogEntry(const std::string& name, const platform::PortEnumerator& ports);

// The port a settings value names: "COM<n>" where ports have numbers, the
// n-th serial line "/dev/ttyS<n-1>" elsewhere, or the stored device path.
// Empty for 0, which names no port.
std::string portNameOf(const shell::PortSetting& port);

// The settings value for a port name: "COM12" gives 12 (the characters from
// the fourth on), a device path is kept as it is. Nothing for a text that is
// neither.
std::optional<shell::PortSetting> portSettingOf(const std::string& name);

}  // namespace vestrim::link
