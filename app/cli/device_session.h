#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/programmer.h"
#include "cli_options.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/system_ports.h"
#include "terminal_front_end.h"
#include "transfer/download.h"
#include "transfer/erase.h"
#include "transfer/file_selection.h"

namespace vestrim::cli {

// The programmer window on a terminal: the Qt port and timers, the terminal
// view and prompts, and the programmer's logic, for one command.
class DeviceSession {
 public:
  DeviceSession(const GlobalOptions& options, shell::ShellContext& shell);

  catalogue::Programmer& programmer() { return programmer_; }
  transfer::Download& download() { return download_; }
  transfer::DownloadState& downloadState() { return downloadState_; }
  transfer::Erase& erase() { return erase_; }
  transfer::FileSelection& selection() { return selection_; }
  // True once the running save, send or erase was given up: the device
  // stopped answering and the link did not come back for it, or its replies
  // failed their check five times in a row.
  bool jobGivenUp() const { return programmer_.jobLoss().has_value(); }
  TerminalView& view() { return view_; }
  shell::ShellContext& shell() { return shell_; }

  // Checks --port; false (after saying why) when it names no port.
  bool portOptionValid() const { return portValid_; }

  // Connects and reads the catalogue (the full refresh). True when the
  // catalogue was shown; otherwise the reason has been printed.
  bool connectAndReadCatalogue();

  // Runs the event loop until `done` holds or the link fails; true when
  // `done` holds.
  bool runUntil(const std::function<bool()>& done);

  // The port this run uses, for messages.
  std::string portText() const;

 private:
  shell::ShellContext& shell_;
  platform::QtScheduler scheduler_;
  std::unique_ptr<platform::SerialPort> serial_ = platform::makeSerialPort(scheduler_);
  std::unique_ptr<platform::PortEnumerator> enumerator_ = platform::makePortEnumerator();
  TerminalView view_;
  TerminalPrompts prompts_;
  TerminalPortDialog dialog_;
  catalogue::Programmer programmer_;
  transfer::DownloadState downloadState_;
  transfer::Download download_;
  transfer::Erase erase_;
  transfer::FileSelection selection_;
  bool portValid_ = true;
  std::optional<std::string> failure_;
};

// Starts the shell, checks --port, connects and reads the catalogue, then
// runs `work` on the session. The exit status is `work`'s; 2 for a --port
// that names no port; 1 when the start or the connection failed.
int withDeviceCatalogue(const GlobalOptions& options,
                        const std::function<int(DeviceSession&)>& work);

}  // namespace vestrim::cli
