#include "platform/qt/system_ports.h"

#ifdef _WIN32
#include "platform/win32_port_enumerator.h"
#include "platform/win32_serial_port.h"
#else
#include "platform/qt/qt_port_enumerator.h"
#include "platform/qt/qt_serial_port.h"
#endif

namespace vestrim::platform {

#ifdef _WIN32
std::unique_ptr<SerialPort> makeSerialPort(Scheduler& scheduler) {
  return std::make_unique<Win32SerialPort>(scheduler);
}

std::unique_ptr<PortEnumerator> makePortEnumerator() {
  return std::make_unique<Win32PortEnumerator>();
}
#else
std::unique_ptr<SerialPort> makeSerialPort(Scheduler& /*scheduler*/) {
  return std::make_unique<QtSerialPort>();
}

std::unique_ptr<PortEnumerator> makePortEnumerator() {
  return std::make_unique<QtPortEnumerator>();
}
#endif

}  // namespace vestrim::platform
