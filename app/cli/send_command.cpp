#include <iostream>

#include "commands.h"
#include "device_session.h"
#include "shell/text_encoding.h"

namespace vestrim::cli {

int sendCommand(const GlobalOptions& options, const std::vector<std::string>& files) {
  std::vector<std::filesystem::path> paths;
  for (const std::string& given : files) {
    const std::filesystem::path file = shell::pathFromUtf8(given);
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
      fail("no such file: " + given);
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
    const auto lost = [&] {
      return session.programmer().jobLoss() == catalogue::JobLoss::DeviceLost;
    };
    const bool ended = session.runUntil([&] { return lost() || session.programmer().settled(); });
    if (!ended) {
      return 1;
    }
    if (lost()) {
      // Before its header block the file in transfer is not listed; after
      // it, the file may be, with its bookkeeping half done.
      fail("the device stopped answering on " + session.portText() + "; " + std::to_string(sent) +
           " of " + std::to_string(paths.size()) + " file(s) written" +
           (session.download().headerSent()
                ? "; " + session.downloadState().DownloadFileName +
                      " may stand in the device without its first free location and counter "
                      "brought up to date"
                : std::string()));
      return 1;
    }
    if (refused || sent < static_cast<int>(paths.size())) {
      fail(std::to_string(sent) + " of " + std::to_string(paths.size()) + " file(s) written");
      return 1;
    }
    return 0;
  });
}

int eraseCommand(const GlobalOptions& options, bool force) {
  return withDeviceCatalogue(options, [&](DeviceSession& session) {
    const std::vector<std::string> unsaved = session.erase().unsavedRecords();
    if (!unsaved.empty() && !force) {
      std::string names;
      for (const std::string& label : unsaved) {
        names += "\n  " + shell::windows1252ToUtf8(label);
      }
      fail(
          std::to_string(unsaved.size()) + " record(s) on the device are not in the archive of " +
          shell::utf8Of(session.shell().ProgramFolder) + " and would be lost:" + names +
          "\nSave them first (vestrim-cli save; technical reports with vestrim-cli import from the "
          "device's pen drive), or erase with --force.\nNothing was erased.");
      return 1;
    }
    session.view().catalogueShown = false;
    session.erase().eraseFromMenu();
    if (!session.programmer().engine().busy()) {
      fail("the memory was not erased");
      return 1;
    }
    const bool ended = session.runUntil([&] {
      return session.jobGivenUp() ||
             (session.view().catalogueShown && session.programmer().settled());
    });
    if (!ended) {
      return 1;
    }
    if (session.programmer().jobLoss() == catalogue::JobLoss::DeviceLost) {
      const char* const state[] = {
          "the memory was not erased",
          "the erase command went out unconfirmed: read the catalogue before erasing again",
          "the memory was erased, but its command list, first free location and counters may "
          "not be reset: erase again"};
      fail("the device stopped answering on " + session.portText() + " during the erase; " +
           state[static_cast<int>(session.erase().stage())]);
      return 1;
    }
    if (session.jobGivenUp()) {
      return 1;
    }
    std::cerr << "Memory erased; the device holds " << session.view().rows.size() << " files.\n";
    return 0;
  });
}

}  // namespace vestrim::cli
