#include "transfer/upload.h"

#include "link/device_addresses.h"
#include "link/requests.h"
#include "transfer/seal.h"

namespace vestrim::transfer {

using link::ProgrammerState;

std::string provisionalName(const platform::CatalogueRow& row) {
  // The code part is held at 8 characters, so that the year and the month
  // of the date always stand at the same places: a short code must not
  // shift them, nor make a dated row look undated.
  std::string code = row.code.substr(0, std::min<std::size_t>(row.code.size(), 8));
  code.resize(8, '_');
  return code + "(" + row.date + ")_" + row.id + ".dtl";
}

Upload::Upload(catalogue::Programmer& programmer, shell::ShellContext& shell)
    : programmer_(programmer), engine_(programmer.engine()), shell_(shell) {
  engine_.registerOperation(link::kReadFile, *this);
  guard_ = engine_.scheduler().createTimer("file guard", [this] {
    // No block for 180 s although the device answers: give the save up.
    if (running_) {
      engine_.state().OperationCode = link::kNoOperation;
      engine_.EndOperation();
      finish(SaveOutcome::Kind::Stalled);
    }
  });
  guard_->setInterval(kFileGuardMs);
  engine_.addTimeoutListener([this] {
    if (running_) {
      deviceLost();
    }
  });
}

void Upload::Save() {
  if (running_) {
    return;
  }
  outcome_ = {};
  rows_ = programmer_.rows();
  if (rows_.empty()) {
    finish(SaveOutcome::Kind::NothingToDo);
    return;
  }
  if (!engine_.port().isOpen()) {
    engine_.view().setToolbarButtonEnabled(platform::ToolbarButton::Erase, false);
    finish(SaveOutcome::Kind::NothingToDo);
    return;
  }
  const bool anyDated =
      std::any_of(rows_.begin(), rows_.end(),
                  [](const platform::CatalogueRow& row) { return !row.date.empty(); });
  if (!anyDated) {
    engine_.view().setToolbarButtonEnabled(platform::ToolbarButton::MachineUpgrade, false);
    engine_.EndOperation();
    for (const auto& row : rows_) {
      outcome_.skipped.push_back(row.code + ": no date");
    }
    finish(SaveOutcome::Kind::NothingToDo);
    return;
  }
  provisionalNames_.clear();
  for (const auto& row : rows_) {
    provisionalNames_.push_back(provisionalName(row));
  }
  running_ = true;
  saveIndex_ = 0;
  nextRow();
}

void Upload::nextRow() {
  while (saveIndex_ < rows_.size()) {
    const std::string& name = provisionalNames_[saveIndex_];
    engine_.view().setStatusText(
        2, std::to_string(saveIndex_ + 1) + " / " + std::to_string(rows_.size()));
    // A row without a date has a shorter name and is not saved.
    if (name.size() < 30) {
      outcome_.skipped.push_back(rows_[saveIndex_].code + ": no date");
      ++saveIndex_;
      continue;
    }
    monthFolder_ = shell_.ProgramFolder / ("20" + name.substr(15, 2)) / name.substr(12, 2);
    std::error_code error;
    std::filesystem::create_directories(monthFolder_, error);
    if (error) {
      outcome_.skipped.push_back(rows_[saveIndex_].code + ": cannot create " +
                                 monthFolder_.string());
      ++saveIndex_;
      continue;
    }
    engine_.state().UploadDone = false;
    engine_.state().OperationCode = link::kNoOperation;
    fileIndex_ = rows_[saveIndex_].record;
    guard_->start();
    ReadFile();
    return;
  }
  engine_.EndOperation();
  finish(SaveOutcome::Kind::Finished);
}

void Upload::ReadFile() {
  ProgrammerState& state = engine_.state();
  const catalogue::CatalogueTables& tables = programmer_.tables();
  state.OperationCode = link::kReadFile;
  state.RetryCount = 0;
  while (fileIndex_ < tables.NumFile &&
         tables.FileType[static_cast<std::size_t>(fileIndex_)] == 0xFF) {
    ++fileIndex_;
  }
  const auto index = static_cast<std::size_t>(fileIndex_);
  const std::int64_t start =
      fileIndex_ == 0 ? link::kFirstFileAddress : tables.NextAddress[index - 1];
  const std::int64_t length = std::int64_t{tables.NextAddress[index]} - start;
  received_.clear();
  if (length < 0) {
    engine_.prompts().show({.text = "Internal error (invalid data).",
                            .title = "",
                            .icon = platform::MessageIcon::Exclamation,
                            .buttons = platform::MessageButtons::Ok});
    state.UploadDone = true;
    fileComplete();
    return;
  }
  state.beginBlocks(static_cast<std::uint32_t>(start), static_cast<std::size_t>(length));
  engine_.Wait();
  engine_.view().setStatusText(1, shell_.language.texts[kTextUploading]);
  if (tables.MemorySize != 0) {
    engine_.view().setProgressVisible(true);
    engine_.view().setProgressMaximum(
        static_cast<std::uint32_t>(std::max<std::int32_t>(state.BlockCount - 1, 1)));
  }
  sendBlock();
}

void Upload::sendBlock() {
  ProgrammerState& state = engine_.state();
  // A file ends with the request for the remainder, also when that is 0.
  engine_.MakeBTx(link::requests::ReadFile(state.BlockAddress, state.blockLength()));
}

void Upload::onReadReply() {
  ProgrammerState& state = engine_.state();
  if (state.RetryCount != 0) {
    return;
  }
  const auto& rx = engine_.RxBuffer();
  const int length = engine_.lastRequest().RequestLength;
  received_.insert(received_.end(), rx.begin(), rx.begin() + length);
  guard_->start();
  if (state.moreBlocks()) {
    engine_.view().setProgressValue(static_cast<std::uint32_t>(state.BlockIndex));
    state.advance();
    state.stepBlockAddress();
    sendBlock();
    return;
  }
  state.OperationCode = link::kNoOperation;
  engine_.view().setToolbarButtonEnabled(platform::ToolbarButton::Erase, false);
  state.UploadDone = true;
  fileComplete();
}

void Upload::fileComplete() {
  guard_->stop();
  const platform::CatalogueRow& row = rows_[saveIndex_];
  if (received_.empty()) {
    // Nothing came from the device: there is no record to seal.
    outcome_.skipped.push_back(row.code + ": no bytes");
  } else {
    const SealResult sealed =
        ProtectDataLogger(shell_.ProgramFolder, monthFolder_, received_, shell_.language.messages);
    if (sealed.file.empty()) {
      shell_.log.LogError("FrmPrg", "ProtectDataLogger");
      outcome_.skipped.push_back(row.code + ": " + sealed.error);
      if (sealed.journalFailed) {
        engine_.EndOperation();
        finish(SaveOutcome::Kind::JournalFailed);
        return;
      }
    } else {
      ++outcome_.saved;
      if (fileSealed_) {
        fileSealed_(sealed.file);
      }
    }
  }
  ++saveIndex_;
  nextRow();
}

void Upload::deviceLost() {
  // The file in transfer is dropped; the files sealed before it stay. The
  // link is rebuilt by the reconnection, which owns the busy state now.
  guard_->stop();
  received_.clear();
  finish(SaveOutcome::Kind::DeviceLost);
}

void Upload::finish(SaveOutcome::Kind kind) {
  running_ = false;
  outcome_.kind = kind;
  if (refresh_) {
    refresh_();
  }
  if (finished_) {
    finished_(outcome_);
  }
}

}  // namespace vestrim::transfer
