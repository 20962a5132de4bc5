#include <iostream>

#include "commands.h"
#include "device_session.h"
#include "transfer/upload.h"

namespace vestrim::cli {

int saveCommand(const GlobalOptions& options) {
  return withDeviceCatalogue(options, [&](DeviceSession& session) {
    shell::ShellContext& shell = session.shell();
    transfer::Upload upload(session.programmer(), shell);
    upload.setFileSealedHandler([&](const std::filesystem::path& file) {
      session.view().endProgressLine();
      std::cout << file.lexically_relative(shell.ProgramFolder).generic_string() << std::endl;
    });
    std::optional<transfer::SaveOutcome> outcome;
    upload.setFinishedHandler([&](const transfer::SaveOutcome& result) { outcome = result; });
    upload.Save();
    if (!session.runUntil([&] { return outcome.has_value(); })) {
      return 1;
    }
    for (const std::string& skipped : outcome->skipped) {
      std::cerr << "not saved: " << skipped << '\n';
    }
    switch (outcome->kind) {
      case transfer::SaveOutcome::Kind::Finished:
      case transfer::SaveOutcome::Kind::NothingToDo:
        std::cerr << outcome->saved << " file" << (outcome->saved == 1 ? "" : "s") << " saved in "
                  << shell.ProgramFolder.string() << '\n';
        return 0;
      case transfer::SaveOutcome::Kind::DeviceLost:
        fail("the device stopped answering on " + session.portText() + " (the link was rebuilt " +
             std::to_string(session.programmer().reconnections()) + " time(s) for this save); " +
             std::to_string(outcome->saved) + " file(s) saved before are intact");
        return 1;
      case transfer::SaveOutcome::Kind::ChecksumError:
        fail("the device's replies failed their check five times in a row; " +
             std::to_string(outcome->saved) + " file(s) saved before are intact");
        return 1;
      case transfer::SaveOutcome::Kind::JournalFailed:
        fail("the save stopped: " + outcome->skipped.back() + "; " +
             std::to_string(outcome->saved) + " file(s) saved before are intact");
        return 1;
      case transfer::SaveOutcome::Kind::Stalled:
        fail("a file made no progress for 180 s; " + std::to_string(outcome->saved) +
             " file(s) saved before are intact");
        return 1;
    }
    return 1;
  });
}

}  // namespace vestrim::cli
