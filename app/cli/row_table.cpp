#include "row_table.h"

#include <QJsonObject>
#include <algorithm>
#include <array>

#include "shell/text_encoding.h"

namespace vestrim::cli {
namespace {

// Captions of the file list's five columns.
constexpr std::size_t kColumnCaptions = 315;

// Width of a UTF-8 text in characters.
std::size_t width(const std::string& utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

QString text(const std::string& windows1252) {
  return QString::fromStdString(shell::windows1252ToUtf8(windows1252));
}

// A device text for a terminal line: control bytes would break the table.
std::string printable(const std::string& windows1252) {
  return shell::windows1252ToUtf8(shell::printable(windows1252));
}

}  // namespace

void printRowTable(std::ostream& out, const std::vector<platform::CatalogueRow>& rows,
                   const shell::LanguageTexts& texts) {
  std::vector<std::array<std::string, 5>> table;
  std::array<std::string, 5> header;
  for (std::size_t column = 0; column < 5; ++column) {
    header[column] = shell::windows1252ToUtf8(texts[kColumnCaptions + column]);
  }
  table.push_back(header);
  for (const platform::CatalogueRow& row : rows) {
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
      out << line[column];
      if (column < 4) {
        out << std::string(widths[column] - width(line[column]) + 2, ' ');
      }
    }
    out << '\n';
  }
  if (rows.empty()) {
    out << "(no files)\n";
  }
}

QJsonArray rowsJson(const std::vector<platform::CatalogueRow>& rows) {
  QJsonArray array;
  for (const platform::CatalogueRow& row : rows) {
    array.append(QJsonObject{{"code", text(row.code)},
                             {"description", text(row.description)},
                             {"name", text(row.name)},
                             {"date", text(row.date)},
                             {"id", text(row.id)}});
  }
  return array;
}

}  // namespace vestrim::cli
