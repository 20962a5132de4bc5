#include "transfer/upload.h"

#include <string_view>

#include "catalogue/catalogue_rows.h"
#include "link/device_addresses.h"
#include "link/requests.h"
#include "shell/own_texts.h"
#include "shell/text_encoding.h"
#include "transfer/record_place.h"
#include "transfer/seal.h"

namespace vestrim::transfer {
namespace {

// The save's progress bar counts each row of the list in this many steps,
// so that it moves within a long file and shows the same share as "k / n".
constexpr std::uint32_t kStepsPerRow = 100;

}  // namespace

using link::ProgrammerState;
using shell::Text;

std::string provisionalName(const platform::CatalogueRow& row) {
  // The code part is held at 8 characters, so that the year and the month
  // of the date always stand at the same places: a short code must not
  // shift them, nor make a dated row look undated.
  std::string code = row.code.substr(0, 8);
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
  outcome_.folder = shell::utf8ToWindows1252(shell::utf8Of(shell_.ProgramFolder));
  rows_ = programmer_.rows();
  saveIndex_ = 0;
  if (rows_.empty()) {
    finish(SaveOutcome::Kind::NothingToDo);
    return;
  }
  if (!engine_.port().isOpen()) {
    engine_.view().setToolbarButtonEnabled(platform::ToolbarButton::Erase, false);
    finish(SaveOutcome::Kind::NotConnected);
    return;
  }
  for (const auto& row : rows_) {
    outcome_.records += skipReason(row) ? 0 : 1;
  }
  if (outcome_.records == 0) {
    engine_.view().setToolbarButtonEnabled(platform::ToolbarButton::MachineUpgrade, false);
    engine_.EndOperation();
    for (const auto& row : rows_) {
      noteSkip(outcome_, row, skipReason(row));
    }
    finish(SaveOutcome::Kind::NothingToDo);
    return;
  }
  running_ = true;
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
  return shell::ownText(shell_.language.texts, Text::SaveResumed, {where});
}

void Upload::nextRow() {
  while (saveIndex_ < rows_.size()) {
    const platform::CatalogueRow& row = rows_[saveIndex_];
    engine_.view().setStatusText(
        2, std::to_string(saveIndex_ + 1) + " / " + std::to_string(rows_.size()));
    if (const char* skip = skipReason(row)) {
      noteSkip(outcome_, row, skip);
      ++saveIndex_;
      continue;
    }
    monthFolder_ = shell_.ProgramFolder / *archiveFolderOf(row, false);
    std::error_code error;
    std::filesystem::create_directories(monthFolder_, error);
    if (error) {
      outcome_.failed.push_back(
          {recordLabel(row), shell::ownText(shell_.language.texts, Text::CannotCreate,
                                            {shell::utf8ToWindows1252(shell::utf8Of(monthFolder_)),
                                             shell::utf8ToWindows1252(error.message())})});
      ++saveIndex_;
      continue;
    }
    engine_.state().UploadDone = false;
    engine_.state().OperationCode = link::kNoOperation;
    fileIndex_ = row.record;
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
  const std::int64_t length = catalogue::recordLength(tables, fileIndex_);
  const std::int64_t start = tables.NextAddress[static_cast<std::size_t>(fileIndex_)] - length;
  received_.clear();
  fileLength_ = std::max<std::int64_t>(length, 0);
  if (length > kMaxFileLength) {
    outcome_.failed.push_back(
        {recordLabel(rows_[saveIndex_]),
         shell::ownText(shell_.language.texts, Text::TooLong, {std::to_string(length)})});
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
    engine_.view().setProgressMaximum(static_cast<std::uint32_t>(rows_.size()) * kStepsPerRow);
    showProgress();
  }
  sendBlock();
}

void Upload::showProgress() {
  const auto share = fileLength_ == 0
                         ? 0
                         : static_cast<std::uint32_t>(received_.size() * kStepsPerRow /
                                                      static_cast<std::uint64_t>(fileLength_));
  engine_.view().setProgressValue(static_cast<std::uint32_t>(saveIndex_) * kStepsPerRow +
                                  std::min(share, kStepsPerRow));
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
    showProgress();
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
    outcome_.failed.push_back(
        {recordLabel(row), shell::ownText(shell_.language.texts, Text::NoBytes)});
  } else {
    const SealResult sealed =
        ProtectDataLogger(shell_.ProgramFolder, monthFolder_, received_, shell_.language.messages);
    if (sealed.file.empty()) {
      shell_.log.LogError("FrmPrg", "ProtectDataLogger");
      outcome_.failed.push_back({recordLabel(row), shell::utf8ToWindows1252(sealed.error)});
      if (sealed.journalFailed) {
        ++saveIndex_;
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
  // A save that stopped early names the records it did not reach.
  if (kind != SaveOutcome::Kind::Finished && kind != SaveOutcome::Kind::NothingToDo &&
      kind != SaveOutcome::Kind::NotConnected) {
    for (std::size_t i = saveIndex_; i < rows_.size(); ++i) {
      if (!skipReason(rows_[i])) {
        outcome_.failed.push_back(
            {recordLabel(rows_[i]), shell::ownText(shell_.language.texts, Text::NotReadStopped)});
      }
    }
  }
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

void noteSkip(SaveOutcome& outcome, const platform::CatalogueRow& row, const char* why) {
  outcome.skipped.push_back(recordLabel(row) + ": " + why);
  outcome.undated += std::string_view(why) == kNoDate ? 1 : 0;
}

std::string saveOutcomeText(const SaveOutcome& outcome, const shell::LanguageTexts& texts) {
  std::string saved = shell::ownText(
      texts, outcome.records == 1 ? Text::SavedRecord : Text::SavedRecords,
      {std::to_string(outcome.saved), std::to_string(outcome.records), outcome.folder});
  // Said beside the count, so that the records an erase would still lose
  // are no surprise after a save that saved "all".
  if (outcome.undated > 0) {
    saved +=
        "; " + shell::ownText(texts, outcome.undated == 1 ? Text::UndatedOne : Text::UndatedMany,
                              {std::to_string(outcome.undated)});
  }
  const auto stopped = [&](Text why) { return shell::ownText(texts, why) + "; " + saved + "."; };
  switch (outcome.kind) {
    case SaveOutcome::Kind::Finished:
      return saved + ".";
    case SaveOutcome::Kind::NothingToDo:
      return shell::ownText(texts, Text::NothingToSave);
    case SaveOutcome::Kind::NotConnected:
      return shell::ownText(texts, Text::NotConnectedSave);
    case SaveOutcome::Kind::DeviceLost:
      return stopped(Text::SaveDeviceLost);
    case SaveOutcome::Kind::Stalled:
      return stopped(Text::SaveStalled);
    case SaveOutcome::Kind::JournalFailed:
      return stopped(Text::SaveJournalFailed);
    case SaveOutcome::Kind::ChecksumError:
      return stopped(Text::SaveChecksumFailed);
  }
  return saved + ".";
}

std::optional<platform::Message> notSavedMessage(const std::string& outcomeLine,
                                                 const std::vector<NotSaved>& failed,
                                                 const shell::LanguageTexts& texts) {
  if (failed.empty()) {
    return std::nullopt;
  }
  // Records that failed for one reason (a folder that cannot be written) are
  // named under it once; 20 names in all, then how many more.
  constexpr std::size_t kNamesShown = 20;
  std::vector<std::string> reasons;
  for (const NotSaved& record : failed) {
    if (std::find(reasons.begin(), reasons.end(), record.why) == reasons.end()) {
      reasons.push_back(record.why);
    }
  }
  std::string text = outcomeLine;
  std::size_t left = kNamesShown;
  for (const std::string& why : reasons) {
    if (left == 0) {
      break;
    }
    text += "\n\n" + shell::ownText(texts, Text::NotSavedUnder, {why});
    for (const NotSaved& record : failed) {
      if (record.why == why && left > 0) {
        text += "\n" + record.record;
        --left;
      }
    }
  }
  if (failed.size() > kNamesShown) {
    text +=
        "\n" + shell::ownText(texts, Text::AndMore, {std::to_string(failed.size() - kNamesShown)});
  }
  return platform::Message{.text = text,
                           .title = shell::ownText(texts, Text::NotSavedTitle),
                           .icon = platform::MessageIcon::Exclamation,
                           .buttons = platform::MessageButtons::Ok};
}

}  // namespace vestrim::transfer
