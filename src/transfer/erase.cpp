#include "transfer/erase.h"

#include <cstdio>

#include "link/device_addresses.h"
#include "link/requests.h"
#include "shell/own_texts.h"
#include "transfer/record_place.h"

namespace vestrim::transfer {

using link::ProgrammerState;

Erase::Erase(catalogue::Programmer& programmer, shell::ShellContext& shell, DownloadState& state)
    : programmer_(programmer), engine_(programmer.engine()), shell_(shell), state_(state) {
  for (const std::uint8_t code :
       {link::kWriteCmdDel, link::kInitMem, link::kClrPunEEP, link::kClrCntEEP}) {
    engine_.registerOperation(code, *this);
  }
  eraseWait_ = engine_.scheduler().createTimer("erase wait", [this] { InitMem(); });
  eraseWait_->setInterval(kEraseWaitMs);
  programmer_.walks().setEraseStarter([this] { WriteCmdDel(); });
}

std::vector<std::string> Erase::unsavedRecords() const {
  return archive::notInArchive(
      shell_.ProgramFolder,
      heldRecords(programmer_.rows(), programmer_.tables(), shell_.ProgramFolder));
}

bool Erase::confirmed() {
  const platform::Message question{.text = shell_.language.texts[kTextEraseQuestion],
                                   .title = "",
                                   .icon = platform::MessageIcon::Question,
                                   .buttons = platform::MessageButtons::YesNo};
  return engine_.prompts().show(eraseQuestion(question, unsavedRecords(), shell::Text::OnTheDevice,
                                              shell_.language.texts)) ==
         platform::MessageAnswer::Yes;
}

void Erase::eraseFromToolbar() {
  if (!confirmed() || !engine_.port().isOpen()) {
    return;
  }
  state_.FileNotReady = true;
  // The erase starts here; no erase is left pending for the catalogue walk
  // that follows it, so one request erases once.
  engine_.state().startErase = false;
  engine_.state().OperationCode = link::kNoOperation;
  engine_.Wait();
  beginJob();
  WriteCmdDel();
}

void Erase::beginJob() {
  stage_ = Stage::NotSent;
  programmer_.beginJob({.linkLost = [] { return true; },
                        .resume = [this] { return resume(); },
                        .lost = [](catalogue::JobLoss) {}});
}

std::optional<std::string> Erase::resume() {
  engine_.Wait();
  if (stage_ == Stage::NotSent) {
    WriteCmdDel();
    return shell::ownText(shell_.language.texts, shell::Text::EraseGoesOn);
  }
  // The erase command went out: it is never sent again. Only a memory that
  // reads back erased (no record in its chain) lets the bookkeeping go on.
  const catalogue::CatalogueTables& tables = programmer_.tables();
  if (tables.NumFile != 0 || tables.FileType[0] != 0xFF) {
    return std::nullopt;
  }
  stage_ = Stage::Acknowledged;
  InitMem();
  return shell::ownText(shell_.language.texts, shell::Text::EraseReadsBack) + "; " +
         shell::ownText(shell_.language.texts, shell::Text::EraseBookkeeping);
}

void Erase::eraseFromMenu() {
  if (!confirmed()) {
    return;
  }
  if (!engine_.port().isOpen()) {
    engine_.port().setSettings(link::kLowSpeedSettings);
    programmer_.connection().SetSpeed();
    return;
  }
  state_.FileNotReady = true;
  engine_.state().startErase = true;
  engine_.state().OperationCode = link::kNoOperation;
  engine_.Wait();
  beginJob();
  programmer_.walks().ReadCmndLst();
}

void Erase::WriteCmdDel() {
  ProgrammerState& state = engine_.state();
  state.OperationCode = link::kWriteCmdDel;
  state.RetryCount = 0;
  state.beginBlocks(state.BlockAddress, 0);
  programmer_.tables().NumFile = 0;
  stage_ = Stage::Sent;
  engine_.MakeBTx(link::requests::WriteCmdDel());
}

void Erase::InitMem() {
  ProgrammerState& state = engine_.state();
  catalogue::CatalogueTables& tables = programmer_.tables();
  if (state.OperationCode != link::kInitMem) {
    state.OperationCode = link::kInitMem;
    state.RetryCount = 0;
    for (std::size_t slot = 0; slot < 128; ++slot) {
      tables.CommandList[slot].clear();
    }
    tables.CommandList[0] = kDefaultCommandSlot;
    // The image of the list: per entry six bytes from its hexadecimal text,
    // then its sixteen label characters.
    commandListImage_.clear();
    for (std::size_t slot = 0; slot < 128 && commandListImage_.size() < 2024; ++slot) {
      const std::string& entry = tables.CommandList[slot];
      if (entry.empty()) {
        continue;
      }
      for (std::size_t i = 0; i < 6; ++i) {
        unsigned byte = 0xFF;
        std::sscanf(entry.substr(2 * i, 2).c_str(), "%2x", &byte);
        commandListImage_.push_back(static_cast<std::uint8_t>(byte));
      }
      std::string label = entry.size() > 12 ? entry.substr(12, 16) : std::string();
      label.resize(16, ' ');
      commandListImage_.insert(commandListImage_.end(), label.begin(), label.end());
    }
    state.beginBlocks(link::kCommandListAddress, commandListImage_.size());
  }
  engine_.view().setProgressValue(static_cast<std::uint32_t>(state.BlockIndex));
  engine_.MakeBTx(link::requests::InitMem(state.BlockAddress, state.BlockIndex, state.blockLength(),
                                          commandListImage_));
}

void Erase::ClrPunEEP() {
  ProgrammerState& state = engine_.state();
  state.OperationCode = link::kClrPunEEP;
  state.RetryCount = 0;
  programmer_.tables().NumFile = 0;
  engine_.MakeBTx(link::requests::ClrPunEEP());
}

void Erase::ClrCntEEP() {
  ProgrammerState& state = engine_.state();
  if (state.OperationCode != link::kClrCntEEP) {
    state.OperationCode = link::kClrCntEEP;
    state.RetryCount = 0;
    // 240 counter bytes: one block of 128 at 256, one of 112 at 384.
    state.beginBlocks(link::kCountersAddress, link::kCountersLength);
    programmer_.tables().NumFile = 0;
  }
  engine_.MakeBTx(link::requests::ClrCntEEP(state.BlockIndex));
}

void Erase::onWriteAcknowledged() {
  ProgrammerState& state = engine_.state();
  switch (state.OperationCode) {
    case link::kWriteCmdDel:
      stage_ = Stage::Acknowledged;
      eraseWait_->start();
      break;
    case link::kInitMem:
      if (state.moreBlocks()) {
        state.advance();
        state.stepBlockAddress();
        InitMem();
      } else {
        state.OperationCode = link::kNoOperation;
        state.startWrite = false;
        ClrPunEEP();
      }
      break;
    case link::kClrPunEEP:
      ClrCntEEP();
      break;
    case link::kClrCntEEP:
      if (state.moreBlocks()) {
        state.advance();
        ClrCntEEP();
      } else {
        state.OperationCode = link::kNoOperation;
        state.startWrite = false;
        state.startRead = true;
        programmer_.endJob();
        programmer_.walks().ReadMMC();
      }
      break;
    default:
      break;
  }
}

}  // namespace vestrim::transfer
