#pragma once

#include <QSerialPort>
#include <functional>
#include <string>

#include "platform/serial_port.h"
#include "platform/serial_settings.h"

namespace vestrim::platform {

// The serial port on QSerialPort. Raises DataReceived when the buffered
// input reaches the receive threshold, the way a receive-threshold port
// event does. Opening asks the driver for low latency; a driver that
// refuses is named once per run on stderr.
class QtSerialPort final : public SerialPort {
 public:
  QtSerialPort();
  ~QtSerialPort() override;

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
  bool permissionDenied() const override { return permissionDenied_; }

 private:
  void onReadyRead();
  bool applySettings();

  QSerialPort port_;
  std::string name_;
  std::string settings_ = "19200,N,8,1";
  int threshold_ = 0;
  std::function<void(SerialEvent)> handler_;
  std::string error_;
  bool permissionDenied_ = false;
};

}  // namespace vestrim::platform
