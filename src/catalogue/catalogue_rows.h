#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/catalogue_tables.h"
#include "catalogue/header_record.h"
#include "platform/programmer_view.h"

namespace vestrim::catalogue {

// The label of a file type from the command list: the first slot whose
// first two characters are the type in upper-case hexadecimal gives its
// characters 13..28 with every blank dropped; empty when no slot matches.
std::string descriptionOf(const CatalogueTables& tables, std::uint8_t fileType);
std::string descriptionOf(const std::array<std::string, CatalogueTables::kCommandListEntries>& list,
                          std::uint8_t fileType);

// Numbers the rows' File Id column: one more than the nearest earlier row of
// the same kind (same code characters 3..6, same description), or 1.
void numberFileIds(std::vector<platform::CatalogueRow>& rows);

// The length of record k: from its header (2152 for the first) to the next.
std::int64_t recordLength(const CatalogueTables& tables, int record);
// The record key (header_record.h) of record k, as the walk read it.
RecordKey recordKey(const CatalogueTables& tables, int record);

// The file code's characters: header bytes 32..47 without 0x00 and 0xFF.
std::string fileCodeText(const CatalogueTables& tables, int record);

// A stamp's five bytes (hour, minute, day, month, year) as "DD-MM-YY hh.mm",
// or empty when a value is out of range (no calendar check beyond that).
std::string stampText(const std::string& stamp);

// The memory-size label: the size in megabytes cut to one decimal, times
// 1024, in the default number-to-text form with the locale's decimal
// separator: 2,097,152 bytes give "2048", 4,194,304 give "4198.4".
std::string memorySizeLabel(std::uint32_t memorySize, char decimalSeparator);

struct CatalogueDisplay {
  std::vector<platform::CatalogueRow> rows;
  std::uint32_t memoryMaximum = 0;  // the memory bar
  std::uint32_t memoryValue = 0;
};

// MMCshow: one row per record below NumFile whose type is not 0xFF, with a
// running File Id per kind of file (same code characters 3..6 and same
// description), and the memory bar up to `blockAddress`. Lowers NumFile to
// the number of rows.
CatalogueDisplay MMCshow(CatalogueTables& tables, std::uint32_t blockAddress);

}  // namespace vestrim::catalogue
