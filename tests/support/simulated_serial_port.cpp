#include "simulated_serial_port.h"

#include <algorithm>

namespace vestrim::testing {

SimulatedSerialPort::SimulatedSerialPort(devsim::Device& device, VirtualScheduler& scheduler)
    : device_(device), scheduler_(scheduler) {}

bool SimulatedSerialPort::open() {
  if (openFails_ != OpenFailure::None) {
    error_ = openFails_ == OpenFailure::Missing ? "No such file or directory" : "Permission denied";
    return false;
  }
  open_ = true;
  ++openCount_;
  return true;
}

void SimulatedSerialPort::close() {
  open_ = false;
  input_.clear();
  // Answers still on their way are lost with the port.
  for (auto& delivery : deliveries_) {
    delivery->stop();
  }
}

bool SimulatedSerialPort::setSettings(const std::string& settings) {
  settings_ = settings;
  return true;
}

Bytes SimulatedSerialPort::readAll() {
  Bytes taken;
  taken.swap(input_);
  return taken;
}

void SimulatedSerialPort::write(const Bytes& bytes) {
  written_.push_back(bytes);
  if (!open_) {
    return;
  }
  // Finished deliveries are dropped here, never from inside their own
  // callback.
  std::erase_if(deliveries_, [](const auto& delivery) { return !delivery->isActive(); });
  for (devsim::Transmission& sent : device_.receive(bytes, scheduler_.now() * 1000)) {
    const std::int64_t delayMs = (sent.delayUs + 999) / 1000;
    if (byteByByte_) {
      for (std::size_t i = 0; i < sent.bytes.size(); ++i) {
        schedule(delayMs + static_cast<std::int64_t>(i), Bytes{sent.bytes[i]});
      }
    } else {
      schedule(delayMs, std::move(sent.bytes));
    }
  }
}

void SimulatedSerialPort::schedule(std::int64_t delayMs, Bytes bytes) {
  deliveries_.push_back(scheduler_.callAfter("line", static_cast<int>(delayMs),
                                             [this, bytes = std::move(bytes)] { arrive(bytes); }));
}

void SimulatedSerialPort::inject(const Bytes& bytes) {
  arrive(bytes);
}

void SimulatedSerialPort::arrive(const Bytes& bytes) {
  if (!open_) {
    return;
  }
  input_.insert(input_.end(), bytes.begin(), bytes.end());
  if (threshold_ > 0 && static_cast<int>(input_.size()) >= threshold_ && handler_) {
    handler_(platform::SerialEvent::DataReceived);
  }
}

}  // namespace vestrim::testing
