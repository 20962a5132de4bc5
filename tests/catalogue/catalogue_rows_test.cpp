#include "catalogue/catalogue_rows.h"

#include <gtest/gtest.h>

namespace vestrim::catalogue {
namespace {

std::string stamp(int hour, int minute, int day, int month, int year) {
  return {static_cast<char>(hour), static_cast<char>(minute), static_cast<char>(day),
          static_cast<char>(month), static_cast<char>(year)};
}

// Adds a record to the tables as a walk would have read it.
void addRecord(CatalogueTables& tables, const std::string& code, std::uint8_t type,
               const std::string& name = "N", const std::string& id = "00001") {
  const int k = tables.NumFile++;
  for (int i = 0; i < 16; ++i) {
    tables.FileCodeBytes[static_cast<std::size_t>(k * 16 + i)] =
        i < static_cast<int>(code.size())
            ? static_cast<std::uint8_t>(code[static_cast<std::size_t>(i)])
            : 0x00;
  }
  tables.FileType[static_cast<std::size_t>(k)] = type;
  tables.FileName[static_cast<std::size_t>(k)] = name;
  tables.FileId[static_cast<std::size_t>(k)] = id;
  tables.FileStamp[static_cast<std::size_t>(k)] = stamp(9, 5, 3, 3, 11);
}

CatalogueTables withTypes() {
  CatalogueTables tables;
  tables.CommandList[0] = "50FFAAFFFFFFDataLogger      ";
  tables.CommandList[1] = "0500000000003-Tech Report   ";
  tables.CommandList[2] = "51FFAAFFFFFFMessages        ";
  tables.MemorySize = 2097152;
  return tables;
}

TEST(CatalogueRows, DescriptionIsTheSlotLabelWithoutBlanks) {
  const CatalogueTables tables = withTypes();
  EXPECT_EQ(descriptionOf(tables, 0x50), "DataLogger");
  EXPECT_EQ(descriptionOf(tables, 0x05), "3-TechReport");
  EXPECT_EQ(descriptionOf(tables, 0x77), "");
}

TEST(CatalogueRows, StampIsShownOnlyWhenEachValueIsInRange) {
  EXPECT_EQ(stampText(stamp(9, 5, 3, 3, 11)), "03-03-11 09.05");
  EXPECT_EQ(stampText(stamp(24, 0, 1, 1, 99)), "01-01-99 24.00");
  EXPECT_EQ(stampText(stamp(0, 0, 31, 2, 20)), "31-02-20 00.00");
  EXPECT_EQ(stampText(stamp(25, 0, 1, 1, 20)), "");
  EXPECT_EQ(stampText(stamp(1, 60, 1, 1, 20)), "");
  EXPECT_EQ(stampText(stamp(1, 0, 0, 1, 20)), "");
  EXPECT_EQ(stampText(stamp(1, 0, 1, 13, 20)), "");
  EXPECT_EQ(stampText(stamp(1, 0, 1, 1, 100)), "");
}

TEST(CatalogueRows, MemoryLabelIsMegabytesCutToOneDecimalTimes1024) {
  EXPECT_EQ(memorySizeLabel(2097152, '.'), "2048");
  EXPECT_EQ(memorySizeLabel(4194304, '.'), "4198.4");
  EXPECT_EQ(memorySizeLabel(4194304, ','), "4198,4");
  EXPECT_EQ(memorySizeLabel(0, '.'), "0");
  EXPECT_EQ(memorySizeLabel(99999, '.'), "0");
}

TEST(CatalogueRows, FileIdCountsFilesOfTheSameKindInListOrder) {
  CatalogueTables tables = withTypes();
  addRecord(tables, "DLCYCLE01", 0x50);  // kind "CYCL", DataLogger
  addRecord(tables, "DLCYCLE02", 0x50);
  addRecord(tables, "MSGTEXTS", 0x51);  // unrelated
  addRecord(tables, "XXCYCLEZZ", 0x50);
  addRecord(tables, "DLCYCLE03", 0x51);  // same code characters, other description
  const CatalogueDisplay display = MMCshow(tables, 5000);
  ASSERT_EQ(display.rows.size(), 5u);
  EXPECT_EQ(display.rows[0].id, "1");
  EXPECT_EQ(display.rows[1].id, "2");
  EXPECT_EQ(display.rows[2].id, "1");
  EXPECT_EQ(display.rows[3].id, "3");
  EXPECT_EQ(display.rows[4].id, "1");
}

TEST(CatalogueRows, CodeOfOnlyFFBytesGivesAnEmptyTextButTheRowStays) {
  CatalogueTables tables = withTypes();
  addRecord(tables, std::string(16, '\xFF'), 0x50);
  const CatalogueDisplay display = MMCshow(tables, 2097152 + 10);
  ASSERT_EQ(display.rows.size(), 1u);
  EXPECT_EQ(display.rows[0].code, "");
  // A chain that ran past the memory shows a full bar.
  EXPECT_EQ(display.memoryMaximum, 2097152u);
  EXPECT_EQ(display.memoryValue, 2097152u);
}

}  // namespace
}  // namespace vestrim::catalogue
