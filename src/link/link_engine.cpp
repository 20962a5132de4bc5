#include "link/link_engine.h"

#include <algorithm>

#include "link/frame_codec.h"

namespace vestrim::link {

using platform::Menu;
using platform::ToolbarButton;

LinkEngine::LinkEngine(platform::SerialPort& port, platform::Scheduler& scheduler,
                       platform::ProgrammerView& view, platform::Prompts& prompts,
                       const shell::LanguageTexts& texts)
    : port_(port), scheduler_(scheduler), view_(view), prompts_(prompts), texts_(texts) {
  replyTimeout_ = scheduler_.createTimer("reply timeout", [this] { onReplyTimeout(); });
  replyTimeout_->setInterval(kReplyTimeoutMs);
  catalogueEnd_ = scheduler_.createTimer("catalogue-end step", [this] {
    if (catalogueEndStep_) {
      catalogueEndStep_();
    }
  });
  catalogueEnd_->setInterval(kCatalogueEndStepMs);
  blockPacing_ = scheduler_.createTimer("block pacing", [this] { onBlockPacing(); });
  blockPacing_->setInterval(kBlockPacingMs);
  dispatch_ = scheduler_.createTimer("dispatch", [this] { GestRx(); });
  dispatch_->setInterval(kDispatchMs);
  offCommWait_ = scheduler_.createTimer("port close", [this] {
    port_.close();
    if (auto then = std::move(offCommThen_)) {
      then();
    }
  });
  offCommWait_->setInterval(kOffCommWaitMs);
  port_.setEventHandler([this](platform::SerialEvent event) { onPortEvent(event); });
}

LinkEngine::~LinkEngine() {
  port_.setEventHandler({});
}

void LinkEngine::registerOperation(std::uint8_t code, Operation& operation) {
  if (code < operations_.size()) {
    operations_[code] = &operation;
  }
}

Operation* LinkEngine::currentOperation() const {
  return state_.OperationCode < operations_.size() ? operations_[state_.OperationCode] : nullptr;
}

void LinkEngine::MakeBTx(const Request& request) {
  request_ = request;
  LongFrame frame = encodeLongFrame(request_);
  lastChecksum_ = frame.checksum;
  lastFrame_ = std::move(frame.bytes);
  StartTx();
}

void LinkEngine::StartTx() {
  // A read raises its receive event once the data and the first byte of the
  // trailing value are in; a write on its first acknowledgement byte.
  port_.setReceiveThreshold(request_.RequestIsRead ? wireLength(request_.RequestLength) + 1 : 1);
  if (!port_.isOpen()) {
    // Nothing goes out and no timeout runs: the operation waits, busy,
    // until the user reconnects.
    awaitingReply_ = false;
    return;
  }
  port_.discardInput();
  state_.TimeoutFlag = false;
  awaitingReply_ = true;
  // The timeout is armed before the write, so that a reply delivered at
  // once cannot be followed by a timeout started after it.
  replyTimeout_->stop();
  replyTimeout_->start();
  port_.write(lastFrame_);
}

void LinkEngine::onPortEvent(platform::SerialEvent event) {
  if (event != platform::SerialEvent::DataReceived || !awaitingReply_) {
    return;
  }
  // Until the reply is complete the timeout keeps running, so a reply that
  // stops half way still ends in the timeout recovery.
  // The reply is awaited whole, as long as the device sends it: a request
  // of length 0 (the end of an upload) is answered with 256 bytes, and none
  // of them may be left on the line to be taken for the next reply.
  if (!replyComplete(request_.RequestIsRead, wireLength(request_.RequestLength),
                     static_cast<std::size_t>(std::max(port_.bytesAvailable(), 0)))) {
    return;
  }
  replyTimeout_->stop();
  awaitingReply_ = false;
  reply_ = port_.readAll();

  const int length = wireLength(request_.RequestLength);
  bool checkReadSum = readSums_ == ReadSums::Checked;
  if (request_.RequestIsRead && readSums_ == ReadSums::Unknown) {
    checkReadSum = learnReadSums(readSumMatches(length, reply_));
  }
  switch (judgeReply(request_.RequestIsRead, length, lastChecksum_, reply_, checkReadSum)) {
    case ReplyVerdict::ReadReply:
    case ReplyVerdict::GoodAcknowledgement:
      state_.RetryCount = 0;
      dispatch_->start();
      break;
    case ReplyVerdict::BadAcknowledgement:
    case ReplyVerdict::BadReadReply:
      if (state_.RetryCount <= 3) {
        // The same frame goes out again after the dispatch pause, whatever
        // the request was: a block, the last block or a single request. A
        // write the device did not confirm is never taken as done, and data
        // that do not add up are never taken for the device's.
        ++state_.RetryCount;
        resendPending_ = true;
        dispatch_->start();
      } else {
        checksumError();
      }
      break;
  }
}

bool LinkEngine::learnReadSums(bool matches) {
  // Boards are known whose value after read data is the data's sum; the
  // rule is not stated for every board. Replies are checked against it once
  // the first reads of this engine carried it. A read that does not is sent
  // for once more, as noise before a reply looks the same; when the answer
  // again does not carry the sum, this device has another rule and its reads
  // are never rejected.
  if (matches) {
    doubtfulRead_ = false;
    if (++matchingReads_ == kReadsBeforeSumsAreChecked) {
      readSums_ = ReadSums::Checked;
    }
    return true;
  }
  if (!doubtfulRead_) {
    doubtfulRead_ = true;
    return true;
  }
  readSums_ = ReadSums::Unchecked;
  return false;
}

void LinkEngine::checksumError() {
  prompts_.show({.text = "Checksum Error",
                 .title = "",
                 .icon = platform::MessageIcon::Exclamation,
                 .buttons = platform::MessageButtons::Ok});
  state_.OperationCode = kNoOperation;
  state_.readEnd = false;
  state_.startWrite = false;
  state_.startRead = false;
  state_.startErase = false;
  // RetryCount keeps its value until the next operation starts.
  EndOperation();
  for (const auto& listener : checksumErrorListeners_) {
    listener();
  }
}

void LinkEngine::GestRx() {
  if (resendPending_) {
    resendPending_ = false;
    StartTx();
    return;
  }
  if (request_.RequestIsRead) {
    ReadBRx();
    return;
  }
  if (Operation* operation = currentOperation()) {
    operation->onWriteAcknowledged();
  }
}

void LinkEngine::ReadBRx() {
  const auto length =
      std::min<std::size_t>({static_cast<std::size_t>(std::max<int>(request_.RequestLength, 0)),
                             reply_.size(), rxBuffer_.size()});
  std::copy_n(reply_.begin(), length, rxBuffer_.begin());
  if (Operation* operation = currentOperation()) {
    operation->onReadReply();
  }
}

bool LinkEngine::timersIdle() const {
  return !replyTimeout_->isActive() && !catalogueEnd_->isActive() && !blockPacing_->isActive() &&
         !dispatch_->isActive() && !offCommWait_->isActive();
}

void LinkEngine::Wait() {
  busy_ = true;
  for (int button = 1; button <= platform::kToolbarButtonCount; ++button) {
    view_.setToolbarButtonEnabled(static_cast<ToolbarButton>(button), false);
  }
  view_.setBusyPointer(true);
  for (const Menu menu : {Menu::File, Menu::Device, Menu::Version}) {
    view_.setMenuEnabled(menu, false);
  }
}

void LinkEngine::EndOperation() {
  busy_ = false;
  for (int button = 1; button <= platform::kToolbarButtonCount; ++button) {
    view_.setToolbarButtonEnabled(static_cast<ToolbarButton>(button), true);
  }
  view_.setBusyPointer(false);
  for (const Menu menu : {Menu::File, Menu::Device, Menu::Version}) {
    view_.setMenuEnabled(menu, true);
  }
  view_.setStatusText(1, texts_[kTextIdle]);
  view_.setStatusText(2, "");
  view_.setProgressVisible(false);
  view_.setProgressValue(0);
  state_.OperationCode = kNoOperation;
}

void LinkEngine::OffComm(std::function<void()> then) {
  if (!port_.isOpen()) {
    if (then) {
      then();
    }
    return;
  }
  port_.setDtr(true);
  port_.setDtr(false);
  offCommThen_ = std::move(then);
  offCommWait_->start();
}

bool LinkEngine::atLowSpeed() const {
  return port_.settings().rfind("19200", 0) == 0;
}

void LinkEngine::onReplyTimeout() {
  awaitingReply_ = false;
  resendPending_ = false;
  state_.TimeoutFlag = true;
  for (const auto& listener : timeoutListeners_) {
    listener();
  }
  state_.OperationCode = kNoOperation;
  view_.setBusyPointer(true);  // the reconnection follows
  state_.SpeedSwitchCount = 0;
  if (atLowSpeed()) {
    prompts_.show({.text = "Contact with device lost!",
                   .title = "Comunication Failure",
                   .icon = platform::MessageIcon::Critical,
                   .buttons = platform::MessageButtons::Ok});
  }
  state_.readEnd = false;
  state_.startWrite = false;
  state_.startRead = false;
  state_.startErase = false;
  state_.FileNotReady = false;

  auto reconnect = [this] {
    if (setSpeed_) {
      setSpeed_();
    }
  };
  if (port_.isOpen()) {
    OffComm([this, reconnect] {
      port_.setSettings(kLowSpeedSettings);
      reconnect();
    });
  } else {
    reconnect();
  }
}

void LinkEngine::onBlockPacing() {
  if (atLowSpeed()) {
    // While the handshake has not completed, the pacing timer is the delay
    // between its silent retries.
    if (setSpeed_) {
      setSpeed_();
    }
    return;
  }
  if (Operation* operation = currentOperation()) {
    operation->onBlockPacing();
  }
}

}  // namespace vestrim::link
