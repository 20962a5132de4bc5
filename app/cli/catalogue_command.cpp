#include <QJsonDocument>
#include <QJsonObject>
#include <iostream>

#include "commands.h"
#include "device_session.h"
#include "row_table.h"
#include "shell/text_encoding.h"

namespace vestrim::cli {
namespace {

// Captions of the memory display.
constexpr int kMemorySizeCaption = 307;
constexpr int kMemoryUseCaption = 308;

QString text(const std::string& windows1252) {
  return QString::fromStdString(shell::windows1252ToUtf8(windows1252));
}

void printJson(const TerminalView& view, std::uint32_t memorySize) {
  const QJsonObject result{{"memory_size", static_cast<qint64>(memorySize)},
                           {"memory_label", text(view.memoryLabel)},
                           {"memory_used", static_cast<qint64>(view.memoryValue)},
                           {"memory_max", static_cast<qint64>(view.memoryMaximum)},
                           {"rows", rowsJson(view.rows)}};
  std::cout << QJsonDocument(result).toJson(QJsonDocument::Indented).toStdString();
}

void printTable(const TerminalView& view, const shell::LanguageTexts& texts) {
  const std::uint32_t used = view.memoryValue;
  const std::uint32_t maximum = view.memoryMaximum;
  std::cout << shell::windows1252ToUtf8(texts[kMemorySizeCaption]) << ": "
            << shell::windows1252ToUtf8(view.memoryLabel) << '\n'
            << shell::windows1252ToUtf8(texts[kMemoryUseCaption]) << ": "
            << (maximum == 0 ? 0 : static_cast<int>(100.0 * used / maximum)) << "% (" << used
            << " of " << maximum << " bytes)\n\n";

  printRowTable(std::cout, view.rows, texts);
}

}  // namespace

int catalogueCommand(const GlobalOptions& options) {
  return withDeviceCatalogue(options, [&](DeviceSession& session) {
    if (options.json) {
      printJson(session.view(), session.programmer().tables().MemorySize);
    } else {
      printTable(session.view(), session.shell().language.texts);
    }
    return 0;
  });
}

}  // namespace vestrim::cli
