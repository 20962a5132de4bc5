#include "transfer/seal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>

#include "archive/archive_check.h"
#include "record/cycle_file.h"
#include "record/sealed_name.h"
#include "record/sealed_record.h"
#include "shell/process.h"
#include "shell/safe_file.h"
#include "shell/text_encoding.h"
#include "sim/cycle_generator.h"
#include "temp_folder.h"

namespace vestrim::transfer {
namespace {

using record::dateSeal;
using record::sealContents;
using record::sealedFileName;
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

TEST(Seal, StampInterleavesTheDateWithTheTimeReversedAndReadsBackInEveryMonth) {
  EXPECT_EQ(dateSeal({2012, 3, 5, 14, 20, 36}), "065300321421");
  EXPECT_EQ(dateSeal({2026, 12, 31, 0, 0, 9}), "391010202060");
  // The first and the last second of a year read back; no other time does.
  for (const shell::LocalTime time :
       {shell::LocalTime{2000, 1, 1, 0, 0, 0}, shell::LocalTime{2099, 12, 31, 23, 59, 59}}) {
    EXPECT_EQ(record::sealedTime(dateSeal(time)), time);
  }
  for (const shell::LocalTime time :
       {shell::LocalTime{2026, 13, 1, 0, 0, 0}, shell::LocalTime{2026, 1, 0, 0, 0, 0},
        shell::LocalTime{2026, 1, 32, 0, 0, 0}, shell::LocalTime{2026, 1, 1, 24, 0, 0}}) {
    EXPECT_FALSE(record::sealedTime(dateSeal(time))) << time.month << "/" << time.day;
  }
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
  const auto ours =
      folder.write(".sealing." + std::to_string(shell::currentProcessId()) + ".999", "running");
  ASSERT_FALSE(ProtectDataLogger(folder.path(), folder.path(),
                                 deviceFile(300, "P", 1, 2, 1, 1, 1, 1, 1), messages())
                   .file.empty());
  EXPECT_FALSE(std::filesystem::exists(abandoned));
  EXPECT_TRUE(std::filesystem::exists(ours));
}

// A record whose check sum is good, as the device stores it.
Bytes generatedRecord() {
  devsim::content::CycleRequest request;
  request.cycleNumber = 7;
  return devsim::content::generateCycle({}, request).bytes;
}

TEST(SealOnDisk, AccentedProgramNameIsStoredUnderItsOwnNameReadAndVouchedFor) {
  TempFolder program;
  const std::filesystem::path folder = program.path() / "2025" / "07";
  std::filesystem::create_directories(folder);
  Bytes record = generatedRecord();
  std::string name = "ST\xC9RIL \xC0 \xE9";  // Windows-1252: STÉRIL À é
  name.resize(20, ' ');
  std::copy(name.begin(), name.end(), record.begin() + 96);
  const SealResult sealed = ProtectDataLogger(program.path(), folder, record, messages());
  ASSERT_EQ(sealed.error, "");
  EXPECT_TRUE(shell::utf8Of(sealed.file.filename()).starts_with("ST\xC3\x89RIL\xC3\x80\xC3\xA9_"))
      << shell::utf8Of(sealed.file.filename());
  ASSERT_TRUE(std::filesystem::exists(sealed.file));
  EXPECT_EQ(record::LeggiFile(sealed.file).status, record::CycleFileStatus::Cycle);
  const std::optional<archive::ArchiveCheck> check = archive::checkArchive(program.path());
  ASSERT_TRUE(check);
  EXPECT_TRUE(check->passed()) << ::testing::PrintToString(archive::checkReportLines(*check));
}

// The zone the tests run in, from TZ: the UTC hour of a local noon in
// January and in July.
std::optional<std::pair<int, int>> utcHoursOfLocalNoon() {
  const std::map<std::string, std::pair<int, int>> zones = {
      {"Europe/Rome", {11, 10}},     // +1 in winter, +2 in summer
      {"Australia/Sydney", {1, 2}},  // +11 in its summer (January), +10 in July
  };
  const char* zone = std::getenv("TZ");
  const auto found = zone ? zones.find(zone) : zones.end();
  return found == zones.end() ? std::nullopt : std::optional(found->second);
}

TEST(FileTime, LocalTimeOfAFileFollowsTheZoneInSummerAndWinter) {
  const auto expected = utcHoursOfLocalNoon();
  if (!expected) {
    GTEST_SKIP() << "TZ is not a zone these tests know";
  }
  TempFolder folder;
  const auto file = folder.write("f.dtl", "x");
  for (const auto& [month, utcHour] : {std::pair(1, expected->first), {7, expected->second}}) {
    const shell::LocalTime noon{2025, month, 15, 12, 0, 0};
    ASSERT_TRUE(shell::setFileModifiedLocalTime(file, noon));
    EXPECT_EQ(shell::fileModifiedLocalTime(file), noon);
    const auto utc = std::chrono::file_clock::to_sys(std::filesystem::last_write_time(file));
    const auto day = std::chrono::floor<std::chrono::days>(utc);
    EXPECT_EQ(std::chrono::hh_mm_ss(utc - day).hours().count(), utcHour) << "month " << month;
  }
}

TEST(SealOnDisk, FileTimeWithinToleranceOfTheSealIsAcceptedInSummerAndWinter) {
  TempFolder folder;
  const Bytes record = generatedRecord();
  struct Case {
    int hour;
    int second;
    bool accepted;
  };
  // Sealed at 10:15:30.
  const Case cases[] = {{10, 30, true},  {9, 30, true},   {10, 35, true},  {10, 25, true},
                        {10, 36, false}, {10, 24, false}, {11, 33, false}, {8, 30, false}};
  for (const int month : {1, 7}) {
    const std::filesystem::path file = folder.path() / ("m" + std::to_string(month) + ".dtl");
    const Bytes stored = sealContents(dateSeal({2025, month, 15, 10, 15, 30}), record);
    ASSERT_TRUE(
        shell::replaceFile(file, {reinterpret_cast<const char*>(stored.data()), stored.size()}));
    for (const Case& c : cases) {
      ASSERT_TRUE(shell::setFileModifiedLocalTime(file, {2025, month, 15, c.hour, 15, c.second}));
      EXPECT_EQ(record::LeggiFile(file).status == record::CycleFileStatus::Cycle, c.accepted)
          << "month " << month << ", file at " << c.hour << ":15:" << c.second;
    }
  }
}

}  // namespace
}  // namespace vestrim::transfer
