// The programmer window over the in-process simulated device in virtual
// time: the main window's connect button, the rows and memory figures, save,
// send, erase, the port dialog and the busy states, worked through widgets.
#include "catalogue/ui/programmer_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QTest>
#include <QToolBar>
#include <filesystem>

#include "desktop/device_windows.h"
#include "desktop/main_window.h"
#include "platform/qt/qt_text.h"
#include "programmer_rig.h"
#include "shell/language_files.h"
#include "shell/text_encoding.h"
#include "sim/demo_contents.h"

namespace fs = std::filesystem;
using namespace vestrim;
using platform::ToolbarButton;

class ProgrammerWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void connectShowsTheDeviceRowsAndSaveSealsThemWithProgress();
  void readSendAndMultipleSelectionKeepTheListCurrent();
  void unreachablePortBringsUpTheDialogWithTheReason();
  void closingWhileSavingAsksAndStopsCleanly();

 private:
  void openAndConnect();
  void settle() {
    scheduler_.runUntil([&] { return !window()->commands().working(); }, 3600000);
  }
  catalogue::ui::ProgrammerWindow* window() const {
    return main_->findChild<catalogue::ui::ProgrammerWindow*>();
  }
  QAction* button(ToolbarButton b) const {
    return window()->findChild<QAction*>(QString("button%1").arg(static_cast<int>(b)));
  }
  QAction* mainButton(int number) const {
    return main_->findChild<QAction*>(QString("mainButton%1").arg(number));
  }
  std::vector<std::string> shownRows() const;
  std::vector<fs::path> sealedFiles() const;

  std::unique_ptr<testing::TempFolder> folder_;
  std::unique_ptr<devsim::Device> device_;
  testing::VirtualScheduler scheduler_;
  std::unique_ptr<testing::SimulatedSerialPort> port_;
  testing::FakePorts ports_;
  testing::ScriptedPrompts prompts_;
  std::unique_ptr<shell::ShellContext> shell_;
  std::unique_ptr<desktop::MainWindow> main_;
};

void ProgrammerWindowTest::init() {
  folder_ = std::make_unique<testing::TempFolder>();
  const fs::path program = folder_->path();
  fs::copy_file(fs::path(VESTRIM_LANG_DIR) / "English.lng", program / "English.lng");
  QVERIFY(shell::writeSettingsFile(program,
                                   {shell::PortSetting::fromPath("/dev/ttyUSB7"), "", "English"}));
  device_ = std::make_unique<devsim::Device>();
  devsim::content::DemoOptions contents;
  contents.cycles = 6;
  contents.technicalReports = 1;
  devsim::content::fillDemoContents(device_->memory(), contents);
  port_ = std::make_unique<testing::SimulatedSerialPort>(*device_, scheduler_);
  ports_.found = {{"/dev/ttyUSB7", "USB serial adapter", 0x0403}, {"/dev/ttyS0", "", {}}};
  prompts_ = {};
  shell_ = std::make_unique<shell::ShellContext>(program);
  shell_->settings = shell::loadSettingsAtStart(program);
  main_ = std::make_unique<desktop::MainWindow>(*shell_, std::nullopt, &prompts_);
  main_->resize(1200, 800);
  main_->show();
  QVERIFY(main_->start());
  desktop::installProgrammerWindow(*main_, {*port_, scheduler_, ports_, std::nullopt});
}

void ProgrammerWindowTest::cleanup() {
  main_.reset();
  port_.reset();
  device_.reset();
  folder_.reset();
}

void ProgrammerWindowTest::openAndConnect() {
  QVERIFY(mainButton(1)->isEnabled());
  mainButton(1)->trigger();
  QVERIFY(window());
  QVERIFY(!window()->findChild<QProgressBar*>("ProgressBar2")->isVisibleTo(window()));
  settle();
}

std::vector<std::string> ProgrammerWindowTest::shownRows() const {
  std::vector<std::string> rows;
  auto* list = window()->findChild<catalogue::ui::CatalogueList*>("ListView1");
  for (int i = 0; i < list->model()->rowCount(); ++i) {
    std::string row;
    for (int c = 0; c < 5; ++c) {
      row += platform::toCore(list->cell(i, c)) + "|";
    }
    rows.push_back(row);
  }
  return rows;
}

std::vector<fs::path> ProgrammerWindowTest::sealedFiles() const {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder_->path())) {
    if (entry.path().extension() == ".dtl") {
      files.push_back(entry.path());
    }
  }
  return files;
}

void ProgrammerWindowTest::connectShowsTheDeviceRowsAndSaveSealsThemWithProgress() {
  openAndConnect();
  // While the window is open the main window's connect and pen-drive buttons are off.
  QVERIFY(!mainButton(1)->isEnabled());
  QVERIFY(!mainButton(7)->isEnabled());
  std::vector<std::string> expected;
  for (const platform::CatalogueRow& row : window()->commands().programmer().rows()) {
    // A data file's name holds binary bytes: its control bytes show as ".".
    expected.push_back(shell::printable(row.code + "|" + row.description + "|" + row.name + "|" +
                                        row.date + "|" + row.id + "|"));
  }
  QVERIFY(expected.size() >= 8);  // messages, data, 6 cycles, a report
  QCOMPARE(shownRows(), expected);
  QCOMPARE(window()->findChild<QLabel*>("memorySize")->text(), QString("2048"));
  QVERIFY(window()->findChild<QProgressBar*>("memoryBar")->value() > 0);
  for (int b = 1; b <= 7; ++b) {
    QVERIFY(button(static_cast<ToolbarButton>(b))->isEnabled() || b == 4);
  }
  QVERIFY(!button(ToolbarButton::MachineUpgrade)->isVisible());

  button(ToolbarButton::Save)->trigger();
  scheduler_.runUntil(
      [&] { return window()->findChild<QProgressBar*>("ProgressBar2")->isVisible(); }, 60000);
  // Busy: every button and menu off, the progress and "n / m" on show.
  for (int b = 1; b <= 7; ++b) {
    QVERIFY(!button(static_cast<ToolbarButton>(b))->isEnabled());
  }
  for (QAction* menu : window()->menuBarActions()) {
    QVERIFY(!menu->isEnabled());
  }
  QVERIFY(window()->findChild<QLabel*>("panel2")->text().contains(" / "));
  settle();
  const auto sealed = sealedFiles();
  // The 6 cycles; the data file's header holds a date too, but it is no
  // record, and the report's catalogue row has no date: said, since an
  // erase would lose it.
  QCOMPARE(sealed.size(), std::size_t{6});
  QCOMPARE(window()->findChild<QLabel*>("panel2")->text(),
           QString("6 of 6 records saved in %1; 1 file without a date was not saved.")
               .arg(QString::fromStdString(shell::utf8Of(folder_->path()))));
  for (const fs::path& file : sealed) {
    QVERIFY(record::LeggiFile(file).showable());
  }
  QVERIFY(button(ToolbarButton::Erase)->isEnabled() || !port_->isOpen());
}

void ProgrammerWindowTest::readSendAndMultipleSelectionKeepTheListCurrent() {
  openAndConnect();
  const std::size_t before = shownRows().size();
  button(ToolbarButton::Read)->trigger();
  QCOMPARE(shownRows().size(), std::size_t{0});  // the toolbar's Read clears the list first
  // Busy while the list is read: no Save or Erase into the middle of it.
  QVERIFY(!button(ToolbarButton::Save)->isEnabled());
  QVERIFY(!button(ToolbarButton::Erase)->isEnabled());
  settle();
  QCOMPARE(shownRows().size(), before);

  // Two data logger files chosen at once: the first waits for Download, the
  // second follows by itself.
  const fs::path a = folder_->write("a.dtl", std::string(700, 'a'));
  const fs::path b = folder_->write("b.dtl", std::string(900, 'b'));
  QString openedIn;
  window()->setFileChooser([&](const QString& folder) {
    openedIn = folder;
    return std::vector<fs::path>{a, b};
  });
  mainButton(3)->trigger();  // the main window's Open runs the window's
  settle();
  QCOMPARE(openedIn, QString::fromStdString(shell_->settings.DataFolder));
  QCOMPARE(shownRows().size(), before);
  button(ToolbarButton::Download)->trigger();
  settle();
  QCOMPARE(shownRows().size(), before + 2);
  QCOMPARE(shell::readSettingsFile(folder_->path())->DataFolder, folder_->path().string());
  QVERIFY(prompts_.shown.empty());
}

void ProgrammerWindowTest::unreachablePortBringsUpTheDialogWithTheReason() {
  port_->setOpenFails(true);
  openAndConnect();
  auto& dialog = window()->portDialog();
  QVERIFY(dialog.isVisible());
  QVERIFY(dialog.findChild<QLabel*>("portProblem")->text().startsWith("Cannot open /dev/ttyUSB7"));
  auto* choices = dialog.findChild<QComboBox*>("Combo1");
#ifdef _WIN32
  // COM1 to COM8, then the ports the system lists beyond them.
  QCOMPARE(choices->itemText(0), QString("COM1"));
  const int found = 8;
#else
  const int found = 0;
#endif
  QCOMPARE(choices->itemText(found), platform::fromCore("/dev/ttyUSB7 \x97 USB serial adapter"));
  QCOMPARE(choices->count(), found + 2);
  QVERIFY(button(ToolbarButton::Connect)->isEnabled());
  // Another port chosen: it is stored and the handshake runs on it.
  port_->setOpenFails(false);
  choices->setCurrentIndex(found + 1);
  QTest::mouseClick(dialog.findChild<QAbstractButton*>("OKButton"), Qt::LeftButton);
  QVERIFY(!dialog.isVisible());
  settle();
  QCOMPARE(shell::readSettingsFile(folder_->path())->PortNumber,
           shell::PortSetting::fromPath("/dev/ttyS0"));
  QVERIFY(!shownRows().empty());
}

void ProgrammerWindowTest::closingWhileSavingAsksAndStopsCleanly() {
  openAndConnect();
  button(ToolbarButton::Save)->trigger();
  scheduler_.runUntil([&] { return sealedFiles().size() == 2; }, 600000);
  auto* frame = qobject_cast<QMdiSubWindow*>(window()->parentWidget());
  prompts_.answers = {platform::MessageAnswer::No};
  QVERIFY(!frame->close());
  QVERIFY(window()->commands().working());
  prompts_.answers = {platform::MessageAnswer::Yes};
  QVERIFY(frame->close());
  QVERIFY(!port_->isOpen());
  QTRY_VERIFY(!window());
  scheduler_.runUntilIdle(600000);
  QCOMPARE(sealedFiles().size(), std::size_t{2});  // nothing half-written after them
  for (const fs::path& file : sealedFiles()) {
    QVERIFY(record::LeggiFile(file).showable());
  }
  QVERIFY(mainButton(1)->isEnabled());
}

QTEST_MAIN(ProgrammerWindowTest)
#include "programmer_window_test.moc"
