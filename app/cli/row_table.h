#pragma once

#include <QJsonArray>
#include <ostream>
#include <string>
#include <vector>

#include "platform/programmer_view.h"
#include "shell/text_table.h"

namespace vestrim::cli {

// The file list as a table under the language's column captions, columns
// padded to their widest entry.
void printRowTable(std::ostream& out, const std::vector<platform::CatalogueRow>& rows,
                   const shell::LanguageTexts& texts);

// The file list for --json: code, description, name, date and id of each row.
QJsonArray rowsJson(const std::vector<platform::CatalogueRow>& rows);

}  // namespace vestrim::cli
