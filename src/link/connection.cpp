#include "link/connection.h"

#include "link/frame_codec.h"
#include "link/port_discovery.h"
#include "shell/own_texts.h"
#include "shell/text_encoding.h"

namespace vestrim::link {

Connection::Connection(LinkEngine& engine, shell::ShellContext& shell,
                       const platform::PortEnumerator& ports, platform::PortDialogView& dialog)
    : engine_(engine), shell_(shell), ports_(ports), dialog_(dialog) {
  switchDelay_ =
      engine_.scheduler().createTimer("speed switch delay", [this] { sendSpeedSwitch(); });
  switchDelay_->setInterval(kSpeedSwitchDelayMs);
  watch_ = engine_.scheduler().createTimer("speed switch watch", [this] { watchEnded(); });
  watch_->setInterval(kSpeedSwitchWatchMs);
  settle_ = engine_.scheduler().createTimer("after speed switch", [this] {
    if (connected_) {
      connected_();
    }
    engine_.view().setProgressVisible(false);
    engine_.view().setProgressValue(0);
    engine_.view().setStatusText(1, shell_.language.texts[kTextConnected]);
  });
  settle_->setInterval(kAfterSpeedSwitchMs);
  engine_.setSpeedHandler([this] { SetSpeed(); });
}

Connection::~Connection() {
  engine_.setSpeedHandler({});
}

bool Connection::waiting() const {
  return switchDelay_->isActive() || watch_->isActive() || settle_->isActive();
}

void Connection::setStatus(LinkStatus status) {
  if (status_ == status) {
    return;
  }
  status_ = status;
  for (const auto& listener : statusListeners_) {
    listener(status);
  }
}

void Connection::readPortNumber() {
  if (override_) {
    shell_.settings.PortNumber = *override_;
    return;
  }
  if (const auto stored = shell::readSettingsFile(shell_.ProgramFolder)) {
    shell_.settings.PortNumber = stored->PortNumber;
  }
}

void Connection::Connect() {
  handshakeAttempts_ = 0;
  engine_.state().FileNotReady = true;
  readPortNumber();
  shell::PortSetting& port = shell_.settings.PortNumber;
  if (port.devicePath.empty() && port.number == 0) {
    const std::string found = GetUsbPortName(ports_);
    port = portSettingOf(found).value_or(shell::PortSetting::fromNumber(1));
    shell::settings_writers::portChosen(shell_.ProgramFolder, port);
  }
  if (engine_.port().isOpen()) {
    engine_.OffComm([this] {
      engine_.port().setSettings(kLowSpeedSettings);
      SetSpeed();
    });
  } else {
    SetSpeed();
  }
}

void Connection::SetSpeed() {
  readPortNumber();
  dialog_.hidePortDialog();
  engine_.Wait();
  engine_.view().setStatusText(1, shell_.language.texts[kTextConnecting]);
  engine_.view().setProgressValue(0);
  engine_.view().setBusyPointer(true);

  const std::string name = portNameOf(shell_.settings.PortNumber);
  if (name.empty()) {
    problem_ = shell::ownText(shell_.language.texts, shell::Text::NoPortChosen);
    permissionDenied_ = false;
    giveUp();
    return;
  }
  platform::SerialPort& port = engine_.port();
  if (port.portName() != name) {
    if (port.isOpen()) {
      port.close();
    }
    port.setPortName(name);
  }
  setStatus(LinkStatus::Handshake);
  engine_.OffComm([this] { openAndSwitch(); });
}

void Connection::openAndSwitch() {
  platform::SerialPort& port = engine_.port();
  // Every handshake starts at 19200 baud, whatever the port was left at.
  port.setSettings(kLowSpeedSettings);
  permissionDenied_ = false;
  if (!port.isOpen() && !port.open()) {
    const shell::LanguageTexts& texts = shell_.language.texts;
    problem_ = shell::ownText(texts, shell::Text::CannotOpenPort,
                              {port.portName(), shell::utf8ToWindows1252(port.errorText())});
    permissionDenied_ = port.permissionDenied();
    if (permissionDenied_) {
      problem_ += " " + shell::ownText(texts, shell::Text::PortNotAllowed) + " " +
                  shell::ownText(texts, shell::Text::PortAdvice);
    }
    giveUp();
    return;
  }
  problem_ = shell::ownText(shell_.language.texts, shell::Text::NoAnswerOn, {port.portName()});
  port.setDtr(true);
  Buff19200();
}

void Connection::Buff19200() {
  ProgrammerState& state = engine_.state();
  ++state.SpeedSwitchCount;
  if (state.SpeedSwitchCount > kMaxSpeedSwitchFrames) {
    // The device answers speed switches but never a long frame: close the
    // port and tell the user, instead of leaving the program.
    engine_.OffComm([this] { engine_.port().setSettings(kLowSpeedSettings); });
    engine_.EndOperation();
    engine_.prompts().show({.text = "Contact with device lost!",
                            .title = "Comunication Failure",
                            .icon = platform::MessageIcon::Critical,
                            .buttons = platform::MessageButtons::Ok});
    state.SpeedSwitchCount = 0;
    giveUp();
    return;
  }
  switchDelay_->start();
}

void Connection::sendSpeedSwitch() {
  platform::SerialPort& port = engine_.port();
  port.discardInput();
  port.write(speedSwitchFrame());
  watch_->start();
}

void Connection::watchEnded() {
  platform::SerialPort& port = engine_.port();
  Bytes answer = port.readAll();
  if (answer.size() >= 2) {
    // More than an acknowledgement: the tail of a reply that came too late
    // for its request (the link was being rebuilt for it) has mixed with the
    // answer. It cannot be told apart: the frame goes out again, as after
    // silence, instead of leaving the link stalled.
    answer.clear();
  }
  if (answer.empty() && handshakeAttempts_ <= 1) {
    ++handshakeAttempts_;
    engine_.blockPacingTimer().start(kHandshakeRetryMs);
    return;
  }
  engine_.blockPacingTimer().setInterval(kBlockPacingMs);
  if (answer.empty()) {
    handshakeAttempts_ = 0;
    giveUp();
    return;
  }
  handshakeAttempts_ = 0;
  if (answer.back() != kSpeedSwitchAcknowledgement) {
    setStatus(LinkStatus::Stalled);
    return;
  }
  switched();
}

void Connection::switched() {
  engine_.port().setSettings(kHighSpeedSettings);
  engine_.view().setBusyPointer(false);
  for (int button = 1; button <= platform::kToolbarButtonCount; ++button) {
    engine_.view().setToolbarButtonEnabled(static_cast<platform::ToolbarButton>(button), true);
  }
  setStatus(LinkStatus::Connected);
  settle_->start();
}

void Connection::giveUp() {
  dialog_.showPortDialog(portDialogChoices(), portDialogText());
  setStatus(LinkStatus::Closed);
  engine_.EndOperation();
}

std::vector<std::string> Connection::portDialogChoices() const {
  return link::portDialogChoices(ports_);
}

std::string Connection::portDialogText() const {
  return GetUsbPortName(ports_);
}

void Connection::portDialogOk(const std::string& chosen) {
  const auto port = portSettingOf(chosen);
  if (!port) {
    return;
  }
  shell_.settings.PortNumber = *port;
  override_.reset();
  shell::settings_writers::portChosen(shell_.ProgramFolder, *port);
  SetSpeed();
}

void Connection::portDialogCancel() {
  dialog_.hidePortDialog();
}

}  // namespace vestrim::link
