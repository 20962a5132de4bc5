#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <iostream>

#include "commands.h"
#include "device_session.h"
#include "save_notes.h"
#include "shell/text_encoding.h"
#include "transfer/upload.h"

namespace vestrim::cli {

int saveCommand(const GlobalOptions& options) {
  return withDeviceCatalogue(options, [&](DeviceSession& session) {
    shell::ShellContext& shell = session.shell();
    transfer::Upload upload(session.programmer(), shell);
    QJsonArray sealed;
    upload.setFileSealedHandler([&](const std::filesystem::path& file) {
      const std::string path = shell::genericUtf8Of(file.lexically_relative(shell.ProgramFolder));
      if (options.json) {
        sealed.append(QString::fromStdString(path));
        return;
      }
      session.view().endProgressLine();
      std::cout << path << std::endl;
    });
    std::optional<transfer::SaveOutcome> outcome;
    upload.setFinishedHandler([&](const transfer::SaveOutcome& result) { outcome = result; });
    upload.Save();
    if (!session.runUntil([&] { return outcome.has_value(); })) {
      return 1;
    }
    printSaveNotes(*outcome);
    std::string line =
        shell::windows1252ToUtf8(transfer::saveOutcomeText(*outcome, shell.language.texts));
    if (outcome->kind == transfer::SaveOutcome::Kind::DeviceLost) {
      line += " The link was rebuilt " + std::to_string(session.programmer().reconnections()) +
              " time(s) for this save on " + session.portText() + ".";
    }
    const bool complete =
        outcome->failed.empty() && (outcome->kind == transfer::SaveOutcome::Kind::Finished ||
                                    outcome->kind == transfer::SaveOutcome::Kind::NothingToDo);
    if (complete) {
      std::cerr << line << '\n';
    } else {
      fail(line);
    }
    if (options.json) {
      const QJsonObject result{{"sealed", sealed},
                               {"saved", outcome->saved},
                               {"records", outcome->records},
                               {"skipped", skippedJson(*outcome)},
                               {"failed", failedJson(*outcome)},
                               {"outcome", QString::fromStdString(line)}};
      std::cout << QJsonDocument(result).toJson(QJsonDocument::Indented).toStdString();
    }
    return complete ? 0 : 1;
  });
}

}  // namespace vestrim::cli
