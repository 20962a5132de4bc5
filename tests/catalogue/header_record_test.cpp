#include "catalogue/header_record.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace vestrim::catalogue {
namespace {

std::array<std::uint8_t, 166> headerWith(
    std::initializer_list<std::pair<int, std::uint8_t>> bytes) {
  std::array<std::uint8_t, 166> header{};
  header.fill(0xFF);
  for (const auto& [offset, value] : bytes) {
    header[static_cast<std::size_t>(offset)] = value;
  }
  return header;
}

TEST(HeaderRecord, FileNumberIsLeastSignificantByteFirstWithAtLeastFiveDigits) {
  EXPECT_EQ(fileIdOf(headerWith({{59, 0x39}, {60, 0x30}, {61, 0x00}})), "12345");
  EXPECT_EQ(fileIdOf(headerWith({{59, 0x07}, {60, 0x00}, {61, 0x00}})), "00007");
  EXPECT_EQ(fileIdOf(headerWith({{59, 0x40}, {60, 0x42}, {61, 0x0F}})), "1000000");
}

TEST(HeaderRecord, NextAddressIsMostSignificantByteFirstAndFFMeansTheEnd) {
  EXPECT_EQ(nextAddressOf(headerWith({{50, 0x00}, {51, 0x10}, {52, 0x00}, {53, 0x00}})), 0x100000u);
  EXPECT_EQ(nextAddressOf(headerWith({{50, 0xFF}, {51, 0x00}, {52, 0x10}, {53, 0x00}})), 0u);
  EXPECT_EQ(nextAddressOf(headerWith({{50, 0x00}, {51, 0x00}, {52, 0x00}, {53, 0x00}})), 0u);
}

TEST(HeaderRecord, BlankRemovalTakesASingleBlankAndEveryOtherOfARun) {
  EXPECT_EQ(removeBlanks("AB  CD"), "AB CD");
  EXPECT_EQ(removeBlanks("AB C"), "ABC");
  EXPECT_EQ(removeBlanks("A   B"), "A B");
  EXPECT_EQ(removeBlanks("A    B"), "A  B");
  EXPECT_EQ(removeBlanks("CYCLE 134 N 12"), "CYCLE134N12");
  EXPECT_EQ(removeBlanks(""), "");
  EXPECT_EQ(removeBlanks("X"), "X");
}

TEST(HeaderRecord, FileNameIsTrimmedBeforeItsBlanksAreThinned) {
  auto header = headerWith({});
  const std::string name = "  PROG  A B         ";
  std::copy(name.begin(), name.end(), header.begin() + 96);
  EXPECT_EQ(fileNameOf(header), "PROG AB");
  const std::string blank(20, ' ');
  std::copy(blank.begin(), blank.end(), header.begin() + 96);
  EXPECT_EQ(fileNameOf(header), "");
}

}  // namespace
}  // namespace vestrim::catalogue
