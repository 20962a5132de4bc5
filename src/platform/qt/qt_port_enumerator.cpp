#include "platform/qt/qt_port_enumerator.h"

#include <QSerialPortInfo>

#include "platform/qt/serial_device.h"

namespace vestrim::platform {

std::vector<SerialPortInfo> QtPortEnumerator::ports() const {
  std::vector<SerialPortInfo> found;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    SerialPortInfo port;
#ifdef _WIN32
    port.name = info.portName().toStdString();
#else
    port.name = info.systemLocation().toStdString();
#endif
    port.description = info.description().toStdString();
    if (info.hasVendorIdentifier()) {
      port.vendorId = info.vendorIdentifier();
    }
    port.permissionDenied = portPermissionDenied(port.name);
    found.push_back(std::move(port));
  }
  return found;
}

}  // namespace vestrim::platform
