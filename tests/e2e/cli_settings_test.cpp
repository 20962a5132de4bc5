// vestrim-cli's program folder and settings file, as a user meets them.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace vestrim {
namespace {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

CliRun cli(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(VESTRIM_CLI_PATH), arguments);
  process.waitForFinished(15000);
  return {process.exitCode(), process.readAllStandardOutput().toStdString(),
          process.readAllStandardError().toStdString()};
}

TEST(CommandLineSettings, NewFolderGetsTheDefaultsAndLanguagesAndStoredValuesAreShown) {
  QTemporaryDir base;
  const QString folder = base.filePath("service");
  CliRun run = cli({"--folder", folder, "settings"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(QFile::exists(folder + "/English.lng"));
  EXPECT_TRUE(QFile::exists(folder + "/Italiano.lng"));
  QFile ini(folder + "/Vestrim.ini");
  ASSERT_TRUE(ini.open(QIODevice::ReadWrite));
  EXPECT_EQ(ini.readAll().toStdString(), " 1 \r\n" + folder.toStdString() + "\r\n\r\n");
  EXPECT_NE(run.out.find("Program folder:   " + folder.toStdString()), std::string::npos);
  EXPECT_NE(run.out.find("Languages:        English, Italiano"), std::string::npos);
  EXPECT_NE(run.out.find("(none stored; English is used)"), std::string::npos);

  ini.resize(0);
  ini.write("/dev/ttyUSB0\r\n/srv/cycles\r\nItaliano\r\n");
  ini.close();
  run = cli({"--folder", folder, "settings"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Port:             /dev/ttyUSB0"), std::string::npos);
  EXPECT_NE(run.out.find("Data folder:      /srv/cycles"), std::string::npos);
  EXPECT_NE(run.out.find("Default language: Italiano"), std::string::npos);
}

}  // namespace
}  // namespace vestrim
