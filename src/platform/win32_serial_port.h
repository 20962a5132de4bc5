#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/scheduler.h"
#include "platform/serial_port.h"

namespace vestrim::platform {

// The serial port on the Win32 API, for Windows and Wine alike. A read is
// always outstanding on the port; a timer of the scheduler collects what it
// brought every few milliseconds and raises DataReceived when the buffered
// input reaches the receive threshold. Writes go out in the order given,
// one after the other. Nothing here blocks, except close() and
// discardInput(), which wait for the cancelled read to come back.
class Win32SerialPort final : public SerialPort {
 public:
  explicit Win32SerialPort(Scheduler& scheduler);
  ~Win32SerialPort() override;
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  bool open() override;
  void close() override;
  bool isOpen() const override;
  void setPortName(const std::string& name) override;
  std::string portName() const override;
  bool setSettings(const std::string& settings) override;
  std::string settings() const override;
  void setDtr(bool on) override;
  void setReceiveThreshold(int bytes) override;
  int bytesAvailable() const override;
  Bytes readAll() override;
  void discardInput() override;
  void write(const Bytes& bytes) override;
  void setEventHandler(std::function<void(SerialEvent)> handler) override;
  std::string errorText() const override;
  // Windows bars no user from a port; one held by another program says so
  // in errorText().
  bool permissionDenied() const override { return false; }

 private:
  struct Io;  // the handle, the overlapped read and writes

  void poll();
  bool collectInput();
  void collectWrites();
  void startRead();
  void startWrite();
  bool applySettings();

  std::unique_ptr<Io> io_;
  std::unique_ptr<Timer> poll_;
  int quietPolls_ = 0;
  std::string name_;
  std::string settings_ = "19200,N,8,1";
  bool dtr_ = true;
  int threshold_ = 0;
  Bytes input_;
  std::function<void(SerialEvent)> handler_;
  std::string error_;
};

}  // namespace vestrim::platform
