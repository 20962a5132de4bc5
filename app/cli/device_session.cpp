#include "device_session.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "link/port_discovery.h"

namespace vestrim::cli {

DeviceSession::DeviceSession(const GlobalOptions& options, shell::ShellContext& shell)
    : shell_(shell),
      prompts_(options.assumeYes, &view_),
      programmer_(*serial_, scheduler_, view_, prompts_, *enumerator_, dialog_, shell),
      download_(programmer_, shell, downloadState_),
      erase_(programmer_, shell, downloadState_),
      selection_(programmer_, shell, download_, downloadState_) {
  if (!options.port.empty()) {
    const auto port = link::portSettingOf(options.port);
    if (!port) {
      fail("--port " + options.port + " is neither a device path nor a COM port name");
      portValid_ = false;
    }
    programmer_.connection().setPortOverride(port);
  }
  programmer_.connection().addStatusListener([this](link::LinkStatus status) {
    if (status == link::LinkStatus::Stalled && !failure_) {
      failure_ =
          "the device answered the speed switch wrongly on " + portText() + "; the link stalled";
    }
  });
}

std::string DeviceSession::portText() const {
  const std::string name = link::portNameOf(shell_.settings.PortNumber);
  return name.empty() ? std::string("any port") : name;
}

bool DeviceSession::runUntil(const std::function<bool()>& done) {
  QEventLoop loop;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (failure_ || done()) {
      loop.quit();
      return;
    }
    // The port dialog has nobody to answer it: the device is out of reach.
    if (dialog_.shown && programmer_.settled()) {
      // The reason first; the cable advice does not help a user who lacks permission.
      const link::Connection& connection = programmer_.connection();
      std::string reason =
          "cannot reach the device on " + portText() + ". " + connection.portProblem();
      if (!connection.portPermissionDenied()) {
        reason += std::string(" ") + platform::kPortDialogExplanation;
      }
      failure_ = std::move(reason);
      loop.quit();
    }
  });
  watch.start(20);
  loop.exec();
  view_.endProgressLine();
  if (failure_) {
    fail(*failure_);
    return false;
  }
  return true;
}

bool DeviceSession::connectAndReadCatalogue() {
  if (!portValid_) {
    return false;
  }
  QTimer::singleShot(0, [this] { programmer_.connection().Connect(); });
  bool settledWithout = false;
  const bool reached = runUntil([&] {
    if (!programmer_.settled()) {
      return false;
    }
    if (view_.catalogueShown && programmer_.connection().status() == link::LinkStatus::Connected) {
      return true;
    }
    settledWithout = !dialog_.shown;
    return settledWithout;
  });
  if (!reached) {
    return false;
  }
  if (settledWithout) {
    fail("the catalogue could not be read");
    return false;
  }
  return true;
}

int withDeviceCatalogue(const GlobalOptions& options,
                        const std::function<int(DeviceSession&)>& work) {
  const auto shell = startShell(options);
  if (!shell) {
    return 1;
  }
  DeviceSession session(options, *shell);
  if (!session.portOptionValid()) {
    return 2;
  }
  if (!session.connectAndReadCatalogue()) {
    return 1;
  }
  return work(session);
}

}  // namespace vestrim::cli
