#pragma once

#include <functional>
#include <optional>

#include "catalogue/ui/programmer_window.h"
#include "desktop/main_window.h"
#include "pendrive/ui/pen_drive_window.h"

// The device windows on the main window: the programmer window behind the
// toolbar's connect, open and save buttons, the pen-drive window behind its
// USB button. Both are shown and wired in one place.
namespace vestrim::desktop {

// Gives the main window its connect, open and save buttons: each opens the
// programmer window (once) and runs its command there. `services` must
// outlive the main window.
void installProgrammerWindow(MainWindow& main, const catalogue::ui::ProgrammerServices& services);

// Gives the main window its pen-drive button: the drive search (a choice
// when there are several), then the window on the drive taken. `commandList`
// gives the file types read from a device earlier in the run, if any.
void installPenDriveWindow(MainWindow& main, const platform::DriveEnumerator& drives,
                           std::function<std::optional<pendrive::CommandList>()> commandList);

// Opens the pen-drive window on `drive` (a folder taken as a drive:
// `--pen-drive`), or brings the open one to the front.
pendrive::ui::PenDriveWindow* openPenDriveWindow(MainWindow& main,
                                                 const platform::DriveEnumerator& drives,
                                                 const platform::DriveInfo& drive,
                                                 std::optional<pendrive::CommandList> commandList);

}  // namespace vestrim::desktop
