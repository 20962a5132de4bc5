// The pictures of the user guide, taken from the real windows: the desktop
// program's main window over the in-process simulated device holding the
// demo month (in virtual time), worked as a user works it, each state the
// guide shows written as a PNG into the folder given. Runs on the offscreen
// platform; every window is drawn by Qt itself (QWidget::grab).
//
//   vestrim-guide-shots OUTPUT_FOLDER
//
// A message box nobody expected ends the run with its text and exit status 1,
// so that a picture never shows a state the guide does not describe.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "archive/operators.h"
#include "archive/ui/archive_check_window.h"
#include "archive/ui/cycle_search.h"
#include "archive/ui/release_dialog.h"
#include "desktop/device_windows.h"
#include "desktop/main_window.h"
#include "platform/qt/qt_drive_enumerator.h"
#include "programmer_rig.h"
#include "reports/ui/labels_dialog.h"
#include "shell/settings_file.h"
#include "sim/cycle_generator.h"
#include "sim/demo_contents.h"
#include "sim/memory_layout.h"

namespace fs = std::filesystem;
using namespace vestrim;
using platform::ToolbarButton;

namespace {

// Set while a dialog is being pictured on purpose.
bool dialogExpected = false;

[[noreturn]] void fail(const QString& what) {
  std::fprintf(stderr, "vestrim-guide-shots: %s\n", qPrintable(what));
  std::exit(1);
}

// Lets the windows lay themselves out and repaint.
void settleEvents() {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

// Runs the event loop until `signal` of `sender` comes, at most 60 s.
template <typename Sender, typename Signal>
void waitFor(Sender* sender, Signal signal, const char* what) {
  QEventLoop loop;
  bool came = false;
  QObject::connect(sender, signal, &loop, [&] {
    came = true;
    loop.quit();
  });
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  loop.exec();
  if (!came) {
    fail(QStringLiteral("%1 did not end within 60 s").arg(what));
  }
}

class Shots {
 public:
  explicit Shots(QString folder) : folder_(std::move(folder)) {}

  void save(const QPixmap& picture, const QString& name) {
    const QString file = QDir(folder_).filePath(name + ".png");
    // Highest compression: the pictures live in the repository.
    if (picture.isNull() || !picture.save(file, "PNG", 0)) {
      fail(QStringLiteral("cannot write %1").arg(file));
    }
    std::printf("%s (%dx%d)\n", qPrintable(file), picture.width(), picture.height());
  }

  void window(QWidget& main, const QString& name) {
    settleEvents();
    save(main.grab(), name);
  }

  // A dialog as the user sees it over the main window: in a plain frame
  // with its title, over the middle of the window.
  void dialogOver(QWidget& main, QWidget& dialog, const QString& name) {
    settleEvents();
    QPixmap picture = main.grab();
    const QPixmap inner = dialog.grab();
    const int bar = 26;
    const QSize outer(inner.width() + 2, inner.height() + bar + 1);
    const QPoint at((picture.width() - outer.width()) / 2,
                    std::max(40, (picture.height() - outer.height()) / 2));
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, 60));
    const QRect frame(at, outer);
    painter.fillRect(frame, QColor(0x4a, 0x5a, 0x6a));
    painter.drawPixmap(at + QPoint(1, bar), inner);
    painter.setPen(Qt::white);
    QFont bold = dialog.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRect(at + QPoint(10, 0), QSize(outer.width() - 20, bar)),
                     Qt::AlignVCenter | Qt::AlignLeft, dialog.windowTitle());
    painter.end();
    save(picture, name);
  }

 private:
  QString folder_;
};

// Answers the modal dialog that `open` brings up: pictured over the main
// window first when `name` is given (after `prepare` has set it up), then
// closed with its No or Cancel button, its OK when it has no other, or as
// Esc closes it.
void answerModal(Shots& shots, QWidget& main, const QString& name,
                 const std::function<void()>& open,
                 const std::function<void(QWidget&)>& prepare = {}) {
  bool taken = false;
  dialogExpected = true;
  QTimer poll;
  poll.setInterval(50);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || taken) {
      return;
    }
    taken = true;
    poll.stop();
    if (prepare) {
      prepare(*dialog);
    }
    if (!name.isEmpty()) {
      shots.dialogOver(main, *dialog, name);
    }
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
      for (const auto button : {QMessageBox::No, QMessageBox::Cancel, QMessageBox::Ok}) {
        if (QAbstractButton* b = box->button(button)) {
          b->click();
          return;
        }
      }
    }
    if (auto* modal = qobject_cast<QDialog*>(dialog)) {
      modal->reject();
    }
  });
  poll.start();
  open();
  poll.stop();
  dialogExpected = false;
  if (!taken) {
    fail(QStringLiteral("%1: no dialog came up").arg(name.isEmpty() ? "a message" : name));
  }
}

// Ends the run on any message box that comes up by itself.
void watchForMessages() {
  auto* watch = new QTimer(qApp);
  watch->setInterval(200);
  QObject::connect(watch, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        box && !dialogExpected) {
      fail(QStringLiteral("unexpected message: %1").arg(box->text()));
    }
  });
  watch->start();
}

// Two cycles the device ran on the first of April, after the month was
// saved: the erase guard names them.
void runTwoMoreCycles(devsim::Device& device) {
  for (std::uint32_t number : {1572u, 1573u}) {
    devsim::content::CycleRequest request;
    request.cycleCode = number == 1572 ? 2 : 1;
    request.start = {8, number == 1572 ? 10 : 55, 1, 4, 25};
    request.cycleNumber = number;
    request.cycleOfDay = number == 1572 ? 0 : 1;
    request.seed = number;
    devsim::layout::appendRecord(device.memory(),
                                 devsim::content::generateCycle({}, request).bytes);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // A program folder of the clinic's PC, made fresh for every run; the
  // user's settings, cache (the search index) and data folders beside it,
  // so that the run leaves nothing in the developer's own.
  const fs::path work = fs::temp_directory_path() / "vestrim-guide-shots";
  fs::remove_all(work);
  const fs::path program = work / "Vestrim";
  fs::create_directories(program);
  for (const char* place : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
    qputenv(place, QByteArray::fromStdString((work / place).string()));
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: vestrim-guide-shots OUTPUT_FOLDER\n");
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(output)) {
    fail(QStringLiteral("cannot create %1").arg(output));
  }
  Shots shots(output);
  watchForMessages();
  for (const char* name : {"English.lng", "Italiano.lng"}) {
    fs::copy_file(fs::path(VESTRIM_LANG_DIR) / name, program / name);
  }

  // The demo device, as `vestrim --demo` starts it, in virtual time.
  devsim::Device device;
  devsim::content::fillDemoContents(device.memory(), devsim::content::demoOptions());
  testing::VirtualScheduler scheduler;
  testing::SimulatedSerialPort port(device, scheduler);
  testing::FakePorts ports;
  ports.found = {{"/dev/ttyUSB0", "USB serial adapter", 0x0403}};

  shell::ShellContext shell(program);
  shell.settings = shell::loadSettingsAtStart(program);
  shell.decimalSeparator = '.';
  desktop::MainWindow main(shell);
  main.setWindowTitle(QStringLiteral("Vestrim"));
  main.resize(1280, 800);
  const catalogue::ui::ProgrammerServices services{port, scheduler, ports,
                                                   shell::PortSetting::fromPath("/dev/ttyUSB0")};
  desktop::installProgrammerWindow(main, services);
  platform::QtDriveEnumerator drives;
  desktop::installPenDriveWindow(main, drives, {});
  main.show();

  // The first start: the language asked for.
  if (!main.start()) {
    fail("the main window did not start");
  }
  auto* language = main.findChild<QDialog*>("frmSelDefLan");
  if (!language) {
    fail("no language was asked for at the first start");
  }
  language->findChild<QComboBox*>("Combo1")->setCurrentText("English");
  shots.dialogOver(main, *language, "first-start");
  language->findChild<QPushButton*>("Command1")->click();
  if (!main.fileManager()) {
    fail("the file manager did not open after the language was chosen");
  }

  // Connect, list the device's files, save them into the archive.
  const auto programmer = [&] { return main.findChild<catalogue::ui::ProgrammerWindow*>(); };
  const auto settle = [&] {
    scheduler.runUntil([&] { return !programmer()->commands().working(); }, 3600000);
  };
  const auto button = [&](ToolbarButton b) {
    return programmer()->findChild<QAction*>(QStringLiteral("button%1").arg(static_cast<int>(b)));
  };
  const auto connectToDevice = [&] {
    main.findChild<QAction*>("mainButton1")->trigger();
    if (!programmer()) {
      fail("the programmer window did not open");
    }
    settle();
  };
  const auto closeTab = [&](QWidget* window) {
    qobject_cast<QMdiSubWindow*>(window->parentWidget())->close();
    settleEvents();
  };
  connectToDevice();
  button(ToolbarButton::Save)->trigger();
  settle();
  shots.window(main, "programmer");
  // The file types the device describes name the pen drive's files too.
  const std::optional<pendrive::CommandList> commandList =
      programmer()->commands().programmer().tables().CommandList;
  closeTab(programmer());

  // The pen drive the board copied the month onto, with the technical
  // reports of the service visits, which come in from a pen drive only.
  const fs::path drive = work / "PENDRIVE";
  QProcess devsim;
  devsim.start(QStringLiteral(VESTRIM_DEVSIM_PATH),
               {"--contents", "demo", "--copy-to-drive", QString::fromStdString(drive.string())});
  if (!devsim.waitForFinished(60000) || devsim.exitCode() != 0) {
    fail("vestrim-devsim --copy-to-drive failed: " +
         QString::fromLocal8Bit(devsim.readAllStandardError()));
  }
  // Copied by the board at the end of March: the technical reports, which
  // hold no time of their own, take the files' time.
  const QDateTime copied(QDate(2025, 3, 31), QTime(17, 30));
  const auto copyTime =
      std::chrono::file_clock::from_sys(std::chrono::sys_time<std::chrono::milliseconds>(
          std::chrono::milliseconds(copied.toMSecsSinceEpoch())));
  for (const auto& entry : fs::recursive_directory_iterator(drive)) {
    fs::last_write_time(entry.path(), copyTime);
  }
  platform::DriveInfo stick{drive.string(), drive, true, true, 0, 0};
  pendrive::ui::PenDriveWindow* pen =
      desktop::openPenDriveWindow(main, drives, drives.refreshed(stick), commandList);
  waitFor(pen, &pendrive::ui::PenDriveWindow::workDone, "the pen drive's reading");
  shots.window(main, "pen-drive");
  answerModal(shots, main, {}, [&] {
    pen->findChild<QAction*>("button6")->trigger();
    waitFor(pen, &pendrive::ui::PenDriveWindow::workDone, "the pen drive's save");
  });
  closeTab(pen);

  // The archive: the month's folder, then a search of the alarms.
  main.showFileManager();
  desktop::FileManagerWindow* manager = main.fileManager();
  manager->activate();
  manager->showFolder(program / "2025" / "03");
  shots.window(main, "archive");
  archive::ui::CycleSearch* search = manager->search();
  search->findChild<QComboBox*>("searchResult")->setCurrentText("Alarm");
  search->search();
  waitFor(search, &archive::ui::CycleSearch::searchFinished, "the search");
  shots.window(main, "search");
  search->clear();

  // A cycle's report with its chart, and its print preview.
  fs::path porous;
  for (const auto& entry : fs::directory_iterator(program / "2025" / "03")) {
    if (entry.path().filename().string().starts_with("134POROUS_01540_")) {
      porous = entry.path();
    }
  }
  if (porous.empty()) {
    fail("the saved month holds no cycle 1540");
  }
  main.openReport(porous);
  reports::ui::ReportViewWindow* report = main.reportWindow();
  if (!report) {
    fail("the report window did not open");
  }
  shots.window(main, "report");
  report->findChild<QCheckBox*>("printWithChart")->setChecked(true);
  answerModal(
      shots, main, "preview", [&] { report->findChild<QPushButton*>("printPreview")->click(); },
      [](QWidget& preview) {
        // The last page, where the chart follows the report.
        auto* pages = preview.findChild<QPrintPreviewWidget*>();
        pages->updatePreview();
        pages->setCurrentPage(pages->pageCount());
        emit pages->previewChanged();  // the dialog's page number follows
      });

  // The load released by its operator, then its pack labels.
  std::string error;
  std::optional<archive::OperatorBook> operators = archive::OperatorBook::load(program, error);
  if (!operators || !operators->add("AR", "Anna Rossi", "1234", error) || !operators->save(error)) {
    fail(QString::fromStdString(error));
  }
  report->findChild<QPushButton*>("releaseCycle")->click();
  auto* release = main.findChild<archive::ui::ReleaseDialog*>();
  if (!release) {
    fail("the release dialog did not open");
  }
  release->findChild<QLineEdit*>("releasePin")->setText("1234");
  release->findChild<QLineEdit*>("releaseNote")->setText("Tray 2, instruments of room 3");
  shots.dialogOver(main, *release, "release");
  release->findChild<QPushButton*>("releaseRecord")->click();
  settleEvents();
  if (main.findChild<archive::ui::ReleaseDialog*>()) {
    fail("the release was not recorded");
  }
  report->findChild<QPushButton*>("printLabels")->click();
  auto* labels = main.findChild<reports::ui::LabelsDialog*>();
  if (!labels) {
    fail("the labels dialog did not open");
  }
  shots.dialogOver(main, *labels, "labels");
  labels->close();
  closeTab(report);

  // File > Check archive, after a file was copied back from a backup
  // without its times.
  fs::last_write_time(porous, fs::last_write_time(porous) + std::chrono::hours(3));
  main.showArchiveCheck();
  waitFor(main.archiveCheckWindow(), &archive::ui::ArchiveCheckWindow::checkFinished,
          "the archive check");
  shots.window(main, "archive-check");
  closeTab(main.archiveCheckWindow());

  // The device ran two more cycles since: the erase names them, and No
  // keeps them.
  runTwoMoreCycles(device);
  connectToDevice();
  answerModal(shots, main, "erase-guard", [&] {
    button(ToolbarButton::Erase)->trigger();
    settle();
  });

  main.hide();
  fs::remove_all(work);
  return 0;
}
