#pragma once

#include <QProcess>
#include <QStringList>
#include <string>

namespace vestrim::testing {

// Runs vestrim-devsim for one test: starts it on a fresh pseudo-terminal,
// reads the device path it prints first, and stops it with SIGTERM.
class DevsimProcess {
 public:
  explicit DevsimProcess(const QStringList& arguments = {});
  ~DevsimProcess();
  DevsimProcess(const DevsimProcess&) = delete;
  DevsimProcess& operator=(const DevsimProcess&) = delete;

  // The pseudo-terminal's device path; empty when the simulator did not start.
  const std::string& devicePath() const { return devicePath_; }
  // Sends SIGTERM and waits for the exit; returns the exit code (-1 on a crash).
  int terminate();
  std::string standardError();

 private:
  QProcess process_;
  std::string devicePath_;
};

}  // namespace vestrim::testing
