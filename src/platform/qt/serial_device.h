#pragma once

#include <QSerialPort>
#include <string>

namespace vestrim::platform {

// What asking a port's driver for low latency came to.
enum class LowLatency {
  Set,        // the driver's low-latency flag is on (it was already, or is now)
  NotSerial,  // the port has no such flag: a pseudo-terminal, or a system without it
  Refused,    // the driver has the flag but would not set it; `error` says why
};

struct LowLatencyOutcome {
  LowLatency result = LowLatency::NotSerial;
  int error = 0;  // errno of a refusal
};

// Asks the driver of the open port for low latency (on Linux its
// ASYNC_LOW_LATENCY flag, through TIOCGSERIAL and TIOCSSERIAL). A USB
// adapter's driver then shortens the adapter's latency timer to 1 ms, so that
// a reply shorter than the adapter's buffer reaches the program within a
// millisecond instead of after the default 16 ms.
LowLatencyOutcome requestLowLatency(QSerialPort& port);

// True when the port's device file exists but this user may not both read
// and write it: opening it would be refused for lack of permission.
bool portPermissionDenied(const std::string& path);

}  // namespace vestrim::platform
