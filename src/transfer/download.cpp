#include "transfer/download.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "link/device_addresses.h"
#include "link/requests.h"
#include "shell/own_texts.h"
#include "shell/text_encoding.h"
#include "transfer/device_images.h"

namespace vestrim::transfer {

using link::ProgrammerState;

Download::Download(catalogue::Programmer& programmer, shell::ShellContext& shell,
                   DownloadState& state)
    : programmer_(programmer), engine_(programmer.engine()), shell_(shell), state_(state) {
  for (const std::uint8_t code :
       {link::kWriteMMC, link::kWriteFileType, link::kWriteFirstLocFree, link::kWriteBuffCmd}) {
    engine_.registerOperation(code, *this);
  }
  programmer_.setDownloadStep([this] { allocate(); });
  programmer_.walks().setCounterWriter(
      [this](std::uint32_t address, std::uint16_t counter) { WriteBuffCmd(address, counter); });
}

void Download::refused(const platform::Message& message) {
  engine_.prompts().show(message);
  tell(false);
}

bool Download::Load_Data(const std::filesystem::path& file) {
  const std::string& extension = state_.FileExtension;
  Refusal refusal = extension == "msx"   ? LoadS2LinesFile(file, state_)
                    : extension == "dat" ? LoadRecordFile(file, state_)
                                         : LoadRawFile(file, state_);
  if (refusal) {
    refused(*refusal);
    return false;
  }
  engine_.Wait();
  refusal = BuildDataImage(state_, programmer_.tables().CommandList);
  if (refusal) {
    engine_.prompts().show(*refusal);
  }
  afterLoad(refusal.has_value());
  if (refusal) {
    tell(false);
  }
  return !refusal;
}

bool Download::Load_Firmware(const std::filesystem::path& file) {
  InitSectorMap(state_);
  if (const Refusal refusal = LoadSRecordFile(file, state_)) {
    refused(*refusal);
    return false;
  }
  engine_.Wait();
  BuildFirmwareImage(state_);
  afterLoad(false);
  return true;
}

void Download::afterLoad(bool refusedImage) {
  if (!engine_.port().isOpen()) {
    engine_.port().setSettings(link::kLowSpeedSettings);
    programmer_.connection().SetSpeed();
  } else if (refusedImage) {
    engine_.EndOperation();
  } else {
    // Ready to send: the commands are the user's again.
    engine_.EndOperation();
  }
}

void Download::download() {
  if (state_.FileNotReady) {
    refused({.text = "File not correct.",
             .title = "",
             .icon = platform::MessageIcon::Exclamation,
             .buttons = platform::MessageButtons::Ok});
    return;
  }
  const catalogue::CatalogueTables& tables = programmer_.tables();
  if (tables.MemorySize == 0) {
    return;
  }
  if (static_cast<std::uint32_t>(state_.FileLength) > tables.MemorySize) {
    refused({.text = "File overflow, cannot start transfer",
             .title = "",
             .icon = platform::MessageIcon::Exclamation,
             .buttons = platform::MessageButtons::Ok});
    return;
  }
  engine_.Wait();
  if (engine_.port().isOpen()) {
    programmer_.beginJob({.linkLost = [this] { return !headerSent_; },
                          .resume = [this]() -> std::optional<std::string> {
                            engine_.Wait();
                            start();
                            return shell::ownText(
                                shell_.language.texts, shell::Text::SendResumed,
                                {shell::utf8ToWindows1252(state_.DownloadFileName)});
                          },
                          .lost = [](catalogue::JobLoss) {}});
    start();
  } else {
    engine_.port().setSettings(link::kLowSpeedSettings);
    programmer_.connection().SetSpeed();
  }
}

void Download::start() {
  headerSent_ = false;
  engine_.state().startWrite = true;
  programmer_.walks().ReadMMC();
}

void Download::allocate() {
  catalogue::CatalogueTables& tables = programmer_.tables();
  ProgrammerState& state = engine_.state();
  const auto k = static_cast<std::size_t>(tables.NumFile);
  const auto length = static_cast<std::uint32_t>(state_.FileLength);
  if (k == 0) {
    // An empty memory takes the file at the chain's start, with no further
    // size check than the one against the whole memory.
    tables.NextAddress[0] = link::kFirstFileAddress + length;
    tables.PrevAddress[0] = 0xFFFFFFFFu;
    state.BlockAddress = link::kFirstFileAddress;
  } else {
    const std::uint64_t end = std::uint64_t{tables.NextAddress[k - 1]} + length;
    if (end > tables.MemorySize) {
      state.readEnd = false;
      state.startWrite = false;
      state.startRead = false;
      state_.FileNotReady = true;
      engine_.EndOperation();
      refused({.text = "Memory full, cannot start transfer",
               .title = "",
               .icon = platform::MessageIcon::Exclamation,
               .buttons = platform::MessageButtons::Ok});
      return;
    }
    tables.NextAddress[k] = static_cast<std::uint32_t>(end);
    tables.PrevAddress[k] = k == 1 ? link::kFirstFileAddress : tables.NextAddress[k - 2];
    state.BlockAddress = tables.NextAddress[k - 1];
  }
  WriteMMC();
}

std::uint32_t Download::newFileAddress() const {
  const catalogue::CatalogueTables& tables = programmer_.tables();
  return tables.NumFile == 0 ? link::kFirstFileAddress
                             : tables.NextAddress[static_cast<std::size_t>(tables.NumFile - 1)];
}

void Download::WriteMMC() {
  ProgrammerState& state = engine_.state();
  const catalogue::CatalogueTables& tables = programmer_.tables();
  if (state.OperationCode != link::kWriteMMC) {
    state.OperationCode = link::kWriteMMC;
    state.RetryCount = 0;
    state.beginBlocks(state.BlockAddress, static_cast<std::size_t>(state_.FileLength));
    // The new file's links: its end (the next header) and the file before.
    const auto k = static_cast<std::size_t>(tables.NumFile);
    for (int i = 0; i < 4; ++i) {
      state_.TxBuffer[50 + static_cast<std::size_t>(i)] =
          static_cast<std::uint8_t>(tables.NextAddress[k] >> (24 - 8 * i));
      state_.TxBuffer[54 + static_cast<std::size_t>(i)] =
          static_cast<std::uint8_t>(tables.PrevAddress[k] >> (24 - 8 * i));
    }
    engine_.Wait();
    engine_.view().setStatusText(1, shell_.language.texts[kTextDownloading]);
    if (tables.MemorySize != 0) {
      engine_.view().setProgressVisible(true);
      engine_.view().setProgressMaximum(
          static_cast<std::uint32_t>(std::max<std::int32_t>(state.BlockCount - 1, 1)));
    }
  }
  const int length = state.blockLength();
  if (length == 0) {
    // No empty last block: go on as after its acknowledgement.
    engine_.dispatchTimer().start();
    return;
  }
  engine_.view().setProgressValue(static_cast<std::uint32_t>(state.BlockIndex));
  engine_.MakeBTx(
      link::requests::WriteMMC(state.BlockAddress, state.BlockIndex, length, state_.TxBuffer));
}

void Download::onBlockPacing() {
  engine_.state().stepBlockAddress();
  WriteMMC();
}

void Download::WriteFileType() {
  ProgrammerState& state = engine_.state();
  state.OperationCode = link::kWriteFileType;
  state.RetryCount = 0;
  state.beginBlocks(state.BlockAddress, 0);
  headerSent_ = true;
  state_.TxBuffer[48] = state_.FileTypeToFind;
  // An image shorter than the header block leaves erased flash after it.
  if (state_.FileLength < link::kBlockLength) {
    std::fill(state_.TxBuffer.begin() + state_.FileLength,
              state_.TxBuffer.begin() + link::kBlockLength, 0xFF);
  }
  engine_.MakeBTx(link::requests::WriteFileType(newFileAddress(), state_.TxBuffer));
}

void Download::WriteFirstLocFree() {
  ProgrammerState& state = engine_.state();
  state.OperationCode = link::kWriteFirstLocFree;
  state.RetryCount = 0;
  const catalogue::CatalogueTables& tables = programmer_.tables();
  engine_.MakeBTx(link::requests::WriteFirstLocFree(
      tables.NextAddress[static_cast<std::size_t>(tables.NumFile)]));
}

void Download::counterSearch() {
  ProgrammerState& state = engine_.state();
  const auto& list = programmer_.tables().CommandList;
  for (std::size_t slot = 0; slot < 128; ++slot) {
    const std::string& entry = list[slot];
    if (entry.size() < 2) {
      break;
    }
    // Types whose code ends in 1 or A (firmware) keep no counter.
    const char second = static_cast<char>(std::toupper(static_cast<unsigned char>(entry[1])));
    if (second == '1' || second == 'A') {
      continue;
    }
    unsigned type = 0;
    if (std::sscanf(entry.substr(0, 2).c_str(), "%2x", &type) == 1 &&
        type == state_.FileTypeToFind) {
      state.startRead = true;
      programmer_.walks().ReadCntFile(link::kCountersAddress +
                                      2 * static_cast<std::uint32_t>(slot));
      return;
    }
  }
  state.OperationCode = link::kNoOperation;
  state.startWrite = false;
  written();
  engine_.EndOperation();
  state.startRead = true;
  programmer_.walks().ReadMMC();
}

void Download::WriteBuffCmd(std::uint32_t address, std::uint16_t counter) {
  ProgrammerState& state = engine_.state();
  state.OperationCode = link::kWriteBuffCmd;
  state.RetryCount = 0;
  engine_.MakeBTx(link::requests::WriteBuffCmd(address, counter));
}

void Download::written() {
  tell(true);
}

void Download::tell(bool written) {
  programmer_.endJob();
  for (const auto& listener : finished_) {
    listener(written);
  }
}

void Download::onWriteAcknowledged() {
  ProgrammerState& state = engine_.state();
  switch (state.OperationCode) {
    case link::kWriteMMC:
      if (state.moreBlocks()) {
        state.advance();
        engine_.blockPacingTimer().start(link::kBlockPacingMs);
      } else {
        WriteFileType();
      }
      break;
    case link::kWriteFileType:
      state.OperationCode = link::kNoOperation;
      state.readEnd = false;
      state.startWrite = false;
      state.startErase = false;
      state_.FileNotReady = true;
      WriteFirstLocFree();
      break;
    case link::kWriteFirstLocFree:
      counterSearch();
      break;
    case link::kWriteBuffCmd:
      written();
      engine_.EndOperation();
      state.startRead = true;
      programmer_.walks().ReadMMC();
      break;
    default:
      break;
  }
}

}  // namespace vestrim::transfer
