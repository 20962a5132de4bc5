#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "catalogue/programmer.h"
#include "link/operation.h"
#include "transfer/download_state.h"

namespace vestrim::transfer {

// Language texts the download shows.
inline constexpr int kTextDownloading = 310;

// Writes a prepared image into the device as a new file at the end of its
// chain (operations 3, 10, 11, 12, 13): the catalogue is read to find the
// end, the blocks are written, then the header block with the type byte
// (last, so that an interrupted download is never listed), the new first
// free location and the download counter of the file's type; then the
// catalogue is read again. A lost reply before the header block went out
// costs only that try: once the link is rebuilt the file is written again,
// after the partial copy (which stays unlisted). Once the header block has
// gone out the device's bookkeeping may be half done, and the download ends.
class Download final : public link::Operation {
 public:
  Download(catalogue::Programmer& programmer, shell::ShellContext& shell, DownloadState& state);

  // Load a file named by DownloadFileName (opened at `file`) and build its
  // image. False when the file was refused; the user has been told why.
  bool Load_Data(const std::filesystem::path& file);
  bool Load_Firmware(const std::filesystem::path& file);

  // The Download command: starts writing the image in TxBuffer.
  void download();

  // Whether the header block of the file in transfer has gone out: after a
  // lost link the file may then stand in the device with its bookkeeping
  // half done.
  bool headerSent() const { return headerSent_; }

  // Called when a download has written its file and the counters (before
  // the catalogue is read again), and when one was refused.
  void addFinishedListener(std::function<void(bool written)> listener) {
    finished_.push_back(std::move(listener));
  }

  void onWriteAcknowledged() override;
  void onBlockPacing() override;

 private:
  void afterLoad(bool refused);
  void refused(const platform::Message& message);
  void start();
  void allocate();
  void WriteMMC();
  void WriteFileType();
  void WriteFirstLocFree();
  void counterSearch();
  void WriteBuffCmd(std::uint32_t address, std::uint16_t counter);
  void written();
  std::uint32_t newFileAddress() const;

  catalogue::Programmer& programmer_;
  link::LinkEngine& engine_;
  shell::ShellContext& shell_;
  DownloadState& state_;
  std::vector<std::function<void(bool)>> finished_;
  bool headerSent_ = false;

  void tell(bool written);
};

}  // namespace vestrim::transfer
