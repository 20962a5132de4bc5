// vestrim-cli's exports of a stored cycle, run as a user runs them on a
// machine without a display.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "sim/cycle_generator.h"
#include "sim/technical_report.h"
#include "transfer/seal.h"

namespace vestrim {
namespace {

struct CliRun {
  int status;
  QString out;
  QString err;
};

CliRun cliWithoutDisplay(const QStringList& arguments) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    environment.remove(name);
  }
  process.setProcessEnvironment(environment);
  process.start(QStringLiteral(VESTRIM_CLI_PATH), arguments);
  process.waitForFinished(60000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput()),
          QString::fromUtf8(process.readAllStandardError())};
}

QByteArray contents(const QString& file) {
  QFile f(file);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(CommandLineExport, PdfCsvAndPngOfAVacuumTestWithoutADisplay) {
  QTemporaryDir folder;
  devsim::content::CycleRequest request;
  request.cycleCode = devsim::content::kVacuumTestCode;
  const auto cycle = devsim::content::generateCycle({}, request);
  const auto sealed = transfer::sealAs(folder.path().toStdString(), folder.path().toStdString(),
                                       cycle.bytes, "vacuum.dtl");
  ASSERT_FALSE(sealed.file.empty()) << sealed.error;
  const QString stored = QString::fromStdString(sealed.file.string());
  const QString pdf = folder.filePath("v.pdf");
  const QString csv = folder.filePath("v.csv");
  const QString png = folder.filePath("v.png");
  const CliRun run =
      cliWithoutDisplay({"--folder", folder.path(), "report", stored, "--pdf", pdf, "--chart",
                         "--csv", csv, "--separator", ";", "--png", png, "--size", "800x500"});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(run.out, pdf + "\n" + csv + "\n" + png + "\n");
  EXPECT_TRUE(contents(pdf).startsWith("%PDF-1.4"));
  const QByteArray samples = contents(csv);
  EXPECT_TRUE(samples.startsWith("Elapsed (s);Elapsed (mm:ss);Code;Text;PT1"));
  EXPECT_EQ(samples.count("\r\n"), static_cast<qsizetype>(cycle.records + 1));
  // The PNG's header: signature, then the IHDR chunk with width and height.
  const QByteArray picture = contents(png);
  ASSERT_GT(picture.size(), 24);
  EXPECT_TRUE(picture.startsWith("\x89PNG\r\n\x1a\n"));
  const auto big = [&](int at) {
    return (static_cast<unsigned char>(picture[at]) << 24) |
           (static_cast<unsigned char>(picture[at + 1]) << 16) |
           (static_cast<unsigned char>(picture[at + 2]) << 8) |
           static_cast<unsigned char>(picture[at + 3]);
  };
  EXPECT_EQ(big(16), 800);
  EXPECT_EQ(big(20), 500);
  // Below the chart's design size the fonts keep their size: 96 dots an inch.
  const qsizetype physical = picture.indexOf("pHYs");
  ASSERT_GT(physical, 0);
  EXPECT_EQ(big(static_cast<int>(physical) + 4), 3780);

  // A technical report has no samples and no chart; its PDF is written.
  devsim::content::TechnicalReportRequest technical;
  const auto report = transfer::sealAs(
      folder.path().toStdString(), folder.path().toStdString(),
      devsim::content::generateTechnicalReport({}, technical).bytes, "service.dtl");
  const QString service = QString::fromStdString(report.file.string());
  EXPECT_EQ(cliWithoutDisplay({"--folder", folder.path(), "report", service, "--png", png}).status,
            1);
  EXPECT_EQ(cliWithoutDisplay({"--folder", folder.path(), "report", service, "--pdf", pdf}).status,
            0);
}

}  // namespace
}  // namespace vestrim
