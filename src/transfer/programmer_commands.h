#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "catalogue/programmer.h"
#include "platform/main_window_view.h"
#include "transfer/download.h"
#include "transfer/erase.h"
#include "transfer/file_selection.h"
#include "transfer/upload.h"

// The programmer window's commands without the window: its core objects
// (the programmer, the download, the erase, the file selection and the
// upload) wired together, what each toolbar button and menu entry does, and
// the window's states when it opens and closes.
namespace vestrim::transfer {

// The window shows these until a state text replaces them.
inline constexpr const char* kNotConnectedText = "Device not connect";

// The file dialog's filters, in the order it offers them: every device file
// (kDeviceFilePatterns) first, then each kind, then raw files (*.mes).
inline constexpr const char* kDeviceFilePatterns = "*.mhx *.msx *.dat *.dtl *.mes";
inline constexpr const char* kOpenDialogFilters[] = {
    "Firmware (*.mhx)",
    "Messaggi (*.msx)",
    "Data (*.dat)",
    "DataLogger (*.dtl)",
};

class ProgrammerCommands {
 public:
  ProgrammerCommands(platform::SerialPort& port, platform::Scheduler& scheduler,
                     platform::ProgrammerView& view, platform::Prompts& prompts,
                     const platform::PortEnumerator& ports, platform::PortDialogView& dialog,
                     shell::ShellContext& shell, platform::MainWindowView& mainWindow);
  ~ProgrammerCommands();

  catalogue::Programmer& programmer() { return programmer_; }
  Upload& upload() { return upload_; }
  transfer::Download& downloader() { return download_; }
  DownloadState& downloadState() { return downloadState_; }
  FileSelection& selection() { return selection_; }

  // The window opens: list hidden, menus File and Device disabled, only
  // Connect enabled, the main window's connect and pen-drive buttons
  // disabled while it is open.
  void open();
  // Exit: the port closed, the main window's buttons enabled again and the
  // file manager refreshed through `refreshFileManager`.
  void close(const std::function<void()>& refreshFileManager);

  void Connect();
  // Read (toolbar and Device menu): the catalogue again; the toolbar's
  // clears the list first. A closed port is opened instead.
  void Read(bool fromToolbar);
  // The file dialog's choice; an empty choice (cancelled) changes nothing.
  void Open(const std::vector<std::filesystem::path>& files);
  void download();
  void Save();
  // Erase from the toolbar (the erase command at once) or the Device menu
  // (the command list read first); both ask first. A closed port is opened
  // instead.
  void erase(bool fromToolbar);

  // An operation or a connection is under way: closing now would cut it.
  bool working() const;
  // Stops whatever runs, at once: the timers stopped and the port closed.
  // Files sealed before stay as they are; a file being read is not written.
  void stop();

 private:
  // Whether the link is there for a command that needs it; when the port is
  // closed the handshake starts instead and the command is not resumed.
  bool linkOpen();

  shell::ShellContext& shell_;
  platform::MainWindowView& mainWindow_;
  catalogue::Programmer programmer_;
  DownloadState downloadState_;
  transfer::Download download_;
  transfer::Erase erase_;
  FileSelection selection_;
  Upload upload_;
};

}  // namespace vestrim::transfer
