#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue_tables.h"
#include "pendrive/pen_drive.h"
#include "platform/drive_enumerator.h"
#include "platform/main_window_view.h"
#include "platform/prompts.h"
#include "shell/shell_context.h"

// The pen-drive window's logic without the window: its texts, what it asks
// and tells, the main window's buttons while it is open, and the drive's
// catalogue, saving and erasing. The long pieces of work (`read`, `save`,
// `eraseListed`) touch no window and report progress, so the window can run
// them off its own thread.
namespace vestrim::pendrive {

using CommandList = std::array<std::string, catalogue::CatalogueTables::kCommandListEntries>;

// The drive's figures as the window shows them.
struct DriveFigures {
  std::string size;  // MB with one decimal
  double used = 0;   // 0 to 1
};

// What an erase of `listed` files tells: "All files deleted" only when every
// one of them went; otherwise how many went, and which were no longer there
// and which stayed, with why (the first 20 of each, then "and N more").
platform::Message erasedMessage(const EraseOutcome& outcome, std::size_t listed,
                                const shell::LanguageTexts& texts);

class PenDriveSession {
 public:
  // `commandList`: the file types read from a device earlier in the run, for
  // the descriptions (none: empty descriptions).
  PenDriveSession(platform::DriveInfo drive, const platform::DriveEnumerator& drives,
                  shell::ShellContext& shell, platform::Prompts& prompts,
                  platform::MainWindowView& mainWindow,
                  std::optional<CommandList> commandList = std::nullopt);

  const platform::DriveInfo& drive() const { return drive_; }
  const shell::LanguageTexts& texts() const { return shell_.language.texts; }
  // "Device connected (E:)", the mount point where there is no letter.
  std::string statusText() const;
  // Whether the drive's root is still there; a drive pulled out is not.
  bool present() const;
  // The drive is gone: the list is cleared, and this says so.
  platform::Message driveGone();
  // "The pen drive E: is no longer there (E:\)."; a folder taken as a
  // drive by its path alone.
  std::string goneText() const;
  // Caption of the size figure: text 307 with "[MB]" for its last 4 characters.
  std::string sizeCaption() const;

  // The window opens: the main window's connect button goes off.
  void opened();
  // The window's first reading is done: connect and pen drive both off.
  void firstReadingDone();
  // Exit: the main window's connect and pen-drive buttons on again.
  void closed();

  DriveFigures figures() const;

  // ReadPenDrive, off the window's thread; then `setCatalogue` on it. A
  // drive without device files leaves the list as it was.
  PenDriveCatalogue read(const Progress& progress) const;
  void setCatalogue(PenDriveCatalogue catalogue);
  const std::vector<platform::CatalogueRow>& rows() const { return rows_; }
  const PenDriveCatalogue& catalogue() const { return catalogue_; }

  // Save, off the window's thread: every listed row sealed into the archive.
  PenDriveSave save(const Progress& progress) const;
  // What the window tells after a save: how many records of how many were
  // saved where, and those not saved with why.
  platform::Message saved(const PenDriveSave& result) const;

  // The toolbar's erase: asks "Are you sure?" (false: nothing to erase, or
  // not confirmed), then `eraseListed` deletes every device file found, in
  // any folder, off the window's thread, and `erased` clears the list and
  // says how it went ("All files deleted", or what stayed). A listed record
  // with no sealed copy in the archive is named in the question, which then
  // defaults to Cancel.
  bool confirmErase();
  EraseOutcome eraseListed(const Progress& progress) const;
  platform::Message erased(const EraseOutcome& outcome);
  // The menu's erase: asks "Are you sure?" too (naming the records of the
  // root folder not in the archive), then deletes the device files of the
  // drive's root folder only; the list stays. Nothing when not confirmed.
  struct RootErase {
    EraseOutcome outcome;
    std::size_t files = 0;
  };
  std::optional<RootErase> eraseRoot();

 private:
  // Asks before deleting; `rows` are the listed records that would go.
  bool confirmed(const std::vector<platform::CatalogueRow>& rows);

  platform::DriveInfo drive_;
  const platform::DriveEnumerator& drives_;
  shell::ShellContext& shell_;
  platform::Prompts& prompts_;
  platform::MainWindowView& mainWindow_;
  std::optional<CommandList> commandList_;
  PenDriveCatalogue catalogue_;
  std::vector<platform::CatalogueRow> rows_;
};

}  // namespace vestrim::pendrive
