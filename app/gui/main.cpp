#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/ui/programmer_window.h"
#include "demo_device.h"
#include "desktop/device_windows.h"
#include "desktop/main_window.h"
#include "link/port_discovery.h"
#include "pendrive/ui/pen_drive_window.h"
#include "platform/qt/qt_drive_enumerator.h"
#include "platform/qt/qt_program_places.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/system_ports.h"
#include "shell/program_folder.h"
#include "shell/settings_file.h"
#include "shell/shell_context.h"
#include "shell/ui/focus_marks.h"
#include "shell/ui/icons.h"
#include "shell/version.h"

namespace {

// --help and --version answer on the terminal: they need no display.
bool answersOnTheTerminal(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h" || argument == "--help-all" ||
        argument == "--version" || argument == "-v") {
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::unique_ptr<QCoreApplication> application =
      answersOnTheTerminal(argc, argv) ? std::make_unique<QCoreApplication>(argc, argv)
                                       : std::make_unique<QApplication>(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Vestrim"));
  QCoreApplication::setApplicationName(QStringLiteral("vestrim"));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(vestrim::shell::kVersion));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Vestrim: service and data tool for steam-steriliser control boards."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption folderOption(
      QStringLiteral("folder"),
      QStringLiteral("Program folder for this run: settings, languages, error log and archive."),
      QStringLiteral("DIR"));
  const QCommandLineOption languageOption(
      QStringLiteral("language"),
      QStringLiteral("Language for this run (a language file's name without .lng); not stored."),
      QStringLiteral("NAME"));
  const QCommandLineOption portOption(
      QStringLiteral("port"),
      QStringLiteral("Serial port for this run (a device path such as /dev/ttyUSB0, or COM3); "
                     "not stored in the settings file."),
      QStringLiteral("PORT"));
  const QCommandLineOption demoOption(
      QStringLiteral("demo"),
      QStringLiteral("Try the program on a simulated device holding a clinic's month of cycles."));
  const QCommandLineOption penDriveOption(
      QStringLiteral("pen-drive"),
      QStringLiteral("Open the pen-drive window on a folder as if it were the drive "
                     "(a card reader, a copy of a stick)."),
      QStringLiteral("DIR"));
  parser.addOption(folderOption);
  parser.addOption(languageOption);
  parser.addOption(portOption);
  parser.addOption(demoOption);
  parser.addOption(penDriveOption);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("A stored cycle file (.dtl) to open in its report."),
                               QStringLiteral("[FILE.dtl]"));
  parser.process(*application);
  QGuiApplication::setApplicationDisplayName(parser.isSet(QStringLiteral("demo"))
                                                 ? QStringLiteral("Vestrim (demo)")
                                                 : QStringLiteral("Vestrim"));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.vestrim.Vestrim"));
  QGuiApplication::setWindowIcon(vestrim::shell::ui::icon("logo"));
  vestrim::shell::ui::markFocusedLists(*application);

  using namespace vestrim;
  std::optional<std::filesystem::path> chosen;
  if (parser.isSet(folderOption)) {
    chosen = platform::toPath(parser.value(folderOption));
  }
  const shell::ProgramFolder folder =
      shell::chooseProgramFolder(platform::qtProgramFolderPlaces(chosen));
  if (!folder.error.empty()) {
    QMessageBox::critical(nullptr, QStringLiteral("Vestrim"), QString::fromStdString(folder.error));
    return 1;
  }

  shell::ShellContext context(folder.path);
  context.settings = shell::loadSettingsAtStart(folder.path);
  const QString point = QLocale::system().decimalPoint();
  context.decimalSeparator = point.size() == 1 ? point.at(0).toLatin1() : '.';

  std::optional<std::string> language;
  if (parser.isSet(languageOption)) {
    language = parser.value(languageOption).toStdString();
  }
  std::optional<std::filesystem::path> file;
  if (!parser.positionalArguments().isEmpty()) {
    file = std::filesystem::absolute(platform::toPath(parser.positionalArguments().first()));
  }

  // The port for this run: --port, or the demo's simulated device.
  std::optional<shell::PortSetting> port;
  DemoDevice demo;
  if (parser.isSet(demoOption)) {
    QString error;
    const std::optional<std::string> demoPort = demo.start(&error);
    if (!demoPort) {
      QMessageBox::critical(nullptr, QStringLiteral("Vestrim"), error);
      return 1;
    }
    port = shell::PortSetting::fromPath(*demoPort);
  } else if (parser.isSet(portOption)) {
    port = link::portSettingOf(parser.value(portOption).toStdString());
    if (!port) {
      QMessageBox::critical(nullptr, QStringLiteral("Vestrim"),
                            QStringLiteral("--port %1 is neither a device path nor a COM port name")
                                .arg(parser.value(portOption)));
      return 1;
    }
  }

  platform::QtScheduler scheduler;
  const auto serial = platform::makeSerialPort(scheduler);
  const auto ports = platform::makePortEnumerator();
  desktop::MainWindow window(context, language);
  const catalogue::ui::ProgrammerServices services{*serial, scheduler, *ports, port};
  desktop::installProgrammerWindow(window, services);
  platform::QtDriveEnumerator drives;
  // The file types of a device read earlier in the run describe the pen
  // drive's files too.
  const auto commandList = [&window]() -> std::optional<pendrive::CommandList> {
    if (auto* programmer = window.findChild<catalogue::ui::ProgrammerWindow*>()) {
      return programmer->commands().programmer().tables().CommandList;
    }
    return std::nullopt;
  };
  desktop::installPenDriveWindow(window, drives, commandList);
  // Where the user left it last time (the user's own settings, not the
  // program folder's); maximised on the screen at a first start.
  QSettings places;
  if (!window.restoreGeometry(places.value(QStringLiteral("window/geometry")).toByteArray())) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      window.setGeometry(screen->availableGeometry());
    }
    window.setWindowState(Qt::WindowMaximized);
  }
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&window, &places] {
    places.setValue(QStringLiteral("window/geometry"), window.saveGeometry());
  });
  window.show();
  // The pen-drive window of --pen-drive opens once the language is known: at
  // a first start, after the language dialog.
  std::function<void()> openDrive;
  if (parser.isSet(penDriveOption)) {
    const std::filesystem::path root =
        std::filesystem::absolute(platform::toPath(parser.value(penDriveOption)));
    std::error_code error;
    if (!std::filesystem::is_directory(root, error)) {
      QMessageBox::critical(
          &window, QStringLiteral("Vestrim"),
          QStringLiteral("--pen-drive %1 is not a folder").arg(parser.value(penDriveOption)));
      return 1;
    }
    openDrive = [&window, &drives, root] {
      platform::DriveInfo folderDrive{
          platform::toCore(platform::fromPath(root)), root, true, true, 0, 0};
      desktop::openPenDriveWindow(window, drives, drives.refreshed(folderDrive), std::nullopt);
    };
  }
  if (!window.start(file, openDrive)) {
    return 1;
  }
  return QCoreApplication::exec();
}
