#include "pendrive/pen_drive.h"

#include <gtest/gtest.h>

#include "pendrive/drive_discovery.h"
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

TEST(PenDrive, ErasesDeleteOnlyDeviceFilesTheMenusOfTheRootTheToolbarsThoseFound) {
  TempFolder drive;
  std::filesystem::create_directories(drive.path() / "A" / "B");
  const auto root = drive.write("a.moc", std::string(200, 'x'));
  const auto nested = drive.write("A/b.MOC", std::string(200, 'y'));
  const auto other = drive.write("notes.txt", "keep");
  const auto backup = drive.write("a.moc.bak", "keep");
  EXPECT_EQ(eraseRootFiles(drive.path()), 1);
  EXPECT_FALSE(std::filesystem::exists(root));
  EXPECT_TRUE(std::filesystem::exists(nested));
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
