#include "desktop/device_windows.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "pendrive/drive_discovery.h"

namespace vestrim::desktop {
namespace {

// A device window once: the open one brought to the front, or a new one made
// by `make`, as a tab of the main window, wired as every device window is
// (Exit closes it, About shows the About box, its refresh lists the archive
// anew, and it is asked before the program ends), then shown in front.
template <typename Window>
Window* deviceWindow(MainWindow& main, const std::function<Window*()>& make) {
  if (auto* open = main.findChild<Window*>()) {
    main.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(open->parentWidget()));
    return open;
  }
  Window* window = make();
  QMdiSubWindow* frame = main.addChild(window);
  QObject::connect(window, &Window::closeRequested, frame, &QWidget::close);
  QObject::connect(window, &Window::aboutRequested, &main, &MainWindow::showAbout);
  QObject::connect(window, &Window::refreshRequested, &main, [&main] {
    if (main.fileManager()) {
      main.fileManager()->activate();
    }
  });
  main.addToCloseOrder(window);
  frame->show();
  main.mdiArea()->setActiveSubWindow(frame);
  return window;
}

}  // namespace

void installProgrammerWindow(MainWindow& main, const catalogue::ui::ProgrammerServices& services) {
  using catalogue::ui::ProgrammerWindow;
  // The window once, then its command; it stays until the user closes it.
  const auto window = [&main, services] {
    return deviceWindow<ProgrammerWindow>(main, [&main, &services] {
      return new ProgrammerWindow(services, main.shell(), main.prompts(), main);
    });
  };
  main.setCommand(shell::MainCommand::Connect, [window] {
    ProgrammerWindow* w = window();
    w->command([w] { w->commands().Connect(); });
  });
  main.setCommand(shell::MainCommand::Open, [window] {
    ProgrammerWindow* w = window();
    w->command([w] { w->openFiles(); });
  });
  main.setCommand(shell::MainCommand::Save, [window] {
    ProgrammerWindow* w = window();
    w->command([w] { w->commands().Save(); });
  });
}

pendrive::ui::PenDriveWindow* openPenDriveWindow(MainWindow& main,
                                                 const platform::DriveEnumerator& drives,
                                                 const platform::DriveInfo& drive,
                                                 std::optional<pendrive::CommandList> commandList) {
  using pendrive::ui::PenDriveWindow;
  return deviceWindow<PenDriveWindow>(main, [&] {
    auto session = std::make_unique<pendrive::PenDriveSession>(
        drive, drives, main.shell(), main.prompts(), main, std::move(commandList));
    return new PenDriveWindow(std::move(session), main.shell().language.texts, main.prompts());
  });
}

void installPenDriveWindow(MainWindow& main, const platform::DriveEnumerator& drives,
                           std::function<std::optional<pendrive::CommandList>()> commandList) {
  main.setCommand(shell::MainCommand::PenDrive, [&main, &drives, commandList] {
    if (const auto drive = pendrive::discoverPenDrive(drives, main.prompts())) {
      openPenDriveWindow(main, drives, *drive, commandList ? commandList() : std::nullopt);
    }
  });
}

}  // namespace vestrim::desktop
