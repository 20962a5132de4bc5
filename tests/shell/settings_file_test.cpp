#include "shell/settings_file.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace vestrim::shell {
namespace {

using testing::TempFolder;

TEST(SettingsFile, FirstStartOrADamagedFileWritesTheDefaultFileAndAsksForALanguage) {
  for (const char* damaged :
       {"", " 1 \r\nC:\\Data\r\n", "x\r\nC:\\Data\r\nEnglish\r\n", "missing"}) {
    SCOPED_TRACE(damaged);
    TempFolder folder;
    if (std::string(damaged) != "missing") {
      folder.write(kSettingsFileName, damaged);
    }
    const SettingsLines settings = loadSettingsAtStart(folder.path());
    EXPECT_EQ(folder.read(kSettingsFileName), " 1 \r\n" + folder.path().string() + "\r\n\r\n");
    EXPECT_EQ(settings.PortNumber, PortSetting::fromNumber(1));
    EXPECT_EQ(settings.DataFolder, folder.path().string());
    EXPECT_TRUE(settings.DefaultLanguage.empty());
  }
}

TEST(SettingsFile, FirstLineIsANumberWithAnyBlanksOrADevicePath) {
  TempFolder folder;
  // Line 1 and the port it gives: a number, kPath for the line as a device path, kNone for a
  // file that is not read.
  constexpr int kPath = -1, kNone = -2;
  const std::pair<std::string, int> cases[] = {
      {" 7 ", 7},      {"5", 5},      {"0", 0},
      {"255", 255},    {"0007", 7},   {"/dev/ttyUSB0", kPath},
      {"256", kNone},  {"-1", kNone}, {"00000000000300", kNone},
      {"COM3", kNone}, {"7a", kNone}, {"dev/ttyUSB0", kNone},
      {"", kNone}};
  for (const auto& [line, port] : cases) {
    SCOPED_TRACE("line 1: \"" + line + "\"");
    folder.write(kSettingsFileName, line + "\r\nC:\\Data\r\nEnglish\r\n");
    const auto read = readSettingsFile(folder.path());
    ASSERT_EQ(read.has_value(), port != kNone);
    if (read) {
      EXPECT_EQ(read->PortNumber,
                port == kPath ? PortSetting::fromPath(line) : PortSetting::fromNumber(port));
      EXPECT_EQ(read->DataFolder, "C:\\Data");
      EXPECT_EQ(read->DefaultLanguage, "English");
    }
  }
}

TEST(SettingsFile, EmptyDataFolderStandsForTheProgramFolderWithoutRewritingTheFile) {
  TempFolder folder;
  const std::string stored = "3\n\r\nItaliano";  // line feeds alone, no last line end
  folder.write(kSettingsFileName, stored);
  const SettingsLines settings = loadSettingsAtStart(folder.path());
  EXPECT_EQ(settings,
            (SettingsLines{PortSetting::fromNumber(3), folder.path().string(), "Italiano"}));
  EXPECT_EQ(folder.read(kSettingsFileName), stored);
}

TEST(SettingsFile, EveryWriterRoundTripsThroughTheReader) {
  TempFolder folder;
  const auto& dir = folder.path();
  const std::string program = dir.string();
  const PortSetting one = PortSetting::fromNumber(1);
  const PortSetting usb = PortSetting::fromPath("/dev/ttyUSB1");
  const auto stored = [&] { return readSettingsFile(dir).value_or(SettingsLines{}); };
  ASSERT_TRUE(settings_writers::defaults(dir));
  EXPECT_EQ(stored(), (SettingsLines{one, program, ""}));
  ASSERT_TRUE(settings_writers::languageChosen(dir, "/data", "Italiano"));
  EXPECT_EQ(stored(), (SettingsLines{one, "/data", "Italiano"}));
  ASSERT_TRUE(settings_writers::askLanguageNextStart(dir, true, "English"));
  EXPECT_EQ(stored(), (SettingsLines{one, program, ""}));
  ASSERT_TRUE(settings_writers::askLanguageNextStart(dir, false, "English"));
  EXPECT_EQ(stored(), (SettingsLines{one, program, "English"}));
  ASSERT_TRUE(settings_writers::portChosen(dir, usb));
  EXPECT_EQ(stored(), (SettingsLines{usb, program, "English"}));
  ASSERT_TRUE(settings_writers::openFolderChosen(dir, "/files"));
  EXPECT_EQ(stored(), (SettingsLines{usb, "/files", "English"}));
  ASSERT_TRUE(settings_writers::portChosen(dir, PortSetting::fromNumber(12)));
  EXPECT_EQ(folder.read(kSettingsFileName), " 12 \r\n" + program + "\r\nEnglish\r\n");
}

// A folder where the file belongs opens but cannot be read, nor replaced by the new file.
TEST(SettingsFile, UnreadableFileGivesDefaultsAndAFailedWriteLeavesWhatWasThere) {
  TempFolder folder;
  std::filesystem::create_directories(folder.path() / kSettingsFileName / "keep");
  EXPECT_FALSE(readSettingsFile(folder.path()));
  EXPECT_EQ(loadSettingsAtStart(folder.path()).DataFolder, folder.path());
  EXPECT_FALSE(settings_writers::defaults(folder.path()));
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / kSettingsFileName / "keep"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
  EXPECT_FALSE(settings_writers::defaults(folder.path() / "missing"));
}

}  // namespace
}  // namespace vestrim::shell
