#include "platform/qt/serial_device.h"

#include <cerrno>

#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace vestrim::platform {

#ifdef __linux__

LowLatencyOutcome requestLowLatency(QSerialPort& port) {
  const int fd = port.handle();
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) {
    if (errno == ENOTTY) {
      return {LowLatency::NotSerial};
    }
    return {LowLatency::Refused, errno};
  }
  if ((serial.flags & ASYNC_LOW_LATENCY) != 0) {
    return {LowLatency::Set};
  }
  serial.flags |= ASYNC_LOW_LATENCY;
  if (::ioctl(fd, TIOCSSERIAL, &serial) != 0) {
    return {LowLatency::Refused, errno};
  }
  return {LowLatency::Set};
}

bool portPermissionDenied(const std::string& path) {
  return ::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
}

#else

LowLatencyOutcome requestLowLatency(QSerialPort&) {
  return {LowLatency::NotSerial};
}

bool portPermissionDenied(const std::string&) {
  return false;
}

#endif

}  // namespace vestrim::platform
