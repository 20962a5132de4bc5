#include "pendrive/pen_drive.h"

#include <gtest/gtest.h>

#include "pendrive/drive_discovery.h"
#include "scripted_prompts.h"
#include "shell/shell_context.h"
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

TEST(PenDrive, ErasesDeleteOnlyDeviceFilesTheMenusOfTheRootTheToolbarsThoseFound) {
  TempFolder drive;
  std::filesystem::create_directories(drive.path() / "A" / "B");
  const auto root = drive.write("a.moc", std::string(200, 'x'));
  const auto nested = drive.write("A/b.MOC", std::string(200, 'y'));
  const auto other = drive.write("notes.txt", "keep");
  const auto backup = drive.write("a.moc.bak", "keep");
  std::vector<std::filesystem::path> found;
  CercaFile(drive.path(), found);
  EXPECT_EQ(eraseFiles(rootFiles(drive.path())).erased, 1);
  EXPECT_FALSE(std::filesystem::exists(root));
  EXPECT_TRUE(std::filesystem::exists(nested));
  // The root's file is gone already: it is not counted as deleted.
  const EraseOutcome toolbar = eraseFiles(found);
  EXPECT_EQ(toolbar.erased, 1);
  EXPECT_EQ(toolbar.gone, std::vector{root});
  EXPECT_FALSE(std::filesystem::exists(nested));
  EXPECT_TRUE(std::filesystem::exists(other));
  EXPECT_TRUE(std::filesystem::exists(backup));
  EXPECT_TRUE(std::filesystem::is_directory(drive.path() / "A" / "B"));
}

TEST(PenDrive, FileLongerThanAnyDeviceFileIsReportedWithoutBeingRead) {
  TempFolder drive;
  TempFolder program;
  shell::ShellContext shell{program.path()};
  // A header that lists as a cycle, then a length no device file has.
  std::string header(266, '\x11');
  header.replace(32, 16, std::string("DLCYCLE0001").append(5, '\0'));
  header[48] = 0x50;
  header.replace(96, 20, std::string("ONE").append(17, ' '));
  for (const auto& [at, value] : {std::pair{140, 9}, {141, 15}, {142, 5}, {143, 3}, {144, 12}}) {
    header[static_cast<std::size_t>(at)] = static_cast<char>(value);
  }
  const auto huge = drive.write("h.moc", header);
  std::filesystem::resize_file(huge, 17 * 1024 * 1024);  // sparse: costs no disk
  const PenDriveCatalogue catalogue = ReadPenDrive(drive.path());
  const auto rows = penDriveRows(catalogue.files, nullptr);
  ASSERT_EQ(rows.size(), 1u);
  const PenDriveSave saved = Save(catalogue.files, rows, shell);
  EXPECT_TRUE(saved.sealed.empty());
  ASSERT_EQ(saved.outcome.failed.size(), 1u);
  EXPECT_NE(saved.outcome.failed[0].why.find("longer than any device file"), std::string::npos);
}

TEST(DriveFigures, SizeIsInMegabytesWithOneDecimalAndUseIsAFraction) {
  const platform::DriveInfo stick{"E", "/media/E", true, true, 3u << 20 | 1u << 19, 1u << 20};
  EXPECT_EQ(driveSizeText(stick), "3.5");
  EXPECT_NEAR(driveUsedFraction(stick), 1.0 - 1.0 / 3.5, 1e-9);
}

}  // namespace
}  // namespace vestrim::pendrive
