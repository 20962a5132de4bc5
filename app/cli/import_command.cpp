#include <iostream>

#include "commands.h"
#include "pendrive/drive_discovery.h"
#include "pendrive/pen_drive.h"
#include "platform/qt/qt_drive_enumerator.h"
#include "shell/text_encoding.h"
#include "terminal_front_end.h"

namespace vestrim::cli {
namespace {

std::string shown(const std::string& windows1252) {
  std::string text = windows1252;
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20) {
      c = '.';
    }
  }
  return shell::windows1252ToUtf8(text);
}

}  // namespace

int drivesCommand(const GlobalOptions&) {
  const platform::QtDriveEnumerator enumerator;
  const auto drives = pendrive::FindRemovableDrives(enumerator);
  for (const auto& drive : drives) {
    std::cout << drive.identity << "  " << pendrive::driveSizeText(drive) << " MB  "
              << static_cast<int>(100.0 * pendrive::driveUsedFraction(drive)) << "% used\n";
  }
  if (drives.empty()) {
    std::cerr << "No removable drive found.\n";
  }
  return 0;
}

int importCommand(const GlobalOptions& options, const std::string& path, bool erase) {
  const auto shell = startShell(options);
  if (!shell) {
    return 1;
  }
  TerminalPrompts prompts(options.assumeYes);
  std::filesystem::path root;
  if (!path.empty()) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
      fail("no such folder: " + path);
      return 2;
    }
    root = path;
  } else {
    const platform::QtDriveEnumerator enumerator;
    const auto drive = pendrive::discoverPenDrive(enumerator, prompts);
    if (!drive) {
      return 1;
    }
    root = drive->root;
    std::cerr << "Device connected (" << drive->identity << ")  " << pendrive::driveSizeText(*drive)
              << " MB, " << static_cast<int>(100.0 * pendrive::driveUsedFraction(*drive))
              << "% used\n";
  }

  const pendrive::PenDriveCatalogue catalogue = pendrive::ReadPenDrive(root);
  for (const std::string& problem : catalogue.problems) {
    fail(problem);
  }
  const auto rows = pendrive::penDriveRows(catalogue.files, nullptr);
  for (const auto& row : rows) {
    std::cerr << shown(row.code) << "  " << shown(row.description) << "  " << shown(row.name)
              << "  " << row.date << "  " << row.id << '\n';
  }
  std::cerr << catalogue.found.size() << " device file(s) found, " << rows.size() << " listed\n";

  const pendrive::PenDriveSave saved = pendrive::Save(catalogue.files, rows, *shell);
  for (const auto& file : saved.sealed) {
    std::cout << file.lexically_relative(shell->ProgramFolder).generic_string() << '\n';
  }
  for (const std::string& skipped : saved.skipped) {
    std::cerr << "not saved: " << skipped << '\n';
  }
  for (const std::string& failed : saved.failed) {
    std::cerr << "not saved: " << failed << '\n';
  }
  std::cerr << saved.sealed.size() << " file(s) saved in " << shell->ProgramFolder.string() << '\n';

  if (erase) {
    const auto answer = prompts.show({.text = "Are you sure?",
                                      .title = "",
                                      .icon = platform::MessageIcon::Exclamation,
                                      .buttons = platform::MessageButtons::OkCancel});
    if (answer == platform::MessageAnswer::Ok) {
      // Only what was imported goes: a device file that could not be read
      // or saved stays on the drive.
      pendrive::eraseFiles(saved.imported);
      std::cerr << "All files deleted\n";
    }
  }
  return saved.failed.empty() ? 0 : 1;
}

}  // namespace vestrim::cli
