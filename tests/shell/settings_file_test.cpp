#include "shell/settings_file.h"

#include <gtest/gtest.h>

#include <functional>

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
  struct Case {
    std::string line;
    std::optional<PortSetting> port;
  };
  const Case cases[] = {
      {" 7 ", PortSetting::fromNumber(7)},
      {"5", PortSetting::fromNumber(5)},
      {"0", PortSetting::fromNumber(0)},
      {"255", PortSetting::fromNumber(255)},
      {"/dev/ttyUSB0", PortSetting::fromPath("/dev/ttyUSB0")},
      {"256", std::nullopt},
      {"-1", std::nullopt},
      {"0007", PortSetting::fromNumber(7)},
      {"00000000000300", std::nullopt},
      {"COM3", std::nullopt},
      {"7a", std::nullopt},
      {"dev/ttyUSB0", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("line 1: \"" + c.line + "\"");
    folder.write(kSettingsFileName, c.line + "\r\nC:\\Data\r\nEnglish\r\n");
    const auto read = readSettingsFile(folder.path());
    ASSERT_EQ(read.has_value(), c.port.has_value());
    if (read) {
      EXPECT_EQ(read->PortNumber, *c.port);
      EXPECT_EQ(read->DataFolder, "C:\\Data");
      EXPECT_EQ(read->DefaultLanguage, "English");
    }
  }
}

TEST(SettingsFile, UnreadableFileIsNoSettingsAndTheStartGoesOnWithDefaults) {
  TempFolder folder;
  // Something that opens but cannot be read as a file stands where it belongs.
  std::filesystem::create_directory(folder.path() / kSettingsFileName);
  EXPECT_FALSE(readSettingsFile(folder.path()));
  const SettingsLines settings = loadSettingsAtStart(folder.path());
  EXPECT_EQ(settings.DataFolder, folder.path());
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / kSettingsFileName));
}

TEST(SettingsFile, EmptyDataFolderStandsForTheProgramFolderWithoutRewritingTheFile) {
  TempFolder folder;
  const std::string stored = "3\n\r\nItaliano";  // line feeds alone, no last line end
  folder.write(kSettingsFileName, stored);
  const SettingsLines settings = loadSettingsAtStart(folder.path());
  EXPECT_EQ(settings.DataFolder, folder.path().string());
  EXPECT_EQ(settings.DefaultLanguage, "Italiano");
  EXPECT_EQ(settings.PortNumber, PortSetting::fromNumber(3));
  EXPECT_EQ(folder.read(kSettingsFileName), stored);
}

TEST(SettingsFile, EveryWriterRoundTripsThroughTheReader) {
  TempFolder folder;
  const auto& dir = folder.path();
  const std::string program = dir.string();
  const PortSetting usb = PortSetting::fromPath("/dev/ttyUSB1");
  struct Case {
    const char* writer;
    std::function<bool()> write;
    SettingsLines expected;
  };
  const Case cases[] = {
      {"defaults",
       [&] { return settings_writers::defaults(dir); },
       {PortSetting::fromNumber(1), program, ""}},
      {"language chosen",
       [&] { return settings_writers::languageChosen(dir, "/data", "Italiano"); },
       {PortSetting::fromNumber(1), "/data", "Italiano"}},
      {"ask again ticked",
       [&] { return settings_writers::askLanguageNextStart(dir, true, "English"); },
       {PortSetting::fromNumber(1), program, ""}},
      {"ask again cleared",
       [&] { return settings_writers::askLanguageNextStart(dir, false, "English"); },
       {PortSetting::fromNumber(1), program, "English"}},
      {"port found or chosen",
       [&] { return settings_writers::portChosen(dir, PortSetting::fromNumber(12), "English"); },
       {PortSetting::fromNumber(12), program, "English"}},
      {"port path chosen",
       [&] { return settings_writers::portChosen(dir, usb, "English"); },
       {usb, program, "English"}},
      {"open folder",
       [&] { return settings_writers::openFolderChosen(dir, usb, "/files", "English"); },
       {usb, "/files", "English"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.writer);
    ASSERT_TRUE(c.write());
    EXPECT_EQ(readSettingsFile(dir), c.expected);
  }
  settings_writers::portChosen(dir, PortSetting::fromNumber(12), "English");
  EXPECT_EQ(folder.read(kSettingsFileName), " 12 \r\n" + program + "\r\nEnglish\r\n");
}

TEST(SettingsFile, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  TempFolder folder;
  folder.write(kSettingsFileName, " 4 \r\n/data\r\nEnglish\r\n");
  // A folder named like the temporary file's target cannot be replaced by a
  // file: the rename fails after the temporary file was written.
  std::filesystem::remove(folder.path() / kSettingsFileName);
  std::filesystem::create_directory(folder.path() / kSettingsFileName);
  std::filesystem::create_directory(folder.path() / kSettingsFileName / "keep");
  EXPECT_FALSE(settings_writers::defaults(folder.path()));
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / kSettingsFileName / "keep"));
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1);
  EXPECT_FALSE(settings_writers::defaults(folder.path() / "missing"));
}

}  // namespace
}  // namespace vestrim::shell
