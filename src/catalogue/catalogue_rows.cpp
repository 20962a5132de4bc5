#include "catalogue/catalogue_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "catalogue/header_record.h"
#include "link/device_addresses.h"

namespace vestrim::catalogue {
namespace {

std::string upperHex(std::uint8_t byte) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", byte);
  return text;
}

std::string twoDigits(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02u", value);
  return text;
}

// Characters first..first+count-1 of `text`, counted from 1, as far as
// there are any.
std::string characters(const std::string& text, std::size_t first, std::size_t count) {
  return first - 1 < text.size() ? text.substr(first - 1, count) : std::string();
}

}  // namespace

std::string descriptionOf(const CatalogueTables& tables, std::uint8_t fileType) {
  return descriptionOf(tables.CommandList, fileType);
}

std::string descriptionOf(const std::array<std::string, CatalogueTables::kCommandListEntries>& list,
                          std::uint8_t fileType) {
  const std::string wanted = upperHex(fileType);
  for (std::size_t slot = 0; slot < 128; ++slot) {
    const std::string& entry = list[slot];
    if (characters(entry, 1, 2) == wanted) {
      std::string label = characters(entry, 13, 16);
      std::erase(label, ' ');
      return label;
    }
  }
  return {};
}

std::string fileCodeText(const CatalogueTables& tables, int record) {
  std::string text;
  for (int i = 0; i < CatalogueTables::kFileCodeLength; ++i) {
    const std::uint8_t byte =
        tables
            .FileCodeBytes[static_cast<std::size_t>(record * CatalogueTables::kFileCodeLength + i)];
    if (byte != 0x00 && byte != 0xFF) {
      text.push_back(static_cast<char>(byte));
    }
  }
  return text;
}

std::int64_t recordLength(const CatalogueTables& tables, int record) {
  const auto k = static_cast<std::size_t>(record);
  const std::int64_t start = k == 0 ? link::kFirstFileAddress : tables.NextAddress[k - 1];
  return std::int64_t{tables.NextAddress[k]} - start;
}

RecordKey recordKey(const CatalogueTables& tables, int record) {
  const auto k = static_cast<std::size_t>(record);
  return recordKey(
      std::span(tables.FileCodeBytes)
          .subspan(k * CatalogueTables::kFileCodeLength, CatalogueTables::kFileCodeLength),
      tables.FileType[k], tables.FileId[k], tables.FileName[k], tables.FileStamp[k],
      static_cast<std::uint64_t>(std::max<std::int64_t>(recordLength(tables, record), 0)));
}

std::string stampText(const std::string& stamp) {
  if (stamp.size() < 5) {
    return {};
  }
  const auto value = [&](std::size_t i) { return static_cast<unsigned char>(stamp[i]); };
  const unsigned hour = value(0), minute = value(1), day = value(2), month = value(3),
                 year = value(4);
  if (day < 1 || day > 31 || month < 1 || month > 12 || year > 99 || hour > 24 || minute > 59) {
    return {};
  }
  return twoDigits(day) + "-" + twoDigits(month) + "-" + twoDigits(year) + " " + twoDigits(hour) +
         "." + twoDigits(minute);
}

std::string memorySizeLabel(std::uint32_t memorySize, char decimalSeparator) {
  const double megabytes = std::floor(static_cast<double>(memorySize) / 100000.0) / 10.0;
  // Fifteen significant digits, as the default number-to-text form gives.
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", megabytes * 1024.0);
  std::string label = text;
  std::replace(label.begin(), label.end(), '.', decimalSeparator);
  return label;
}

void numberFileIds(std::vector<platform::CatalogueRow>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    int id = 1;
    for (std::size_t j = i; j-- > 0;) {
      if (characters(rows[i].code, 3, 4) == characters(rows[j].code, 3, 4) &&
          rows[i].description == rows[j].description) {
        id = std::stoi(rows[j].id) + 1;
        break;
      }
    }
    rows[i].id = std::to_string(id);
  }
}

CatalogueDisplay MMCshow(CatalogueTables& tables, std::uint32_t blockAddress) {
  CatalogueDisplay display;
  for (int k = 0; k < tables.NumFile; ++k) {
    const std::uint8_t type = tables.FileType[static_cast<std::size_t>(k)];
    if (type == 0xFF) {
      continue;
    }
    platform::CatalogueRow row;
    row.record = k;
    row.fileType = type;
    row.code = fileCodeText(tables, k);
    row.description = descriptionOf(tables, type);
    row.name = tables.FileName[static_cast<std::size_t>(k)] + "_" +
               tables.FileId[static_cast<std::size_t>(k)];
    row.date = stampText(tables.FileStamp[static_cast<std::size_t>(k)]);
    display.rows.push_back(std::move(row));
  }
  const int rowCount = static_cast<int>(display.rows.size());
  tables.NumFile = std::min(tables.NumFile, rowCount);

  numberFileIds(display.rows);

  display.memoryMaximum = tables.MemorySize;
  display.memoryValue = std::min(blockAddress, tables.MemorySize);
  return display;
}

}  // namespace vestrim::catalogue
