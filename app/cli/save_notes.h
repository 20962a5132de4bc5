#pragma once

#include <QJsonArray>

#include "transfer/upload.h"

// What `save` and `import` both tell of a save's outcome.
namespace vestrim::cli {

// The rows the rules skip, as notes ("skipped: …"), and the records not
// saved, as failures ("not saved: …"), on stderr.
void printSaveNotes(const transfer::SaveOutcome& outcome);

// The same for --json: the skips as texts, the failures as {record, why}.
QJsonArray skippedJson(const transfer::SaveOutcome& outcome);
QJsonArray failedJson(const transfer::SaveOutcome& outcome);

}  // namespace vestrim::cli
