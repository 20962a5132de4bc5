#pragma once

#include <QProcess>
#include <QString>
#include <optional>
#include <string>

// The simulated device of `vestrim --demo`: vestrim-devsim from beside the
// executable, holding a clinic's month, on a pseudo-terminal of its own. It
// ends with the program however the program ends: at exit, and through the
// system when the program is killed.
class DemoDevice {
 public:
  DemoDevice() = default;
  ~DemoDevice();
  DemoDevice(const DemoDevice&) = delete;
  DemoDevice& operator=(const DemoDevice&) = delete;

  // Starts the simulator; its port, or nothing with `error` set.
  std::optional<std::string> start(QString* error);

 private:
  QProcess process_;
};
