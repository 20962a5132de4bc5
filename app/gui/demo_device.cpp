#include "demo_device.h"

#include <QCoreApplication>
#include <QDir>

#ifdef __linux__
#include <sys/prctl.h>

#include <csignal>
#endif

DemoDevice::~DemoDevice() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();  // the simulator ends cleanly on SIGTERM
    if (!process_.waitForFinished(3000)) {
      process_.kill();
      process_.waitForFinished(1000);
    }
  }
}

std::optional<std::string> DemoDevice::start(QString* error) {
  const QString program = QDir(QCoreApplication::applicationDirPath()).filePath("vestrim-devsim");
#ifdef __linux__
  // Killed with the program, even when the program itself is killed.
  process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
  process_.setProcessChannelMode(QProcess::SeparateChannels);
  process_.start(program, {"--contents", "demo", "--line-rate"});
  if (!process_.waitForStarted(5000)) {
    *error = QStringLiteral("cannot start %1: %2").arg(program, process_.errorString());
    return std::nullopt;
  }
  // The simulator prints its pseudo-terminal's path as its first line.
  while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
  }
  const QString port = QString::fromUtf8(process_.readLine()).trimmed();
  if (port.isEmpty()) {
    *error = QStringLiteral("%1 did not start: %2")
                 .arg(program, QString::fromUtf8(process_.readAllStandardError()));
    return std::nullopt;
  }
  return port.toStdString();
}
