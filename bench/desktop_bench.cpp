// Timings of the desktop windows, on the platform the program runs on (run
// it under a display, or with QT_QPA_PLATFORM=offscreen):
//   build/default/bin/desktop_bench
// - start: the main window built and the file manager drawn;
// - a 5,000-record full report: from the request to open it to the report drawn;
// - a folder of 10,000 stored files listed;
// - a pen drive of 10,001 device files read and saved: total time and the
//   longest time the window's event loop went without turning.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "desktop/device_windows.h"
#include "desktop/main_window.h"
#include "long_cycle.h"
#include "pendrive/ui/pen_drive_window.h"
#include "platform/qt/qt_drive_enumerator.h"
#include "platform/qt/qt_prompts.h"
#include "shell/language_files.h"
#include "shell/settings_file.h"
#include "transfer/seal.h"

namespace fs = std::filesystem;
using namespace vestrim;

namespace {

// Turns of the event loop, and the longest gap between two.
class StallWatch {
 public:
  StallWatch() {
    QObject::connect(&tick_, &QTimer::timeout, [this] {
      const qint64 now = clock_.elapsed();
      longest_ = std::max(longest_, now - last_);
      last_ = now;
    });
  }
  void start() {
    clock_.start();
    last_ = 0;
    longest_ = 0;
    tick_.start(1);
  }
  qint64 stop() {
    tick_.stop();
    return longest_;
  }

 private:
  QTimer tick_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
};

void drawn(QWidget* widget) {
  widget->repaint();
  QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is measured
  QApplication application(argc, argv);
  const fs::path work = fs::temp_directory_path() / "vestrim-desktop-bench";
  fs::remove_all(work);
  const fs::path program = work / "program";
  fs::create_directories(program);
  fs::copy_file(fs::path(VESTRIM_LANG_DIR) / "English.lng", program / "English.lng");
  shell::writeSettingsFile(program, {shell::PortSetting::fromNumber(1), "", "English"});
  shell::LanguageMessages messages;
  shell::LoadLanguageMessages(program / "English.lng", messages);

  // The archive: a folder of 10,000 stored files and one of a long cycle.
  const fs::path crowded = program / "2025" / "04";
  fs::create_directories(crowded);
  const std::string small(3000, 'x');
  for (int i = 0; i < 10000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "CYCLE_%05d.dtl", i);
    std::ofstream(crowded / name, std::ios::binary) << small;
  }
  fs::create_directories(program / "2025" / "05");
  const transfer::SealResult sealed = transfer::ProtectDataLogger(
      program, program / "2025" / "05", bench::longCycleFile(5000), messages);
  if (sealed.file.empty()) {
    std::cerr << "the long cycle could not be sealed: " << sealed.error << "\n";
    return 1;
  }
  const fs::path longFile = sealed.file;

  QElapsedTimer clock;
  clock.start();
  shell::ShellContext shell(program);
  shell.settings = shell::loadSettingsAtStart(program);
  platform::QtPrompts prompts(nullptr);
  desktop::MainWindow window(shell, std::nullopt, &prompts);
  window.resize(1280, 800);
  window.show();
  window.start();
  drawn(window.fileManager());
  std::printf("start to file manager drawn: %.1f ms\n", clock.nsecsElapsed() / 1e6);

  clock.restart();
  window.fileManager()->showFolder(crowded);
  drawn(window.fileManager());
  std::printf("10,000 stored files listed: %.1f ms\n", clock.nsecsElapsed() / 1e6);

  window.fileManager()->showFolder(longFile.parent_path());
  clock.restart();
  window.openReport(longFile);
  window.reportWindow()->findChild<QPushButton*>("Command3")->click();
  drawn(window.reportWindow());
  std::printf("5,000-record full report shown: %.1f ms (%d lines)\n", clock.nsecsElapsed() / 1e6,
              window.reportWindow()->findChild<QTreeView*>()->model()->rowCount());

  // The pen drive: 10,001 device files (the demo's, repeated) in folders of 500.
  const fs::path drive = work / "drive";
  const fs::path demo = work / "demo";
  if (std::system((QCoreApplication::applicationDirPath().toStdString() +
                   "/vestrim-devsim --contents demo --copy-to-drive " + demo.string())
                      .c_str()) != 0) {
    std::cerr << "vestrim-devsim --copy-to-drive failed\n";
    return 1;
  }
  std::vector<fs::path> sources;
  for (const auto& entry : fs::directory_iterator(demo)) {
    sources.push_back(entry.path());
  }
  for (int i = 0; i < 10001; ++i) {
    const fs::path folder = drive / ("F" + std::to_string(i / 500));
    fs::create_directories(folder);
    fs::copy_file(sources[static_cast<std::size_t>(i) % sources.size()],
                  folder / ("D" + std::to_string(i) + ".MOC"));
  }
  platform::QtDriveEnumerator drives;
  StallWatch watch;
  watch.start();
  clock.restart();
  auto* pen = desktop::openPenDriveWindow(
      window, drives, drives.refreshed({drive.string(), drive, true, true, 0, 0}), std::nullopt);
  QSignalSpy done(pen, &pendrive::ui::PenDriveWindow::workDone);
  done.wait(600000);
  const double readMs = clock.nsecsElapsed() / 1e6;
  const qint64 readStall = watch.stop();
  watch.start();
  clock.restart();
  pen->findChild<QAction*>("button6")->trigger();
  done.wait(600000);
  std::printf(
      "pen drive of 10,001 files: read %.0f ms (longest stall %lld ms), saved %.0f ms (longest "
      "stall %lld ms)\n",
      readMs, static_cast<long long>(readStall), clock.nsecsElapsed() / 1e6,
      static_cast<long long>(watch.stop()));
  fs::remove_all(work);
  return 0;
}
