#include <iostream>

#include "commands.h"
#include "device_session.h"

namespace vestrim::cli {

int sendCommand(const GlobalOptions& options, const std::vector<std::string>& files) {
  std::vector<std::filesystem::path> paths;
  for (const std::string& file : files) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
      fail("no such file: " + file);
      return 2;
    }
    paths.push_back(std::filesystem::absolute(file, error));
  }
  return withDeviceCatalogue(options, [&](DeviceSession& session) {
    int sent = 0;
    bool refused = false;
    session.download().addFinishedListener([&](bool written) {
      if (written) {
        session.view().endProgressLine();
        std::cout << session.downloadState().DownloadFileName << std::endl;
        ++sent;
      } else {
        refused = true;
      }
    });
    // The selection keeps its own view of each download's end.
    transfer::FileSelection& selection = session.selection();
    selection.FileOpen(paths);
    // As the Download command: a file that was not loaded is refused here.
    if (!refused) {
      session.download().download();
    }
    // The run ends when the program waits for the user: every file written,
    // a file refused, or "Checksum Error".
    const bool ended =
        session.runUntil([&] { return session.deviceLost() || session.programmer().settled(); });
    if (!ended) {
      return 1;
    }
    if (session.deviceLost()) {
      fail("the device stopped answering on " + session.portText() + "; " + std::to_string(sent) +
           " of " + std::to_string(paths.size()) + " file(s) written");
      return 1;
    }
    if (refused || sent < static_cast<int>(paths.size())) {
      fail(std::to_string(sent) + " of " + std::to_string(paths.size()) + " file(s) written");
      return 1;
    }
    return 0;
  });
}

int eraseCommand(const GlobalOptions& options) {
  return withDeviceCatalogue(options, [&](DeviceSession& session) {
    session.view().catalogueShown = false;
    session.erase().eraseFromMenu();
    if (!session.programmer().engine().busy()) {
      fail("the memory was not erased");
      return 1;
    }
    const bool ended = session.runUntil([&] {
      return session.deviceLost() ||
             (session.view().catalogueShown && session.programmer().settled());
    });
    if (!ended || session.deviceLost()) {
      if (session.deviceLost()) {
        fail("the device stopped answering on " + session.portText() + " during the erase");
      }
      return 1;
    }
    std::cerr << "Memory erased; the device holds " << session.view().rows.size() << " files.\n";
    return 0;
  });
}

}  // namespace vestrim::cli
