// A load released and labelled from the command line as a clinic does it:
// the operator added with the PIN on standard input, a wrong PIN and an
// alarm cycle refused, the release named by the check and broken by an
// edit of its journal line, and the labels' codes read back to the cycle.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "sim/cycle_generator.h"
#include "transfer/seal.h"

namespace vestrim {
namespace {

struct CliRun {
  int status;
  QString out;
  QString err;
};

CliRun cli(const QString& folder, QStringList arguments, const QByteArray& input = {}) {
  QProcess process;
  arguments.prepend(folder);
  arguments.prepend("--folder");
  process.start(QStringLiteral(VESTRIM_CLI_PATH), arguments);
  process.write(input);
  process.closeWriteChannel();
  process.waitForFinished(60000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput()),
          QString::fromUtf8(process.readAllStandardError())};
}

QString sealed(const QString& folder, int number, int alarm) {
  devsim::content::CycleRequest request;
  request.cycleNumber = static_cast<std::uint32_t>(number);
  request.alarmCode = static_cast<std::uint8_t>(alarm);
  const std::string month = folder.toStdString() + "/2025/03";
  std::filesystem::create_directories(month);
  const auto file = transfer::ProtectDataLogger(
      folder.toStdString(), month, devsim::content::generateCycle({}, request).bytes, {});
  EXPECT_TRUE(file.error.empty()) << file.error;
  return QDir(folder).relativeFilePath(QString::fromStdString(file.file.string()));
}

TEST(CommandLineRelease, ReleaseCheckLabelsAndFindAsAClinicUsesThem) {
  const QString dmtxread = QStandardPaths::findExecutable("dmtxread");
  const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
  ASSERT_FALSE(dmtxread.isEmpty() || pdftoppm.isEmpty()) << "dmtx-utils and poppler-utils";
  QTemporaryDir dir;
  const QString folder = dir.path();
  const QString good = sealed(folder, 1544, 0);
  const QString alarm = sealed(folder, 1545, 10);

  ASSERT_EQ(cli(folder, {"operators", "add", "ar", "--name", "Anna Rossi"}, "1234\n").status, 0);
  const QStringList release = {"release",  good,          "--operator", "AR",     "--result",
                               "released", "--indicator", "passed",     "--note", "tray B"};
  CliRun run = cli(folder, release, "9999\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.contains("Wrong PIN for AR. Nothing was recorded.")) << run.err.toStdString();
  run = cli(folder, {"release", alarm, "--operator", "AR", "--result", "released"}, "1234\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.contains("alarm 10: it can only be rejected")) << run.err.toStdString();
  run = cli(folder, release, "1234\n");
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_TRUE(run.out.startsWith("released: " + good + " by AR (Anna Rossi), journal entry 3"))
      << run.out.toStdString();

  run = cli(folder, {"check"});
  EXPECT_EQ(run.status, 0) << run.out.toStdString();
  EXPECT_TRUE(run.out.contains("Releases: 1 (1 released, 0 rejected)"));
  EXPECT_TRUE(run.out.contains("released by AR on ")) << run.out.toStdString();
  run = cli(folder, {"list", "--released"});
  EXPECT_EQ(run.out.count(".dtl"), 1) << run.out.toStdString();
  run = cli(folder, {"list", "--unreleased"});
  EXPECT_TRUE(run.out.contains(alarm)) << run.out.toStdString();

  // Three labels whose codes read back to the cycle.
  const QString pdf = folder + "/labels.pdf";
  run = cli(folder, {"labels", good, "--copies", "3", "--pdf", pdf});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  ASSERT_EQ(QProcess::execute(pdftoppm, {"-r", "300", "-png", pdf, folder + "/page"}), 0);
  for (int page = 1; page <= 3; ++page) {
    QProcess read;
    read.start(dmtxread, {"-N1", QString("%1/page-%2.png").arg(folder).arg(page)});
    read.waitForFinished(60000);
    const QString code = QString::fromUtf8(read.readAllStandardOutput()).trimmed();
    ASSERT_TRUE(code.startsWith("VST1:")) << page;
    run = cli(folder, {"find", code});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), QDir(folder).filePath(good));
  }
  EXPECT_EQ(cli(folder, {"labels", alarm, "--copies", "1", "--pdf", pdf}).status, 1);

  // The release's journal line edited: the check fails at that line.
  QFile journal(folder + "/Vestrim_Journal.txt");
  ASSERT_TRUE(journal.open(QIODevice::ReadWrite));
  QByteArray lines = journal.readAll();
  lines.replace("note=tray%20B", "note=tray%20C");
  journal.resize(0);
  journal.write(lines);
  journal.close();
  run = cli(folder, {"check"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.contains("line 3: chain broken")) << run.out.toStdString();
}

}  // namespace
}  // namespace vestrim
