#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/qt/qt_program_places.h"
#include "shell/program_folder.h"
#include "shell/settings_file.h"
#include "shell/shell_context.h"
#include "shell/ui/icons.h"
#include "shell/ui/main_window.h"
#include "shell/version.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vestrim"));
  QApplication::setApplicationDisplayName(QStringLiteral("Vestrim"));
  QApplication::setApplicationVersion(QString::fromLatin1(vestrim::shell::kVersion));
  QApplication::setDesktopFileName(QStringLiteral("vestrim"));
  QApplication::setWindowIcon(vestrim::shell::ui::icon("logo"));

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
  parser.addOption(folderOption);
  parser.addOption(languageOption);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("A stored cycle file (.dtl) to open in its report."),
                               QStringLiteral("[FILE.dtl]"));
  parser.process(application);

  using namespace vestrim;
  std::optional<std::filesystem::path> chosen;
  if (parser.isSet(folderOption)) {
    chosen = parser.value(folderOption).toStdString();
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
    file = std::filesystem::absolute(parser.positionalArguments().first().toStdString());
  }

  shell::ui::MainWindow window(context, language);
  // Maximised, and sized to the screen for desktops without a window manager
  // that would maximise it.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    window.setGeometry(screen->availableGeometry());
  }
  window.showMaximized();
  if (!window.start(file)) {
    return 1;
  }
  return QApplication::exec();
}
