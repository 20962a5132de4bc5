#include "transfer/seal.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "reports/cycle_file.h"
#include "temp_folder.h"

namespace vestrim::transfer {
namespace {

using testing::TempFolder;

// A device file of `size` bytes with the fields the sealed name is made of.
Bytes deviceFile(std::size_t size, const std::string& program, std::uint32_t number, int type,
                 int day, int month, int year, int hour, int minute) {
  Bytes file(size, 0x11);
  std::string padded = program;
  padded.resize(20, ' ');
  std::copy(padded.begin(), padded.end(), file.begin() + 96);
  file[59] = static_cast<std::uint8_t>(number);
  file[60] = static_cast<std::uint8_t>(number >> 8);
  file[61] = static_cast<std::uint8_t>(number >> 16);
  file[140] = static_cast<std::uint8_t>(hour);
  file[141] = static_cast<std::uint8_t>(minute);
  file[142] = static_cast<std::uint8_t>(day);
  file[143] = static_cast<std::uint8_t>(month);
  file[144] = static_cast<std::uint8_t>(year);
  file[152] = static_cast<std::uint8_t>(0x30 | type);  // mode bits do not count
  return file;
}

shell::LanguageMessages messages() {
  shell::LanguageMessages table;
  table.set(52,
            "134 \xB0"
            "C");
  table.set(57,
            " 121 \xB0"
            "C Wrapped ");
  table.set(58, "121 a/b:c");
  return table;
}

TEST(Seal, StampInterleavesTheDateWithTheTimeReversed) {
  EXPECT_EQ(dateSeal({2012, 3, 5, 14, 20, 36}), "065300321421");
  EXPECT_EQ(dateSeal({2026, 12, 31, 0, 0, 9}), "391010202060");
}

TEST(Seal, NameIsProgramNumberCycleAndDateTime) {
  EXPECT_EQ(sealedFileName(deviceFile(300, "STD 134", 42, 2, 5, 3, 12, 14, 20), messages()),
            "STD134_00042_134_050312_1420.dtl");
  EXPECT_EQ(sealedFileName(deviceFile(300, "  A B C////", 1000000, 7, 1, 1, 0, 0, 0), messages()),
            "ABC0000_1000000_121Wrapped_010100_0000.dtl");
  EXPECT_EQ(sealedFileName(deviceFile(300, "////", 1, 2, 1, 1, 0, 0, 0), messages()),
            "0000_00001_134_010100_0000.dtl");
}

TEST(Seal, DeviceBytesThatCannotStandInAFileNameBecomeUnderscores) {
  const std::string name =
      sealedFileName(deviceFile(300, "../x/..\\y:\x01", 1, 8, 1, 1, 26, 1, 1), messages());
  EXPECT_EQ(name.find('/'), std::string::npos);
  EXPECT_EQ(name.find('\\'), std::string::npos);
  EXPECT_EQ(name.find(".."), std::string::npos);
  EXPECT_EQ(name.find('\x01'), std::string::npos);
  EXPECT_EQ(name, "__x___y___00001_121a_b_c_010126_0101.dtl");
}

TEST(Seal, SameRecordReplacesItsFileAndAnotherRecordOfTheSameNameIsKeptBeside) {
  TempFolder folder;
  const Bytes first = deviceFile(300, "STD", 1, 2, 5, 3, 12, 14, 20);
  Bytes other = first;
  other[250] ^= 0x5A;
  EXPECT_EQ(ProtectDataLogger(folder.path(), folder.path(), first, messages()).file.filename(),
            "STD_00001_134_050312_1420.dtl");
  EXPECT_EQ(ProtectDataLogger(folder.path(), folder.path(), first, messages()).file.filename(),
            "STD_00001_134_050312_1420.dtl");
  EXPECT_EQ(ProtectDataLogger(folder.path(), folder.path(), other, messages()).file.filename(),
            "STD_00001_134_050312_1420_2.dtl");
  EXPECT_EQ(ProtectDataLogger(folder.path(), folder.path(), other, messages()).file.filename(),
            "STD_00001_134_050312_1420_2.dtl");
}

TEST(Seal, TemporaryFileOfAKilledSaveIsRemovedByTheNextSealingThere) {
  TempFolder folder;
  const auto abandoned = folder.write(".sealing.2147483646.0", "half");
  const auto ours = folder.write(".sealing." + std::to_string(::getpid()) + ".999", "running");
  ASSERT_FALSE(ProtectDataLogger(folder.path(), folder.path(),
                                 deviceFile(300, "P", 1, 2, 1, 1, 1, 1, 1), messages())
                   .file.empty());
  EXPECT_FALSE(std::filesystem::exists(abandoned));
  EXPECT_TRUE(std::filesystem::exists(ours));
}

}  // namespace
}  // namespace vestrim::transfer
