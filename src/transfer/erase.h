#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/programmer.h"
#include "link/operation.h"
#include "transfer/download_state.h"

namespace vestrim::transfer {

// Language text of the erase question.
inline constexpr int kTextEraseQuestion = 320;
// The device erases its flash after the erase command.
inline constexpr int kEraseWaitMs = 2000;

// The default command list an erase leaves: the datalogger type only.
inline constexpr const char* kDefaultCommandSlot = "50FFAAFFFFFFDataLogger      ";

// Erases the device's files and re-initialises its bookkeeping (operations
// 4 to 7): the erase command, 2 s for the device, a command list with the
// datalogger type only, the first free location and the download counters
// cleared; then the (empty) catalogue is read again.
//
// A lost reply is ridden out without ever sending the erase command twice:
// before it went out the erase starts once the link is back; after it, the
// erase goes on with the bookkeeping only when the device reads back erased.
class Erase final : public link::Operation {
 public:
  // How far the erase command got.
  enum class Stage { NotSent, Sent, Acknowledged };

  Erase(catalogue::Programmer& programmer, shell::ShellContext& shell, DownloadState& state);

  // The toolbar's Erase: after the question, the erase command at once (if
  // the port is open).
  void eraseFromToolbar();
  // The Device menu's Erase: after the question, the command list is read
  // first and its end starts the erase; a closed port is opened instead.
  void eraseFromMenu();

  void onWriteAcknowledged() override;

  void WriteCmdDel();

  Stage stage() const { return stage_; }
  // The records the list shows that have no sealed copy in the archive: what
  // an erase now would lose, by code and date.
  std::vector<std::string> unsavedRecords() const;

 private:
  bool confirmed();
  void beginJob();
  std::optional<std::string> resume();
  void InitMem();
  void ClrPunEEP();
  void ClrCntEEP();

  catalogue::Programmer& programmer_;
  link::LinkEngine& engine_;
  shell::ShellContext& shell_;
  DownloadState& state_;
  std::unique_ptr<platform::Timer> eraseWait_;
  Bytes commandListImage_;
  Stage stage_ = Stage::NotSent;
};

}  // namespace vestrim::transfer
