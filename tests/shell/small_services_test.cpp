#include <gtest/gtest.h>

#include "shell/error_log.h"
#include "shell/program_folder.h"
#include "shell/safe_file.h"
#include "shell/text_encoding.h"
#include "shell/version_line.h"
#include "temp_folder.h"

namespace vestrim::shell {
namespace {

using testing::TempFolder;

TEST(VersionLine, ReleaseShowsItsRevisionAndABetaItsTwoDigitNumber) {
  EXPECT_EQ(versionLine(1, 5, 0), "Rev. 1.5.0");
  EXPECT_EQ(versionLine(1, 5, 1), "Rev. 1.5.beta01");
  EXPECT_EQ(versionLine(2, 10, 0), "Rev. 2.10.0");
  EXPECT_EQ(versionLine(2, 10, 7), "Rev. 2.10.beta07");
  EXPECT_EQ(versionLine(3, 0, 12), "Rev. 3.0.beta12");
}

TEST(ErrorLog, LinesAreAppendedAfterWhatTheLogHeld) {
  TempFolder folder;
  folder.write(kErrorLogFileName, "Form: FrmPrg ; Sub: ReadBRx\r\n");
  const ErrorLog log(folder.path());
  log.LogError("FrmPrg", "Save");
  log.LogError("FrmPrg", "Save");
  EXPECT_EQ(
      folder.read(kErrorLogFileName),
      "Form: FrmPrg ; Sub: ReadBRx\r\nForm: FrmPrg ; Sub: Save\r\nForm: FrmPrg ; Sub: Save\r\n");
}

TEST(ErrorLog, MissingLogIsCreatedAndAnUnwritableOneIsIgnored) {
  TempFolder folder;
  ErrorLog(folder.path()).LogError("FrmPrg", "ProtectDataLogger");
  EXPECT_EQ(folder.read(kErrorLogFileName), "Form: FrmPrg ; Sub: ProtectDataLogger\r\n");
  EXPECT_NO_THROW(ErrorLog(folder.path() / "no" / "such" / "folder").LogError("FrmPrg", "Save"));
}

TEST(SafeFile, WholeFileIsReadAndAFailedReadGivesNothing) {
  TempFolder folder;
  // More than one read's worth, every byte value included.
  std::string contents(150000, '\0');
  for (std::size_t i = 0; i < contents.size(); ++i) {
    contents[i] = static_cast<char>(i * 7 % 256);
  }
  const auto file = folder.write("big.bin", contents);
  const std::optional<Bytes> read = readWholeFile(file);
  ASSERT_TRUE(read);
  EXPECT_EQ(std::string(read->begin(), read->end()), contents);
  EXPECT_EQ(readWholeFile(folder.write("empty.bin", "")), Bytes{});
  EXPECT_FALSE(readWholeFile(folder.path() / "missing.bin"));
  // A folder opens but every read of it fails.
  EXPECT_FALSE(readWholeFile(folder.path()));
}

TEST(TextEncoding, Windows1252AndUtf8ConvertBothWays) {
  const std::string single =
      "25\xB0"
      "C \x80 citt\xE0 \x93quoted\x94";
  const std::string utf8 = windows1252ToUtf8(single);
  EXPECT_EQ(utf8,
            "25\xC2\xB0"
            "C \xE2\x82\xAC citt\xC3\xA0 \xE2\x80\x9Cquoted\xE2\x80\x9D");
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
}

TEST(ProgramFolder, WritableExecutableFolderIsAPortableCopy) {
  TempFolder executable;
  const ProgramFolder folder = chooseProgramFolder({std::nullopt, executable.path(), "/unused"});
  EXPECT_TRUE(folder.portable);
  EXPECT_EQ(folder.path, executable.path());
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
}

}  // namespace
}  // namespace vestrim::shell
