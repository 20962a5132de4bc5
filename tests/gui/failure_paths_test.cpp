// The windows' failure paths as a user meets them: a month folder that cannot
// be written, an erase that would lose records, stored files that cannot be
// shown, a pen drive pulled out, dialogs cancelled, a port and a language
// given for one run. Each asserts what the user is told, that no window,
// button or menu is left stuck, and that nothing is lost.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <filesystem>

#include "archive/operators.h"
#include "archive/pack_label.h"
#include "archive/ui/release_dialog.h"
#include "catalogue/ui/catalogue_list.h"
#include "catalogue/ui/programmer_window.h"
#include "desktop/device_windows.h"
#include "desktop/file_manager_window.h"
#include "desktop/main_window.h"
#include "pendrive/ui/pen_drive_window.h"
#include "programmer_rig.h"
#include "reports/ui/report_view_window.h"
#include "shell/settings_file.h"
#include "sim/cycle_generator.h"
#include "sim/demo_contents.h"
#include "transfer/seal.h"

namespace fs = std::filesystem;
using namespace vestrim;
using platform::ToolbarButton;

namespace {

class FolderDrives final : public platform::DriveEnumerator {
 public:
  std::vector<platform::DriveInfo> drives() const override { return found; }
  platform::DriveInfo refreshed(const platform::DriveInfo& drive) const override { return drive; }
  std::vector<platform::DriveInfo> found;
};

}  // namespace

class FailurePathsTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void unwritableMonthNamesEveryRecordAndTheEraseGuardKeepsThem();
  void storedFilesThatCannotBeShownSayWhyAndLeaveNothingBehind();
  void penDriveThatGoesAwayIsNoticedAndItsSavesAndErasesSayWhatTheyDid();
  void cancelledDialogsLeaveTheWindowInFrontAndTheToolbarAsItWas();
  void deviceWindowsComeToTheFrontOpenedAgainAndLeaveTheToolbarAsItWasClosed();
  void portAndLanguageForOneRunNeverReachTheSettingsFile();
  void releaseAsksThePinAgainAfterAWrongOneAndAnAlarmCycleCanOnlyBeRejected();

 private:
  void start(std::optional<std::string> language = {}, std::optional<shell::PortSetting> port = {});
  void settle() {
    scheduler_.runUntil([&] { return !programmer()->commands().working(); }, 3600000);
  }
  catalogue::ui::ProgrammerWindow* programmer() const {
    return main_->findChild<catalogue::ui::ProgrammerWindow*>();
  }
  pendrive::ui::PenDriveWindow* penDrive() const {
    return main_->findChild<pendrive::ui::PenDriveWindow*>();
  }
  QAction* button(ToolbarButton b) const {
    return programmer()->findChild<QAction*>(QString("button%1").arg(static_cast<int>(b)));
  }
  bool mainButtonEnabled(int number) const {
    return main_->findChild<QAction*>(QString("mainButton%1").arg(number))->isEnabled();
  }
  QWidget* active() const {
    QMdiSubWindow* frame = main_->mdiArea()->activeSubWindow();
    return frame ? frame->widget() : nullptr;
  }
  std::size_t deviceRows() const { return programmer()->commands().programmer().rows().size(); }
  QString panel(QWidget* window, int number) const {
    return window->findChild<QLabel*>(QString("panel%1").arg(number))->text();
  }
  void waitForDrive() {
    QSignalSpy done(penDrive(), &pendrive::ui::PenDriveWindow::workDone);
    QVERIFY(done.wait(30000));
  }
  void openInList(const fs::path& file);

  std::unique_ptr<testing::TempFolder> folder_;
  fs::path program_;
  std::unique_ptr<devsim::Device> device_;
  testing::VirtualScheduler scheduler_;
  std::unique_ptr<testing::SimulatedSerialPort> port_;
  testing::FakePorts ports_;
  FolderDrives drives_;
  testing::ScriptedPrompts prompts_;
  std::unique_ptr<shell::ShellContext> shell_;
  std::unique_ptr<desktop::MainWindow> main_;
};

void FailurePathsTest::init() {
  folder_ = std::make_unique<testing::TempFolder>();
  program_ = folder_->path() / "program";
  fs::create_directories(program_);
  for (const char* name : {"English.lng", "Italiano.lng"}) {
    fs::copy_file(fs::path(VESTRIM_LANG_DIR) / name, program_ / name);
  }
  QVERIFY(shell::writeSettingsFile(program_,
                                   {shell::PortSetting::fromPath("/dev/ttyUSB7"), "", "English"}));
  device_ = std::make_unique<devsim::Device>();
  devsim::content::DemoOptions contents;
  contents.cycles = 6;
  contents.technicalReports = 0;  // a report comes into the archive only from a pen drive
  devsim::content::fillDemoContents(device_->memory(), contents);
  port_ = std::make_unique<testing::SimulatedSerialPort>(*device_, scheduler_);
  ports_.found = {{"/dev/ttyUSB7", "USB serial adapter", 0x0403}, {"/dev/ttyS0", "", {}}};
  prompts_ = {};
  drives_.found.clear();
}

void FailurePathsTest::start(std::optional<std::string> language,
                             std::optional<shell::PortSetting> port) {
  shell_ = std::make_unique<shell::ShellContext>(program_);
  shell_->settings = shell::loadSettingsAtStart(program_);
  main_ = std::make_unique<desktop::MainWindow>(*shell_, language, &prompts_);
  main_->resize(1200, 800);
  main_->show();
  QApplication::setActiveWindow(main_.get());
  QVERIFY(main_->start());
  desktop::installProgrammerWindow(*main_, {*port_, scheduler_, ports_, port});
  desktop::installPenDriveWindow(*main_, drives_, {});
}

void FailurePathsTest::cleanup() {
  main_.reset();
  port_.reset();
  device_.reset();
  folder_.reset();
}

void FailurePathsTest::openInList(const fs::path& file) {
  desktop::FileManagerWindow* manager = main_->fileManager();
  QVERIFY(manager->showFolder(file.parent_path()));
  auto* list = manager->findChild<QTreeView*>("fileList");
  const QModelIndexList rows =
      list->model()->match(list->model()->index(0, 0), Qt::DisplayRole,
                           QString::fromStdString(file.filename().string()), 1, Qt::MatchExactly);
  QVERIFY(!rows.isEmpty());
  emit list->activated(rows.first());
}

void FailurePathsTest::unwritableMonthNamesEveryRecordAndTheEraseGuardKeepsThem() {
  start();
  main_->findChild<QAction*>("mainButton1")->trigger();
  settle();
  const std::size_t rows = deviceRows();
  // Something in the way of the month folder: the save cannot make it.
  const fs::path month = program_ / "2025" / "03";
  fs::create_directories(month.parent_path());
  std::ofstream(month) << "in the way";
  button(ToolbarButton::Save)->trigger();
  settle();
  const QString summary = QString("0 of 6 records saved in %1.").arg(program_.c_str());
  QCOMPARE(panel(programmer(), 2), summary);
  QCOMPARE(prompts_.shown.size(), std::size_t{1});
  const std::string told = prompts_.shown[0].text;
  // The six under their one reason.
  QVERIFY2(told.starts_with(summary.toStdString() + "\n\nNot saved, cannot create " +
                            month.string() + ": "),
           told.c_str());
  QCOMPARE(QString::fromStdString(told).count("\nDL"), 6);

  // The erase names what it would lose, and Enter keeps it.
  button(ToolbarButton::Erase)->trigger();
  settle();
  QVERIFY(prompts_.shown.back().text.starts_with(
      "6 records on the device are not in the archive and would be lost:\n"));
  QCOMPARE(prompts_.shown.back().defaultAnswer, platform::MessageAnswer::No);
  QCOMPARE(deviceRows(), rows);

  // Saved after all, the progress bar showing the share "k / n" gives.
  fs::remove(month);
  button(ToolbarButton::Save)->trigger();
  auto* bar = programmer()->findChild<QProgressBar*>("ProgressBar2");
  scheduler_.runUntil(  // within the sixth file
      [&] { return panel(programmer(), 2).startsWith("6 / ") && bar->value() % 100 > 30; }, 600000);
  const double share = 1.0 * bar->value() / bar->maximum() * static_cast<double>(rows);
  QVERIFY2(share > 5 && share < 6, QByteArray::number(share));
  settle();
  QCOMPARE(panel(programmer(), 2), QString("6 of 6 records saved in %1.").arg(program_.c_str()));
  QCOMPARE(prompts_.shown.size(), std::size_t{2});  // nothing more to tell

  // A sealed copy deleted since does not count; with all six kept the
  // question is the plain one, and Yes erases.
  std::vector<fs::path> sealed;
  for (const auto& entry : fs::directory_iterator(month)) {
    sealed.push_back(entry.path());
  }
  QCOMPARE(sealed.size(), std::size_t{6});
  fs::remove(sealed[0]);
  button(ToolbarButton::Erase)->trigger();
  settle();
  QVERIFY(prompts_.shown.back().text.starts_with("1 record on the device is not in the archive"));
  button(ToolbarButton::Save)->trigger();
  settle();
  prompts_.answers = {platform::MessageAnswer::Yes};
  button(ToolbarButton::Erase)->trigger();
  settle();
  QCOMPARE(prompts_.shown.back().text, shell_->language.texts[320]);
  QCOMPARE(deviceRows(), std::size_t{0});
}

void FailurePathsTest::storedFilesThatCannotBeShownSayWhyAndLeaveNothingBehind() {
  const fs::path month = program_ / "2025" / "03";
  fs::create_directories(month);
  const auto seal = [&](devsim::content::CycleRequest request) {
    return transfer::ProtectDataLogger(program_, month,
                                       devsim::content::generateCycle({}, request).bytes, {})
        .file;
  };
  const fs::path good = seal({});
  devsim::content::CycleRequest other;
  other.cycleNumber = 2;
  const fs::path changed = seal(other);
  other.cycleNumber = 3;
  const fs::path copied = seal(other);
  other.cycleNumber = 4;
  const fs::path vanished = seal(other);
  Bytes data(300, 0x11);
  data[48] = 0x20;  // a data file the PC sent, sealed by an earlier version
  const fs::path notCycle = transfer::sealAs(program_, month, data, "DATA.dtl").file;
  const fs::path tooShort = month / "short.dtl";
  std::ofstream(tooShort) << "0123456789";
  {
    const auto time = fs::last_write_time(changed);
    std::fstream bytes(changed, std::ios::binary | std::ios::in | std::ios::out);
    bytes.seekp(200);
    bytes.put('\x7F');
    bytes.close();
    fs::last_write_time(changed, time);  // the seal still matches
    fs::last_write_time(copied, time + std::chrono::hours(30));
  }
  start();
  const auto languageMenu = [&] {
    return main_->fileManager()->findChild<QAction*>("mnuLingue")->isEnabled();
  };
  const std::pair<fs::path, std::string> refused[] = {
      {changed, "It was changed after it was saved: its check sum does not match"},
      {copied, "File > Check archive tells which, and restores the times"},
      {tooShort, "It is too short to hold a stored record."},
      {notCycle, "It is not a cycle record but a file the PC sent to the device"},
      {vanished, "It cannot be read"},
  };
  // Without a report on show, then over one: told why each time, and the
  // report on show stays.
  for (const bool overReport : {false, true}) {
    if (overReport) {
      openInList(good);
      QVERIFY(main_->reportWindow());
    }
    for (const auto& [file, cause] : refused) {
      prompts_.shown.clear();
      if (file == vanished) {
        QVERIFY(main_->fileManager()->showFolder(month));  // listed, then gone
        fs::rename(vanished, folder_->path() / "elsewhere.dtl");
        auto* list = main_->fileManager()->findChild<QTreeView*>("fileList");
        const QModelIndexList row = list->model()->match(
            list->model()->index(0, 0), Qt::DisplayRole,
            QString::fromStdString(vanished.filename().string()), 1, Qt::MatchExactly);
        QVERIFY(!row.isEmpty());
        emit list->activated(row.first());
        fs::rename(folder_->path() / "elsewhere.dtl", vanished);
      } else {
        openInList(file);
      }
      QCOMPARE(prompts_.shown.size(), std::size_t{1});
      const std::string& text = prompts_.shown[0].text;
      QVERIFY2(text.starts_with("File error\n\n" + file.filename().string() + "\n"), text.c_str());
      QVERIFY2(text.find(cause) != std::string::npos, text.c_str());
      QCOMPARE(main_->mdiArea()->subWindowList().size(), overReport ? 2 : 1);
      if (overReport) {
        QCOMPARE(main_->reportWindow()->file(), good);
        QVERIFY(main_->reportWindow()->isVisible());
      }
      QCOMPARE(languageMenu(), !overReport);
    }
  }
  main_->reportWindow()->findChild<QAbstractButton*>("Command2")->click();
  QTRY_VERIFY(!main_->reportWindow());
  QVERIFY(languageMenu());
}

void FailurePathsTest::penDriveThatGoesAwayIsNoticedAndItsSavesAndErasesSayWhatTheyDid() {
  const fs::path root = folder_->path() / "E";
  const auto fill = [&] {
    QProcess devsim;
    devsim.start(VESTRIM_DEVSIM_PATH, {"--contents", "demo:cycles=4:reports=1", "--copy-to-drive",
                                       QString::fromStdString(root.string())});
    QVERIFY(devsim.waitForFinished(30000) && devsim.exitCode() == 0);
  };
  fill();
  drives_.found = {{root.string(), root, true, true, 8u << 20, 2u << 20}};
  start();
  main_->findChild<QAction*>("mainButton7")->trigger();
  waitForDrive();
  auto* list = penDrive()->findChild<catalogue::ui::CatalogueList*>("ListView1");
  const int listed = list->model()->rowCount();
  QVERIFY(listed >= 6);
  QAction* save = penDrive()->findChild<QAction*>("button6");
  QAction* erase = penDrive()->findChild<QAction*>("button7");

  QTimer::singleShot(0, save, &QAction::trigger);
  waitForDrive();
  // 4 cycles and the report; a save says what it did, and the erase after it
  // has no record to name.
  QCOMPARE(prompts_.shown.back().text,
           QString("5 of 5 records saved in %1.").arg(program_.c_str()).toStdString());
  auto* bar = penDrive()->findChild<QProgressBar*>("ProgressBar1");
  QCOMPARE(bar->value(), bar->maximum());
  QTimer::singleShot(0, erase, &QAction::trigger);
  waitForDrive();
  QCOMPARE(prompts_.shown[prompts_.shown.size() - 2].text, std::string("Are you sure?"));
  QCOMPARE(prompts_.shown.back().text, std::string("All files deleted"));
  const std::size_t told = prompts_.shown.size();
  save->trigger();  // on the emptied list
  QCOMPARE(panel(penDrive(), 2), QString("Nothing to save."));
  QCOMPARE(prompts_.shown.size(), told);

  // The drive pulled out: each command says so and clears the list.
  fill();
  QTimer::singleShot(0, penDrive()->findChild<QAction*>("button2"), &QAction::trigger);
  waitForDrive();
  QCOMPARE(list->model()->rowCount(), listed);
  const std::string gone = "The pen drive " + root.string() + " is no longer there.";
  fs::rename(root, folder_->path() / "away");
  for (QAction* command : {erase, save, penDrive()->findChild<QAction*>("button2")}) {
    prompts_.shown.clear();
    command->trigger();
    QCOMPARE(prompts_.shown.size(), std::size_t{1});
    QVERIFY(prompts_.shown[0].text.starts_with(gone));
    QCOMPARE(list->model()->rowCount(), 0);
    QCOMPARE(panel(penDrive(), 1).toStdString(), gone);
  }
  fs::rename(folder_->path() / "away", root);  // nothing of it was lost
  QTimer::singleShot(0, penDrive()->findChild<QAction*>("button2"), &QAction::trigger);
  waitForDrive();
  QCOMPARE(list->model()->rowCount(), listed);
  penDrive()->findChild<QAction*>("mnuExit")->trigger();
  QTRY_VERIFY(!penDrive());
  QVERIFY(mainButtonEnabled(1) && mainButtonEnabled(7));
}

void FailurePathsTest::cancelledDialogsLeaveTheWindowInFrontAndTheToolbarAsItWas() {
  start();
  // The user was in the archive's tree. The main toolbar's Open: the
  // window, then the system's file dialog, cancelled.
  main_->fileManager()->findChild<QWidget*>("folderTree")->setFocus();
  QTimer::singleShot(200, [] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      dialog->close();
    }
  });
  main_->findChild<QAction*>("mainButton3")->trigger();
  QVERIFY(!QApplication::activeModalWidget());
  QApplication::setActiveWindow(main_.get());  // as the window manager does, the dialog gone
  QCOMPARE(active(), programmer());
  QVERIFY(!mainButtonEnabled(1) && !mainButtonEnabled(7));

  // A failed connection: the port dialog, cancelled.
  port_->setOpenFails(true);
  button(ToolbarButton::Connect)->trigger();
  settle();
  QVERIFY(programmer()->portDialog().isVisible());
  QApplication::setActiveWindow(&programmer()->portDialog());
  programmer()->portDialog().findChild<QAbstractButton*>("CancelButton")->click();
  QVERIFY(!programmer()->portDialog().isVisible());
  QApplication::setActiveWindow(main_.get());
  QCOMPARE(active(), programmer());
  QVERIFY(button(ToolbarButton::Connect)->isEnabled());
}

void FailurePathsTest::deviceWindowsComeToTheFrontOpenedAgainAndLeaveTheToolbarAsItWasClosed() {
  const fs::path root = folder_->path() / "E";
  fs::create_directories(root);
  drives_.found = {{root.string(), root, true, true, 8u << 20, 2u << 20}};
  start();
  auto* manager = qobject_cast<QMdiSubWindow*>(main_->fileManager()->parentWidget());
  main_->fileManager()->findChild<QWidget*>("folderTree")->setFocus();
  // The programmer window: in front once connected; in front again when the
  // toolbar's Save calls it from behind the file manager; closed, the file
  // manager in front and connect and USB on again.
  main_->findChild<QAction*>("mainButton1")->trigger();
  settle();
  QApplication::setActiveWindow(main_.get());
  QCOMPARE(active(), programmer());
  main_->mdiArea()->setActiveSubWindow(manager);
  main_->findChild<QAction*>("mainButton4")->trigger();
  settle();
  QCOMPARE(active(), programmer());
  programmer()->findChild<QAction*>("mnuExit")->trigger();
  QTRY_VERIFY(!programmer());
  QCOMPARE(active(), main_->fileManager());
  QVERIFY(mainButtonEnabled(1) && mainButtonEnabled(7));
  // The pen-drive window the same: USB, then the drive given again.
  main_->findChild<QAction*>("mainButton7")->trigger();
  waitForDrive();
  QCOMPARE(active(), penDrive());
  QVERIFY(!mainButtonEnabled(1) && !mainButtonEnabled(7));
  main_->mdiArea()->setActiveSubWindow(manager);
  QCOMPARE(desktop::openPenDriveWindow(*main_, drives_, drives_.found[0], {}), penDrive());
  QCOMPARE(active(), penDrive());
  penDrive()->findChild<QAction*>("mnuExit")->trigger();
  QTRY_VERIFY(!penDrive());
  QCOMPARE(active(), main_->fileManager());
  QVERIFY(mainButtonEnabled(1) && mainButtonEnabled(7));
}

void FailurePathsTest::portAndLanguageForOneRunNeverReachTheSettingsFile() {
  const fs::path files = folder_->path() / "files";
  fs::create_directories(files);
  const fs::path chosen = files / "a.dtl";
  std::ofstream(chosen) << std::string(700, 'a');
  for (const std::string stored : {"English", ""}) {
    QVERIFY(shell::writeSettingsFile(program_,
                                     {shell::PortSetting::fromPath("/dev/ttyUSB7"), "", stored}));
    start("Italiano", shell::PortSetting::fromPath("/dev/pts/77"));
    main_->findChild<QAction*>("mainButton1")->trigger();
    settle();
    QCOMPARE(port_->portName(), std::string("/dev/pts/77"));
    programmer()->setFileChooser([&](const QString&) { return std::vector<fs::path>{chosen}; });
    main_->findChild<QAction*>("mainButton3")->trigger();
    settle();
    QCOMPARE(*shell::readSettingsFile(program_),
             (shell::SettingsLines{shell::PortSetting::fromPath("/dev/ttyUSB7"), files.string(),
                                   stored}));
    main_.reset();
  }
}

void FailurePathsTest::releaseAsksThePinAgainAfterAWrongOneAndAnAlarmCycleCanOnlyBeRejected() {
  const fs::path month = program_ / "2025" / "03";
  fs::create_directories(month);
  devsim::content::CycleRequest request;
  request.cycleNumber = 1544;
  const fs::path good = transfer::ProtectDataLogger(
                            program_, month, devsim::content::generateCycle({}, request).bytes, {})
                            .file;
  request.cycleNumber = 1545;
  request.alarmCode = 10;
  const fs::path alarm = transfer::ProtectDataLogger(
                             program_, month, devsim::content::generateCycle({}, request).bytes, {})
                             .file;
  std::string error;
  archive::OperatorBook book = *archive::OperatorBook::load(program_, error);
  QVERIFY(book.add("AR", "Anna Rossi", "1234", error));
  QVERIFY(book.save(error));
  start();

  openInList(good);
  auto* report = main_->findChild<reports::ui::ReportViewWindow*>();
  QVERIFY(report);
  auto* labels = report->findChild<QAbstractButton*>("printLabels");
  QVERIFY(!labels->isEnabled());  // not released yet
  report->findChild<QAbstractButton*>("releaseCycle")->click();
  auto* dialog = main_->findChild<archive::ui::ReleaseDialog*>();
  QVERIFY(dialog && dialog->isVisible());
  auto* pin = dialog->findChild<QLineEdit*>("releasePin");
  auto* problem = dialog->findChild<QLabel*>("releaseProblem");
  QTest::keyClicks(pin, "0000");
  dialog->findChild<QAbstractButton*>("releaseRecord")->click();
  QVERIFY(dialog->isVisible());
  QCOMPARE(problem->text(), QString("Wrong PIN for AR."));
  QVERIFY(pin->text().isEmpty());
  QVERIFY(archive::ReleaseBook::read(program_).all().empty());
  QTest::keyClicks(pin, "1234");
  QTest::keyClick(pin, Qt::Key_Return);
  QTRY_VERIFY(!main_->findChild<archive::ui::ReleaseDialog*>());
  QCOMPARE(archive::ReleaseBook::read(program_).all().size(), std::size_t{1});
  const std::vector<std::string>& lines = report->core().report().lines;
  QVERIFY(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("Released by AR (Anna Rossi)") != std::string::npos;
  }));
  QVERIFY(labels->isEnabled());
  auto* list = main_->fileManager()->findChild<QTreeView*>("fileList");
  const QModelIndexList released = list->model()->match(list->model()->index(0, 4), Qt::DisplayRole,
                                                        QString("released"), -1, Qt::MatchExactly);
  QCOMPARE(released.size(), 1);

  openInList(alarm);
  report->findChild<QAbstractButton*>("releaseCycle")->click();
  dialog = main_->findChild<archive::ui::ReleaseDialog*>();
  QVERIFY(dialog);
  QVERIFY(!dialog->findChild<QRadioButton*>("releaseReleased")->isEnabled());
  QVERIFY(dialog->findChild<QRadioButton*>("releaseRejected")->isChecked());
  QVERIFY(dialog->findChild<QLabel*>("releaseProblem")->text().contains("alarm 10"));
  dialog->reject();
  QVERIFY(!labels->isEnabled());

  // A scanner types the label's code and Enter into the search bar: the
  // released cycle's report comes back; a code of a changed file is said.
  const auto label = archive::packLabelFor(program_, good.lexically_relative(program_).string(),
                                           180, "Pouch", error);
  QVERIFY2(label.has_value(), error.c_str());
  main_->fileManager()->focusSearch();
  auto* field = main_->fileManager()->findChild<QLineEdit*>("searchProgram");
  QTest::keyClicks(field, QString::fromStdString(label->code));
  QTest::keyClick(field, Qt::Key_Return);
  QCOMPARE(report->file(), good);
  QVERIFY(field->text().isEmpty());
}

QTEST_MAIN(FailurePathsTest)
#include "failure_paths_test.moc"
