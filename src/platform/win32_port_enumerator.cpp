#include "platform/win32_port_enumerator.h"

#include <windows.h>
// After windows.h, which it needs.
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <tuple>

#include "platform/win32_text.h"

namespace vestrim::platform {
namespace {

// The device class of COM and printer ports, and the interface that COM
// ports of other classes offer (GUID_DEVCLASS_PORTS and
// GUID_DEVINTERFACE_COMPORT of the driver kit's headers).
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr GUID kComPortInterface = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

// The number of "COM12"; nothing for other names.
std::optional<int> portNumberOf(const std::string& name) {
  if (name.size() < 4 || (name.compare(0, 3, "COM") != 0 && name.compare(0, 3, "com") != 0)) {
    return std::nullopt;
  }
  int number = 0;
  const char* end = name.data() + name.size();
  const auto [stop, error] = std::from_chars(name.data() + 3, end, number);
  if (error != std::errc() || stop != end) {
    return std::nullopt;
  }
  return number;
}

std::wstring registryText(HKEY key, const wchar_t* value) {
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (::RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  text.resize(size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') {
    text.pop_back();
  }
  return text;
}

// A device property: a text, or for a list (REG_MULTI_SZ) its entries
// separated by the null characters that end them.
std::wstring deviceProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
  DWORD size = 0;
  ::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr, nullptr, 0, &size);
  if (size == 0) {
    return {};
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr,
                                           reinterpret_cast<BYTE*>(text.data()), size, nullptr)) {
    return {};
  }
  text.resize(size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') {
    text.pop_back();
  }
  return text;
}

void addDevicesOf(const GUID& guid, DWORD flags, std::vector<SerialPortInfo>& found) {
  const HDEVINFO devices = ::SetupDiGetClassDevsW(&guid, nullptr, nullptr, flags | DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) {
    return;
  }
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; ::SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    const HKEY key =
        ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
      continue;
    }
    const std::string name = win32::utf8FromWide(registryText(key, L"PortName"));
    ::RegCloseKey(key);
    // The ports class holds printer ports (LPT1) too.
    const bool known = std::any_of(found.begin(), found.end(),
                                   [&](const SerialPortInfo& port) { return port.name == name; });
    if (!portNumberOf(name) || known) {
      continue;
    }
    SerialPortInfo port;
    port.name = name;
    std::wstring description = deviceProperty(devices, device, SPDRP_DEVICEDESC);
    if (description.empty()) {
      description = deviceProperty(devices, device, SPDRP_FRIENDLYNAME);
    }
    port.description = win32::utf8FromWide(description);
    const std::wstring hardwareIds = deviceProperty(devices, device, SPDRP_HARDWAREID);
    for (std::size_t start = 0; start < hardwareIds.size() && !port.vendorId;) {
      std::size_t end = hardwareIds.find(L'\0', start);
      end = end == std::wstring::npos ? hardwareIds.size() : end;
      port.vendorId = usbVendorIdOf(win32::utf8FromWide(hardwareIds.substr(start, end - start)));
      start = end + 1;
    }
    found.push_back(std::move(port));
  }
  ::SetupDiDestroyDeviceInfoList(devices);
}

// The system's list of serial ports: device name -> "COM5".
void addListedPorts(std::vector<SerialPortInfo>& found) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t device[256];
    DWORD deviceLength = 256;
    wchar_t name[64];
    DWORD nameSize = sizeof name;
    DWORD type = 0;
    const LONG result = ::RegEnumValueW(key, index, device, &deviceLength, nullptr, &type,
                                        reinterpret_cast<BYTE*>(name), &nameSize);
    if (result == ERROR_NO_MORE_ITEMS) {
      break;
    }
    if (result != ERROR_SUCCESS || type != REG_SZ) {
      continue;
    }
    std::wstring text(name, nameSize / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') {
      text.pop_back();
    }
    const std::string portName = win32::utf8FromWide(text);
    const bool known = std::any_of(found.begin(), found.end(), [&](const SerialPortInfo& port) {
      return port.name == portName;
    });
    if (!portName.empty() && !known) {
      found.push_back({portName, "", std::nullopt, false});
    }
  }
  ::RegCloseKey(key);
}

}  // namespace

std::optional<std::uint16_t> usbVendorIdOf(const std::string& hardwareId) {
  std::string upper = hardwareId;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  const std::size_t at = upper.find("VID_");
  if (at == std::string::npos || upper.size() < at + 8) {
    return std::nullopt;
  }
  const char* first = upper.data() + at + 4;
  std::uint16_t vendor = 0;
  const auto [stop, error] = std::from_chars(first, first + 4, vendor, 16);
  if (error != std::errc() || stop != first + 4) {
    return std::nullopt;
  }
  return vendor;
}

void sortByPortNumber(std::vector<SerialPortInfo>& ports) {
  std::stable_sort(ports.begin(), ports.end(),
                   [](const SerialPortInfo& left, const SerialPortInfo& right) {
                     const std::optional<int> a = portNumberOf(left.name);
                     const std::optional<int> b = portNumberOf(right.name);
                     return std::make_tuple(!a, a.value_or(0), left.name) <
                            std::make_tuple(!b, b.value_or(0), right.name);
                   });
}

std::vector<SerialPortInfo> Win32PortEnumerator::ports() const {
  std::vector<SerialPortInfo> found;
  addDevicesOf(kPortsClass, 0, found);
  // Adapters whose driver files them under another class show through the
  // COM port interface.
  addDevicesOf(kComPortInterface, DIGCF_DEVICEINTERFACE, found);
  addListedPorts(found);
  sortByPortNumber(found);
  return found;
}

}  // namespace vestrim::platform
