#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/operation.h"
#include "link/programmer_state.h"
#include "link/request.h"
#include "link/requests.h"
#include "platform/bytes.h"
#include "platform/programmer_view.h"
#include "platform/prompts.h"
#include "platform/scheduler.h"
#include "platform/serial_port.h"
#include "shell/text_table.h"

namespace vestrim::link {

inline constexpr int kReplyTimeoutMs = 2000;  // no reply: the link is lost
inline constexpr int kCatalogueEndStepMs = 1000;
inline constexpr int kBlockPacingMs = 30;   // pause between download blocks
inline constexpr int kDispatchMs = 30;      // pause between a reply and the next step
inline constexpr int kOffCommWaitMs = 500;  // DTR pulse settles before the port closes

inline constexpr const char* kLowSpeedSettings = "19200,N,8,1";
inline constexpr const char* kHighSpeedSettings = "57600,N,8,1";

inline constexpr int kRxBufferSize = 1001;

// Language texts the link shows.
inline constexpr int kTextIdle = 313;

// The transaction engine of the programmer window: sends one request at a
// time, matches its reply, and strings the steps of an operation together
// with four timers. One request is outstanding at most.
//
//   reply timeout (2000 ms)      started by every long frame; fires: recovery
//   catalogue-end step (1000 ms) started by the end of a catalogue walk
//   block pacing (30 ms)         between download blocks; at 19200 baud it
//                                drives the speed handshake instead
//   dispatch (30 ms)             started by every accepted or retried reply
class LinkEngine {
 public:
  LinkEngine(platform::SerialPort& port, platform::Scheduler& scheduler,
             platform::ProgrammerView& view, platform::Prompts& prompts,
             const shell::LanguageTexts& texts);
  ~LinkEngine();
  LinkEngine(const LinkEngine&) = delete;
  LinkEngine& operator=(const LinkEngine&) = delete;

  ProgrammerState& state() { return state_; }
  const ProgrammerState& state() const { return state_; }
  platform::SerialPort& port() { return port_; }
  platform::Scheduler& scheduler() { return scheduler_; }
  platform::ProgrammerView& view() { return view_; }
  platform::Prompts& prompts() { return prompts_; }
  const shell::LanguageTexts& texts() const { return texts_; }

  // The seam of the operations: `operation` continues every step of
  // operation number `code`. An operation number without one does nothing.
  void registerOperation(std::uint8_t code, Operation& operation);
  // The seam of the connection: called where the link must be rebuilt from
  // scratch (after a reply timeout, and by the pacing timer at 19200 baud).
  void setSpeedHandler(std::function<void()> setSpeed) { setSpeed_ = std::move(setSpeed); }
  // Called first when the reply timeout fires, before the link is rebuilt:
  // an operation that waits on the device learns that it is lost.
  void addTimeoutListener(std::function<void()> listener) {
    timeoutListeners_.push_back(std::move(listener));
  }
  // Called after "Checksum Error" has ended the operation: an operation that
  // waits on the device learns that it was given up.
  void addChecksumErrorListener(std::function<void()> listener) {
    checksumErrorListeners_.push_back(std::move(listener));
  }
  // What the catalogue-end timer does when it fires.
  void setCatalogueEndStep(std::function<void()> step) { catalogueEndStep_ = std::move(step); }

  // Builds the long frame of `request`, keeps its checksum and sends it.
  void MakeBTx(const Request& request);

  // Busy state: commands and menus disabled, hourglass pointer.
  void Wait();
  // Idle state: commands and menus enabled, the idle text shown, the
  // progress bar hidden, OperationCode 0.
  void EndOperation();
  // Pulses DTR, waits 0.5 s and closes the port, then runs `then`. With the
  // port closed, `then` runs at once.
  void OffComm(std::function<void()> then = {});

  // Busy from Wait until EndOperation.
  bool busy() const { return busy_; }
  // No timer of the engine is running: nothing will happen until a reply or
  // a user action.
  bool timersIdle() const;

  // Whether the port is set to 19200 baud: the speed handshake has not
  // completed.
  bool atLowSpeed() const;

  platform::Timer& replyTimeoutTimer() { return *replyTimeout_; }
  platform::Timer& catalogueEndTimer() { return *catalogueEnd_; }
  platform::Timer& blockPacingTimer() { return *blockPacing_; }
  platform::Timer& dispatchTimer() { return *dispatch_; }

  // The last request sent and its frame.
  const Request& lastRequest() const { return request_; }
  const Bytes& LastFrame() const { return lastFrame_; }
  std::uint32_t LastChecksum() const { return lastChecksum_; }
  // Every byte taken from the port by the last accepted reply.
  const Bytes& replyText() const { return reply_; }
  // The data of the last read reply. Never cleared: bytes beyond the last
  // reply keep older values.
  const std::array<std::uint8_t, kRxBufferSize>& RxBuffer() const { return rxBuffer_; }

 private:
  void StartTx();
  void onPortEvent(platform::SerialEvent event);
  void GestRx();
  void ReadBRx();
  void onReplyTimeout();
  void onBlockPacing();
  void checksumError();
  Operation* currentOperation() const;

  platform::SerialPort& port_;
  platform::Scheduler& scheduler_;
  platform::ProgrammerView& view_;
  platform::Prompts& prompts_;
  const shell::LanguageTexts& texts_;

  ProgrammerState state_;
  std::array<Operation*, kOperationCount + 1> operations_{};
  std::function<void()> setSpeed_;
  std::function<void()> catalogueEndStep_;
  std::vector<std::function<void()>> timeoutListeners_;
  std::vector<std::function<void()>> checksumErrorListeners_;

  // Whether read replies are checked against the data's sum (learnReadSums).
  enum class ReadSums { Unknown, Checked, Unchecked };
  static constexpr int kReadsBeforeSumsAreChecked = 3;
  // Whether the reply just judged is to be checked against its sum.
  bool learnReadSums(bool matches);
  ReadSums readSums_ = ReadSums::Unknown;
  int matchingReads_ = 0;
  bool doubtfulRead_ = false;  // the last read did not carry the sum

  Request request_;
  Bytes lastFrame_;
  std::uint32_t lastChecksum_ = 0;
  Bytes reply_;
  std::array<std::uint8_t, kRxBufferSize> rxBuffer_{};
  // True from sending a frame until its reply is accepted or the timeout
  // fires; bytes that arrive otherwise are stale and wait to be discarded.
  bool awaitingReply_ = false;
  bool busy_ = false;
  bool resendPending_ = false;  // a badly acknowledged write goes out again

  std::unique_ptr<platform::Timer> replyTimeout_;
  std::unique_ptr<platform::Timer> catalogueEnd_;
  std::unique_ptr<platform::Timer> blockPacing_;
  std::unique_ptr<platform::Timer> dispatch_;
  std::unique_ptr<platform::Timer> offCommWait_;
  std::function<void()> offCommThen_;
};

}  // namespace vestrim::link
