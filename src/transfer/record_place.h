#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/kept_records.h"
#include "catalogue/catalogue_tables.h"
#include "platform/programmer_view.h"
#include "platform/prompts.h"
#include "shell/own_texts.h"

// Which device files the archive keeps, and where a save puts each.
namespace vestrim::transfer {

// Why a row is skipped rather than saved.
inline constexpr const char* kNoDate = "no date";
inline constexpr const char* kNotACycleRecord = "not a cycle record";

// A technical report: its code begins with "TR".
bool isTechnicalReport(const platform::CatalogueRow& row);

// Whether the archive keeps the row's file: the device's cycle records and
// technical reports do; the files the PC writes into the device (data,
// datalogger copies, messages, firmware) do not. Their header's date is
// payload, and sealing them would file binary data as a cycle.
bool isArchivedRecord(const platform::CatalogueRow& row);

// Why a save skips the row by its rules (kNotACycleRecord, kNoDate), or
// nothing when it is a record to save.
const char* skipReason(const platform::CatalogueRow& row);

// The folder below the program folder that a save puts the row's record
// in: "20yy/mm" from its date, or "20yy/SERVICE" when `service`; nothing
// for a row without a date.
std::optional<std::filesystem::path> archiveFolderOf(const platform::CatalogueRow& row,
                                                     bool service);

// The row as a message names it: its code and date.
std::string recordLabel(const platform::CatalogueRow& row);

// The records the device's list shows that the archive keeps, each with its
// folders and key: a dated one where a save puts it; a technical report,
// which the device lists without a date and only a pen drive brings in, in
// any year's SERVICE folder of `programFolder`.
std::vector<archive::HeldRecord> heldRecords(const std::vector<platform::CatalogueRow>& rows,
                                             const catalogue::CatalogueTables& tables,
                                             const std::filesystem::path& programFolder);

// The question before an erase of `where` (Text::OnOnTheDevice, OnThePenDrive):
// `question` as it stands when no record would be lost; otherwise it first
// says, in the language of `texts`, how many records are not in the archive
// and names them (the first 20, then "and N more"), and Enter answers No
// (Cancel).
platform::Message eraseQuestion(platform::Message question, const std::vector<std::string>& lost,
                                shell::Text where, const shell::LanguageTexts& texts);

}  // namespace vestrim::transfer
