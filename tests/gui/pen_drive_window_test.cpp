// The pen-drive window over folders taken as drives: the search from the
// USB button, the list, save and both erases, compared with vestrim-cli
// import on the same files.
#include "pendrive/ui/pen_drive_window.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "catalogue/ui/catalogue_list.h"
#include "desktop/device_windows.h"
#include "desktop/main_window.h"
#include "pendrive/drive_discovery.h"
#include "platform/qt/qt_drive_enumerator.h"
#include "platform/qt/qt_text.h"
#include "scripted_prompts.h"
#include "shell/settings_file.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using namespace vestrim;

namespace {

class FakeDrives final : public platform::DriveEnumerator {
 public:
  std::vector<platform::DriveInfo> drives() const override { return found; }
  platform::DriveInfo refreshed(const platform::DriveInfo& drive) const override {
    platform::DriveInfo now = drive;
    now.totalBytes = 8u << 20;
    now.freeBytes = 2u << 20;
    return now;
  }
  std::vector<platform::DriveInfo> found;
};

std::string bytesAfterStamp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  return bytes.substr(12);
}

}  // namespace

class PenDriveWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void searchTakesOneDriveAsksAmongSeveralAndRefusesNoneOrTooMany();
  void listAndSealedFilesEqualTheCommandLineImport();
  void erasesAskFirstAndTellWhatStayed();

 private:
  pendrive::ui::PenDriveWindow* window() const {
    return main_->findChild<pendrive::ui::PenDriveWindow*>();
  }
  platform::DriveInfo drive(const std::string& name) const {
    const fs::path root = folder_->path() / name;
    fs::create_directories(root);
    return {root.string(), root, true, true, 8u << 20, 2u << 20};
  }
  // The demo's device files as the board copies them, some of them moved
  // into folders of the drive.
  void fillDrive(const fs::path& root);
  // Waits for the window's next piece of work (its first reading, a save,
  // an erase) to end.
  void waitForWork() {
    QSignalSpy done(window(), &pendrive::ui::PenDriveWindow::workDone);
    QVERIFY(done.wait(30000));
  }

  std::unique_ptr<testing::TempFolder> folder_;
  FakeDrives drives_;
  testing::ScriptedPrompts prompts_;
  std::unique_ptr<shell::ShellContext> shell_;
  std::unique_ptr<desktop::MainWindow> main_;
  fs::path program_;
};

void PenDriveWindowTest::init() {
  folder_ = std::make_unique<testing::TempFolder>();
  program_ = folder_->path() / "program";
  fs::create_directories(program_);
  fs::copy_file(fs::path(VESTRIM_LANG_DIR) / "English.lng", program_ / "English.lng");
  QVERIFY(shell::writeSettingsFile(program_, {shell::PortSetting::fromNumber(1), "", "English"}));
  prompts_ = {};
  drives_.found.clear();
  shell_ = std::make_unique<shell::ShellContext>(program_);
  shell_->settings = shell::loadSettingsAtStart(program_);
  main_ = std::make_unique<desktop::MainWindow>(*shell_, std::nullopt, &prompts_);
  main_->resize(1200, 800);
  main_->show();
  QVERIFY(main_->start());
  desktop::installPenDriveWindow(*main_, drives_, {});
}

void PenDriveWindowTest::cleanup() {
  main_.reset();
  folder_.reset();
}

void PenDriveWindowTest::fillDrive(const fs::path& root) {
  QProcess devsim;
  devsim.start(VESTRIM_DEVSIM_PATH, {"--contents", "demo:cycles=5:reports=1", "--copy-to-drive",
                                     QString::fromStdString(root.string())});
  QVERIFY(devsim.waitForFinished(30000) && devsim.exitCode() == 0);
  fs::create_directories(root / "A" / "B");
  int moved = 0;
  for (const auto& entry : fs::directory_iterator(root)) {
    if (entry.is_regular_file() && moved < 2) {
      fs::rename(entry.path(), root / (moved == 0 ? "A" : "A/B") / entry.path().filename());
      ++moved;
    }
  }
}

void PenDriveWindowTest::searchTakesOneDriveAsksAmongSeveralAndRefusesNoneOrTooMany() {
  QAction* usb = main_->findChild<QAction*>("mainButton7");
  usb->trigger();
  QCOMPARE(prompts_.countOf("Device not found"), 1u);
  QVERIFY(!window());

  drives_.found = {drive("E"), drive("F"), drive("G")};
  prompts_.choiceAnswers = {std::nullopt};  // the box closed: nothing chosen
  usb->trigger();
  QCOMPARE(prompts_.choices.back().size(), std::size_t{3});
  QCOMPARE(prompts_.shown.back().title, std::string("USB storage devices detected"));
  QVERIFY(!window());

  drives_.found.push_back(drive("H"));
  drives_.found.push_back(drive("I"));
  usb->trigger();
  QCOMPARE(prompts_.countOf("Too many device connected"), 1u);
  QVERIFY(!window());

  drives_.found.resize(3);
  prompts_.choiceAnswers = {std::size_t{1}};
  usb->trigger();
  QVERIFY(window());
  QCOMPARE(window()->session().drive().root, folder_->path() / "F");
  QCOMPARE(window()->findChild<QLabel*>("panel1")->text(),
           platform::fromCore(pendrive::connectedText(drives_.found[1])));
  QVERIFY(!main_->findChild<QAction*>("mainButton1")->isEnabled());
  waitForWork();  // the first reading, of an empty drive
  QCOMPARE(window()->findChild<QLabel*>("driveSize")->text(), QString("8.0"));
  QVERIFY(!usb->isEnabled());
  // The system's figures of a folder taken as a drive keep the folder.
  const platform::DriveInfo folder = drive("J");
  QCOMPARE(platform::QtDriveEnumerator().refreshed(folder).root, folder.root);
}

void PenDriveWindowTest::listAndSealedFilesEqualTheCommandLineImport() {
  const platform::DriveInfo e = drive("E");
  fillDrive(e.root);
  // The command line's import of the same drive, into a program folder of its own.
  const fs::path other = folder_->path() / "cli";
  QProcess cli;
  cli.start(VESTRIM_CLI_PATH,
            {"--folder", QString::fromStdString(other.string()), "--language", "English", "--json",
             "import", QString::fromStdString(e.root.string())});
  QVERIFY(cli.waitForFinished(60000));
  const QJsonObject imported = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
  QVERIFY(!imported.isEmpty());

  drives_.found = {e};
  main_->findChild<QAction*>("mainButton7")->trigger();
  QVERIFY(window());
  waitForWork();
  auto* list = window()->findChild<catalogue::ui::CatalogueList*>("ListView1");
  const QJsonArray rows = imported["rows"].toArray();
  QCOMPARE(list->model()->rowCount(), rows.size());
  for (int r = 0; r < rows.size(); ++r) {
    QCOMPARE(list->cell(r, 0), rows[r].toObject()["code"].toString());
    QCOMPARE(list->cell(r, 3), rows[r].toObject()["date"].toString());
  }
  QCOMPARE(window()->findChild<QLabel*>("panel2")->text(),
           QStringLiteral("%1 device files found").arg(rows.size()));

  QTimer::singleShot(0, window()->findChild<QAction*>("button6"), &QAction::trigger);
  waitForWork();
  const QJsonArray sealed = imported["sealed"].toArray();
  QVERIFY(sealed.size() >= 6);
  bool service = false;
  for (const auto& name : sealed) {
    const fs::path relative = name.toString().toStdString();
    QVERIFY2(fs::exists(program_ / relative), relative.c_str());
    QCOMPARE(bytesAfterStamp(program_ / relative), bytesAfterStamp(other / relative));
    service = service || relative.parent_path().filename() == "SERVICE";
  }
  QVERIFY(service);  // the technical report went to its year's SERVICE folder
  // The save says what it did, as the command line does.
  QCOMPARE(prompts_.shown.size(), std::size_t{1});
  QCOMPARE(prompts_.shown[0].text, QString("%1 of %1 records saved in %2.")
                                       .arg(sealed.size())
                                       .arg(QString::fromStdString(program_.string()))
                                       .toStdString());
  QCOMPARE(imported["records"].toInt(), sealed.size());
}

void PenDriveWindowTest::erasesAskFirstAndTellWhatStayed() {
  const platform::DriveInfo e = drive("E");
  fillDrive(e.root);
  drives_.found = {e};
  main_->findChild<QAction*>("mainButton7")->trigger();
  waitForWork();
  const auto deviceFiles = [&] {
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(e.root)) {
      count += entry.path().extension() == ".MOC" ? 1 : 0;
    }
    return count;
  };
  const std::size_t all = deviceFiles();
  // The menu's erase asks too, naming the root's records that were never
  // saved; Enter keeps everything.
  window()->findChild<QAction*>("mnuErase")->trigger();
  QCOMPARE(deviceFiles(), all);
  QVERIFY(prompts_.shown.back().text.ends_with("would be lost:\n") == false);
  QVERIFY(prompts_.shown.back().text.ends_with("\n\nAre you sure?"));
  QCOMPARE(prompts_.shown.back().defaultAnswer, platform::MessageAnswer::Cancel);
  // OK: only the root's files go; the list stays.
  prompts_.answers = {platform::MessageAnswer::Ok};
  window()->findChild<QAction*>("mnuErase")->trigger();
  QCOMPARE(deviceFiles(), std::size_t{2});
  QVERIFY(window()->findChild<QLabel*>("driveSize")->text().endsWith(" MB"));
  auto* list = window()->findChild<catalogue::ui::CatalogueList*>("ListView1");
  QCOMPARE(static_cast<std::size_t>(list->model()->rowCount()), all);

  // The toolbar's erase deletes what is listed, in any folder; a file that
  // cannot go (here replaced by a folder that is not empty) is named instead
  // of "All files deleted".
  fs::path stuck;
  for (const auto& entry : fs::directory_iterator(e.root / "A" / "B")) {
    stuck = entry.path();
  }
  fs::remove(stuck);
  fs::create_directories(stuck / "inside");
  prompts_.answers = {platform::MessageAnswer::Ok};
  QTimer::singleShot(0, window()->findChild<QAction*>("button7"), &QAction::trigger);
  waitForWork();
  const std::string told = prompts_.shown.back().text;
  // The root's files went with the menu's erase: they are named as gone,
  // never counted as deleted.
  QVERIFY2(
      told.starts_with(
          QString("1 of %1 files deleted.\n\nNo longer on the drive:\n").arg(all).toStdString()),
      told.c_str());
  QVERIFY(told.find("\n\nNot deleted:\n" + stuck.string() + ": ") != std::string::npos);
  QCOMPARE(deviceFiles(), std::size_t{1});  // the folder standing in for the file
  QCOMPARE(list->model()->rowCount(), 0);
}

QTEST_MAIN(PenDriveWindowTest)
#include "pen_drive_window_test.moc"
