#include "catalogue/catalogue_walks.h"

#include <cstdio>
#include <span>

#include "catalogue/catalogue_rows.h"
#include "catalogue/header_record.h"
#include "link/device_addresses.h"
#include "link/requests.h"

namespace vestrim::catalogue {

using link::ProgrammerState;

CatalogueWalks::CatalogueWalks(link::LinkEngine& engine, CatalogueTables& tables,
                               shell::ShellContext& shell)
    : engine_(engine), tables_(tables), shell_(shell) {
  for (const std::uint8_t code :
       {link::kCheckDimMMC, link::kReadMMC, link::kReadCmndLst, link::kReadCntFile}) {
    engine_.registerOperation(code, *this);
  }
}

void CatalogueWalks::CheckDimMMC() {
  ProgrammerState& state = engine_.state();
  if (state.OperationCode != link::kCheckDimMMC) {
    state.OperationCode = link::kCheckDimMMC;
    state.RetryCount = 0;
  }
  engine_.MakeBTx(link::requests::CheckDimMMC());
}

void CatalogueWalks::ReadMMC() {
  ProgrammerState& state = engine_.state();
  if (state.OperationCode != link::kReadMMC) {
    state.OperationCode = link::kReadMMC;
    state.RetryCount = 0;
    state.BlockAddress = link::kFirstFileAddress;
    tables_.NumFile = 0;
    // A walk cut short (by a reply timeout) leaves the loop guard holding
    // an address of that walk: it would end this one at the first record
    // that points there.
    tables_.Pmem = 0;
    engine_.Wait();
    engine_.view().setStatusText(1, shell_.language.texts[kTextReadingCatalogue]);
    if (tables_.MemorySize != 0) {
      engine_.view().setProgressVisible(true);
      engine_.view().setProgressMaximum(tables_.MemorySize);
    }
  }
  engine_.MakeBTx(link::requests::ReadMMC(state.BlockAddress));
}

void CatalogueWalks::ReadCmndLst() {
  ProgrammerState& state = engine_.state();
  if (state.OperationCode != link::kReadCmndLst) {
    state.OperationCode = link::kReadCmndLst;
    state.RetryCount = 0;
    state.BlockAddress = link::kCommandListAddress;
    tables_.NumFile = 0;
    // A list read afresh leaves no slot of an earlier, longer list behind:
    // the counter search stops at the first empty entry.
    tables_.CommandList.fill({});
  }
  engine_.MakeBTx(link::requests::ReadCmndLst(state.BlockAddress));
}

void CatalogueWalks::ReadCntFile(std::uint32_t counterAddress) {
  ProgrammerState& state = engine_.state();
  if (state.OperationCode != link::kReadCntFile) {
    state.OperationCode = link::kReadCntFile;
    state.RetryCount = 0;
  }
  counterAddress_ = counterAddress;
  engine_.MakeBTx(link::requests::ReadCntFile(counterAddress));
}

void CatalogueWalks::onReadReply() {
  switch (engine_.state().OperationCode) {
    case link::kCheckDimMMC:
      memorySizeRead();
      break;
    case link::kReadMMC:
      catalogueRecordRead();
      break;
    case link::kReadCmndLst:
      commandSlotRead();
      break;
    case link::kReadCntFile:
      counterRead();
      break;
    default:
      break;
  }
}

void CatalogueWalks::memorySizeRead() {
  const auto& rx = engine_.RxBuffer();
  tables_.MemorySize = std::uint32_t{rx[0]} << 24 | std::uint32_t{rx[1]} << 16 |
                       std::uint32_t{rx[2]} << 8 | std::uint32_t{rx[3]};
  engine_.view().setMemorySizeLabel(memorySizeLabel(tables_.MemorySize, shell_.decimalSeparator));
  if (engine_.state().startRead) {
    ReadMMC();
  } else {
    engine_.view().clearCatalogue();
    engine_.Wait();
    engine_.EndOperation();
  }
}

void CatalogueWalks::catalogueRecordRead() {
  ProgrammerState& state = engine_.state();
  const int k = tables_.NumFile;
  if (k >= CatalogueTables::kMaxRecords) {
    tableOverflow();
    return;
  }
  const auto& rx = engine_.RxBuffer();
  const HeaderBytes header(rx.data(), link::kHeaderRecordLength);
  const auto index = static_cast<std::size_t>(k);
  std::copy_n(header.begin() + kFileCodeOffset, CatalogueTables::kFileCodeLength,
              tables_.FileCodeBytes.begin() + static_cast<std::ptrdiff_t>(k * 16));
  tables_.FileType[index] = header[kFileTypeOffset];
  tables_.FileId[index] = fileIdOf(header);
  tables_.FileName[index] = fileNameOf(header);
  tables_.FileStamp[index] = fileStampOf(header);

  tables_.P = nextAddressOf(header);
  // A header that points where the one before it pointed would be read
  // for ever: it ends the chain.
  if (tables_.P == tables_.Pmem) {
    tables_.P = 0;
    tables_.Pmem = 0;
  } else {
    tables_.Pmem = tables_.P;
  }

  if (tables_.P == 0) {
    state.readEnd = true;
    engine_.view().setProgressValue(tables_.MemorySize);
    if (state.startErase) {
      startErase();
    } else {
      engine_.catalogueEndTimer().start(link::kCatalogueEndStepMs);
    }
    return;
  }
  const std::uint32_t recordAddress = state.BlockAddress;
  tables_.NextAddress[index] = tables_.P;
  state.BlockAddress = tables_.P;
  tables_.PrevAddress[index] = k == 0   ? 0xFFFFFFFFu
                               : k == 1 ? link::kFirstFileAddress
                                        : tables_.NextAddress[index - 2];
  // Files are only ever appended, so a next header lies after its own: one
  // before it would lead the walk round a loop until the table overflows
  // (whose answer erases the flash). A header pointing at itself is ended by
  // the loop guard above.
  if (tables_.P > tables_.MemorySize || tables_.P < recordAddress) {
    corruptChain();
    return;
  }
  ++tables_.NumFile;
  state.readEnd = false;
  engine_.view().setProgressValue(tables_.P);
  ReadMMC();
}

void CatalogueWalks::corruptChain() {
  engine_.prompts().show({.text = "A corrupted file will be found and it will be ignored\n\n"
                                  "save all file and after erase the flash\n",
                          .title = "Warning !!!",
                          .icon = platform::MessageIcon::Critical,
                          .buttons = platform::MessageButtons::Ok,
                          .systemModal = true});
  if (show_) {
    show_();
  }
  ProgrammerState& state = engine_.state();
  state.OperationCode = link::kNoOperation;
  engine_.EndOperation();
  state.readEnd = true;
  engine_.view().setProgressValue(tables_.MemorySize);
  engine_.catalogueEndTimer().start(link::kCatalogueEndStepMs);
}

void CatalogueWalks::tableOverflow() {
  ProgrammerState& state = engine_.state();
  const platform::MessageAnswer answer =
      engine_.prompts().show({.text = "Program error.\nDo you want to erase flash?",
                              .title = "",
                              .icon = platform::MessageIcon::Critical,
                              .buttons = platform::MessageButtons::YesNo});
  shell_.log.LogError("FrmPrg", "ReadBRx");
  if (answer == platform::MessageAnswer::Yes) {
    state.startErase = true;
    state.OperationCode = link::kNoOperation;
    engine_.Wait();
    ReadCmndLst();
    return;
  }
  engine_.view().clearCatalogue();
  state.readEnd = false;
  state.startWrite = false;
  state.startRead = false;
  state.startErase = false;
  state.OperationCode = link::kNoOperation;
  engine_.EndOperation();
  engine_.view().setProgressValue(tables_.MemorySize);
  engine_.catalogueEndTimer().start(link::kCatalogueEndStepMs);
}

void CatalogueWalks::commandSlotRead() {
  ProgrammerState& state = engine_.state();
  const auto& rx = engine_.RxBuffer();
  if (rx[0] == 0xFF) {
    if (state.startErase) {
      startErase();
    } else {
      engine_.Wait();
      state.startRead = true;
      CheckDimMMC();
    }
    return;
  }
  std::string slot;
  for (int i = 0; i < 6; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", rx[static_cast<std::size_t>(i)]);
    slot += hex;
  }
  slot.append(reinterpret_cast<const char*>(rx.data()) + 6, 16);
  const auto s = static_cast<std::size_t>(tables_.NumFile);
  if (s < tables_.CommandList.size()) {
    tables_.CommandList[s] = std::move(slot);
  }
  ++tables_.NumFile;
  state.BlockAddress += link::kCommandListSlotLength;
  if (state.BlockAddress == link::kFirstFileAddress) {
    // The list area is full. A pending erase goes on (and keeps the window
    // busy); otherwise the walk ends here.
    if (state.startErase) {
      startErase();
    } else {
      engine_.EndOperation();
    }
    return;
  }
  ReadCmndLst();
}

void CatalogueWalks::counterRead() {
  const auto& rx = engine_.RxBuffer();
  const auto counter = static_cast<std::uint16_t>(rx[0] * 256 + rx[1] + 1);
  if (counterWriter_) {
    counterWriter_(counterAddress_, counter);
  }
}

void CatalogueWalks::startErase() {
  engine_.state().startErase = false;
  if (eraseStarter_) {
    eraseStarter_();
  }
}

}  // namespace vestrim::catalogue
