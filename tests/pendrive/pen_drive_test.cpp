#include "pendrive/pen_drive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <fstream>

#include "pendrive/drive_discovery.h"
#include "reports/cycle_file.h"
#include "scripted_prompts.h"
#include "temp_folder.h"

namespace vestrim::pendrive {
namespace {

using testing::ScriptedPrompts;
using testing::TempFolder;

class FakeDrives final : public platform::DriveEnumerator {
 public:
  std::vector<platform::DriveInfo> drives() const override { return listed; }
  platform::DriveInfo refreshed(const platform::DriveInfo& drive) const override { return drive; }
  std::vector<platform::DriveInfo> listed;
};

platform::DriveInfo drive(const std::string& letter, bool removable = true, bool ready = true) {
  return {letter, "/media/" + letter, removable, ready, 8u << 20, 2u << 20};
}

TEST(DriveDiscovery, OneReadyRemovableDriveIsTakenWithoutAsking) {
  FakeDrives drives;
  drives.listed = {drive("C", false), drive("D", true, false), drive("F")};
  ScriptedPrompts prompts;
  const auto found = discoverPenDrive(drives, prompts);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->identity, "F");
  // Where drives have no letters, the mount point names the drive.
  EXPECT_EQ(connectedText(drive("/media/clinic/USB")), "Device connected (/media/clinic/USB)");
  EXPECT_TRUE(prompts.shown.empty());
}

TEST(DriveDiscovery, TwoToFourDrivesAreOfferedByTheirLetters) {
  FakeDrives drives;
  drives.listed = {drive("E"), drive("G")};
  ScriptedPrompts prompts;
  prompts.choiceAnswers = {1};
  const auto found = discoverPenDrive(drives, prompts);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->identity, "G");
  EXPECT_EQ(connectedText(*found), "Device connected (G:)");
  ASSERT_EQ(prompts.choices.size(), 1u);
  EXPECT_EQ(prompts.choices[0], (std::vector<std::string>{"E:", "G:"}));
  EXPECT_EQ(prompts.shown[0].title, "USB storage devices detected");
  EXPECT_EQ(prompts.shown[0].text, "Select device");

  prompts.choiceAnswers = {std::nullopt};
  EXPECT_FALSE(discoverPenDrive(drives, prompts));
}

TEST(DriveDiscovery, NoDriveOrMoreThanFourIsAnErrorMessage) {
  FakeDrives drives;
  ScriptedPrompts prompts;
  EXPECT_FALSE(discoverPenDrive(drives, prompts));
  EXPECT_EQ(prompts.shown.back().text, "Device not found");
  EXPECT_EQ(prompts.shown.back().title, "PenDrive search");
  EXPECT_EQ(prompts.shown.back().icon, platform::MessageIcon::Critical);
  drives.listed = {drive("E"), drive("F"), drive("G"), drive("H"), drive("I")};
  EXPECT_FALSE(discoverPenDrive(drives, prompts));
  EXPECT_EQ(prompts.shown.back().text, "Too many device connected");
  EXPECT_EQ(prompts.shown.back().title, "ERROR");
  EXPECT_TRUE(prompts.choices.empty());
}

// A device file: a header record with the given fields, then a body.
std::string deviceFile(const std::string& code, std::uint8_t type, std::uint32_t number,
                       const std::string& program, int day, int month, int year,
                       std::size_t bodySize = 100) {
  std::string file(166 + bodySize, '\x11');
  std::string codeField = code;
  codeField.resize(16, '\0');
  file.replace(32, 16, codeField);
  file[48] = static_cast<char>(type);
  file[59] = static_cast<char>(number & 0xFF);
  file[60] = static_cast<char>((number >> 8) & 0xFF);
  file[61] = static_cast<char>((number >> 16) & 0xFF);
  std::string name = program;
  name.resize(20, ' ');
  file.replace(96, 20, name);
  file[140] = 9;
  file[141] = 15;
  file[142] = static_cast<char>(day);
  file[143] = static_cast<char>(month);
  file[144] = static_cast<char>(year);
  file[152] = 0x00;
  return file;
}

// A technical report: its text stored as character + 100 from offset 139.
std::string technicalReport(const std::string& text) {
  std::string file = deviceFile("TRSERV00001", 0x60, 77, "SERVICE", 1, 1, 0, 300);
  for (std::size_t i = 0; i < text.size() && 139 + i < file.size(); ++i) {
    file[139 + i] = static_cast<char>(static_cast<unsigned char>(text[i]) + 100);
  }
  return file;
}

void setModified(const std::filesystem::path& file, int year, int month, int day, int hour,
                 int minute) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_isdst = -1;
  const std::time_t when = std::mktime(&local);
  const utimbuf times{when, when};
  ::utime(file.c_str(), &times);
}

class PenDriveTest : public ::testing::Test {
 protected:
  PenDriveTest() {
    std::filesystem::create_directories(drive.path() / "A" / "B");
    shell.language.messages.set(50,
                                "134 \xB0"
                                "C Wrapped");
  }
  TempFolder drive;
  TempFolder program;
  shell::ShellContext shell{program.path()};
};

TEST_F(PenDriveTest, DeviceFilesOfAFolderComeBeforeThoseOfItsSubFolders) {
  drive.write("A/B/y.moc", deviceFile("DLCYCLE0003", 0x50, 3, "Y", 1, 2, 26));
  drive.write("A/x.MOC", deviceFile("DLCYCLE0002", 0x50, 2, "X", 1, 2, 26));
  drive.write("z.moc", deviceFile("DLCYCLE0001", 0x50, 1, "Z", 1, 2, 26));
  drive.write("notes.txt", "not a device file");
  drive.write("z.moc.bak", "nor this");
  std::vector<std::filesystem::path> found;
  CercaFile(drive.path(), found);
  EXPECT_EQ(found, (std::vector<std::filesystem::path>{drive.path() / "z.moc",
                                                       drive.path() / "A" / "x.MOC",
                                                       drive.path() / "A" / "B" / "y.moc"}));
}

TEST_F(PenDriveTest, ShortFilesAreReportedAndInvalidTypesNotListed) {
  drive.write("a.moc", deviceFile("DLCYCLE0001", 0x50, 1, "ONE", 5, 3, 12));
  drive.write("b.moc", deviceFile("DLCYCLE0002", 0xFF, 2, "TWO", 5, 3, 12));
  drive.write("c.moc", std::string(165, 'x'));
  const PenDriveCatalogue catalogue = ReadPenDrive(drive.path());
  EXPECT_EQ(catalogue.found.size(), 3u);
  ASSERT_EQ(catalogue.problems.size(), 1u);
  EXPECT_NE(catalogue.problems[0].find("c.moc: shorter than a header record"), std::string::npos);
  const auto rows = penDriveRows(catalogue.files, nullptr);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].code, "DLCYCLE0001");
  EXPECT_EQ(rows[0].description, "");
  EXPECT_EQ(rows[0].name, "ONE_00001");
  EXPECT_EQ(rows[0].date, "05-03-12 09.15");
}

TEST_F(PenDriveTest, TechnicalReportIsDatedByItsFileAndSavedIntoService) {
  const auto report = drive.write(
      "A/tr.moc", technicalReport("SERVICE REPORT\r\nDate 05/03/2012\r\nEngineer: John A. Smith\r\n"
                                  "Time 10:15\r\n"));
  setModified(report, 2012, 3, 5, 10, 15);
  // Where the report's date and time must stand in the file.
  std::ifstream in(report, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_EQ(static_cast<unsigned char>(bytes[160]) - 100, '0');
  ASSERT_EQ(static_cast<unsigned char>(bytes[202]) - 100, '1');
  drive.write("cycle.moc", deviceFile("DLCYCLE0001", 0x50, 42, "STD 134", 5, 3, 12));

  const PenDriveCatalogue catalogue = ReadPenDrive(drive.path());
  const auto rows = penDriveRows(catalogue.files, nullptr);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].description, "Technical Report");
  EXPECT_EQ(rows[1].date, "05-03-12 10.15");

  const PenDriveSave saved = Save(catalogue.files, rows, shell);
  ASSERT_EQ(saved.sealed.size(), 2u);
  EXPECT_EQ(saved.sealed[0],
            program.path() / "2012" / "03" / "STD134_00042_134Wrapped_050312_0915.dtl");
  EXPECT_EQ(saved.sealed[1],
            program.path() / "2012" / "SERVICE" / "SERVICE_00077_TechnicalReport_050312_1015.dtl");
  EXPECT_EQ(reports::LeggiFile(saved.sealed[1]).status, reports::CycleFileStatus::TechnicalReport);
  // The sealed bytes hold the device file unchanged, as an upload would.
  std::ifstream sealedIn(saved.sealed[1], std::ios::binary);
  const std::string sealed{std::istreambuf_iterator<char>(sealedIn),
                           std::istreambuf_iterator<char>()};
  EXPECT_EQ(sealed.substr(13, bytes.size()), bytes);
}

TEST_F(PenDriveTest, SavingAgainReplacesTheSealedFile) {
  drive.write("a.moc", deviceFile("DLCYCLE0001", 0x50, 1, "ONE", 5, 3, 12));
  const PenDriveCatalogue catalogue = ReadPenDrive(drive.path());
  const auto rows = penDriveRows(catalogue.files, nullptr);
  const PenDriveSave first = Save(catalogue.files, rows, shell);
  const PenDriveSave second = Save(catalogue.files, rows, shell);
  ASSERT_EQ(first.sealed.size(), 1u);
  EXPECT_EQ(first.sealed, second.sealed);
}

TEST_F(PenDriveTest, FileThatFailsToReadWhenSavedIsReportedAndTheRestSaved) {
  drive.write("a.moc", deviceFile("DLCYCLE0001", 0x50, 1, "ONE", 5, 3, 12));
  const auto b = drive.write("b.moc", deviceFile("DLCYCLE0002", 0x50, 2, "TWO", 5, 3, 12));
  std::vector<std::pair<std::size_t, std::size_t>> steps;
  const auto count = [&](std::size_t done, std::size_t total) { steps.emplace_back(done, total); };
  const PenDriveCatalogue catalogue = ReadPenDrive(drive.path(), count);
  const std::vector<std::pair<std::size_t, std::size_t>> threeSteps{{0, 2}, {1, 2}, {2, 2}};
  EXPECT_EQ(steps, threeSteps);
  const auto rows = penDriveRows(catalogue.files, nullptr);

  // Between listing and saving the file turns into something that opens
  // but cannot be read: it is reported, never sealed cut short.
  std::filesystem::remove(b);
  std::filesystem::create_directory(b);
  steps.clear();
  const PenDriveSave saved = Save(catalogue.files, rows, shell, count);
  EXPECT_EQ(steps, threeSteps);
  ASSERT_EQ(saved.sealed.size(), 1u);
  EXPECT_EQ(saved.imported, (std::vector<std::filesystem::path>{drive.path() / "a.moc"}));
  ASSERT_EQ(saved.failed.size(), 1u);
  EXPECT_NE(saved.failed[0].find("b.moc: cannot be read"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(program.path() / "2012" / "03" /
                                       "TWO_00002_134Wrapped_050312_0915.dtl"));
}

TEST_F(PenDriveTest, FileLongerThanAnyDeviceFileIsReportedWithoutBeingRead) {
  const auto huge = drive.write("h.moc", deviceFile("DLCYCLE0001", 0x50, 1, "ONE", 5, 3, 12));
  std::filesystem::resize_file(huge, 17 * 1024 * 1024);  // sparse: costs no disk
  const PenDriveCatalogue catalogue = ReadPenDrive(drive.path());
  const PenDriveSave saved = Save(catalogue.files, penDriveRows(catalogue.files, nullptr), shell);
  EXPECT_TRUE(saved.sealed.empty());
  ASSERT_EQ(saved.failed.size(), 1u);
  EXPECT_NE(saved.failed[0].find("longer than any device file"), std::string::npos);
}

TEST_F(PenDriveTest, ErasesDeleteOnlyDeviceFiles) {
  const auto root = drive.write("a.moc", deviceFile("DLCYCLE0001", 0x50, 1, "ONE", 5, 3, 12));
  const auto nested = drive.write("A/b.MOC", deviceFile("DLCYCLE0002", 0x50, 2, "TWO", 5, 3, 12));
  const auto other = drive.write("notes.txt", "keep");
  const auto backup = drive.write("a.moc.bak", "keep");
  // The menu's erase: the root's device files only.
  EXPECT_EQ(eraseRootFiles(drive.path()), 1);
  EXPECT_FALSE(std::filesystem::exists(root));
  EXPECT_TRUE(std::filesystem::exists(nested));
  // The toolbar's erase: exactly the files found, wherever they lie.
  std::vector<std::filesystem::path> found;
  CercaFile(drive.path(), found);
  EXPECT_EQ(eraseFiles(found), 1);
  EXPECT_FALSE(std::filesystem::exists(nested));
  EXPECT_TRUE(std::filesystem::exists(other));
  EXPECT_TRUE(std::filesystem::exists(backup));
  EXPECT_TRUE(std::filesystem::is_directory(drive.path() / "A" / "B"));
}

TEST(DriveFigures, SizeIsInMegabytesWithOneDecimalAndUseIsAFraction) {
  const platform::DriveInfo stick{"E", "/media/E", true, true, 3u << 20 | 1u << 19, 1u << 20};
  EXPECT_EQ(driveSizeText(stick), "3.5");
  EXPECT_NEAR(driveUsedFraction(stick), 1.0 - 1.0 / 3.5, 1e-9);
}

}  // namespace
}  // namespace vestrim::pendrive
