#include "link/port_discovery.h"

#include <algorithm>

#include "link/port_names.h"

namespace vestrim::link {

bool isDeviceAdapter(const platform::SerialPortInfo& port) {
  return port.vendorId == kAdapterVendorId;
}

std::string portListLine(const platform::SerialPortInfo& port) {
  std::string line = port.name;
  if (isDeviceAdapter(port)) {
    line += "  [device adapter]";
  }
  if (port.permissionDenied) {
    line += "  [no permission]";
  }
  if (!port.description.empty()) {
    line += "  " + port.description;
  }
  return line;
}

std::string GetUsbPortName(const platform::PortEnumerator& ports) {
  for (const platform::SerialPortInfo& port : ports.ports()) {
    if (isDeviceAdapter(port)) {
      return port.name;
    }
  }
  return {};
}

std::vector<std::string> portDialogChoices(const platform::PortEnumerator& ports) {
  std::vector<std::string> choices;
  if (dialogOffersNumberedPorts()) {
    for (int number = 1; number <= 8; ++number) {
      choices.push_back(numberedPortName(number));
    }
    // A port the system lists beyond them (an adapter given COM12) follows.
    for (const platform::SerialPortInfo& port : ports.ports()) {
      if (std::find(choices.begin(), choices.end(), port.name) == choices.end()) {
        choices.push_back(port.name);
      }
    }
    return choices;
  }
  std::vector<platform::SerialPortInfo> found = ports.ports();
  std::stable_partition(found.begin(), found.end(), isDeviceAdapter);
  for (const platform::SerialPortInfo& port : found) {
    choices.push_back(port.name);
  }
  return choices;
}

std::string portDialogEntry(const std::string& name, const platform::PortEnumerator& ports) {
  for (const platform::SerialPortInfo& port : ports.ports()) {
    if (port.name == name) {
      std::string entry = name;
      if (!port.description.empty()) {
        entry += " \x97 " + port.description;  // an em dash
      }
      return port.permissionDenied ? entry + " (no permission)" : entry;
    }
  }
  return name;
}

std::string portNameOf(const shell::PortSetting& port) {
  if (!port.devicePath.empty()) {
    return port.devicePath;
  }
  if (port.number == 0) {
    return {};
  }
  return numberedPortName(port.number);
}

std::optional<shell::PortSetting> portSettingOf(const std::string& name) {
  if (!name.empty() && name.front() == '/') {
    return shell::PortSetting::fromPath(name);
  }
  if (name.size() > 3 && name.size() <= 6 && name.compare(0, 3, "COM") == 0 &&
      std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const int number = std::stoi(name.substr(3));
    if (number <= 255) {
      return shell::PortSetting::fromNumber(static_cast<std::uint8_t>(number));
    }
  }
  return std::nullopt;
}

}  // namespace vestrim::link
