#include "transfer/record_place.h"

#include "catalogue/catalogue_rows.h"
#include "shell/folder_scan.h"
#include "shell/text_encoding.h"
#include "transfer/upload.h"

namespace vestrim::transfer {

bool isTechnicalReport(const platform::CatalogueRow& row) {
  return row.code.starts_with("TR");
}

bool isArchivedRecord(const platform::CatalogueRow& row) {
  return isTechnicalReport(row) || !catalogue::isSentFileType(row.fileType);
}

const char* skipReason(const platform::CatalogueRow& row) {
  return !isArchivedRecord(row)                     ? kNotACycleRecord
         : !archiveFolderOf(row, false).has_value() ? kNoDate
                                                    : nullptr;
}

std::optional<std::filesystem::path> archiveFolderOf(const platform::CatalogueRow& row,
                                                     bool service) {
  // The provisional name holds the date's month at 13-14 and its year at
  // 16-17; a row without a date gives a shorter name.
  const std::string name = provisionalName(row);
  if (name.size() < 30) {
    return std::nullopt;
  }
  return std::filesystem::path("20" + name.substr(15, 2)) /
         (service ? std::string("SERVICE") : name.substr(12, 2));
}

std::string recordLabel(const platform::CatalogueRow& row) {
  // A code the PC wrote ("MS0369AA") is padded with blanks.
  std::string code = row.code;
  code.erase(code.find_last_not_of(' ') + 1);
  return row.date.empty() ? code : code + " " + row.date;
}

std::vector<archive::HeldRecord> heldRecords(const std::vector<platform::CatalogueRow>& rows,
                                             const catalogue::CatalogueTables& tables,
                                             const std::filesystem::path& programFolder) {
  std::vector<std::filesystem::path> serviceFolders;
  for (const shell::ScannedEntry& year :
       shell::scanFolder(programFolder).value_or(std::vector<shell::ScannedEntry>{})) {
    const std::filesystem::path service = shell::pathFromUtf8(year.name) / "SERVICE";
    std::error_code error;
    if (year.folder && std::filesystem::is_directory(programFolder / service, error)) {
      serviceFolders.push_back(service);
    }
  }
  std::vector<archive::HeldRecord> held;
  for (const platform::CatalogueRow& row : rows) {
    const std::optional<std::filesystem::path> folder = archiveFolderOf(row, false);
    if (!isArchivedRecord(row) || (!folder && !isTechnicalReport(row))) {
      continue;
    }
    held.push_back({recordLabel(row), folder ? std::vector{*folder} : serviceFolders,
                    catalogue::recordKey(tables, row.record)});
  }
  return held;
}

platform::Message eraseQuestion(platform::Message question, const std::vector<std::string>& lost,
                                shell::Text where, const shell::LanguageTexts& texts) {
  if (lost.empty()) {
    return question;
  }
  const std::size_t n = lost.size();
  const std::string place = shell::ownText(texts, where);
  question.text =
      (n == 1 ? shell::ownText(texts, shell::Text::EraseLostOne, {place})
              : shell::ownText(texts, shell::Text::EraseLostMany, {std::to_string(n), place})) +
      "\n" + shell::nameLines(lost, texts) + "\n\n" + question.text;
  question.icon = platform::MessageIcon::Exclamation;
  question.defaultAnswer = question.buttons == platform::MessageButtons::OkCancel
                               ? platform::MessageAnswer::Cancel
                               : platform::MessageAnswer::No;
  return question;
}

}  // namespace vestrim::transfer
