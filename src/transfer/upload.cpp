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
  programmer_.beginJob({.linkLost =
                            [this] {
                              // The file in transfer is dropped and read again from
                              // its start; the files sealed before it stay.
                              received_.clear();
                              guard_->start();
                              return true;
                            },
                        .resume = [this] { return resume(); },
                        .lost =
                            [this](catalogue::JobLoss loss) {
                              guard_->stop();
                              received_.clear();
                              finish(loss == catalogue::JobLoss::ChecksumError
                                         ? SaveOutcome::Kind::ChecksumError
                                         : SaveOutcome::Kind::DeviceLost);
                            }});
  nextRow();
}

std::optional<std::string> Upload::resume() {
  // Rows are paired with records by position: a device whose list changed
  // while the link was down cannot be resumed safely.
  if (!running_ || programmer_.rows() != rows_) {
    return std::nullopt;
  }
  const std::string where = std::to_string(saveIndex_ + 1) + " / " + std::to_string(rows_.size());
  engine_.Wait();
  nextRow();
  return "the save resumed with file " + where;
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
  if (length > kMaxFileLength) {
    outcome_.skipped.push_back(rows_[saveIndex_].code + ": " + std::to_string(length) +
                               " bytes, longer than any device file");
    state.OperationCode = link::kNoOperation;
    guard_->stop();
    ++saveIndex_;
    nextRow();
    return;
  }
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

void Upload::finish(SaveOutcome::Kind kind) {
  running_ = false;
  guard_->stop();
  programmer_.endJob();
  outcome_.kind = kind;
  if (refresh_) {
    refresh_();
  }
  if (finished_) {
    finished_(outcome_);
  }
}

}  // namespace vestrim::transfer

namespace vestrim::transfer {

std::string saveOutcomeText(const SaveOutcome& outcome) {
  const std::string saved =
      std::to_string(outcome.saved) + (outcome.saved == 1 ? " file" : " files") + " saved";
  switch (outcome.kind) {
    case SaveOutcome::Kind::Finished:
      return saved + ".";
    case SaveOutcome::Kind::NothingToDo:
      return "Nothing to save.";
    case SaveOutcome::Kind::DeviceLost:
      return "The device stopped answering; " + saved + " before are intact.";
    case SaveOutcome::Kind::Stalled:
      return "A file made no progress for 180 s; " + saved + " before are intact.";
    case SaveOutcome::Kind::JournalFailed:
      return "The save stopped: " +
             (outcome.skipped.empty() ? std::string("the archive journal could not be written")
                                      : outcome.skipped.back()) +
             "; " + saved + " before are intact.";
    case SaveOutcome::Kind::ChecksumError:
      return "The device's replies failed their check five times in a row; " + saved +
             " before are intact.";
  }
  return saved + ".";
}

}  // namespace vestrim::transfer
