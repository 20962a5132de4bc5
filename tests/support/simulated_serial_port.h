#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/serial_port.h"
#include "sim/device.h"
#include "virtual_scheduler.h"

namespace vestrim::testing {

// A device fault from its text form, as vestrim-devsim --fault takes it.
inline devsim::FaultRule fault(const std::string& text) {
  return devsim::parseFault(text).rule.value();
}

// A serial port wired to an in-process simulated device, in virtual time.
// What the host writes reaches the device at once; the device's answer
// arrives after the delay the device asks for (at least one scheduler turn,
// so a reply never arrives inside the write that caused it).
class SimulatedSerialPort final : public platform::SerialPort {
 public:
  SimulatedSerialPort(devsim::Device& device, VirtualScheduler& scheduler)
      : device_(device), scheduler_(scheduler) {}

  bool open() override {
    if (openFails_ != OpenFailure::None) {
      return false;
    }
    open_ = true;
    ++openCount_;
    return true;
  }
  void close() override {
    open_ = false;
    input_.clear();
    // Answers still on their way are lost with the port.
    for (auto& delivery : deliveries_) {
      delivery->stop();
    }
  }
  bool isOpen() const override { return open_; }
  void setPortName(const std::string& name) override { name_ = name; }
  std::string portName() const override { return name_; }
  bool setSettings(const std::string& settings) override {
    settings_ = settings;
    return true;
  }
  std::string settings() const override { return settings_; }
  void setDtr(bool on) override { dtrChanges_.push_back(on); }
  void setReceiveThreshold(int bytes) override { threshold_ = bytes; }
  int bytesAvailable() const override { return static_cast<int>(input_.size()); }
  Bytes readAll() override { return std::exchange(input_, {}); }
  void discardInput() override { input_.clear(); }
  void write(const Bytes& bytes) override;
  void setEventHandler(std::function<void(platform::SerialEvent)> handler) override {
    handler_ = std::move(handler);
  }
  std::string errorText() const override {
    switch (openFails_) {
      case OpenFailure::Missing:
        return "No such file or directory";
      case OpenFailure::NoPermission:
        return "Permission denied";
      case OpenFailure::None:
        break;
    }
    return {};
  }
  bool permissionDenied() const override { return openFails_ == OpenFailure::NoPermission; }

  // Test controls.
  // The port cannot be opened: a missing adapter, or one this user may not open.
  enum class OpenFailure { None, Missing, NoPermission };
  void setOpenFails(bool fails) { openFails_ = fails ? OpenFailure::Missing : OpenFailure::None; }
  void setOpenFailure(OpenFailure failure) { openFails_ = failure; }
  // Delivers the device's answers one byte per millisecond instead of whole.
  void setDeliverByteByByte(bool byteByByte) { byteByByte_ = byteByByte; }
  // Bytes arriving from the line that the device did not send (noise, a
  // late reply): they are buffered at once.
  void inject(const Bytes& bytes) { arrive(bytes); }

  const std::vector<Bytes>& written() const { return written_; }
  const std::vector<bool>& dtrChanges() const { return dtrChanges_; }
  int openCount() const { return openCount_; }

 private:
  void arrive(const Bytes& bytes);
  void schedule(std::int64_t delayMs, Bytes bytes);

  devsim::Device& device_;
  VirtualScheduler& scheduler_;
  std::string name_ = "SIM";
  std::string settings_ = "19200,N,8,1";
  bool open_ = false;
  OpenFailure openFails_ = OpenFailure::None;
  bool byteByByte_ = false;
  int openCount_ = 0;
  int threshold_ = 0;
  Bytes input_;
  std::function<void(platform::SerialEvent)> handler_;
  std::vector<Bytes> written_;
  std::vector<bool> dtrChanges_;
  std::vector<std::unique_ptr<platform::Timer>> deliveries_;
};

}  // namespace vestrim::testing
