#pragma once

#include <functional>
#include <string>

#include "platform/bytes.h"

namespace vestrim::platform {

enum class SerialEvent {
  DataReceived,  // at least the receive threshold is buffered
  Other,         // line or error events; the link ignores them
};

// The serial port as the device link needs it. Bytes pass through unchanged
// in both directions.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens the port named by setPortName with the current settings. Returns
  // false when the port does not exist, is in use or may not be opened by
  // this user; errorText() says why, and permissionDenied() tells the last.
  virtual bool open() = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  // A port name as the system shows it: "COM5" or a device path such as
  // "/dev/ttyUSB0".
  virtual void setPortName(const std::string& name) = 0;
  virtual std::string portName() const = 0;

  // "19200,N,8,1" or "57600,N,8,1": baud, parity, data bits, stop bits.
  // Returns false for a text it cannot apply.
  virtual bool setSettings(const std::string& settings) = 0;
  virtual std::string settings() const = 0;

  // Modem line. Ports without modem lines (a pseudo-terminal) ignore it.
  virtual void setDtr(bool on) = 0;

  // The number of buffered bytes that raises a DataReceived event; 0 = none.
  virtual void setReceiveThreshold(int bytes) = 0;
  virtual int bytesAvailable() const = 0;
  virtual Bytes readAll() = 0;
  // Drops everything received so far, in the system's buffer too.
  virtual void discardInput() = 0;
  virtual void write(const Bytes& bytes) = 0;

  virtual void setEventHandler(std::function<void(SerialEvent)> handler) = 0;

  virtual std::string errorText() const = 0;
  // True when the last open() failed because the port exists but its device
  // file is not this user's to read and write. Always false on Windows,
  // which bars no user from a port.
  virtual bool permissionDenied() const = 0;
};

}  // namespace vestrim::platform
