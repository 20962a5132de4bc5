#include "platform/qt/qt_serial_port.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <atomic>
#include <cstring>
#include <iostream>
#include <optional>

#include "platform/qt/serial_device.h"
#include "platform/serial_settings.h"

namespace vestrim::platform {
namespace {

QSerialPort::Parity parityOf(char parity) {
  switch (parity) {
    case 'E':
      return QSerialPort::EvenParity;
    case 'O':
      return QSerialPort::OddParity;
    case 'M':
      return QSerialPort::MarkParity;
    case 'S':
      return QSerialPort::SpaceParity;
    default:
      return QSerialPort::NoParity;
  }
}

QSerialPort::StopBits stopBitsOf(StopBits stopBits) {
  switch (stopBits) {
    case StopBits::OneAndHalf:
      return QSerialPort::OneAndHalfStop;
    case StopBits::Two:
      return QSerialPort::TwoStop;
    case StopBits::One:
      break;
  }
  return QSerialPort::OneStop;
}

// Without the flag an adapter keeps short replies until its latency timer
// runs out (16 ms unless a udev rule shortened it). The link still works, so
// a refusal is only said once per run, on stderr.
void askForLowLatency(QSerialPort& port, const std::string& name) {
  static std::atomic<bool> refusalLogged{false};
  const LowLatencyOutcome outcome = requestLowLatency(port);
  if (outcome.result == LowLatency::Refused && !refusalLogged.exchange(true)) {
    std::cerr << QCoreApplication::applicationName().toStdString() << ": the driver of " << name
              << " keeps its latency (" << std::strerror(outcome.error)
              << "); replies may wait for the adapter's latency timer\n";
  }
}

}  // namespace

QtSerialPort::QtSerialPort() {
  QObject::connect(&port_, &QSerialPort::readyRead, [this] { onReadyRead(); });
}

QtSerialPort::~QtSerialPort() {
  QObject::disconnect(&port_, nullptr, nullptr, nullptr);
  if (port_.isOpen()) {
    port_.close();
  }
}

bool QtSerialPort::open() {
  error_.clear();
  permissionDenied_ = false;
  if (port_.isOpen()) {
    return true;
  }
  if (!port_.open(QIODevice::ReadWrite)) {
    error_ = port_.errorString().toStdString();
    permissionDenied_ = portPermissionDenied(name_);
    port_.clearError();
    return false;
  }
  askForLowLatency(port_, name_);
  if (!applySettings()) {
    error_ =
        "cannot apply the line settings " + settings_ + ": " + port_.errorString().toStdString();
    port_.close();
    return false;
  }
  return true;
}

void QtSerialPort::close() {
  if (port_.isOpen()) {
    port_.close();
  }
}

bool QtSerialPort::isOpen() const {
  return port_.isOpen();
}

void QtSerialPort::setPortName(const std::string& name) {
  name_ = name;
  port_.setPortName(QString::fromStdString(name));
}

// The name as it was given: Qt shortens a device path to its last part.
std::string QtSerialPort::portName() const {
  return name_;
}

bool QtSerialPort::setSettings(const std::string& settings) {
  if (!parseSerialSettings(settings)) {
    return false;
  }
  settings_ = settings;
  return !port_.isOpen() || applySettings();
}

std::string QtSerialPort::settings() const {
  return settings_;
}

bool QtSerialPort::applySettings() {
  const std::optional<SerialSettings> parsed = parseSerialSettings(settings_);
  if (!parsed) {
    return false;
  }
  return port_.setBaudRate(parsed->baud) && port_.setParity(parityOf(parsed->parity)) &&
         port_.setDataBits(static_cast<QSerialPort::DataBits>(parsed->dataBits)) &&
         port_.setStopBits(stopBitsOf(parsed->stopBits)) &&
         port_.setFlowControl(QSerialPort::NoFlowControl);
}

void QtSerialPort::setDtr(bool on) {
  if (port_.isOpen() && !port_.setDataTerminalReady(on)) {
    // A port without modem lines (a pseudo-terminal, some adapters) refuses
    // DTR; the link works without it, so the refusal is not an error.
    port_.clearError();
  }
}

void QtSerialPort::setReceiveThreshold(int bytes) {
  threshold_ = bytes;
}

int QtSerialPort::bytesAvailable() const {
  return static_cast<int>(port_.bytesAvailable());
}

Bytes QtSerialPort::readAll() {
  const QByteArray data = port_.readAll();
  return Bytes(data.begin(), data.end());
}

void QtSerialPort::discardInput() {
  if (!port_.isOpen()) {
    return;
  }
  // Drops the system's buffer as well as what Qt has read ahead.
  port_.clear(QSerialPort::Input);
  port_.readAll();
}

void QtSerialPort::write(const Bytes& bytes) {
  if (!port_.isOpen()) {
    return;
  }
  port_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

void QtSerialPort::setEventHandler(std::function<void(SerialEvent)> handler) {
  handler_ = std::move(handler);
}

std::string QtSerialPort::errorText() const {
  return error_;
}

void QtSerialPort::onReadyRead() {
  if (threshold_ > 0 && port_.bytesAvailable() >= threshold_ && handler_) {
    handler_(SerialEvent::DataReceived);
  }
}

}  // namespace vestrim::platform
