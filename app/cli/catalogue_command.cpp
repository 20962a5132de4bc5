#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <iostream>

#include "commands.h"
#include "device_session.h"
#include "shell/text_encoding.h"

namespace vestrim::cli {
namespace {

// Captions of the file list's columns and of the memory display.
constexpr int kColumnCaptions = 315;
constexpr int kMemorySizeCaption = 307;
constexpr int kMemoryUseCaption = 308;

QString text(const std::string& windows1252) {
  return QString::fromStdString(shell::windows1252ToUtf8(windows1252));
}

void printJson(const TerminalView& view, std::uint32_t memorySize) {
  QJsonArray rows;
  for (const platform::CatalogueRow& row : view.rows) {
    rows.append(QJsonObject{{"code", text(row.code)},
                            {"description", text(row.description)},
                            {"name", text(row.name)},
                            {"date", text(row.date)},
                            {"id", text(row.id)}});
  }
  const QJsonObject result{{"memory_size", static_cast<qint64>(memorySize)},
                           {"memory_label", text(view.memoryLabel)},
                           {"memory_used", static_cast<qint64>(view.memoryValue)},
                           {"memory_max", static_cast<qint64>(view.memoryMaximum)},
                           {"rows", rows}};
  std::cout << QJsonDocument(result).toJson(QJsonDocument::Indented).toStdString();
}

// A device text for a terminal line: control bytes (a tab, a line feed in
// a data file's bytes) would break the table, so they show as ".".
std::string printable(const std::string& windows1252) {
  std::string text = windows1252;
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      c = '.';
    }
  }
  return shell::windows1252ToUtf8(text);
}

// Width of a UTF-8 text in characters.
std::size_t width(const std::string& utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

void printTable(const TerminalView& view, const shell::LanguageTexts& texts) {
  const std::uint32_t used = view.memoryValue;
  const std::uint32_t maximum = view.memoryMaximum;
  std::cout << shell::windows1252ToUtf8(texts[kMemorySizeCaption]) << ": "
            << shell::windows1252ToUtf8(view.memoryLabel) << '\n'
            << shell::windows1252ToUtf8(texts[kMemoryUseCaption]) << ": "
            << (maximum == 0 ? 0 : static_cast<int>(100.0 * used / maximum)) << "% (" << used
            << " of " << maximum << " bytes)\n\n";

  std::vector<std::array<std::string, 5>> table;
  std::array<std::string, 5> header;
  for (std::size_t column = 0; column < 5; ++column) {
    header[column] = shell::windows1252ToUtf8(texts[kColumnCaptions + column]);
  }
  table.push_back(header);
  for (const platform::CatalogueRow& row : view.rows) {
    table.push_back(
        {printable(row.code), printable(row.description), printable(row.name), row.date, row.id});
  }
  std::array<std::size_t, 5> widths{};
  for (const auto& line : table) {
    for (std::size_t column = 0; column < 5; ++column) {
      widths[column] = std::max(widths[column], width(line[column]));
    }
  }
  for (const auto& line : table) {
    for (std::size_t column = 0; column < 5; ++column) {
      std::cout << line[column];
      if (column < 4) {
        std::cout << std::string(widths[column] - width(line[column]) + 2, ' ');
      }
    }
    std::cout << '\n';
  }
  if (view.rows.empty()) {
    std::cout << "(no files)\n";
  }
}

}  // namespace

int catalogueCommand(const GlobalOptions& options) {
  const auto shell = startShell(options);
  if (!shell) {
    return 1;
  }
  DeviceSession session(options, *shell);
  if (!session.portOptionValid()) {
    return 2;
  }
  if (!session.connectAndReadCatalogue()) {
    return 1;
  }
  if (options.json) {
    printJson(session.view(), session.programmer().tables().MemorySize);
  } else {
    printTable(session.view(), shell->language.texts);
  }
  return 0;
}

}  // namespace vestrim::cli
