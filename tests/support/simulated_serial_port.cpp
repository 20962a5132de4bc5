#include "simulated_serial_port.h"

#include <algorithm>

namespace vestrim::testing {

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
