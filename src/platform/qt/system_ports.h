#pragma once

#include <memory>

#include "platform/port_enumerator.h"
#include "platform/scheduler.h"
#include "platform/serial_port.h"

namespace vestrim::platform {

// The system's serial port and port list: QSerialPort's, and on Windows the
// core's Win32 ones, which poll through `scheduler` (it must outlive the port).
std::unique_ptr<SerialPort> makeSerialPort(Scheduler& scheduler);
std::unique_ptr<PortEnumerator> makePortEnumerator();

}  // namespace vestrim::platform
