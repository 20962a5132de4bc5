#include "save_notes.h"

#include <QJsonObject>
#include <iostream>

#include "shell/text_encoding.h"

namespace vestrim::cli {
namespace {

// The outcome keeps its texts in the system's single-byte encoding.
QString text(const std::string& windows1252) {
  return QString::fromStdString(shell::windows1252ToUtf8(windows1252));
}

}  // namespace

void printSaveNotes(const transfer::SaveOutcome& outcome) {
  for (const std::string& skipped : outcome.skipped) {
    std::cerr << "skipped: " << shell::windows1252ToUtf8(skipped) << '\n';
  }
  for (const transfer::NotSaved& failed : outcome.failed) {
    std::cerr << "not saved: " << shell::windows1252ToUtf8(failed.record + ": " + failed.why)
              << '\n';
  }
}

QJsonArray skippedJson(const transfer::SaveOutcome& outcome) {
  QJsonArray array;
  for (const std::string& row : outcome.skipped) {
    array.append(text(row));
  }
  return array;
}

QJsonArray failedJson(const transfer::SaveOutcome& outcome) {
  QJsonArray array;
  for (const transfer::NotSaved& record : outcome.failed) {
    array.append(QJsonObject{{"record", text(record.record)}, {"why", text(record.why)}});
  }
  return array;
}

}  // namespace vestrim::cli
