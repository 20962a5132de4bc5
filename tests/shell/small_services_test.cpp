#include <gtest/gtest.h>

#include "shell/error_log.h"
#include "shell/own_texts.h"
#include "shell/program_folder.h"
#include "shell/safe_file.h"
#include "shell/text_encoding.h"
#include "shell/user_guide.h"
#include "shell/version_line.h"
#include "temp_folder.h"

namespace vestrim::shell {
namespace {

using testing::TempFolder;

TEST(UserGuide, FirstFolderHoldingOneGivesItInTheLanguageInUseElseInEnglish) {
  TempFolder places;
  const auto installed = places.path() / "installed";
  const auto source = places.path() / "source";
  std::filesystem::create_directories(installed / "guide.md");  // not a file
  std::filesystem::create_directories(source);
  places.write("source/guide.md", "# Guide");
  places.write("source/guide-it.md", "# Guida");
  EXPECT_EQ(findUserGuide({installed, source}, "it").guide, source / "guide-it.md");
  EXPECT_EQ(findUserGuide({installed, source}, "en").guide, source / "guide.md");

  // Nowhere: every file looked at is named, with why it could not be used.
  const auto none = places.path() / "none";
  const UserGuideSearch missing = findUserGuide({none, installed}, "it");
  EXPECT_FALSE(missing.guide);
  const platform::Message message = userGuideMissing(englishOnly(), missing);
  EXPECT_EQ(message.text,
            "The user guide cannot be shown: none of these files is there or can be read:\n" +
                (none / "guide.md").string() + "\n" + (installed / "guide.md").string() +
                ": not a file");
  EXPECT_EQ(message.title, "Vestrim user guide");

  // The first folder holding a guide is taken: the installed English guide
  // before the source tree's Italian one.
  std::filesystem::remove(installed / "guide.md");
  places.write("installed/guide.md", "# Guide");
  EXPECT_EQ(findUserGuide({installed, source}, "it").guide, installed / "guide.md");
}

TEST(VersionLine, ReleaseShowsItsRevisionAndABetaItsTwoDigitNumber) {
  EXPECT_EQ(versionLine(1, 5, 0), "Rev. 1.5.0");
  EXPECT_EQ(versionLine(1, 5, 1), "Rev. 1.5.beta01");
  EXPECT_EQ(versionLine(2, 10, 0), "Rev. 2.10.0");
  EXPECT_EQ(versionLine(2, 10, 7), "Rev. 2.10.beta07");
  EXPECT_EQ(versionLine(3, 0, 12), "Rev. 3.0.beta12");
}

TEST(TextEncoding, Windows1252AndUtf8ConvertBothWays) {
  const std::string single =
      "25\xB0"
      "C \x80 citt\xE0 \x93quoted\x94";
  const std::string utf8 = windows1252ToUtf8(single);
  EXPECT_EQ(utf8,
            "25\xC2\xB0"
            "C \xE2\x82\xAC citt\xC3\xA0 \xE2\x80\x9Cquoted\xE2\x80\x9D");
  // The bytes Windows-1252 leaves undefined stand for the C1 controls of the same number.
  EXPECT_EQ(windows1252ToUtf8("\x81\x9D"), "\xC2\x81\xC2\x9D");
  EXPECT_TRUE(isMultiByteUtf8(utf8));
  EXPECT_FALSE(isMultiByteUtf8(single));
  EXPECT_FALSE(isMultiByteUtf8("plain ASCII"));
  EXPECT_EQ(utf8ToWindows1252(utf8), single);
  EXPECT_EQ(utf8ToWindows1252("\xE4\xB8\xAD"), "?");  // no Windows-1252 byte for it
  EXPECT_EQ(textFileToWindows1252(single), single);
  EXPECT_EQ(textFileToWindows1252(utf8), single);
}

TEST(ProgramFolder, ChosenFolderIsCreatedAndReceivesTheShippedLanguages) {
  TempFolder executable;
  executable.write("English.lng", "1,\"01 January\"\r\n");
  TempFolder base;
  const auto chosen = base.path() / "service" / "vestrim";
  const ProgramFolder folder =
      chooseProgramFolder({chosen, executable.path(), base.path() / "user"});
  EXPECT_TRUE(folder.error.empty());
  EXPECT_EQ(folder.path, chosen);
  EXPECT_FALSE(folder.portable);
  EXPECT_TRUE(std::filesystem::exists(chosen / "English.lng"));

  // A folder that already has a language keeps its own files.
  std::filesystem::remove(chosen / "English.lng");
  base.write("service/vestrim/Deutsch.lng", "x");
  chooseProgramFolder({chosen, executable.path(), base.path() / "user"});
  EXPECT_FALSE(std::filesystem::exists(chosen / "English.lng"));

  // Without a choice, a writable executable folder is a portable copy.
  const ProgramFolder portable = chooseProgramFolder({std::nullopt, executable.path(), "/unused"});
  EXPECT_TRUE(portable.portable);
  EXPECT_EQ(portable.path, executable.path());
}

TEST(ProgramFolder, InstalledCopyUsesTheUserFolderWithLanguagesFromItsShareFolder) {
  TempFolder prefix;
  prefix.write("placeholder", "");
  std::filesystem::create_directories(prefix.path() / "share" / "vestrim" / "lang");
  prefix.write("share/vestrim/lang/Italiano.lng", "1,\"01 Gennaio\"\r\n");
  // Even where its folder may be written to (by root, say).
  const auto executableFolder = prefix.path() / "bin";
  std::filesystem::create_directories(executableFolder);
  const auto user = prefix.path() / "home" / ".local" / "share" / "Vestrim";
  const ProgramFolder folder = chooseProgramFolder({std::nullopt, executableFolder, user});
  EXPECT_FALSE(folder.portable);
  EXPECT_EQ(folder.path, user);
  EXPECT_TRUE(std::filesystem::exists(user / "Italiano.lng"));

  // A newer version's file brings its texts past the end of the user's copy,
  // whose own lines stay; a copy without the device's texts whole is left.
  std::string device;
  for (int line = 1; line < 362; ++line) {
    device += "line " + std::to_string(line) + "\r\n";
  }
  prefix.write("share/vestrim/lang/Italiano.lng", device + "OK\r\nVestrim ;MenuCommands\r\n");
  prefix.write("share/vestrim/lang/English.lng", device + "OK\r\nVestrim ;MenuCommands\r\n");
  prefix.write("home/.local/share/Vestrim/Italiano.lng", device + "Va bene");
  prefix.write("home/.local/share/Vestrim/English.lng", "1,\"01 January\"\r\n");
  chooseProgramFolder({std::nullopt, executableFolder, user});
  EXPECT_EQ(prefix.read("home/.local/share/Vestrim/Italiano.lng"),
            device + "Va bene\r\nVestrim ;MenuCommands\r\n");
  EXPECT_EQ(prefix.read("home/.local/share/Vestrim/English.lng"), "1,\"01 January\"\r\n");
}

}  // namespace
}  // namespace vestrim::shell
