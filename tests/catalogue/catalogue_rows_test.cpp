#include "catalogue/catalogue_rows.h"

#include <gtest/gtest.h>

#include "catalogue/header_record.h"

namespace vestrim::catalogue {
namespace {

std::string stamp(int hour, int minute, int day, int month, int year) {
  return {static_cast<char>(hour), static_cast<char>(minute), static_cast<char>(day),
          static_cast<char>(month), static_cast<char>(year)};
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

TEST(HeaderRecord, BlankRemovalTakesASingleBlankAndEveryOtherOfARun) {
  const std::pair<std::string, std::string> cases[] = {{"AB  CD", "AB CD"},
                                                       {"AB C", "ABC"},
                                                       {"A   B", "A B"},
                                                       {"A    B", "A  B"},
                                                       {"CYCLE 134 N 12", "CYCLE134N12"},
                                                       {"", ""}};
  for (const auto& [name, shown] : cases) {
    EXPECT_EQ(removeBlanks(name), shown) << name;
  }
}

}  // namespace
}  // namespace vestrim::catalogue
