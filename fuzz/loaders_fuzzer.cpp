// Arbitrary bytes as each kind of file sent to the device: the S-record
// loader with the firmware image, and the S2-line, record and raw loaders
// with the data image. A file is refused or becomes an image, never more.
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_files.h"
#include "transfer/device_images.h"

namespace {

using namespace vestrim::transfer;

// A device that takes datalogger and data files.
const std::array<std::string, 129>& commandList() {
  static const std::array<std::string, 129> list = [] {
    std::array<std::string, 129> slots{};
    slots[0] = "50FFAAFFFFFFDataLogger      ";
    slots[1] = "20FFEAFFFFFFData            ";
    return slots;
  }();
  return list;
}

// One state for every run, its two megabytes of buffers reused: made afresh
// each time they would cost more than the loading.
DownloadState& freshState() {
  static DownloadState state;
  // memset, not a filling loop: the fuzzer's coverage would count every byte.
  std::memset(state.LoadBuffer.data(), 0xFF, state.LoadBuffer.size());
  std::memset(state.TxBuffer.data(), 0xFF, state.TxBuffer.size());
  state.LoadedLength = 0;
  state.FileLength = 0;
  state.FileTypeToFind = 0;
  state.FileNotReady = true;
  state.FileExtension.clear();
  state.DownloadFileName.clear();
  state.SectorMap = {};
  state.S0HeaderText.clear();
  return state;
}

void checkImage(const DownloadState& state) {
  if (!state.FileNotReady && (state.FileLength <= 0 ||
                              static_cast<std::size_t>(state.FileLength) > state.TxBuffer.size())) {
    std::abort();  // an image that does not fit its buffer
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    DownloadState& state = freshState();
    InitSectorMap(state);
    if (!LoadSRecordFile(vestrim::fuzz::inputFile(data, size, "AB_IT.mhx"), state)) {
      BuildFirmwareImage(state);
      checkImage(state);
    }
  }
  for (const std::string extension : {"msx", "dat", "mes"}) {
    DownloadState& state = freshState();
    state.FileExtension = extension;
    state.DownloadFileName = "AB_IT." + extension;
    const auto file = vestrim::fuzz::inputFile(data, size, state.DownloadFileName);
    const Refusal refused = extension == "msx"   ? LoadS2LinesFile(file, state)
                            : extension == "dat" ? LoadRecordFile(file, state)
                                                 : LoadRawFile(file, state);
    if (!refused && !BuildDataImage(state, commandList())) {
      checkImage(state);
    }
  }
  return 0;
}
