// Arbitrary device replies through the link engine, the connection and the
// catalogue walks, in virtual time: the command list, the memory size and the
// chain of header records the program reads, down to the rows it shows. The
// input is a script of replies. Each long frame takes one control byte:
//   low two bits 0  the reply the engine expects, its data from the input
//                1  no reply (the reply timeout, then the reconnection)
//                2  (control >> 2) bytes of the input as the whole reply
//                3  as 0, with the byte (control >> 2) before it
// A write's acknowledgement is always the expected one. Once the input runs
// out, or 300 frames have been answered, the device falls silent, which ends
// every run in the port dialog.
#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <utility>

#include "catalogue/programmer.h"
#include "fuzz_files.h"
#include "platform/port_dialog_view.h"
#include "platform/port_enumerator.h"
#include "recording_view.h"
#include "scripted_prompts.h"
#include "virtual_scheduler.h"

namespace {

using namespace vestrim;

class ScriptedDevice final : public platform::SerialPort {
 public:
  ScriptedDevice(const std::uint8_t* data, std::size_t size, testing::VirtualScheduler& scheduler)
      : data_(data), size_(size) {
    delivery_ = scheduler.createTimer("reply", [this] {
      input_.insert(input_.end(), pending_.begin(), pending_.end());
      pending_.clear();
      if (handler_ && threshold_ > 0 && static_cast<int>(input_.size()) >= threshold_) {
        handler_(platform::SerialEvent::DataReceived);
      }
    });
    delivery_->setInterval(1);
  }

  bool open() override { return open_ = true; }
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }
  void setPortName(const std::string& name) override { name_ = name; }
  std::string portName() const override { return name_; }
  bool setSettings(const std::string& settings) override {
    settings_ = settings;
    return true;
  }
  std::string settings() const override { return settings_; }
  void setDtr(bool) override {}
  void setReceiveThreshold(int bytes) override { threshold_ = bytes; }
  int bytesAvailable() const override { return static_cast<int>(input_.size()); }
  Bytes readAll() override { return std::exchange(input_, {}); }
  void discardInput() override { input_.clear(); }
  void setEventHandler(std::function<void(platform::SerialEvent)> handler) override {
    handler_ = std::move(handler);
  }
  std::string errorText() const override { return {}; }
  bool permissionDenied() const override { return false; }

  void write(const Bytes& frame) override {
    if (at_ >= size_ || frame.size() < 2 || ++frames_ > 300) {
      return;  // silent from here on
    }
    if (frame.size() == 6 && frame[0] == 0x80 && frame[2] == 0x6E) {
      send({0xE0});  // the speed switch
      return;
    }
    const std::uint8_t control = take();
    const bool isRead = (frame[0] & 0x80) == 0;
    Bytes reply;
    switch (control & 3) {
      case 1:
        return;
      case 2:
        reply = take(control >> 2);
        break;
      default:
        if (isRead) {
          reply = take(static_cast<std::size_t>(frame[1]) + 1);
          const unsigned sum = std::accumulate(reply.begin(), reply.end(), 0u);
          reply.push_back(static_cast<std::uint8_t>(sum));
          reply.push_back(static_cast<std::uint8_t>(sum >> 8));
        } else {
          const unsigned sum = std::accumulate(frame.begin(), frame.end() - 2, 0u) * 2;
          reply = {static_cast<std::uint8_t>(sum), static_cast<std::uint8_t>(sum >> 8)};
        }
        if ((control & 3) == 3) {
          reply.insert(reply.begin(), static_cast<std::uint8_t>(control >> 2));
        }
    }
    send(std::move(reply));
  }

 private:
  std::uint8_t take() { return at_ < size_ ? data_[at_++] : 0xFF; }
  Bytes take(std::size_t count) {
    Bytes bytes;
    while (bytes.size() < count) {
      bytes.push_back(take());
    }
    return bytes;
  }
  void send(Bytes bytes) {
    pending_ = std::move(bytes);
    delivery_->start();
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  int frames_ = 0;
  bool open_ = false;
  int threshold_ = 0;
  std::string name_;
  std::string settings_;
  Bytes input_;
  Bytes pending_;
  std::function<void(platform::SerialEvent)> handler_;
  std::unique_ptr<platform::Timer> delivery_;
};

class NoPorts final : public platform::PortEnumerator {
 public:
  std::vector<platform::SerialPortInfo> ports() const override { return {}; }
};

class NoDialog final : public platform::PortDialogView {
 public:
  void showPortDialog(const std::vector<std::string>&, const std::string&) override {}
  void hidePortDialog() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  testing::VirtualScheduler scheduler;
  ScriptedDevice port(data, size, scheduler);
  testing::RecordingView view;
  testing::ScriptedPrompts prompts;  // questions answered Yes: an overflow goes on to the erase
  NoPorts ports;
  NoDialog dialog;
  shell::ShellContext shell(fuzz::scratchFolder());
  catalogue::Programmer programmer(port, scheduler, view, prompts, ports, dialog, shell);
  programmer.connection().setPortOverride(shell::PortSetting::fromPath("/dev/fuzz"));
  programmer.connection().Connect();
  // Each reply consumes input, and a silent device ends in the port dialog:
  // a run that is still going after a virtual day is a hang.
  if (!scheduler.runUntil([&] { return programmer.settled(); }, 24 * 3600 * 1000)) {
    std::abort();
  }
  return 0;
}
