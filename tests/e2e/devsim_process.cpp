#include "devsim_process.h"

namespace vestrim::testing {

DevsimProcess::DevsimProcess(const QStringList& arguments) {
  process_.setProgram(QStringLiteral(VESTRIM_DEVSIM_PATH));
  process_.setArguments(arguments);
  process_.start();
  if (!process_.waitForStarted(10000)) {
    return;
  }
  // The first line on stdout is the device path.
  while (!process_.canReadLine()) {
    if (!process_.waitForReadyRead(10000)) {
      return;
    }
  }
  devicePath_ = process_.readLine().trimmed().toStdString();
}

DevsimProcess::~DevsimProcess() {
  if (process_.state() != QProcess::NotRunning) {
    terminate();
  }
}

int DevsimProcess::terminate() {
  process_.terminate();
  if (!process_.waitForFinished(10000)) {
    process_.kill();
    process_.waitForFinished(10000);
    return -1;
  }
  return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

std::string DevsimProcess::standardError() {
  return process_.readAllStandardError().toStdString();
}

}  // namespace vestrim::testing
