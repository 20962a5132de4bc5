#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/programmer.h"
#include "platform/port_dialog_view.h"
#include "platform/port_enumerator.h"
#include "recording_view.h"
#include "scripted_prompts.h"
#include "sim/device.h"
#include "sim/memory_layout.h"
#include "simulated_serial_port.h"
#include "temp_folder.h"
#include "virtual_scheduler.h"

namespace vestrim::testing {

class FakePorts final : public platform::PortEnumerator {
 public:
  std::vector<platform::SerialPortInfo> ports() const override { return found; }
  std::vector<platform::SerialPortInfo> found;
};

class RecordingPortDialog final : public platform::PortDialogView {
 public:
  void showPortDialog(const std::vector<std::string>& offered, const std::string& text) override {
    ++shown;
    visible = true;
    choices = offered;
    initialText = text;
  }
  void hidePortDialog() override { visible = false; }
  int shown = 0;
  bool visible = false;
  std::vector<std::string> choices;
  std::string initialText;
};

// The programmer's logic wired to an in-process simulated device, in
// virtual time, with a program folder of its own.
struct ProgrammerRig {
  ProgrammerRig() {
    shell.language.texts.set(309, "Reading catalogue");
    shell.language.texts.set(311, "Uploading");
    shell.language.texts.set(312, "Connecting");
    shell.language.texts.set(313, "Ready");
    shell.language.texts.set(314, "Connected");
    shell.language.messages.set(50,
                                "134 \xB0"
                                "C Porous");
    shell.settings = shell::loadSettingsAtStart(folder.path());
    shell::settings_writers::portChosen(folder.path(),
                                        shell::PortSetting::fromPath("/dev/ttyUSB0"));
  }

  // Runs until the program waits for the user (or the limit passes).
  void settle(std::int64_t limitMs = 600000) {
    scheduler.runUntil([&] { return programmer.settled(); }, limitMs);
  }
  void connectAndSettle() {
    programmer.connection().Connect();
    settle();
  }

  devsim::Memory& memory() { return device.memory(); }

  // Appends a file of `bodySize` bytes after its 166-byte header.
  std::uint32_t append(const std::string& code, std::uint8_t type, std::uint32_t number,
                       const std::string& name, std::size_t bodySize = 400, std::uint8_t day = 2) {
    Bytes body(bodySize);
    for (std::size_t i = 0; i < body.size(); ++i) {
      body[i] = static_cast<std::uint8_t>(i * 13 + number);
    }
    return devsim::layout::appendFile(memory(),
                                      {.fileCode = code,
                                       .fileType = type,
                                       .fileNumber = number,
                                       .fileName = name,
                                       .hour = 14,
                                       .minute = 30,
                                       .day = day,
                                       .month = 12,
                                       .year = 26},
                                      body);
  }
  void setNext(std::uint32_t header, std::uint32_t next) {
    memory().write(
        devsim::Area::Flash, header + 50,
        Bytes{static_cast<std::uint8_t>(next >> 24), static_cast<std::uint8_t>(next >> 16),
              static_cast<std::uint8_t>(next >> 8), static_cast<std::uint8_t>(next)});
  }

  // A chain of `count` headers of 166 bytes without bodies.
  void layChain(int count) {
    for (std::uint32_t k = 0, address = 2152; k < static_cast<std::uint32_t>(count); ++k) {
      Bytes header(166, 0x00);
      header[48] = 0x50;
      memory().write(devsim::Area::Flash, address, header);
      setNext(address, address + 166);
      address += 166;
    }
  }

  TempFolder folder;
  devsim::Device device;
  VirtualScheduler scheduler;
  SimulatedSerialPort port{device, scheduler};
  RecordingView view;
  ScriptedPrompts prompts;
  FakePorts ports;
  RecordingPortDialog dialog;
  shell::ShellContext shell{folder.path()};
  catalogue::Programmer programmer{port, scheduler, view, prompts, ports, dialog, shell};
};

}  // namespace vestrim::testing
