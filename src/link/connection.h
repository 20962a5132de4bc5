#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/link_engine.h"
#include "platform/port_dialog_view.h"
#include "platform/port_enumerator.h"
#include "shell/shell_context.h"

namespace vestrim::link {

// Language texts the connection shows.
inline constexpr int kTextConnecting = 312;
inline constexpr int kTextConnected = 314;

inline constexpr int kSpeedSwitchDelayMs = 1000;  // before each speed-switch frame
inline constexpr int kSpeedSwitchWatchMs = 500;   // for its acknowledgement
inline constexpr int kHandshakeRetryMs = 1000;    // between silent attempts
inline constexpr int kAfterSpeedSwitchMs = 2000;  // the device settles at 57600
inline constexpr int kMaxSpeedSwitchFrames = 10;  // without a reply timeout in between

enum class LinkStatus {
  Closed,     // no link (or open at 19200 after the handshake gave up)
  Handshake,  // open at 19200, speed switch under way
  Connected,  // open at 57600: long frames in use
  Stalled,    // a wrong acknowledgement byte: busy until the user acts
};

// Finds the device's port and brings the link up: the speed handshake at
// 19200 baud with the short frame, silent retries 1 s apart, then 57600 baud
// and a full catalogue refresh. Every wait is a scheduled continuation.
class Connection {
 public:
  Connection(LinkEngine& engine, shell::ShellContext& shell, const platform::PortEnumerator& ports,
             platform::PortDialogView& dialog);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // What runs once the link is at 57600 baud: the command-list walk.
  void setConnectedStep(std::function<void()> ReadCmndLst) { connected_ = std::move(ReadCmndLst); }
  void addStatusListener(std::function<void(LinkStatus)> listener) {
    statusListeners_.push_back(std::move(listener));
  }
  // A port for this run only: used instead of the settings file's, and never
  // written to it.
  void setPortOverride(std::optional<shell::PortSetting> port) { override_ = std::move(port); }

  // The connect command: takes the port from the settings file, or finds
  // the adapter when none is chosen (and stores it), then SetSpeed.
  void Connect();
  // Opens the port at 19200 baud and performs the speed handshake.
  void SetSpeed();

  // The port dialog: its choices and initial text, OK with the chosen text,
  // and Cancel.
  std::vector<std::string> portDialogChoices() const;
  std::string portDialogText() const;
  void portDialogOk(const std::string& chosen);
  void portDialogCancel();

  LinkStatus status() const { return status_; }
  // Why the port dialog is on show: the port could not be opened (and the
  // system's reason: missing, in use, no permission), or the device was
  // silent on it.
  const std::string& portProblem() const { return problem_; }
  // True when that reason is the user's lack of permission for the port;
  // portProblem() then says how to gain it.
  bool portPermissionDenied() const { return permissionDenied_; }
  std::uint8_t HandshakeAttempts() const { return handshakeAttempts_; }
  // True while a wait of the connection is running.
  bool waiting() const;

 private:
  void readPortNumber();
  void openAndSwitch();
  void Buff19200();
  void sendSpeedSwitch();
  void watchEnded();
  void switched();
  void giveUp();
  void setStatus(LinkStatus status);

  LinkEngine& engine_;
  shell::ShellContext& shell_;
  const platform::PortEnumerator& ports_;
  platform::PortDialogView& dialog_;
  std::function<void()> connected_;
  std::vector<std::function<void(LinkStatus)>> statusListeners_;
  std::optional<shell::PortSetting> override_;

  LinkStatus status_ = LinkStatus::Closed;
  std::string problem_;
  bool permissionDenied_ = false;
  std::uint8_t handshakeAttempts_ = 0;
  std::unique_ptr<platform::Timer> switchDelay_;
  std::unique_ptr<platform::Timer> watch_;
  std::unique_ptr<platform::Timer> settle_;
};

}  // namespace vestrim::link
